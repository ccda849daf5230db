#pragma once

#include "link/port_state.h"
#include "link/send_queue.h"
#include "link/task_host.h"

namespace tessel {

// A send at work (psSendQueue): the queued lines go out one at a time, each
// waiting for its "OK"; an "ERROR" or too many silent tries end it.
class SendTask {
 public:
  SendTask(const TaskContext& ctx, TsendQueue& queue) : ctx_(ctx), queue_(queue) {}

  Next tick();
  Next reply(const Answer& answer);

 private:
  TaskContext ctx_;
  TsendQueue& queue_;
};

}  // namespace tessel
