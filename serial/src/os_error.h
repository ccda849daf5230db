#pragma once

// The system's error codes as the serial component reports them: errno
// values on POSIX, GetLastError codes on Windows. Each implementation of the
// port defines these, so the shared code of the component names a kind of
// failure without knowing the system.
#include <string>

namespace tessel::oserr {

extern const int kNotFound;     // no such device
extern const int kInvalid;      // an address or setting that cannot be
extern const int kIoError;      // the device failed
extern const int kTimedOut;     // a write that did not end in time
extern const int kUnsupported;  // what this build or driver cannot do
extern const int kAborted;      // a connection that ended

// A code that means "not done yet" rather than a failure (0 among them).
bool isPending(int code);
// After it the device is gone for good (an unplugged adapter).
bool deviceGone(int code);
// The system's text for a code.
std::string text(int code);

}  // namespace tessel::oserr
