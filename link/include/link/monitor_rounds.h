#pragma once

#include "link/port_state.h"
#include "link/task_host.h"

namespace tessel {

// The monitor's rounds: from the local master, each radio of the list is
// dialled in turn and read (a remote read dials its one radio the same way).
class MonitorRounds {
 public:
  explicit MonitorRounds(const TaskContext& ctx) : ctx_(ctx) {}

  // psAutoDiscover0: back at the local radio, which must be a master.
  Next localTick();
  // psAutoDiscoverX: the next radio is dialled, its answer awaited.
  Next dialTick();
  Next dialReply(const Answer& answer);

 private:
  void dial(int tries);

  TaskContext ctx_;
};

}  // namespace tessel
