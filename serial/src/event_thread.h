#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "port_io.h"

namespace tessel {

class TSerial;
struct TSerialSession;

// The worker of a TSerial: idles while the port is closed, waits on the open
// port for line events and hands each to the GUI thread, in a fixed order.
class TEventThread {
 public:
  explicit TEventThread(TSerial& owner);
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

 private:
  void run();
  void serve(const std::shared_ptr<TSerialSession>& session);
  void assemble(const std::shared_ptr<TSerialSession>& session);
  void idle(int ms);

  TSerial& owner_;
  portio::FileDescriptor wake_;
  std::thread thread_;
  std::atomic<bool> terminated_{false};
};

}  // namespace tessel
