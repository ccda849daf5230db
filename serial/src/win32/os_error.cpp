#include "os_error.h"

#include <windows.h>

namespace tessel::oserr {

const int kNotFound = ERROR_FILE_NOT_FOUND;
const int kInvalid = ERROR_INVALID_PARAMETER;
const int kIoError = ERROR_GEN_FAILURE;
const int kTimedOut = WAIT_TIMEOUT;
const int kUnsupported = ERROR_NOT_SUPPORTED;
const int kAborted = ERROR_OPERATION_ABORTED;

bool isPending(int code) {
  return code == 0 || code == ERROR_IO_PENDING;
}

// What calls on a port fail with once its USB adapter is unplugged.
bool deviceGone(int code) {
  switch (code) {
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case 433:  // ERROR_NO_SUCH_DEVICE
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEV_NOT_EXIST:
      return true;
    default:
      return false;
  }
}

std::string text(int code) {
  char* buffer = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
  std::string text = n && buffer ? std::string(buffer, n) : std::string();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text.empty() ? "system error " + std::to_string(code) : text;
}

}  // namespace tessel::oserr
