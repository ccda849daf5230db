#pragma once

#include <memory>
#include <optional>
#include <string>

#include "link/attached_callbacks.h"
#include "link/link_reporter.h"
#include "link/owed_exchanges.h"
#include "link/port_state.h"
#include "link/radio_number.h"
#include "model/main_window_link.h"
#include "seams/prompts.h"

namespace tessel {

class TregisterReader;

// Where a handler of the engine's states leaves it: the state to go to (or
// the same one), and whether its next step runs at once rather than on the
// tick. The engine applies it in one place.
struct Next {
  static constexpr int kStay = -1;
  int state = kStay;
  bool goOn = false;
};
inline Next stay() {
  return {};
}
inline Next to(PortState state) {
  return {state, false};
}
inline Next goOn(PortState state) {
  return {state, true};
}
inline Next goOnHere() {
  return {Next::kStay, true};
}

// What the engine's task parts (the reads, the monitor's rounds, the send)
// ask of the engine. The engine alone keeps the state, the task and the
// count of tries; the parts return the state to go to.
class TaskHost {
 public:
  static constexpr int kRetryLimit = 3;

  virtual ~TaskHost() = default;

  virtual TaskCode task() const = 0;
  virtual void setTask(TaskCode task) = 0;

  // A command out now, as the tries-th try; its answer comes back to the
  // state that asked. fits tells a register's value from noise. True for a
  // reset ("AT&R").
  virtual bool sendNow(int tries, const std::string& line,
                       const OwedExchanges::ValueFits& fits = {}) = 0;
  // A line that ends a task: its answer is no one's, and the next task
  // waits for it.
  virtual void sendClosing(const std::string& line) = 0;
  // The local radio's page told its radio ID.
  virtual void localRadioTold(int /*radio*/) {}
  // A send's line was answered "OK".
  virtual void lineConfirmed(const std::string& /*line*/) {}
  // Unanswered tries of the exchange in progress.
  virtual int tryCount() const = 0;
  virtual void resetTries() = 0;

  // The tick times polls rather than a task's steps.
  virtual void tickAtPollInterval() = 0;
  // As fast as replies: a monitor's next register or dial, a send's next
  // line to a remote radio and the steps around it go out as soon as the
  // last answer is in; the tick only times out a radio that does not answer.
  virtual bool fastPolls() const = 0;
  virtual const std::string& taskText() const = 0;
  virtual void refreshStatus() = 0;
  // A message box; no answer when the engine moved on while it was up.
  virtual std::optional<PromptButton> ask(PromptIcon icon, const std::string& text,
                                          PromptButtons buttons) = 0;

  // The ways a task ends; each puts the engine in its resting state.
  virtual void goIdle() = 0;
  virtual void returnToMonitoring() = 0;
  virtual bool returnToMonitoringOrIdle() = 0;  // true when monitoring resumes
  virtual void flushQueue() = 0;
  // Ends the COM port dialog's search; false when none was running.
  virtual bool cancelSearch() = 0;
  // The search ended with a radio answering: the user hears the settings.
  virtual void searchFound() = 0;
  // A send's end is told by whoever started it (a run of many sends), not
  // by a box per send.
  virtual bool quietSends() const { return false; }
};

// What the task parts share with the engine: its host side, the main
// window, the reporting, the register reader and the engine's lists.
struct TaskContext {
  TaskHost& host;
  AttachedCallbacks& window;
  LinkReporter& reporter;
  TregisterReader& reader;
  const std::shared_ptr<TradioNumber>& current;  // the list worked on
  const std::shared_ptr<TradioNumber>& monitor;  // the monitor's list, if one runs

  // The radio under the current list's cursor; -1 without one.
  int radio() const { return current ? current->CurrentNumber() : -1; }
  void markRead(int radio, bool read) const {
    window.setRead(radio, read);
    if (read) reporter.radioPolled(radio);
  }
  void cancelTask(int radio, TaskCode ended, const std::string& message) const {
    window.taskCancelled(radio);
    reporter.taskEnded(ended, Outcome{TaskEnd::Cancelled, message, radio, {}, true});
  }
};

}  // namespace tessel
