#include "atomic_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace tessel {

namespace {

std::atomic<unsigned> tempCounter{0};

std::string failure(const std::string& path, const char* step, int err) {
  return "Cannot write \"" + path + "\" (" + step + "): " + std::strerror(err);
}

bool writeAll(int fd, const std::string& data) {
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// The file a write should replace: the target of a symbolic link, so the link
// survives the rename.
std::string resolveTarget(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf) != nullptr) return buf;
  }
  return path;
}

}  // namespace

bool replaceFileAtomically(const std::string& path, const std::string& data, std::string& error) {
  const std::string target = resolveTarget(path);

  struct stat orig;
  bool hadOriginal = ::stat(target.c_str(), &orig) == 0;
  if (!hadOriginal && errno != ENOENT) {
    error = failure(path, "checking the file", errno);
    return false;
  }
  if (hadOriginal && S_ISDIR(orig.st_mode)) {
    error = failure(path, "checking the file", EISDIR);
    return false;
  }
  // The rename needs only the directory's permission, so without this a file
  // the user made read-only would be replaced all the same.
  if (hadOriginal && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    error = failure(path, "checking the file", errno);
    return false;
  }

  // O_EXCL on a fresh name instead of mkstemp: the new file then gets the
  // mode a plain create would give (0666 less the umask).
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = target + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(tempCounter++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = failure(path, "creating a temporary file", errno);
    return false;
  }

  const char* step = nullptr;
  int err = 0;
  if (!writeAll(fd, data)) {
    step = "writing";
  } else if (hadOriginal && ::fchmod(fd, orig.st_mode & 07777) != 0) {
    step = "setting permissions";
  } else {
    // Only root may give the file back to another owner; otherwise the
    // rename leaves it ours, which is what a plain rewrite would do too.
    if (hadOriginal && (orig.st_uid != ::geteuid() || orig.st_gid != ::getegid()))
      (void)!::fchown(fd, orig.st_uid, orig.st_gid);
    if (::fsync(fd) != 0) step = "flushing to disk";
  }
  if (step != nullptr) err = errno;
  if (::close(fd) != 0 && step == nullptr) {
    step = "closing";
    err = errno;
  }
  if (step == nullptr && ::rename(temp.c_str(), target.c_str()) != 0) {
    step = "replacing the file";
    err = errno;
  }
  if (step != nullptr) {
    ::unlink(temp.c_str());
    error = failure(path, step, err);
    return false;
  }
  return true;
}

}  // namespace tessel
