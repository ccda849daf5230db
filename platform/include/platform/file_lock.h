#pragma once

// An exclusive lock on a small file that one program at a time holds: an
// flock on POSIX, LockFileEx on Windows. The file holds the holder's process
// ID and program name, so a program that finds it locked can say who has it,
// and goes away when the lock is let go.
#include <cstdint>
#include <string>

namespace tessel::platform {

class FileLock {
 public:
  enum class Outcome {
    taken,
    // Another program, or another FileLock of this one, holds it.
    heldElsewhere,
    // No lock can be had there (a folder that takes no new file, a file
    // system without locks): nothing is locked.
    unavailable,
  };

  FileLock() = default;
  ~FileLock() { release(); }
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock of the file at path, made if needed. When another holds
  // it, holder names that program ("tessel-cli (process 4711)") as far as
  // the file tells, else it is empty.
  Outcome take(const std::string& path, std::string& holder);
  // Removes the file, still locked (so no one locks a file about to go),
  // and lets go.
  void release();
  bool held() const { return handle_ != kNone; }
  // The file locked; empty while nothing is.
  const std::string& path() const { return path_; }

 private:
  static constexpr std::intptr_t kNone = -1;
  std::intptr_t handle_ = kNone;  // the open lock file: a descriptor or a HANDLE
  std::string path_;
};

}  // namespace tessel::platform
