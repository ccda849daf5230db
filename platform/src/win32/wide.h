#pragma once

// The wide texts of the Win32 API to and from the UTF-8 of the program, and
// its error codes as the errno values the rest of the program speaks.
#include <windows.h>

#include <string>

namespace tessel::platform::win32 {

std::wstring widen(const std::string& utf8);
std::string narrow(const wchar_t* wide, size_t size);
inline std::string narrow(const std::wstring& wide) {
  return narrow(wide.data(), wide.size());
}

// The errno value closest to a GetLastError code (EIO for those without one).
int errnoOf(DWORD error);

// Owns one HANDLE; closes it when it goes.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  void reset(HANDLE h = nullptr) {
    if (valid()) CloseHandle(h_);
    h_ = h;
  }
  HANDLE release() {
    HANDLE h = h_;
    h_ = nullptr;
    return h;
  }

 private:
  HANDLE h_ = nullptr;
};

}  // namespace tessel::platform::win32
