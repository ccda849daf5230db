#include "sim/sim_pty.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tessel::sim {

namespace {

// Output no one reads is kept up to this size; a real radio's buffer is far
// smaller, and dropping old replies beats growing without limit.
constexpr size_t kMaxPendingOutput = 1 << 16;

// Paced input waiting for its time on the line. Beyond this the rest stays
// in the pseudo-terminal, whose full buffer then holds up the writer as a
// real line at this speed would; taking it all in would let a fast writer
// grow the queue without limit.
constexpr size_t kMaxPendingInput = 1024;

int speedOf(speed_t s) {
  switch (s) {
    case B300:
      return 300;
    case B600:
      return 600;
    case B1200:
      return 1200;
    case B2400:
      return 2400;
    case B4800:
      return 4800;
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    case B230400:
      return 230400;
    default:
      return 0;
  }
}

std::string errnoText(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

SimPty::SimPty(SimRadioGroup& group, Options options)
    : group_(group), options_(std::move(options)), start_(Clock::now()) {}

SimPty::~SimPty() {
  if (linked_) {
    // Remove the link only while it still points at our slave.
    char buf[256];
    ssize_t n = ::readlink(options_.linkPath.c_str(), buf, sizeof buf - 1);
    if (n > 0 && std::string(buf, static_cast<size_t>(n)) == slavePath_)
      ::unlink(options_.linkPath.c_str());
  }
  for (int fd : {master_, slaveHold_, wakeRead_, wakeWrite_, watch_})
    if (fd >= 0) ::close(fd);
}

bool SimPty::open() {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0) {
    error_ = errnoText("posix_openpt");
    return false;
  }
  char name[128];
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
      ::ptsname_r(master, name, sizeof name) != 0) {
    error_ = errnoText("pseudo-terminal");
    ::close(master);
    return false;
  }
  int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    error_ = errnoText(name);
    ::close(master);
    return false;
  }
  // Raw from the start: a cooked slave would echo the radios' replies back
  // to them and turn LF into CR LF.
  termios tio{};
  if (::tcgetattr(slave, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ::tcsetattr(slave, TCSANOW, &tio);
  }
  int pipefd[2];
  if (::pipe2(pipefd, O_NONBLOCK | O_CLOEXEC) != 0) {
    error_ = errnoText("pipe");
    ::close(slave);
    ::close(master);
    return false;
  }
  // Who else has the device open: a radio's reply to a closed port is lost,
  // not kept for the next program that opens it.
  int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch >= 0 && ::inotify_add_watch(watch, name, IN_OPEN | IN_CLOSE) < 0) {
    ::close(watch);
    watch = -1;
  }
  if (!options_.linkPath.empty()) {
    // A link left by a simulator that did not end cleanly points at a
    // pseudo-terminal and is replaced; anything else at that path is the
    // user's and stays.
    char target[256];
    ssize_t n = ::readlink(options_.linkPath.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)).rfind("/dev/pts/", 0) == 0)
      ::unlink(options_.linkPath.c_str());
    if (::symlink(name, options_.linkPath.c_str()) != 0) {
      error_ = errnoText(options_.linkPath.c_str());
      for (int fd : {pipefd[0], pipefd[1], slave, master, watch})
        if (fd >= 0) ::close(fd);
      return false;
    }
    linked_ = true;
  }
  master_ = master;
  slaveHold_ = slave;
  wakeRead_ = pipefd[0];
  wakeWrite_ = pipefd[1];
  watch_ = watch;
  slavePath_ = name;
  return true;
}

void SimPty::stop() {
  stopping_ = true;
  if (wakeWrite_ >= 0) {
    char c = 1;
    ssize_t r = ::write(wakeWrite_, &c, 1);
    (void)r;
  }
}

double SimPty::seconds(Clock::time_point t) const {
  return std::chrono::duration<double>(t - start_).count();
}

int64_t SimPty::nowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
}

std::chrono::nanoseconds SimPty::byteTime() const {
  int baud = options_.baud;
  if (baud <= 0) {
    termios tio{};
    if (::tcgetattr(slaveHold_, &tio) == 0) baud = speedOf(::cfgetospeed(&tio));
    if (baud <= 0) baud = 9600;
  }
  return std::chrono::nanoseconds(10'000'000'000LL / baud);
}

bool SimPty::readInput(Clock::time_point now) {
  char buf[512];
  for (;;) {
    size_t room = sizeof buf;
    if (options_.pace) {
      if (input_.size() >= kMaxPendingInput) return true;
      room = std::min(room, kMaxPendingInput - input_.size());
    }
    ssize_t n = ::read(master_, buf, room);
    if (n > 0) {
      bytesIn_ += static_cast<uint64_t>(n);
      if (!options_.pace) {
        std::string_view bytes(buf, static_cast<size_t>(n));
        if (options_.trace) options_.trace('r', std::string(bytes), seconds(now));
        queueOutput(group_.feed(bytes, nowMs()), now);
        continue;
      }
      auto per = byteTime();
      for (ssize_t i = 0; i < n; ++i) {
        // A byte is there only once its last bit has come over the line.
        rxFreeAt_ = std::max(rxFreeAt_, now) + per;
        input_.emplace_back(rxFreeAt_, buf[i]);
      }
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EIO)) return true;  // EIO: no one on the slave
    if (n == 0) return true;
    error_ = errnoText("read");
    return false;
  }
}

