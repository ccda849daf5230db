#include "platform/file_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>

namespace tessel::platform {

namespace {

// "tessel-cli (process 4711)" from what the holder wrote into the lock
// file; "" when it tells nothing of a running program.
std::string holderOf(int fd) {
  char buf[256];
  const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  if (n <= 0) return "";
  buf[n] = '\0';
  char* end = nullptr;
  const long pid = std::strtol(buf, &end, 10);
  if (end == buf || pid <= 0 || pid > INT_MAX || *end != ' ') return "";
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return "";
  std::string name(end + 1);
  const size_t eol = name.find('\n');
  if (eol != std::string::npos) name.erase(eol);
  if (name.empty()) name = "a program";
  return name + " (process " + std::to_string(pid) + ")";
}

}  // namespace

FileLock::FileLock(FileLock&& other) noexcept
    : handle_(std::exchange(other.handle_, kNone)), path_(std::move(other.path_)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    release();
    handle_ = std::exchange(other.handle_, kNone);
    path_ = std::move(other.path_);
  }
  return *this;
}

FileLock::Outcome FileLock::take(const std::string& file, std::string& holder) {
  release();
  holder.clear();
  // The holder removes the lock file as it lets go; a lock won on a file
  // already removed locks nothing, so it is taken again on the new one.
  for (int attempt = 0; attempt < 10; ++attempt) {
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    // Another user's lock file still locks: a shared folder's project is
    // not written by two users at once either.
    if (fd < 0 && errno == EACCES) fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
      if (errno == EINTR) continue;
      return Outcome::unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int e = errno;
      if (e == EWOULDBLOCK) holder = holderOf(fd);
      ::close(fd);
      if (e == EINTR) continue;
      if (e != EWOULDBLOCK) return Outcome::unavailable;  // a file system without locks
      return Outcome::heldElsewhere;
    }
    struct stat opened, named;
    if (::fstat(fd, &opened) == 0 && ::stat(file.c_str(), &named) == 0 &&
        opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
      const char* name = program_invocation_short_name;
      const std::string who = std::to_string(::getpid()) + " " + (name ? name : "") + "\n";
      if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, who.data(), who.size(), 0);
      handle_ = fd;
      path_ = file;
      return Outcome::taken;
    }
    ::close(fd);
  }
  return Outcome::unavailable;
}

void FileLock::release() {
  if (handle_ == kNone) return;
  ::unlink(path_.c_str());
  ::close(static_cast<int>(handle_));
  handle_ = kNone;
  path_.clear();
}

}  // namespace tessel::platform
