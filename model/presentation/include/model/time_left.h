#pragma once

// How long a run of work has left, from the pace measured so far: the work
// done since it (last) started running, in the time that took, against the
// work still to go. Work is counted in units the caller chooses; the time is
// milliseconds on any steady scale, passed in (no clock of its own).
#include <cstdint>
#include <optional>
#include <string>

namespace tessel {

class GroupChangeRun;

class PaceEstimate {
 public:
  // done of total units are done at nowMs. A run that stopped (running
  // false) gives no estimate; running again, its pace is measured anew.
  void update(int done, int total, bool running, int64_t nowMs);
  // The time left at nowMs; none before any work was done at a measured pace.
  std::optional<int64_t> leftMs(int64_t nowMs) const;

 private:
  bool running_ = false;
  int startDone_ = 0;
  int64_t startMs_ = 0;
  int lastDone_ = 0;
  int64_t lastMs_ = 0;
  int total_ = 0;
};

// "about 40 s left", "about 3 min 20 s left", "about 2 h 5 min left".
std::string timeLeftText(int64_t ms);

// A group change's pace: each step's lines and the link's own exchange
// around its send (the hang-up or connect before it) count one unit each;
// a step's lines count as its radio answers them.
class GroupChangeTimeLeft {
 public:
  explicit GroupChangeTimeLeft(const GroupChangeRun& run) : run_(run) {}
  // The run moved on (a step began or ended, a line was answered).
  void update(int64_t nowMs);
  // timeLeftText of the estimate, or empty while there is none.
  std::string text(int64_t nowMs) const;

 private:
  const GroupChangeRun& run_;
  PaceEstimate pace_;
  bool restoring_ = false;
};

}  // namespace tessel
