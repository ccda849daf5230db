#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "link/port_state.h"
#include "model/main_window_link.h"
#include "model/outcome.h"

namespace tessel {

// The three panels of the main window's status bar as the engine would
// have them; an empty optional leaves that panel as it is.
struct LinkStatus {
  std::string port;                  // panel 0: "Active COM1:9600, 8,n,1"
  std::optional<std::string> task;   // panel 1
  std::optional<bool> ownerDrawn;    // panel 2 drawn by the main window
  std::optional<std::string> state;  // panel 2 as text
  // While a send runs, how its lines go, whole and in the few words the
  // queue gauge carries; empty otherwise.
  std::string pacing;
  std::string pacingBrief;
};

// How a send's lines go: each as soon as the radio answered the last (as
// fast as replies, or to the local radio), or one per tick. brief: in a
// few words ("Per reply", "Per 2.5 s").
std::string sendPacingText(bool linesAtOnce, bool brief = false);

// The status bar's texts for an engine in state, running task, on the port
// described by port, reading (panel 2 of psDiscoverSRegs) the register
// rowRegister gives: negative for the identification, -1000 past the map.
// linesAtOnce: a send's lines go as fast as replies.
LinkStatus describeStatus(PortState state, TaskCode task, const std::string& port,
                          const std::string& currentRadio, const std::function<int()>& rowRegister,
                          bool linesAtOnce = false);

// What the link engine did, for whoever shows or records it: the terminal,
// the log, the status bar, the headless monitor, the window's progress.
// Every event has an empty default, so a listener implements only what it
// needs. Events arrive on the engine's thread, in the order things happen.
class LinkObserver {
 public:
  virtual ~LinkObserver() = default;

  virtual void stateChanged(PortState /*from*/, PortState /*to*/) {}
  virtual void taskChanged(TaskCode /*from*/, TaskCode /*to*/) {}
  // A tick or a reply is being handled in a state (shown under stateName;
  // pending is the received text in hand).
  virtual void stateHandled(const char* /*stateName*/, const std::string& /*pending*/) {}
  // Every line handed to the send routine, queued or written.
  virtual void lineSubmitted(const std::string& /*line*/) {}
  // A line written to the port (without its line end).
  virtual void lineSent(const std::string& /*line*/) {}
  virtual void lineReceived(const std::string& /*line*/) {}
  // Received text without a line end grew past limit; the oldest is dropped.
  virtual void receiveOverflow(size_t /*limit*/) {}
  virtual void dialling(int /*radio*/) {}
  // A radio's registers were read to the end (a monitor round's poll).
  virtual void radioPolled(int /*radio*/) {}
  // A task ended, and how (with what the engine tells the user about it).
  virtual void taskEnded(TaskCode /*task*/, const Outcome& /*outcome*/) {}
  // The open port's device went away (an unplugged adapter); message names it.
  virtual void lineLost(const std::string& /*message*/) {}
  // "NO CARRIER" cut the link to radio; message names it.
  virtual void linkDropped(int /*radio*/, const std::string& /*message*/) {}
  // A line meant for a radio was not written: the link is not on it (it
  // dropped, or a dial or hang-up is unanswered).
  virtual void lineWithheld(const std::string& /*line*/) {}
  // A line of a send was answered "OK" by the radio it went to.
  virtual void lineConfirmed(const std::string& /*line*/) {}
  virtual void queueLengthChanged(int /*count*/) {}
  // Sent only while a status bar is attached: working the texts out asks
  // the main window about the radio being read.
  virtual void statusChanged(const LinkStatus& /*status*/) {}
};

}  // namespace tessel
