#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/link_observer.h"

namespace tessel {

class LogWriter;
class StatusBar;
class TerminalSink;

// The traffic terminal as a listener: " < " lines written, " > " lines read.
class TerminalFeed : public LinkObserver {
 public:
  explicit TerminalFeed(TerminalSink* terminal) : terminal_(terminal) {}
  void lineSent(const std::string& line) override;
  void lineReceived(const std::string& line) override;
  void linkDropped(int radio, const std::string& message) override;
  void lineWithheld(const std::string& line) override;

 private:
  TerminalSink* terminal_;
};

// The log as a listener: every line handed to the send routine, every state
// handler run and a receive overflow, each with the engine's tick count,
// while the log is switched on.
class LogFeed : public LinkObserver {
 public:
  LogFeed(LogWriter* log, std::function<int()> tick) : log_(log), tick_(std::move(tick)) {}
  // Switching it on writes header first.
  void setLogging(bool on, const std::string& header);
  bool logging() const { return on_; }

  void stateHandled(const char* stateName, const std::string& pending) override;
  void lineSubmitted(const std::string& line) override;
  void receiveOverflow(size_t limit) override;
  void lineLost(const std::string& message) override;
  void linkDropped(int radio, const std::string& message) override;
  void lineWithheld(const std::string& line) override;

 private:
  void write(char kind, const std::string& text);

  LogWriter* log_;
  std::function<int()> tick_;
  bool on_ = false;
};

// The main window's status bar as a listener: its panels, and a redraw of
// the queue gauge when the queue changes.
class StatusBarFeed : public LinkObserver {
 public:
  void attach(StatusBar* statusBar) { statusBar_ = statusBar; }
  bool attached() const { return statusBar_ != nullptr; }
  void queueLengthChanged(int count) override;
  void statusChanged(const LinkStatus& status) override;

 private:
  StatusBar* statusBar_ = nullptr;
};

// Hands the engine's events to its listeners: first the terminal, the log
// and the status bar the engine was given, then the observers added, in the
// order they were added.
class LinkReporter {
 public:
  // tick gives the engine's tick count for the log lines.
  LinkReporter(TerminalSink* terminal, LogWriter* log, std::function<int()> tick);
  LinkReporter(const LinkReporter&) = delete;
  LinkReporter& operator=(const LinkReporter&) = delete;

  void addObserver(LinkObserver* observer);
  void removeObserver(LinkObserver* observer);

  void setStatusBar(StatusBar* statusBar) { status_.attach(statusBar); }
  bool hasStatusBar() const { return status_.attached(); }
  void setLogging(bool on, const std::string& header) { log_.setLogging(on, header); }
  bool logging() const { return log_.logging(); }

  void stateChanged(PortState from, PortState to);
  void taskChanged(TaskCode from, TaskCode to);
  void stateHandled(const char* stateName, const std::string& pending);
  void lineSubmitted(const std::string& line);
  void lineSent(const std::string& line);
  void lineReceived(const std::string& line);
  void receiveOverflow(size_t limit);
  void dialling(int radio);
  void radioPolled(int radio);
  void taskEnded(TaskCode task, const Outcome& outcome);
  void lineLost(const std::string& message);
  void linkDropped(int radio, const std::string& message);
  void lineWithheld(const std::string& line);
  void lineConfirmed(const std::string& line);
  void queueLengthChanged(int count);
  void statusChanged(const LinkStatus& status);

 private:
  template <typename Event>
  void each(Event event);

  TerminalFeed terminal_;
  LogFeed log_;
  StatusBarFeed status_;
  std::vector<LinkObserver*> observers_;
};

}  // namespace tessel
