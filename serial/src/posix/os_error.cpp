#include "os_error.h"

#include <cerrno>
#include <cstring>

namespace tessel::oserr {

const int kNotFound = ENOENT;
const int kInvalid = EINVAL;
const int kIoError = EIO;
const int kTimedOut = ETIMEDOUT;
const int kUnsupported = EOPNOTSUPP;
const int kAborted = ECONNABORTED;

bool isPending(int code) {
  return code == 0 || code == EAGAIN || code == EINPROGRESS;
}

// Errors after which the device is gone for good (unplugged adapter, closed
// pseudo-terminal master).
bool deviceGone(int code) {
  return code == EIO || code == ENXIO || code == ENODEV;
}

std::string text(int code) {
  char buffer[256];
  return ::strerror_r(code, buffer, sizeof buffer);  // the GNU form returns the text
}

}  // namespace tessel::oserr
