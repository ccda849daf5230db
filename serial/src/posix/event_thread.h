#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "port_io.h"
#include "serial/message_assembler.h"
#include "serial_events.h"

namespace tessel {

// The worker of a TSerial: idles while the port is closed, waits on the open
// port for line events and hands each to the GUI thread, in a fixed order.
// It knows its component only as the sink of its events.
class TEventThread {
 public:
  explicit TEventThread(TSerialEvents& sink);
  ~TEventThread();  // terminates and joins
  TEventThread(const TEventThread&) = delete;
  TEventThread& operator=(const TEventThread&) = delete;

  // Creates the wake-up descriptor if it is missing; 0 or errno.
  int prepare();
  // Starts the thread on the first call; later calls do nothing. 0, or the
  // errno of a thread that could not be started.
  int resume();
  // Wakes the thread so it looks at the component's state again.
  void kick();
  // Asks the run to end and waits for it.
  void terminate();

  // How often the thread has woken up (idle cost; for tests).
  uint64_t wakeups() const { return wakeups_.load(); }

 private:
  void run();
  void serve(const std::shared_ptr<TSerialSession>& session);
  void assemble(const std::shared_ptr<TSerialSession>& session);
  void idle(int ms);

  TSerialEvents& sink_;
  // Worker only: the message assembly of rxMessage mode, kept across
  // sessions as the component's state.
  TMessageAssembler assembler_;
  std::atomic<uint64_t> wakeups_{0};
  portio::FileDescriptor wake_;
  std::thread thread_;
  std::atomic<bool> terminated_{false};
};

}  // namespace tessel
