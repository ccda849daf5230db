#pragma once

// What the online monitor learns per poll, kept for a monitoring server:
// per radio of the monitored project its last readings, the time of its
// last answer and its answered and missed polls; per monitor the length of
// the last round and the radios answering. Fed by the link engine's
// progress (on the engine's thread); read as exposition text from any
// thread (the HTTP server's).
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "link/link_observer.h"

namespace tessel {

class MainWindowModel;

class MonitorMetrics : public LinkObserver {
 public:
  // Seconds since the epoch.
  using Clock = std::function<double()>;
  static double wallClock();

  explicit MonitorMetrics(const MainWindowModel& window, Clock now = wallClock);

  void taskChanged(TaskCode from, TaskCode to) override;
  void dialling(int radio) override;
  void radioPolled(int radio) override;

  // Takes the radios of the project open now: a project opened or closed,
  // a radio added, renamed or deleted. On the engine's thread; each event
  // above does it too.
  void refresh() { sync(); }

  // The exposition at the clock's time now (the age of each radio's last
  // answer is counted to it). Safe from any thread.
  std::string exposition() const;

 private:
  struct Radio {
    std::string group, name, model;
    std::optional<double> rssi, volts, tempC;
    std::optional<double> lastAnswer;  // seconds since the epoch
    std::uint64_t answered = 0, missed = 0;
    bool answering = false;  // its last poll was answered
  };

  // The radios of the open project, their labels as the project has them
  // now; counters of radios still there are kept.
  void sync();
  void missed(int radio);

  const MainWindowModel& window_;
  Clock now_;
  // Engine thread only.
  TaskCode task_ = tkLocalOnly;
  int projectSerial_ = -1;
  int pending_ = -1;  // the radio dialled and not yet answered or given up
  bool pendingAnswered_ = false;
  int roundFirst_ = -1;  // the radio each round starts with
  double roundStart_ = 0;

  mutable std::mutex mutex_;  // guards what follows
  std::map<int, Radio> radios_;
  bool running_ = false;
  std::optional<double> roundSeconds_;
  std::uint64_t rounds_ = 0;
};

}  // namespace tessel
