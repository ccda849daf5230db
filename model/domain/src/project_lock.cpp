#include "model/project_lock.h"

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

namespace tessel {

namespace {

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string realPath(const std::string& path) {
  char buf[PATH_MAX];
  return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

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

ProjectLock::ProjectLock(ProjectLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), lockFile_(std::move(other.lockFile_)) {}

ProjectLock& ProjectLock::operator=(ProjectLock&& other) noexcept {
  if (this != &other) {
    release();
    fd_ = std::exchange(other.fd_, -1);
    lockFile_ = std::move(other.lockFile_);
  }
  return *this;
}

std::string ProjectLock::lockFileOf(const std::string& path) {
  // The file the project's writes replace: a symbolic link's target.
  std::string target = realPath(path);
  if (target.empty()) {
    const std::string folder = realPath(folderOf(path));
    target = (folder.empty() ? folderOf(path) : folder) + "/" + baseOf(path);
  }
  return folderOf(target) + "/." + baseOf(target) + ".lock";
}

std::string ProjectLock::heldText(const std::string& path, const std::string& holder) {
  return path + " is open in " + (holder.empty() ? std::string("another program") : holder);
}

bool ProjectLock::take(const std::string& path, std::string& error) {
  release();
  const std::string file = lockFileOf(path);
  // The holder removes the lock file as it lets go; a lock won on a file
  // already removed locks nothing, so it is taken again on the new one.
  for (int attempt = 0; attempt < 10; ++attempt) {
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    // Another user's lock file still locks: a shared folder's project is
    // not written by two users at once either.
    if (fd < 0 && errno == EACCES) fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
      if (errno == EINTR) continue;
      // A folder that takes no new file takes no new project either: the
      // project's own writes fail there and say so.
      return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int e = errno;
      const std::string holder = e == EWOULDBLOCK ? holderOf(fd) : std::string();
      ::close(fd);
      if (e == EINTR) continue;
      if (e != EWOULDBLOCK) return true;  // a file system without locks
      error = heldText(path, holder);
      return false;
    }
    struct stat opened, named;
    if (::fstat(fd, &opened) == 0 && ::stat(file.c_str(), &named) == 0 &&
        opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
      const char* name = program_invocation_short_name;
      const std::string who = std::to_string(::getpid()) + " " + (name ? name : "") + "\n";
      if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, who.data(), who.size(), 0);
      fd_ = fd;
      lockFile_ = file;
      return true;
    }
    ::close(fd);
  }
  return true;
}

void ProjectLock::release() {
  if (fd_ < 0) return;
  // Removed while still locked, so no one takes a lock on a file that is
  // about to go.
  ::unlink(lockFile_.c_str());
  ::close(fd_);
  fd_ = -1;
  lockFile_.clear();
}

}  // namespace tessel
