#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "port_io.h"
#include "termios2_io.h"

namespace tessel {

// Releases the exclusive hold on a port (TIOCNXCL and the flock) unless it
// was handed over or released already.
class ExclusiveHold {
 public:
  ExclusiveHold() = default;
  explicit ExclusiveHold(int fd) : fd_(fd) {}
  ~ExclusiveHold() { release(); }
  ExclusiveHold(const ExclusiveHold&) = delete;
  ExclusiveHold& operator=(const ExclusiveHold&) = delete;
  // Takes over the hold of fd (after a successful lock).
  void take(int fd) {
    release();
    fd_ = fd;
  }
  void release() {
    if (fd_ >= 0) portio::unlockExclusive(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// One open of a port. The GUI thread and the event thread share it; the
// descriptor closes when the last of them lets go, so the event thread never
// works on a descriptor number that was closed and perhaps reused.
struct TSerialSession {
  portio::FileDescriptor fd;
  ExclusiveHold hold;  // declared after fd: released before the descriptor closes
  std::string device;
  int32_t baudrate = 9600;
  bool modemLines = false;  // the driver has DTR/RTS/CTS/DSR (a pseudo-terminal has not)
  bool counters = false;    // the driver counts line events (TIOCGICOUNT)
  portio::SavedLine original;

  std::atomic<bool> open{false};
  std::atomic<bool> vanished{false};   // the device went away under us
  std::atomic<int> lostError{0};       // why, set before vanished
  bool lossReported = false;           // GUI thread: the loss has been told
  std::atomic<bool> txPending{false};  // written, waiting for the output to drain
  std::atomic<bool> discarded{false};  // a read dropped a byte since the last receive event
  std::atomic<uint64_t> bytesRead{0};

  // Serialises reads and the line-error baseline between the two threads.
  std::mutex ioMutex;
  portio::LineCounters errorBase;
};

// A hand-over to the GUI thread that the event thread waits for.
struct THandOver {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;   // the job ran, or was dropped unrun
  bool cancelled = false;  // the close or the destructor let the waiter go
};

}  // namespace tessel
