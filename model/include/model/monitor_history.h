#pragma once

// What the online monitor saw: every poll's RSSI, volts and temperature per
// radio, for the last 24 hours, in memory. The engine polls one radio at a
// time and at most one a second, so a day is at most 86,400 samples for the
// whole group; beyond that, or older than a day, the oldest go first.
#include <cmath>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace tessel {

struct MonitorSample {
  std::int64_t time = 0;  // seconds since the epoch
  float rssi = NAN;       // NaN: the radio left the cell empty
  float volts = NAN;
  float tempC = NAN;
  std::uint8_t radio = 0;
};

class MonitorHistory {
 public:
  static constexpr std::size_t kMaxSamples = 86400;
  static constexpr std::int64_t kSpanSeconds = 24 * 60 * 60;

  // Keeps a poll's cells (the texts the list shows; unreadable ones are
  // kept as gaps).
  void add(std::int64_t time, int radio, const std::string& rssi, const std::string& volts,
           const std::string& tempC);
  void add(const MonitorSample& s);

  const std::deque<MonitorSample>& samples() const { return samples_; }
  std::vector<MonitorSample> samplesOf(int radio) const;
  std::size_t size() const { return samples_.size(); }
  void clear() { samples_.clear(); }

  // Heard whenever a sample was added (the chart windows follow it).
  std::function<void(const MonitorSample&)> onAdded;

 private:
  std::deque<MonitorSample> samples_;
};

class MainWindowModel;

// A poll of radio has ended: keeps what its row in the list shows now
// (RSSI, volts, temperature). A radio without a row is not kept.
void recordPoll(MonitorHistory& history, const MainWindowModel& window, int radio,
                std::int64_t now);

// "time,radio_id,name,rssi,volts,temp_c" and one line per sample, as
// tessel-cli monitor prints them: local time as 2026-12-08T12:00:00, the
// radio's name from nameOf quoted where it needs it, gaps empty.
void writeMonitorCsv(std::ostream& out, const MonitorHistory& history,
                     const std::function<std::string(int radio)>& nameOf);

// A field of a CSV line: quoted when it holds a comma, a quote or a line
// break, its quotes doubled.
std::string csvField(const std::string& s);

}  // namespace tessel