void SimPty::deliverInput(Clock::time_point now) {
  std::string due;
  while (!input_.empty() && input_.front().first <= now) {
    due += input_.front().second;
    input_.pop_front();
  }
  if (due.empty()) return;
  if (options_.trace) options_.trace('r', due, seconds(now));
  queueOutput(group_.feed(due, nowMs()), now);
}

void SimPty::queueOutput(const std::string& bytes, Clock::time_point now) {
  if (bytes.empty()) return;
  // On an idle line the first byte starts now; behind pending output it
  // starts when the byte before it has gone.
  if (output_.empty() && txFreeAt_ < now) txFreeAt_ = now;
  output_ += bytes;
  if (output_.size() > kMaxPendingOutput) output_.erase(0, output_.size() - kMaxPendingOutput);
}

void SimPty::readOpenEvents() {
  alignas(inotify_event) char buf[4096];
  for (;;) {
    ssize_t n = ::read(watch_, buf, sizeof buf);
    if (n <= 0) return;
    for (char* p = buf; p < buf + n;) {
      auto* ev = reinterpret_cast<inotify_event*>(p);
      if (ev->mask & IN_OPEN) ++users_;
      if ((ev->mask & IN_CLOSE) && users_ > 0 && --users_ == 0) {
        // The last user closed the port: what it did not read is gone.
        ::tcflush(slaveHold_, TCIFLUSH);
        output_.clear();
      }
      p += sizeof(inotify_event) + ev->len;
    }
  }
}

bool SimPty::writeOutput(Clock::time_point now) {
  if (watch_ >= 0 && users_ == 0) {
    output_.clear();
    return true;
  }
  size_t count = output_.size();
  if (options_.pace && count > 0) {
    auto per = byteTime();
    auto ready = (now - txFreeAt_) / per;
    count = std::min<size_t>(count, static_cast<size_t>(std::max<int64_t>(ready, 0)));
  }
  writeBlocked_ = false;
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(master_, output_.data() + done, count - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      writeBlocked_ = true;
      break;
    }
    error_ = errnoText("write");
    return false;
  }
  if (options_.pace) txFreeAt_ += byteTime() * static_cast<int64_t>(done);
  if (options_.trace && done > 0) options_.trace('t', output_.substr(0, done), seconds(now));
  output_.erase(0, done);
  bytesOut_ += done;
  return true;
}

bool SimPty::run() {
  if (master_ < 0) {
    error_ = "not open";
    return false;
  }
  while (!stopping_) {
    auto now = Clock::now();
    // Earliest moment something paced falls due.
    Clock::time_point due = Clock::time_point::max();
    if (!input_.empty()) due = input_.front().first;
    if (options_.pace && !output_.empty() && !writeBlocked_)
      due = std::min(due, txFreeAt_ + byteTime());

    pollfd fds[3] = {{master_, 0, 0}, {wakeRead_, POLLIN, 0}, {watch_, POLLIN, 0}};
    if (!options_.pace || input_.size() < kMaxPendingInput) fds[0].events |= POLLIN;
    if (!output_.empty() && (writeBlocked_ || !options_.pace)) fds[0].events |= POLLOUT;
    timespec ts{};
    timespec* timeout = nullptr;
    if (due != Clock::time_point::max()) {
      auto wait = std::max(due - now, Clock::duration::zero());
      auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
      ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
      timeout = &ts;
    }
    int r = ::ppoll(fds, watch_ >= 0 ? 3 : 2, timeout, nullptr);
    if (r < 0) {
      if (errno == EINTR) continue;
      error_ = errnoText("poll");
      return false;
    }
    if (fds[1].revents & POLLIN) {
      char buf[16];
      while (::read(wakeRead_, buf, sizeof buf) > 0) {
      }
    }
    if (fds[0].revents & (POLLERR | POLLNVAL)) {
      error_ = "the pseudo-terminal failed";
      return false;
    }
    // Opens and closes first: they happened before the bytes that follow.
    if (watch_ >= 0 && (fds[2].revents & POLLIN)) readOpenEvents();
    now = Clock::now();
    if ((fds[0].revents & POLLIN) && !readInput(now)) return false;
    deliverInput(now);
    if (!output_.empty() && !writeOutput(Clock::now())) return false;
  }
  return true;
}

}  // namespace tessel::sim
