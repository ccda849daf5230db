#pragma once

#include "link/port_state.h"
#include "link/task_host.h"

namespace tessel {

class ComPortDialog;
class DialledLink;
class ReadTask;

// Reaching the local radio's command mode, the first step of every task
// but the emulation: the line settings are tried in turn ("AT" and "+++" at
// 19200 baud, "+++" at 9600, then the search or the settings as set), a
// link an earlier run left up is cleared, and the radio's answer hands on
// to the task.
class ConnectTask {
 public:
  ConnectTask(const TaskContext& ctx, ComPortDialog& dialog, DialledLink& link, ReadTask& read)
      : ctx_(ctx), dialog_(dialog), link_(link), read_(read) {}

  // The connect state that suits the last known line settings.
  PortState firstState() const;
  // A tick in one of the connect states (psConfig16at to psConfigManual).
  Next tick(PortState state);
  // An answer (or a refusal) in one of them.
  Next reply(const Answer& answer);
  // psError's tick: the user gives up, or the connect starts over.
  Next unableToContactTick();

 private:
  Next manualTick();
  Next connected();

  TaskContext ctx_;
  ComPortDialog& dialog_;
  DialledLink& link_;
  ReadTask& read_;
};

}  // namespace tessel
