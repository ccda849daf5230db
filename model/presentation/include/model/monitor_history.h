#pragma once

// What the online monitor saw: every poll's RSSI, volts and temperature per
// radio, for the last 24 hours, in memory. The engine polls one radio at a
// time and at most one a second, so a day is at most 86,400 polls for the
// whole group; beyond that, or older than a day, the oldest go first.
#include <cstdint>
#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "model/poll_readings.h"

namespace tessel {

class MonitorHistory {
 public:
  static constexpr std::size_t kMaxSamples = 86400;
  static constexpr std::int64_t kSpanSeconds = 24 * 60 * 60;

  void add(const PollReading& reading);

  const std::deque<PollReading>& samples() const { return samples_; }
  std::vector<PollReading> samplesOf(int radio) const;
  std::size_t size() const { return samples_.size(); }
  void clear() { samples_.clear(); }

  // Heard whenever a poll was added (the chart windows follow it).
  std::function<void(const PollReading&)> onAdded;

 private:
  std::deque<PollReading> samples_;
};

class MainWindowModel;

// A poll of radio has ended: keeps what it read, stamped now. A radio
// without a row in the list is not kept, nor a compare's read.
void recordPoll(MonitorHistory& history, const MainWindowModel& window, int radio,
                std::int64_t now);

// The history as CSV, through the one writer of readings; the radio's name
// comes from nameOf.
void writeMonitorCsv(std::ostream& out, const MonitorHistory& history,
                     const std::function<std::string(int radio)>& nameOf);

}  // namespace tessel
