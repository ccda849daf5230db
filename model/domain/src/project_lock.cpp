#include "model/project_lock.h"

#include <string>

#include "platform/files.h"

namespace tessel {

std::string ProjectLock::lockFileOf(const std::string& path) {
  // The file the project's writes replace: a symbolic link's target.
  std::string target = platform::realPath(path);
  if (target.empty()) {
    const std::string folder = platform::realPath(platform::folderOf(path));
    target = platform::pathInFolder(folder.empty() ? platform::folderOf(path) : folder,
                                    platform::baseNameOf(path));
  }
  return platform::pathInFolder(platform::folderOf(target),
                                "." + platform::baseNameOf(target) + ".lock");
}

std::string ProjectLock::heldText(const std::string& path, const std::string& holder) {
  return path + " is open in " + (holder.empty() ? std::string("another program") : holder);
}

bool ProjectLock::take(const std::string& path, std::string& error) {
  release();
  std::string holder;
  switch (lock_.take(lockFileOf(path), holder)) {
    case platform::FileLock::Outcome::taken:
      return true;
    case platform::FileLock::Outcome::heldElsewhere:
      error = heldText(path, holder);
      return false;
    case platform::FileLock::Outcome::unavailable:
      // A folder that takes no new file takes no new project either: the
      // project's own writes fail there and say so.
      return true;
  }
  return true;
}

void ProjectLock::release() {
  lock_.release();
}

}  // namespace tessel
