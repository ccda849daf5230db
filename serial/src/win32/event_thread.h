#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>

#include "serial/message_assembler.h"
#include "serial_events.h"
#include "session.h"

namespace tessel {

// The worker of a TSerial: idles while the port is closed, waits on the open
// port for line events (WaitCommEvent) and hands each to the GUI thread, in a
// fixed order. It knows its component only as the sink of its events.
class TEventThread {
 public:
  explicit TEventThread(TSerialEvents& sink);
  ~TEventThread();  // terminates and joins
  TEventThread(const TEventThread&) = delete;
  TEventThread& operator=(const TEventThread&) = delete;

  // Makes the thread's events if they are missing; 0 or GetLastError.
  int prepare();
  // Starts the thread on the first call; later calls do nothing. 0, or the
  // code of a thread that could not be started.
  int resume();
  // Wakes the thread so it looks at the component's state again.
  void kick();
  // Asks the run to end and waits for it.
  void terminate();

  // How often the thread has woken up (idle cost; for tests).
  uint64_t wakeups() const { return wakeups_.load(); }

 private:
  struct Pass;  // what one serving pass knows of the port

  void run();
  void serve(const std::shared_ptr<TSerialSession>& session);
  // The events of the mask that occurred, waited for; false when the port
  // closed meanwhile.
  bool waitEvents(Pass& pass, DWORD& events);
  // The same found by looking at the port, for a driver that cannot wait.
  DWORD lookEvents(Pass& pass);
  void handle(Pass& pass, DWORD events);
  void received(Pass& pass);
  void assemble(const std::shared_ptr<TSerialSession>& session);
  void idle(DWORD ms);

  TSerialEvents& sink_;
  // Worker only: the message assembly of rxMessage mode, kept across
  // sessions as the component's state.
  TMessageAssembler assembler_;
  std::atomic<uint64_t> wakeups_{0};
  win32io::Handle wake_;       // auto-reset: kick() and the close
  win32io::Handle waitEvent_;  // manual-reset: the wait's completion
  std::thread thread_;
  std::atomic<bool> terminated_{false};
};

}  // namespace tessel
