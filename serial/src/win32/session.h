#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace tessel {

namespace win32io {

// Owns one HANDLE; closes it when it goes.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  void reset(HANDLE h = nullptr) {
    if (valid()) CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_ = nullptr;
};

// One asynchronous operation's block and the event it signals.
struct Overlapped {
  OVERLAPPED block{};
  Handle event;
  // 0 or the GetLastError code of an event that could not be made.
  DWORD prepare() {
    event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));  // unnamed: this port's own
    block.hEvent = event.get();
    return event.valid() ? 0 : GetLastError();
  }
  // Ready for the next operation: event reset, position fields zero.
  void clear() {
    ResetEvent(event.get());
    block.Internal = block.InternalHigh = 0;
    block.Offset = block.OffsetHigh = 0;
  }
};

}  // namespace win32io

// One open of a port. The GUI thread and the event thread share it; the
// handle closes when the last of them lets go, so the event thread never
// works on a handle that was closed and perhaps reused.
struct TSerialSession {
  win32io::Handle handle;  // the port, opened for overlapped I/O
  std::string device;      // "COM3"
  int32_t baudrate = 9600;
  bool modemLines = false;  // the driver has modem lines (a pseudo-terminal under Wine has not)
  DWORD eventMask = 0;      // what the event thread waits for

  std::atomic<bool> open{false};
  std::atomic<bool> vanished{false};   // the device went away under us
  std::atomic<int> lostError{0};       // why, set before vanished
  bool lossReported = false;           // GUI thread: the loss has been told
  std::atomic<bool> txPending{false};  // written, waiting for the output to drain
  std::atomic<bool> discarded{false};  // a read dropped a byte since the last receive event
  std::atomic<uint64_t> bytesRead{0};
  // Line errors the event thread fetched while looking at the queue (the
  // system clears them as it reports them), kept for the next reader.
  std::atomic<uint32_t> heldErrors{0};

  // Serialises reads between the two threads (the event thread reads in
  // rxMessage mode). Reads and writes each have their own block: a write of
  // the GUI thread never shares one with a read of the event thread.
  std::mutex ioMutex;
  win32io::Overlapped readIo;
  win32io::Overlapped writeIo;
};

// A hand-over to the GUI thread that the event thread waits for.
struct THandOver {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;   // the job ran, or was dropped unrun
  bool cancelled = false;  // the close or the destructor let the waiter go
};

}  // namespace tessel
