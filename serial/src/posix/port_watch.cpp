#include "serial/port_watch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace tessel {

namespace {

constexpr uint32_t kFolderEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_ONLYDIR;

// The names COM numbers are taken from: ttyUSB<n>, ttyACM<n>, ttyS<n>.
bool serialDeviceName(const std::string& name) {
  for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
    const size_t n = std::strlen(prefix);
    if (name.size() > n && name.compare(0, n, prefix) == 0 &&
        std::all_of(name.begin() + static_cast<long>(n), name.end(),
                    [](unsigned char c) { return std::isdigit(c); }))
      return true;
  }
  return false;
}

}  // namespace

// run()'s wake-up: stop() counts it up.
struct PortWatch::Waiting {
  int wake = -1;
  ~Waiting() {
    if (wake >= 0) ::close(wake);
  }
};

PortWatch::PortWatch(std::string devRoot) : devRoot_(std::move(devRoot)) {}

PortWatch::~PortWatch() {
  if (fd_ >= 0) ::close(fd_);
}

int PortWatch::run() {
  if (!waiting_ || waiting_->wake < 0) return EBADF;
  for (;;) {
    pollfd p[2] = {{fd_, POLLIN, 0}, {waiting_->wake, POLLIN, 0}};
    if (::poll(p, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (p[1].revents) return 0;
    if (p[0].revents) readEvents();
  }
}

void PortWatch::stop() {
  if (!waiting_ || waiting_->wake < 0) return;
  const uint64_t one = 1;
  (void)!::write(waiting_->wake, &one, sizeof one);
}

std::string PortWatch::startError(int err) const {
  return "cannot watch " + devRoot_ + ": " + std::strerror(err);
}

int PortWatch::start() {
  if (fd_ >= 0) return 0;
  if (!waiting_) {
    auto w = std::make_unique<Waiting>();
    w->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (w->wake < 0) return errno;
    waiting_ = std::move(w);
  }
  fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) {
    fd_ = -1;
    return errno;
  }
  const int wd = ::inotify_add_watch(fd_, devRoot_.c_str(), kFolderEvents);
  if (wd < 0) {
    const int err = errno;
    ::close(fd_);
    fd_ = -1;
    return err;
  }
  watches_.clear();
  watches_[wd] = {Kind::dev, devRoot_};
  // udev makes these only once an adapter with a serial number is plugged.
  watch(devRoot_ + "/serial", Kind::serial);
  watch(devRoot_ + "/serial/by-id", Kind::byId);
  return 0;
}

void PortWatch::watch(const std::string& path, Kind kind) {
  const int wd = ::inotify_add_watch(fd_, path.c_str(), kFolderEvents);
  if (wd >= 0) watches_[wd] = {kind, path};
}

void PortWatch::report(bool appeared, const std::string& path) {
  auto handler = onChange_;  // the handler may replace itself
  if (handler) handler(PortChange{appeared, path});
}

void PortWatch::readEvents() {
  if (fd_ < 0) return;
  alignas(inotify_event) char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // EAGAIN: all read
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      if (e->mask & IN_Q_OVERFLOW) {
        report(true, std::string());
        continue;
      }
      auto w = watches_.find(e->wd);
      if (w == watches_.end()) continue;
      const Kind kind = w->second.first;
      const std::string folder = w->second.second;
      if (e->mask & IN_IGNORED) {  // the folder went (the last adapter unplugged)
        watches_.erase(w);
        continue;
      }
      if (e->len == 0) continue;
      const std::string name = e->name;
      const std::string path = folder + "/" + name;
      const bool appeared = (e->mask & (IN_CREATE | IN_MOVED_TO)) != 0;
      const bool went = (e->mask & (IN_DELETE | IN_MOVED_FROM)) != 0;
      if (kind == Kind::dev && name == "serial" && appeared) {
        watch(path, Kind::serial);
        watch(path + "/by-id", Kind::byId);  // it may be there already
        // Links made before the watch are reported as found.
        std::error_code ec;
        for (std::filesystem::directory_iterator it(path + "/by-id", ec), end; !ec && it != end;
             it.increment(ec))
          report(true, it->path().string());
      } else if (kind == Kind::serial && name == "by-id" && appeared) {
        watch(path, Kind::byId);
        std::error_code ec;
        for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end;
             it.increment(ec))
          report(true, it->path().string());
      } else if ((kind == Kind::dev && serialDeviceName(name)) || kind == Kind::byId) {
        if (appeared || went) report(appeared, path);
      }
    }
  }
}

}  // namespace tessel
