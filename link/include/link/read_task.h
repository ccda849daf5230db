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
  void start();
  // The identification line (psLocalATI).
  void identification(const std::string& line);
  // A reply while the pages are read (psLocalATIx).
  void pageReply(ReplyClass rc, const std::string& line);
  // The tick and the replies while registers are asked (psDiscoverSRegs).
  void registerTick();
  void registerReply(ReplyClass rc, const std::string& line);
  // A refusal the last register still owed, come after the read moved on to
  // the next dial (answers come in order): true when rc was taken as one.
  bool takeLateRefusal(ReplyClass rc);

 private:
  void nextPage();
  void finishRead();
  bool asksAtOnce() const;
  void registerRefused(int reg);
  // The monitor is done with the radio read: on to the state given.
  void monitorGoesOn(PortState next);

  TaskContext ctx_;
  // Times the register in hand was asked again with no answer yet; each may
  // still bring an answer of its own after the first.
  int resends_ = 0;
  // Refusals still owed by a register the radio refused when asked again.
  int lateRefusals_ = 0;
};

}  // namespace tessel
