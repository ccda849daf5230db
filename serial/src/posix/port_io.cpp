#include "port_io.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace tessel {
namespace portio {

const int kLineDTR = TIOCM_DTR;
const int kLineRTS = TIOCM_RTS;
const int kLineCTS = TIOCM_CTS;
const int kLineDSR = TIOCM_DSR;
const int kLineCAR = TIOCM_CAR;

namespace {

template <typename Call>
int retry(Call call) {
  for (;;) {
    if (call() >= 0) return 0;
    if (errno != EINTR) return errno;
  }
}

}  // namespace

void FileDescriptor::reset() {
  if (fd_ >= 0) {
    // close() is not retried on EINTR on Linux: the descriptor is gone anyway.
    ::close(fd_);
    fd_ = -1;
  }
}

bool unsupported(int err) {
  return err == ENOTTY || err == EINVAL || err == EOPNOTSUPP;
}

int openDevice(const std::string& path, FileDescriptor& out) {
  int fd = -1;
  int err = retry([&] {
    fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    return fd;
  });
  if (err == 0) out = FileDescriptor(fd);
  return err;
}

int checkTerminal(int fd) {
  return ::isatty(fd) ? 0 : ENOTTY;
}

int lockExclusive(int fd) {
  // flock holds against other programs and other TSerial objects; TIOCEXCL
  // makes further open() calls of the device fail (for anyone but root).
  int err = retry([&] { return ::flock(fd, LOCK_EX | LOCK_NB); });
  if (err == EWOULDBLOCK) return EBUSY;
  if (err != 0) return err;
  err = retry([&] { return ::ioctl(fd, TIOCEXCL); });
  if (err != 0) {
    ::flock(fd, LOCK_UN);
    return err;
  }
  return 0;
}

void unlockExclusive(int fd) {
  retry([&] { return ::ioctl(fd, TIOCNXCL); });
  retry([&] { return ::flock(fd, LOCK_UN); });
}

int makeEventFd(FileDescriptor& out) {
  int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return errno;
  out = FileDescriptor(fd);
  return 0;
}

int signalEventFd(int fd) {
  uint64_t one = 1;
  int err = retry([&] { return static_cast<int>(::write(fd, &one, sizeof one)); });
  return err == EAGAIN ? 0 : err;  // a full counter is still signalled
}

void drainEventFd(int fd) {
  uint64_t value = 0;
  retry([&] { return static_cast<int>(::read(fd, &value, sizeof value)); });
}

int setModemLines(int fd, int bits, bool on) {
  return retry([&] { return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits); });
}

int modemStatus(int fd, int& bits) {
  bits = 0;
  return retry([&] { return ::ioctl(fd, TIOCMGET, &bits); });
}

int lineCounters(int fd, LineCounters& out) {
  serial_icounter_struct c{};
  int err = retry([&] { return ::ioctl(fd, TIOCGICOUNT, &c); });
  if (err != 0) return err;
  out.cts = c.cts;
  out.dsr = c.dsr;
  out.rng = c.rng;
  out.dcd = c.dcd;
  out.frame = c.frame;
  out.parity = c.parity;
  out.overrun = c.overrun;
  out.brk = c.brk;
  out.bufOverrun = c.buf_overrun;
  return 0;
}

int bytesToRead(int fd, int& count) {
  count = 0;
  return retry([&] { return ::ioctl(fd, FIONREAD, &count); });
}

int bytesToSend(int fd, int& count) {
  count = 0;
  return retry([&] { return ::ioctl(fd, TIOCOUTQ, &count); });
}

int readByte(int fd, unsigned char& byte, int& got) {
  got = 0;
  for (;;) {
    ssize_t n = ::read(fd, &byte, 1);
    if (n == 1) {
      got = 1;
      return 0;
    }
    if (n == 0) return 0;  // nothing to read (end of input on a hung-up line)
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return errno;
  }
}

int writeSome(int fd, const char* data, size_t size, size_t& written) {
  written = 0;
  for (;;) {
    ssize_t n = ::write(fd, data, size);
    if (n >= 0) {
      written = static_cast<size_t>(n);
      return 0;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return errno;
  }
}

int waitWritable(int fd, int ms) {
  pollfd p{fd, POLLOUT, 0};
  int r = ::poll(&p, 1, ms);
  if (r < 0 && errno != EINTR) return errno;
  return 0;
}

}  // namespace portio
}  // namespace tessel
