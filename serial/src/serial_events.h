#pragma once

// What the event thread needs of its serial component: the session to
// serve, the hand-over to the GUI thread, the settings it reads while
// serving, and the events it raises. Everything else of the component stays
// out of the worker's reach.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/line_settings.h"

namespace tessel {

struct TSerialSession;

class TSerialEvents {
 public:
  virtual ~TSerialEvents() = default;

  // The session to serve, or null; leaveSession() ends the serving of it.
  virtual std::shared_ptr<TSerialSession> enterSession() = 0;
  virtual void leaveSession() = 0;
  // Runs fn on the GUI thread and waits for it; returns without running it
  // when the session closed or the component is going meanwhile.
  virtual void handOver(const std::shared_ptr<TSerialSession>& session,
                        std::function<void()> fn) = 0;

  // Read on the worker while serving.
  struct Framing {
    eOpModes mode = rxNormal;
    char start = 2;
    char end = 3;
    uint16_t appendCount = 0;
  };
  virtual Framing framing() const = 0;
  enum Handler { hRxData, hTxEmpty, hMessage, hSignalChange, hBreak, hRing };
  virtual bool hasHandler(Handler handler) const = 0;
  // One received character for the assembly (1), or none (0).
  virtual int readChar(const std::shared_ptr<TSerialSession>& session, char& ch) = 0;
  // The last known state of a modem line, kept whether or not a handler listens.
  virtual void storeSignal(eModemInSignal signal, bool state) = 0;

  // GUI thread, inside a hand-over.
  virtual void waitFailed(int err) = 0;
  virtual void lineLost(const std::shared_ptr<TSerialSession>& session, int err) = 0;
  virtual void rxData() = 0;
  virtual void txEmpty() = 0;
  virtual void breakDetected() = 0;
  virtual void ring() = 0;
  virtual void message(const std::string& text) = 0;
  virtual void signalChanged(eModemInSignal signal, bool state) = 0;
};

}  // namespace tessel
