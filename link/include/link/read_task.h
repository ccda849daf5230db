#pragma once

#include <string>

#include "link/port_state.h"
#include "link/task_host.h"

namespace tessel {

// Reading a radio once the connect was answered: its identification, its
// pages, then its registers one at a time. The monitor reads each radio of
// its rounds the same way.
class ReadTask {
 public:
  explicit ReadTask(const TaskContext& ctx) : ctx_(ctx) {}

  // The radio answered the connect: its replies are written as one from
  // here, and it is asked who it is.
  Next start();
  // The identification line (psLocalATI).
  Next identification(const Answer& answer);
  // An answer while the pages are read (psLocalATIx).
  Next pageReply(const Answer& answer);
  // The tick and the answers while registers are asked (psDiscoverSRegs).
  Next registerTick();
  Next registerReply(const Answer& answer);
  // "NO CARRIER" cut the link to the radio being read.
  Next linkLost(int radio);

 private:
  Next nextPage();
  Next finishRead();
  // The local radio refused its first page: a monitor cannot find it.
  Next unidentified();
  bool asksAtOnce() const;
  Next registerRefused();
  Next readEnded(TaskCode task);
  // The monitor is done with the radio read: on to the state given.
  Next monitorGoesOn(PortState next);

  TaskContext ctx_;
  // The registers asked follow the local radio's pages (not a dial): a
  // monitor starts its round of dials from there.
  bool afterPages_ = false;
};

}  // namespace tessel
