#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "platform/files.h"
#include "wide.h"

namespace tessel::platform {

using win32::errnoOf;
using win32::narrow;
using win32::widen;

namespace {

bool isSeparator(char c) {
  return c == '/' || c == '\\';
}

}  // namespace

std::string realPath(const std::string& path) {
  // Opened without access, only to ask the system for its final name.
  win32::Handle h(CreateFileW(widen(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h.valid()) return std::string();
  std::wstring name(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n = GetFinalPathNameByHandleW(h.get(), name.data(), static_cast<DWORD>(name.size()),
                                              FILE_NAME_NORMALIZED);
    if (n == 0) return std::string();
    if (n < name.size()) {
      name.resize(n);
      break;
    }
    name.assign(n + 1, L'\0');
  }
  // "\\?\C:\..." and "\\?\UNC\server\...": the names people know.
  if (name.rfind(L"\\\\?\\UNC\\", 0) == 0) return "\\\\" + narrow(name.substr(8));
  if (name.rfind(L"\\\\?\\", 0) == 0) return narrow(name.substr(4));
  return narrow(name);
}

std::string folderOf(const std::string& path) {
  size_t sep = path.size();
  while (sep > 0 && !isSeparator(path[sep - 1])) --sep;
  const bool drive = path.size() >= 2 && path[1] == ':';
  if (sep == 0) return drive ? path.substr(0, 2) : ".";
  --sep;  // at the separator
  if (sep == 0) return path.substr(0, 1);
  if (drive && sep == 2) return path.substr(0, 3);
  return path.substr(0, sep);
}

std::string baseNameOf(const std::string& path) {
  size_t sep = path.size();
  while (sep > 0 && !isSeparator(path[sep - 1]) && !(sep == 2 && path[1] == ':')) --sep;
  return path.substr(sep);
}

std::string pathInFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (isSeparator(folder.back())) return folder + name;
  // The separator the folder's name ends its parts with, so "/tmp/x" stays
  // as given.
  const size_t last = folder.find_last_of("/\\");
  return folder + (last != std::string::npos && folder[last] == '/' ? "/" : "\\") + name;
}

int writeAccess(const std::string& path) {
  const std::wstring wide = widen(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return errnoOf(GetLastError());
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return (attributes & FILE_ATTRIBUTE_READONLY) ? EACCES : 0;
  // A folder's permissions are the file system's business (ACLs, or the
  // POSIX modes under Wine): a file made and dropped again tells.
  static std::atomic<unsigned> counter{0};
  const std::wstring probe =
      widen(pathInFolder(path, ".tessel-probe-" + std::to_string(GetCurrentProcessId()) + "-" +
                                   std::to_string(counter++)));
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return errnoOf(GetLastError());
  CloseHandle(h);
  return 0;
}

bool isExecutable(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::FILE* openFile(const std::string& path, const char* mode) {
  return _wfopen(widen(path).c_str(), widen(mode).c_str());
}

int readWholeFile(const std::string& path, std::string& out) {
  out.clear();
  win32::Handle h(CreateFileW(widen(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.valid()) return errnoOf(GetLastError());
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h.get(), buf, sizeof buf, &n, nullptr)) return errnoOf(GetLastError());
    if (n == 0) break;
    out.append(buf, n);
  }
  return 0;
}

std::string makeTempFolder(const std::string& prefix) {
  wchar_t base[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, base);
  if (n == 0 || n > MAX_PATH) {
    errno = errnoOf(GetLastError());
    return std::string();
  }
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    char unique[32];
    std::snprintf(unique, sizeof unique, "%lx%04x",
                  static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned>((GetTickCount() + counter++) & 0xffff));
    const std::string folder = narrow(base, n) + prefix + unique;
    if (CreateDirectoryW(widen(folder).c_str(), nullptr)) return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      errno = errnoOf(GetLastError());
      return std::string();
    }
  }
  errno = EEXIST;
  return std::string();
}

}  // namespace tessel::platform
