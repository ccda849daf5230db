#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/link_observer.h"

namespace tessel {

class LogWriter;
class StatusBar;
class TerminalSink;

// Hands the engine's events to every listener: first the terminal, the log
// and the status bar the engine was given, then the observers added, in the
// order they were added.
class LinkReporter {
 public:
  // tick gives the engine's tick count for the log lines.
  LinkReporter(TerminalSink* terminal, LogWriter* log, std::function<int()> tick);

  void addObserver(LinkObserver* observer);
  void removeObserver(LinkObserver* observer);

  void setStatusBar(StatusBar* statusBar) { statusBar_ = statusBar; }
  bool hasStatusBar() const { return statusBar_ != nullptr; }

  // The log records only while switched on; switching it on writes header.
  void setLogging(bool on, const std::string& header);
  bool logging() const { return logOn_; }

  void stateChanged(PortState from, PortState to);
  void taskChanged(TaskCode from, TaskCode to);
  void stateHandled(const char* stateName, const std::string& pending);
  void lineSubmitted(const std::string& line);
  void lineSent(const std::string& line);
  void lineReceived(const std::string& line);
  void receiveOverflow(size_t limit);
  void dialling(int radio);
  void radioPolled(int radio);
  void taskEnded(TaskCode task, TaskOutcome outcome);
  void queueLengthChanged(int count);
  void statusChanged(const LinkStatus& status);

 private:
  void logLine(char kind, const std::string& text);
  template <typename Event>
  void each(Event event);

  TerminalSink* terminal_;
  LogWriter* log_;
  std::function<int()> tick_;
  StatusBar* statusBar_ = nullptr;
  bool logOn_ = false;
  std::vector<LinkObserver*> observers_;
};

}  // namespace tessel
