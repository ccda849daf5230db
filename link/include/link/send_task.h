#pragma once

#include "link/port_state.h"
#include "link/send_queue.h"
#include "link/task_host.h"

namespace tessel {

// A send at work (psSendQueue): the queued lines go out one at a time, each
// waiting for its "OK"; an "ERROR", too many silent tries or a lost link
// end it. A remote radio takes a line per tick, or, as fast as replies
// (the host's fastPolls()), as soon as the last one was answered.
class SendTask {
 public:
  SendTask(const TaskContext& ctx, TsendQueue& queue) : ctx_(ctx), queue_(queue) {}

  Next tick();
  Next reply(const Answer& answer);
  // "NO CARRIER" cut the link to the radio the lines go to.
  Next linkLost(int radio);

 private:
  // The send ends before its last line: what is left is dropped, the user
  // is told (unless the sends' caller tells) and the monitor, if one ran,
  // goes on (renumbered: it is told the radio may have changed).
  Next endShort(Outcome outcome, bool renumbered);
  // Where the engine goes on once the send ended: a monitor it gave way to
  // resumes, at once as fast as replies.
  Next monitorGoesOn(bool monitoring) const;

  TaskContext ctx_;
  TsendQueue& queue_;
};

}  // namespace tessel
