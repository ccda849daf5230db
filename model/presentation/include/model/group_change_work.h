#pragma once

// Change Group Settings from Change to the read after it, as both front ends
// run it (the window's dialog and tessel-cli group-set): the plan's steps
// sent through the commands while the change holds the link, phase 1
// stopped, retried or written back, phase 2 run through, the project given
// the new values, then the group read again and checked. A front end shows
// it (onChange) and answers its questions (retry, write back, leave staged);
// it hands the engine's ends of the sends on once the engine's own handling
// of them is over (sendEnded).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/group_change.h"
#include "model/group_change_run.h"
#include "model/group_compare.h"
#include "model/radio_commands.h"
#include "model/time_left.h"

namespace tessel {

class MainWindowModel;

class GroupChangeWork {
 public:
  // What the work asks of the engine the front end hosts.
  struct Engine {
    // Attaches other callbacks to the engine, or (null) the window's own.
    std::function<void(MainWindowCallbacks*)> attachCallbacks;
    std::function<void(int ms)> setPollInterval;
    std::function<void()> restorePollInterval;
    std::function<void(bool on)> quietSends;
    // Milliseconds of a steady clock, for the time left.
    std::function<int64_t()> nowMs;
    // Runs fn once the engine's own handling of the event in hand is over
    // (the end of a send is handed on so).
    std::function<void(std::function<void()> fn)> later;
  };

  GroupChangeWork(MainWindowModel& window, const BrandModels& models, GroupPlan plan,
                  Engine engine);
  // Stops what still runs and gives the engine back.
  ~GroupChangeWork();
  GroupChangeWork(const GroupChangeWork&) = delete;
  GroupChangeWork& operator=(const GroupChangeWork&) = delete;

  // Change: the steps start; false (said() tells why) when the link is held.
  bool start();
  // After a stop: the failed step again, or (phase 1) the old values back.
  bool retry();
  bool restore();
  // Cancel: phase 1 stops (no radio runs the new values), or the read ends.
  void cancel();
  // A step's send got no end in time: it is stopped; in phase 2 the run
  // goes on past the radio, in phase 1 it stops as a cancel does.
  void sendTimedOut();

  // The engine's events for the sends, as the commands tell them.
  void sendEnded(TaskEnd ending);
  void lineConfirmed();

  // The front end cannot go on (a question it had to answer Abort): the
  // send under way stops, and the run with it where it may.
  void abandon();
  // Phase 2 is over and no read follows (a close asked meanwhile, a
  // signal): the link is given back.
  void finish();

  // Phase 2 is over: the read again (false when it did not start; said()
  // tells why), and its end once every radio was read or the read ended.
  bool readAgain();
  // Why the read again did not start, when the commands refused it.
  const std::string& readRefusal() const { return readRefusal_; }
  void readEnded();
  // Whether the read under way is over (every radio read, or it ended).
  bool readOver() const { return reading_ && read_ && (read_->complete() || read_->ended()); }

  bool sending() const { return sending_; }
  bool reading() const { return reading_; }
  bool running() const { return sending_ || reading_; }
  // Phase 2 is under way: it runs through to the local radio's reset.
  bool applying() const { return sending_ && run_ && run_->applying(); }
  // Phase 2 went through and the project holds the new values (committed:
  // false when they could not all be written).
  bool applied() const { return applied_; }
  bool committed() const { return committed_; }

  const GroupPlan& plan() const { return plan_; }
  const GroupChangeRun* run() const { return run_.get(); }
  const GroupCompareRun* read() const { return read_.get(); }
  GroupCompareRun* read() { return read_.get(); }
  // The words for how it stands: why it did not start, why it stopped,
  // the old values back, what phase 2 went past.
  const std::string& said() const { return said_; }
  // After the read: a row per radio, and how many answer with the new
  // values.
  const std::vector<GroupCheckRow>& checked() const { return checked_; }
  int answeringNew() const;
  // The time left from the pace so far; empty while there is none.
  std::string timeLeft();

  // Told at each change: a step started, a state changed, a radio read.
  std::function<void()> onChange;

 private:
  // Ends the send under way as a cancel: the run stopped, the link given
  // back, its failure said.
  void stopSend();
  void afterStep();
  bool takeEngine();
  void release();
  void changed() const;
  void progressOfRead(const CommandProgress& progress);

  struct Listener;
  MainWindowModel& window_;
  const BrandModels& models_;
  Engine engine_;
  GroupPlan plan_;
  PlanCallbacks callbacks_{plan_};
  std::unique_ptr<GroupChangeRun> run_;
  std::unique_ptr<GroupChangeTimeLeft> timeLeft_;
  std::unique_ptr<GroupCompareRun> read_;
  std::unique_ptr<Listener> listener_;
  bool sending_ = false;
  bool reading_ = false;
  bool holding_ = false;
  bool applied_ = false;
  bool committed_ = false;
  std::string said_;
  std::string readRefusal_;
  std::vector<GroupCheckRow> checked_;
};

}  // namespace tessel
