#include <windows.h>

#include <algorithm>
#include <cctype>
#include <utility>

#include "platform/serial_ports.h"
#include "wide.h"

namespace tessel::platform {

namespace {

// 3 for "COM3", 0 for a name that is no COM port.
unsigned long comNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 12) return 0;
  for (size_t i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
  unsigned long n = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
    n = n * 10 + static_cast<unsigned long>(name[i] - '0');
  }
  return n;
}

}  // namespace

std::vector<std::string> systemSerialPorts(const std::string&) {
  std::vector<std::pair<unsigned long, std::string>> found;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    for (DWORD i = 0;; ++i) {
      wchar_t name[256];
      wchar_t data[64];
      DWORD nameSize = 256, dataSize = sizeof data, type = 0;
      const LONG r = RegEnumValueW(key, i, name, &nameSize, nullptr, &type,
                                   reinterpret_cast<BYTE*>(data), &dataSize);
      if (r == ERROR_NO_MORE_ITEMS) break;
      if (r != ERROR_SUCCESS || type != REG_SZ) continue;
      size_t chars = dataSize / sizeof(wchar_t);
      while (chars > 0 && data[chars - 1] == L'\0') --chars;
      const std::string port = win32::narrow(data, chars);
      if (const unsigned long n = comNumber(port)) found.emplace_back(n, "COM" + std::to_string(n));
    }
    RegCloseKey(key);
  }
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  std::vector<std::string> ports;
  for (auto& f : found) ports.push_back(std::move(f.second));
  return ports;
}

}  // namespace tessel::platform
