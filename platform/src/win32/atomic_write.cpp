#include <windows.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/atomic_write.h"
#include "platform/files.h"
#include "platform/process.h"
#include "wide.h"

namespace tessel::platform {

using win32::widen;

namespace {

std::atomic<unsigned> tempCounter{0};

std::string failure(const std::string& path, const char* step, DWORD err) {
  return "Cannot write \"" + path + "\" (" + step + "): " + std::strerror(win32::errnoOf(err));
}

std::string failure(const std::string& path, const char* step, int err) {
  return "Cannot write \"" + path + "\" (" + step + "): " + std::strerror(err);
}

// The file a write should replace: the target of a symbolic link, so the link
// survives the rename.
std::string resolveTarget(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(widen(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    const std::string real = realPath(path);
    if (!real.empty()) return real;
  }
  return path;
}

constexpr char kTempMark[] = ".tmp";

std::string tempName(const std::string& target) {
  return target + kTempMark + std::to_string(GetCurrentProcessId()) + "_" +
         std::to_string(tempCounter++);
}

// The attributes a new file takes over from the one it replaces.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

void removeDeadWritersFiles(const std::string& path) {
  const std::string target = resolveTarget(path);
  const std::string prefix = baseNameOf(target) + kTempMark;
  const std::string folder = folderOf(target);
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(widen(pathInFolder(folder, prefix + "*")).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = win32::narrow(found.cFileName, wcslen(found.cFileName));
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    // "<pid>_<counter>" and nothing else: a name someone else chose stays.
    const char* p = name.c_str() + prefix.size();
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(p, &end, 10);
    if (errno != 0 || end == p || *end != '_' || pid <= 0 || pid > INT_MAX) continue;
    const char* q = end + 1;
    if (*q == '\0' || std::strspn(q, "0123456789") != std::strlen(q)) continue;
    // A writer that still runs may be in the middle of its write.
    if (pid == currentProcessId() || processRuns(static_cast<int>(pid))) continue;
    DeleteFileW(widen(pathInFolder(folder, name)).c_str());
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

bool replaceFileAtomically(const std::string& path, const std::string& data, std::string& error) {
  return replaceFileAtomically(
      path, [&data](const DataSink& put) { return put(data.data(), data.size()); }, error);
}

bool replaceFileAtomically(const std::string& path,
                           const std::function<bool(const DataSink& put)>& produce,
                           std::string& error) {
  const std::string target = resolveTarget(path);
  const std::wstring wideTarget = widen(target);

  const DWORD original = GetFileAttributesW(wideTarget.c_str());
  const bool hadOriginal = original != INVALID_FILE_ATTRIBUTES;
  if (!hadOriginal && GetLastError() != ERROR_FILE_NOT_FOUND) {
    error = failure(path, "checking the file", GetLastError());
    return false;
  }
  if (hadOriginal && (original & FILE_ATTRIBUTE_DIRECTORY)) {
    error = failure(path, "checking the file", EISDIR);
    return false;
  }
  // The rename needs only the folder's permission, so without this a file
  // the user made read-only would be replaced all the same.
  if (hadOriginal && (original & FILE_ATTRIBUTE_READONLY)) {
    error = failure(path, "checking the file", EACCES);
    return false;
  }

  // The data goes to a new file beside the target, is flushed to disk and
  // moved over the target; leftovers of writers killed on the way are
  // removed by removeDeadWritersFiles.
  std::string temp;
  std::wstring wideTemp;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
    temp = tempName(target);
    wideTemp = widen(temp);
    h = CreateFileW(wideTemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                    nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) {
    error = failure(path, "creating a temporary file", GetLastError());
    return false;
  }

  const char* step = nullptr;
  DWORD err = 0;
  DWORD writeError = 0;
  const DataSink put = [h, &writeError](const char* p, size_t left) {
    while (left > 0) {
      const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
      DWORD n = 0;
      if (!WriteFile(h, p, chunk, &n, nullptr)) {
        writeError = GetLastError();
        return false;
      }
      p += n;
      left -= n;
    }
    return true;
  };
  if (!produce(put)) {
    step = "writing";
    err = writeError ? writeError : ERROR_WRITE_FAULT;
  } else if (!FlushFileBuffers(h)) {
    step = "flushing to disk";
    err = GetLastError();
  }
  if (!CloseHandle(h) && step == nullptr) {
    step = "closing";
    err = GetLastError();
  }
  const DWORD kept = hadOriginal ? original & kKeptAttributes : 0;
  if (step == nullptr && kept != 0 && !SetFileAttributesW(wideTemp.c_str(), kept)) {
    step = "setting permissions";
    err = GetLastError();
  }
  if (step == nullptr && !MoveFileExW(wideTemp.c_str(), wideTarget.c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    step = "replacing the file";
    err = GetLastError();
  }
  if (step != nullptr) {
    DeleteFileW(wideTemp.c_str());
    error = failure(path, step, err);
    return false;
  }
  return true;
}

}  // namespace tessel::platform
