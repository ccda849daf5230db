#include "platform/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tessel::platform {

namespace {

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

PseudoTerminal::~PseudoTerminal() {
  if (linked_) {
    // Remove the link only while it still points at our slave.
    char buf[256];
    ssize_t n = ::readlink(linkPath_.c_str(), buf, sizeof buf - 1);
    if (n > 0 && std::string(buf, static_cast<size_t>(n)) == slavePath_)
      ::unlink(linkPath_.c_str());
  }
  for (int fd : {master_, slaveHold_, wakeRead_, wakeWrite_, watch_})
    if (fd >= 0) ::close(fd);
}

bool PseudoTerminal::open(const std::string& linkPath) {
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
  if (!linkPath.empty()) {
    // A link left by a simulator that did not end cleanly points at a
    // pseudo-terminal and is replaced; anything else at that path is the
    // user's and stays.
    char target[256];
    ssize_t n = ::readlink(linkPath.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)).rfind("/dev/pts/", 0) == 0)
      ::unlink(linkPath.c_str());
    if (::symlink(name, linkPath.c_str()) != 0) {
      error_ = errnoText(linkPath.c_str());
      for (int fd : {pipefd[0], pipefd[1], slave, master, watch})
        if (fd >= 0) ::close(fd);
      return false;
    }
    linked_ = true;
    linkPath_ = linkPath;
  }
  master_ = master;
  slaveHold_ = slave;
  wakeRead_ = pipefd[0];
  wakeWrite_ = pipefd[1];
  watch_ = watch;
  slavePath_ = name;
  return true;
}

int PseudoTerminal::lineSpeed() const {
  termios tio{};
  return ::tcgetattr(slaveHold_, &tio) == 0 ? speedOf(::cfgetospeed(&tio)) : 0;
}

long PseudoTerminal::read(char* buf, size_t size) {
  for (;;) {
    ssize_t n = ::read(master_, buf, size);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EIO) return 0;  // EIO: no one on the slave
    error_ = errnoText("read");
    return -1;
  }
}

long PseudoTerminal::write(const char* data, size_t size) {
  for (;;) {
    ssize_t n = ::write(master_, data, size);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return 0;
    error_ = errnoText("write");
    return -1;
  }
}

void PseudoTerminal::dropUnread() {
  ::tcflush(slaveHold_, TCIFLUSH);
}

PseudoTerminal::Ready PseudoTerminal::wait(bool wantInput, bool wantOutput,
                                           std::optional<std::chrono::nanoseconds> timeout) {
  Ready ready;
  pollfd fds[3] = {{master_, 0, 0}, {wakeRead_, POLLIN, 0}, {watch_, POLLIN, 0}};
  if (wantInput) fds[0].events |= POLLIN;
  if (wantOutput) fds[0].events |= POLLOUT;
  timespec ts{};
  if (timeout) {
    const auto ns = std::max<long long>(timeout->count(), 0);
    ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  }
  int r;
  do {
    r = ::ppoll(fds, watch_ >= 0 ? 3 : 2, timeout ? &ts : nullptr, nullptr);
  } while (r < 0 && errno == EINTR);
  if (r < 0) {
    error_ = errnoText("poll");
    ready.failed = true;
    return ready;
  }
  if (fds[1].revents & POLLIN) {
    char buf[16];
    while (::read(wakeRead_, buf, sizeof buf) > 0) {
    }
  }
  if (fds[0].revents & (POLLERR | POLLNVAL)) {
    error_ = "the pseudo-terminal failed";
    ready.failed = true;
    return ready;
  }
  ready.input = (fds[0].revents & POLLIN) != 0;
  ready.output = (fds[0].revents & POLLOUT) != 0;
  ready.users = watch_ >= 0 && (fds[2].revents & POLLIN);
  return ready;
}

void PseudoTerminal::wake() {
  if (wakeWrite_ >= 0) {
    char c = 1;
    ssize_t r = ::write(wakeWrite_, &c, 1);
    (void)r;
  }
}

std::vector<int> PseudoTerminal::userChanges() {
  std::vector<int> changes;
  alignas(inotify_event) char buf[4096];
  for (;;) {
    ssize_t n = ::read(watch_, buf, sizeof buf);
    if (n <= 0) return changes;
    for (char* p = buf; p < buf + n;) {
      auto* ev = reinterpret_cast<inotify_event*>(p);
      if (ev->mask & IN_OPEN) changes.push_back(+1);
      if (ev->mask & IN_CLOSE) changes.push_back(-1);
      p += sizeof(inotify_event) + ev->len;
    }
  }
}

}  // namespace tessel::platform
