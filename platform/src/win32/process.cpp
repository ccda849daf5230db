#include <windows.h>

#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "wide.h"

namespace tessel::platform {

int currentProcessId() {
  return static_cast<int>(GetCurrentProcessId());
}

bool processRuns(int pid) {
  if (pid <= 0) return false;
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (!h) return GetLastError() == ERROR_ACCESS_DENIED;  // someone else's: it runs
  DWORD code = 0;
  const bool runs = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
  CloseHandle(h);
  return runs;
}

std::string executablePath() {
  std::vector<wchar_t> name(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return std::string();
    if (n < name.size()) return win32::narrow(name.data(), n);
    name.resize(name.size() * 2);
  }
}

std::string programName() {
  std::string name = baseNameOf(executablePath());
  const size_t dot = name.size() >= 4 ? name.size() - 4 : std::string::npos;
  if (dot != std::string::npos) {
    std::string ext = name.substr(dot);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (ext == ".exe") name.erase(dot);
  }
  return name;
}

bool environmentVariable(const std::string& name, std::string& value) {
  const std::wstring wide = win32::widen(name);
  const DWORD n = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
  if (n == 0) return false;
  std::wstring buf(n, L'\0');
  const DWORD got = GetEnvironmentVariableW(wide.c_str(), buf.data(), n);
  if (got == 0 || got >= n) return false;
  value = win32::narrow(buf.data(), got);
  return true;
}

std::string userDataFolder() {
  std::string folder;
  if (environmentVariable("LOCALAPPDATA", folder) && !folder.empty()) return folder;
  if (environmentVariable("USERPROFILE", folder) && !folder.empty())
    return pathInFolder(folder, "AppData\\Local");
  return ".";
}

}  // namespace tessel::platform
