#pragma once

#include <string>

#include "model/poll_array.h"

namespace tessel {

// Questions and notifications the link engine sends about a radio.
enum QueryCode : int {
  qcIsRead = 0,
  qcSetRead = 1,
  qcRenumbered = 2,
  qcIsLocal = 3,
  qcMarkLocal = 4,
  qcIsMaster = 5,
  qcCancel = 6,
  qcExists = 7,
  qcTaskDone = 8,
};

// Task codes of the link engine.
enum TaskCode : int {
  tkLocalOnly = 0,
  tkGetLocal = 1,
  tkAutoConfigure = 2,
  tkMonitor = 3,
  tkGetRemote = 4,
  tkSendValues = 5,
  tkEmulate = 6,
  tkUpdatePollList = 7,
};

// The three routines through which the link engine talks to the main
// window's panel and project. The main window attaches an implementation at
// every switch of its window mode; the last one attached counts.
class MainWindowCallbacks {
 public:
  virtual ~MainWindowCallbacks() = default;
  virtual bool RadioQuery(int radio, int code, bool argument) = 0;
  // The text held for a parameter of a radio; numeric asks for the digit
  // form of handshaking and buffer mode (model 2).
  virtual std::string RegisterValue(int radio, int param, bool numeric) = 0;
  // One register value read from a radio; param -1 is the identification
  // line (value = detected model) or a register the map does not know.
  virtual bool ApplyReply(int param, int value, const std::string& text) = 0;
  // Around the replies of one radio (one poll, one read): the values they
  // store reach the project file in one write at endReplies. A second begin
  // ends the first; so do RadioQuery's qcSetRead (argument true), qcCancel
  // and qcTaskDone, so an engine need only begin at each radio's read.
  virtual void beginReplies() {}
  virtual void endReplies() {}
};

// The one entry for work into the link engine, as seen from below it.
class LinkTasks {
 public:
  virtual ~LinkTasks() = default;
  virtual void StartTask(int code, const std::string& text, const TpollArray& list) = 0;
};

}  // namespace tessel
