#pragma once

// Thin wrappers over the Linux calls behind TSerial. Each returns 0 or the
// errno of the failure (EINTR already retried), so callers hand the code to
// the component's single error path.

#include <cstdint>
#include <string>

namespace tessel {
namespace portio {

// Owns one file descriptor; closes it when it goes.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = other.release();
    }
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset();

 private:
  int fd_ = -1;
};

// Counters of the driver's line events (TIOCGICOUNT).
struct LineCounters {
  int cts = 0, dsr = 0, rng = 0, dcd = 0;
  int frame = 0, parity = 0, overrun = 0, brk = 0, bufOverrun = 0;
};

// True when err says the driver lacks the request (a pseudo-terminal has no
// modem lines and no line counters); that is not a failure of the port.
bool unsupported(int err);

// open() with O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC.
int openDevice(const std::string& path, FileDescriptor& out);
int checkTerminal(int fd);  // ENOTTY unless fd is a terminal
int lockExclusive(int fd);  // TIOCEXCL and a non-blocking flock; EBUSY when held
void unlockExclusive(int fd);
int makeEventFd(FileDescriptor& out);
int signalEventFd(int fd);
void drainEventFd(int fd);

int setModemLines(int fd, int bits, bool on);  // TIOCMBIS / TIOCMBIC
int modemStatus(int fd, int& bits);            // TIOCMGET
int lineCounters(int fd, LineCounters& out);   // TIOCGICOUNT
int bytesToRead(int fd, int& count);           // FIONREAD
int bytesToSend(int fd, int& count);           // TIOCOUTQ

// Reads one byte: 0 and got=1 on a byte, 0 and got=0 when none is queued,
// or the errno of the failure.
int readByte(int fd, unsigned char& byte, int& got);
// Writes as much as the driver takes now: 0 and the count in written (0 when
// the driver's buffer is full), or the errno of the failure.
int writeSome(int fd, const char* data, size_t size, size_t& written);
// Waits until the port takes more output or ms pass; 0 either way.
int waitWritable(int fd, int ms);

// Modem line bits, as TIOCM_* (kept here so callers need no termios header).
extern const int kLineDTR, kLineRTS, kLineCTS, kLineDSR, kLineCAR;

}  // namespace portio
}  // namespace tessel
