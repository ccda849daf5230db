#pragma once

// A group change's plan worked off through the link engine, one send per
// step. Phase 1 stops at the first radio that does not answer, refuses a
// line or loses its link: then nothing has changed for any radio's running
// link, and the failed step may be retried or the old values written back.
// Once phase 2 has begun it runs through to the local radio's reset
// whatever happens to one remote radio: stopping halfway would leave the
// radios reset so far cut off from those not yet reset.
#include <functional>
#include <string>
#include <vector>

#include "model/group_change.h"
#include "model/radio_commands.h"

namespace tessel {

class GroupChangeRun {
 public:
  enum class State {
    Ready,
    Running,   // a step's send is under way
    Stopped,   // a step failed or was cancelled; see failure()
    Restored,  // the old values are back on the staged radios
    Applied,   // phase 2 went through (see missed() for the steps it went past)
  };
  enum class Failure { None, NoAnswer, Refused, Refusal, Cancelled, LinkLost };
  // A phase-2 step that did not go through; phase 2 went on past it.
  struct Missed {
    int radio = -1;
    GroupStep::Kind kind = GroupStep::Kind::Reset;
    Failure failure = Failure::None;
    bool reached = false;  // its dial was answered (or it is the local radio)
  };

  // How a step's lines go out: the commands layer's Set Radio.
  using SendLines = std::function<LinkTasks::TaskStart(
      const std::string& title, const TpollArray& list, const std::vector<std::string>& lines)>;

  GroupChangeRun(GroupPlan plan, SendLines send, std::string title);

  // Starts (or goes on with) the steps; false when the engine refused the
  // send (failure() Refusal, why() says why).
  bool start();
  // A line of the step under way was answered "OK" by its radio.
  void lineConfirmed();
  // The engine ended the step's send.
  void sendEnded(TaskEnd outcome);
  // The user stopped the run (phase 1, or writing back); the caller ends
  // the engine's task.
  void cancel();
  // After a stop: the failed step again, then on.
  bool retry();
  // After a stop in phase 1: the old values back onto the radios staged and
  // those that may be.
  bool restore();

  State state() const { return state_; }
  Failure failure() const { return failure_; }
  const std::string& why() const { return why_; }
  bool restoring() const { return restoring_; }
  // The phase of the current step (1 or 2); 0 before the start.
  int phase() const;
  const GroupStep* current() const;
  int position() const { return next_; }
  int count() const { return static_cast<int>(steps().size()); }
  // The radio of the step that failed; -1 without one.
  int failedRadio() const { return failedRadio_; }
  // Phase 1's radios in staging order: those whose "AT&W" was answered
  // "OK", and those reached whose "AT&W" was not (staged or not known).
  const std::vector<int>& staged() const { return staged_; }
  const std::vector<int>& notKnown() const { return notKnown_; }
  // Whether phase 2 began: from then on the old values are no way back.
  bool applying() const { return phase() == 2; }
  const std::vector<Missed>& missed() const { return missed_; }
  // The steps worked off: the plan's, or those writing the old values back.
  const std::vector<GroupStep>& steps() const { return restoring_ ? restore_ : plan_.steps; }
  // Lines of the step under way its radio answered "OK".
  int linesConfirmed() const { return confirmedLines_; }
  const GroupPlan& plan() const { return plan_; }
  std::string failureText() const;
  // What State::Restored means for the radios, as both front ends say it.
  static const char* restoredText();
  // Each phase-2 step gone past: what the radio holds and runs now.
  std::vector<std::string> missedText() const;

  // Told at each step that starts and at each change of state.
  std::function<void()> onProgress;

 private:
  bool sendCurrent();
  void changed();
  // Whether the step under way reached its radio: a remote one answered
  // its dial; the local radio is always reached.
  bool reached() const;
  void noteStaged(int radio, bool confirmed);
  std::string stagedText() const;

  GroupPlan plan_;
  SendLines send_;
  std::string title_;
  std::vector<GroupStep> restore_;
  bool restoring_ = false;
  State state_ = State::Ready;
  Failure failure_ = Failure::None;
  std::string why_;
  int next_ = 0;
  int confirmedLines_ = 0;  // of the step under way
  int failedRadio_ = -1;
  std::vector<int> staged_;
  std::vector<int> notKnown_;
  std::vector<Missed> missed_;
};

}  // namespace tessel
