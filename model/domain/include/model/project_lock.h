#pragma once

// One program at a time writes a project. Each keeps the whole file in
// memory and writes it from there, so a second writer would put back what
// the first one changed. The lock is on a small file beside the project
// (".<name>.lock", a platform::FileLock): the project file itself is
// replaced by every write, so a lock on it would not outlive the first
// write. The lock file holds the holder's process ID and program name, and
// goes when the lock is released.
#include <string>

#include "platform/file_lock.h"

namespace tessel {

class ProjectLock {
 public:
  ProjectLock() = default;
  ProjectLock(ProjectLock&& other) noexcept = default;
  ProjectLock& operator=(ProjectLock&& other) noexcept = default;

  // Takes the lock of the project at path. False when another program (or
  // another open in this one) holds it; error then names the file and,
  // where the lock file tells, the program holding it. Where no lock file
  // can be made (a folder this program may not write) there is nothing to
  // lock: true, and held() is false.
  bool take(const std::string& path, std::string& error);
  void release();
  bool held() const { return lock_.held(); }
  // The lock file of the project at path: the same for every name of the
  // file (relative, absolute, through a symbolic link).
  static std::string lockFileOf(const std::string& path);
  const std::string& lockFile() const { return lock_.path(); }

  // "<path> is open in tessel-cli (process 4711)", or "in another program"
  // when the holder is not known.
  static std::string heldText(const std::string& path, const std::string& holder);

 private:
  platform::FileLock lock_;
};

}  // namespace tessel
