#include <windows.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/file_lock.h"
#include "platform/process.h"
#include "wide.h"

namespace tessel::platform {

namespace {

// The byte locked lies far beyond the holder's text, which others read to
// say who holds the lock (a locked range may not be read on Windows).
constexpr DWORD kLockedByteHigh = 1;  // at 4 GiB

// "tessel-cli (process 4711)" from what the holder wrote into the lock
// file; "" when it tells nothing of a running program.
std::string holderOf(HANDLE h) {
  char buf[256];
  DWORD n = 0;
  OVERLAPPED at{};  // from the start, whatever the handle's position
  if (!ReadFile(h, buf, sizeof buf - 1, &n, &at) || n == 0) return "";
  buf[n] = '\0';
  char* end = nullptr;
  const long pid = std::strtol(buf, &end, 10);
  if (end == buf || pid <= 0 || pid > INT_MAX || *end != ' ') return "";
  if (!processRuns(static_cast<int>(pid))) return "";
  std::string name(end + 1);
  const size_t eol = name.find('\n');
  if (eol != std::string::npos) name.erase(eol);
  if (name.empty()) name = "a program";
  return name + " (process " + std::to_string(pid) + ")";
}

// Whether h is the file the name stands for now (not one removed since).
bool sameFile(HANDLE h, const std::wstring& name) {
  BY_HANDLE_FILE_INFORMATION opened, named;
  if (!GetFileInformationByHandle(h, &opened)) return false;
  win32::Handle again(CreateFileW(name.c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!again.valid() || !GetFileInformationByHandle(again.get(), &named)) return false;
  return opened.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
         opened.nFileIndexHigh == named.nFileIndexHigh &&
         opened.nFileIndexLow == named.nFileIndexLow;
}

HANDLE openLockFile(const std::wstring& name, DWORD access, DWORD disposition) {
  return CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, disposition, FILE_ATTRIBUTE_HIDDEN, nullptr);
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
  const std::wstring name = win32::widen(file);
  // The holder removes the lock file as it lets go; while it goes, opens of
  // it are refused, and a lock won on a file already removed locks nothing:
  // either way it is tried again on the new one.
  for (int attempt = 0; attempt < 10; ++attempt) {
    HANDLE h = openLockFile(name, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    // Another user's lock file still locks: a shared folder's project is
    // not written by two users at once either.
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
      h = openLockFile(name, GENERIC_READ, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD e = GetLastError();
      if (e == ERROR_ACCESS_DENIED || e == ERROR_FILE_NOT_FOUND) {
        Sleep(5);  // a file on its way out
        continue;
      }
      return Outcome::unavailable;
    }
    OVERLAPPED at{};
    at.OffsetHigh = kLockedByteHigh;
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
      const DWORD e = GetLastError();
      if (e == ERROR_LOCK_VIOLATION) holder = holderOf(h);
      CloseHandle(h);
      if (e != ERROR_LOCK_VIOLATION) return Outcome::unavailable;  // a file system without locks
      return Outcome::heldElsewhere;
    }
    if (sameFile(h, name)) {
      const std::string who = std::to_string(currentProcessId()) + " " + programName() + "\n";
      DWORD n = 0;
      if (SetFilePointer(h, 0, nullptr, FILE_BEGIN) == 0 && SetEndOfFile(h))
        WriteFile(h, who.data(), static_cast<DWORD>(who.size()), &n, nullptr);
      handle_ = reinterpret_cast<std::intptr_t>(h);
      path_ = file;
      return Outcome::taken;
    }
    CloseHandle(h);
  }
  return Outcome::unavailable;
}

void FileLock::release() {
  if (handle_ == kNone) return;
  // Removed while still locked: it goes once the handle closes.
  DeleteFileW(win32::widen(path_).c_str());
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
  path_.clear();
}

}  // namespace tessel::platform
