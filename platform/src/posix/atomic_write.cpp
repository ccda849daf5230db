#include "platform/atomic_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace tessel::platform {

namespace {

std::atomic<unsigned> tempCounter{0};

std::string failure(const std::string& path, const char* step, int err) {
  return "Cannot write \"" + path + "\" (" + step + "): " + std::strerror(err);
}

bool writeAll(int fd, const char* p, size_t left) {
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

std::string directoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

constexpr char kTempMark[] = ".tmp";

std::string tempName(const std::string& target) {
  return target + kTempMark + std::to_string(::getpid()) + "_" + std::to_string(tempCounter++);
}

}  // namespace

void removeDeadWritersFiles(const std::string& path) {
  const std::string target = resolveTarget(path);
  const size_t slash = target.rfind('/');
  const std::string dir = directoryOf(target);
  const std::string prefix =
      (slash == std::string::npos ? target : target.substr(slash + 1)) + kTempMark;
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    // "<pid>_<counter>" and nothing else: a name someone else chose stays.
    const char* p = name.c_str() + prefix.size();
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(p, &end, 10);
    if (errno != 0 || end == p || *end != '_' || pid <= 0 || pid > INT_MAX) continue;
    const char* q = end + 1;
    if (*q == '\0' || std::strspn(q, "0123456789") != std::strlen(q)) continue;
    // A writer that still runs may be in the middle of its write; the pid of
    // a dead one may have been given to another process since, which only
    // means its file is left for a later open.
    if (pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    ::unlinkat(::dirfd(d), name.c_str(), 0);
  }
  ::closedir(d);
}

bool replaceFileAtomically(const std::string& path, const std::string& data, std::string& error) {
  return replaceFileAtomically(
      path, [&data](const DataSink& put) { return put(data.data(), data.size()); }, error);
}

bool replaceFileAtomically(const std::string& path,
                           const std::function<bool(const DataSink& put)>& produce,
                           std::string& error) {
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

  // Preferably the data goes to an unnamed file that gets a name only once it
  // is complete and on disk, so a writer killed on the way leaves nothing.
  // Where the file system has no unnamed files, O_EXCL on a fresh name
  // (instead of mkstemp, so the new file gets the mode a plain create would
  // give: 0666 less the umask); leftovers of writers killed then are removed
  // by removeDeadWritersFiles.
  std::string temp;
  int fd = -1;
  bool unnamed = false;
#ifdef O_TMPFILE
  // The name is given through /proc (linkat with AT_EMPTY_PATH needs a
  // privilege), so without /proc the named way is taken.
  if (::access("/proc/self/fd", X_OK) == 0) {
    const std::string dir = directoryOf(target);
    fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    unnamed = fd >= 0;
  }
#endif
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = tempName(target);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = failure(path, "creating a temporary file", errno);
    return false;
  }

  const char* step = nullptr;
  int err = 0;
  if (!produce([fd](const char* p, size_t n) { return writeAll(fd, p, n); })) {
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
  bool replaced = false;
  if (step == nullptr && unnamed) {
    // A name for the complete file, then at once the rename over the
    // original; only between these two calls does a named temporary file
    // exist. The data is on disk already, so the close can come after.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
      temp = tempName(target);
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) break;
      const int e = errno;
      temp.clear();
      if (e != EEXIST) {
        step = "naming the temporary file";
        err = e;
        break;
      }
    }
    if (step == nullptr) {
      if (::rename(temp.c_str(), target.c_str()) == 0) {
        replaced = true;
      } else {
        step = "replacing the file";
        err = errno;
      }
    }
  }
  if (::close(fd) != 0 && step == nullptr && !replaced) {
    step = "closing";
    err = errno;
  }
  if (step == nullptr && !replaced && ::rename(temp.c_str(), target.c_str()) != 0) {
    step = "replacing the file";
    err = errno;
  }
  if (step != nullptr) {
    if (!temp.empty()) ::unlink(temp.c_str());
    error = failure(path, step, err);
    return false;
  }
  return true;
}

}  // namespace tessel::platform
