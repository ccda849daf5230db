#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/poll_array.h"

namespace tessel {

// Task codes of the link engine.
enum class TaskCode : uint8_t {
  LocalOnly = 0,
  GetLocal = 1,
  AutoConfigure = 2,
  Monitor = 3,
  GetRemote = 4,
  SendValues = 5,
  Emulate = 6,
  UpdatePollList = 7,
};
// The engine's traditional names of the tasks.
inline constexpr TaskCode tkLocalOnly = TaskCode::LocalOnly;
inline constexpr TaskCode tkGetLocal = TaskCode::GetLocal;
inline constexpr TaskCode tkAutoConfigure = TaskCode::AutoConfigure;
inline constexpr TaskCode tkMonitor = TaskCode::Monitor;
inline constexpr TaskCode tkGetRemote = TaskCode::GetRemote;
inline constexpr TaskCode tkSendValues = TaskCode::SendValues;
inline constexpr TaskCode tkEmulate = TaskCode::Emulate;
inline constexpr TaskCode tkUpdatePollList = TaskCode::UpdatePollList;

// What the link engine asks of the main window's panel and project, and
// what it tells it. The main window attaches an implementation at every
// switch of its window mode; the last one attached counts. Radio numbers
// outside 0..254 answer false and change nothing.
class MainWindowCallbacks {
 public:
  virtual ~MainWindowCallbacks() = default;

  // Questions; they change nothing.
  virtual bool isLocal(int radio) = 0;   // the radio on the COM port
  virtual bool isMaster(int radio) = 0;  // configured as a master
  virtual bool exists(int radio) = 0;    // the group holds this number

  // A register read of radio runs: its tree node shows it being read.
  // True when its full register set was read before, so its short poll map
  // is enough. Asked again at every row, which only renews the mark.
  virtual bool markPolling(int radio) = 0;
  // Sets the radio's "read" flag (false: its next read takes the full map),
  // clears its node's reading mark and, outside Monitor mode, gives the
  // panel's radio parameters back to the user; returns the old flag.
  virtual bool setRead(int radio, bool read) = 0;
  // The local identification finished: the radio being read is marked as
  // the local one. Returns whether radio was marked so before.
  virtual bool markLocal(int radio) = 0;

  // Notices.
  // A send ended while monitoring (monitoring = true) or an emulated radio
  // was reset: the main window refreshes the radio and may hand the engine
  // a new poll list.
  virtual void radioRenumbered(int radio, bool monitoring) = 0;
  // The engine gave up on radio's task; the pending operation ends.
  virtual void taskCancelled(int radio) = 0;
  // A read ended; the main window leaves its busy state.
  virtual void readDone() = 0;

  // The text held for a parameter of a radio; numeric asks for the digit
  // form of handshaking and buffer mode (model 2).
  virtual std::string RegisterValue(int radio, int param, bool numeric) = 0;
  // One register value read from a radio; param -1 is the identification
  // line (value = detected model) or a register the map does not know.
  virtual bool ApplyReply(int param, int value, const std::string& text) = 0;
  // A value an emulated radio was set to ("S<n>=<v>"): it goes where that
  // radio's RegisterValue reads from, as a reply of that radio would; false
  // when the register gives no value of its parameter.
  virtual bool storeRegister(int radio, int param, int value, const std::string& text) {
    (void)radio;
    (void)param;
    (void)value;
    (void)text;
    return false;
  }
  // The radio answered "ERROR" to the register of param (-1: to its
  // identification); the read goes on with the next register.
  virtual void registerRefused(int param) { (void)param; }
  // Around the replies of one radio (one poll, one read): the values they
  // store reach the project file in one write at endReplies. A second begin
  // ends the first; so do setRead(radio, true), taskCancelled and readDone,
  // so an engine need only begin at each radio's read.
  virtual void beginReplies() {}
  virtual void endReplies() {}
};

// The one entry for work into the link engine, as seen from below it.
class LinkTasks {
 public:
  virtual ~LinkTasks() = default;

  // Whether a task was taken, and why not: the caller prepares nothing (a
  // loading flag, queued lines) before Started, and says why otherwise.
  // Refused and Declined come from the commands above the engine only: the
  // command met one that runs and may not start beside it (the reason is
  // the commands' to tell), or the user chose to let that one go on.
  enum class TaskStart { Started, PortClosed, Busy, Refused, Declined };
  using SendStart = TaskStart;
  virtual TaskStart StartTask(TaskCode code, const std::string& text, const TpollArray& list) = 0;

  // Starts a send with its lines, queued only when the engine takes the
  // task; otherwise nothing is queued, so no line is left over for the next
  // radio. An engine that cannot send says the port is closed.
  virtual SendStart StartSend(const std::string& title, const TpollArray& list,
                              const std::vector<std::string>& lines) {
    (void)title;
    (void)list;
    (void)lines;
    return SendStart::PortClosed;
  }
};

}  // namespace tessel
