#include "termios2_io.h"

// Only the kernel's definitions here; <termios.h> must not be included.
#include <asm/ioctls.h>
#include <asm/termbits.h>

#include <cerrno>
#include <cstring>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace tessel {
namespace portio {

static_assert(sizeof(termios2) <= sizeof(SavedLine::raw), "termios2 does not fit");

namespace {

int ioctlRetry(int fd, unsigned long request, void* arg) {
  for (;;) {
    if (ioctl(fd, request, arg) >= 0) return 0;
    if (errno != EINTR) return errno;
  }
}

}  // namespace

int saveLine(int fd, SavedLine& out) {
  termios2 t{};
  int err = ioctlRetry(fd, TCGETS2, &t);
  if (err != 0) return err;
  std::memcpy(out.raw, &t, sizeof t);
  out.valid = true;
  return 0;
}

int restoreLine(int fd, const SavedLine& saved) {
  if (!saved.valid) return 0;
  termios2 t{};
  std::memcpy(&t, saved.raw, sizeof t);
  return ioctlRetry(fd, TCSETS2, &t);
}

int setBaudRate(int fd, int rate) {
  if (rate <= 0) return EINVAL;
  termios2 t{};
  int err = ioctlRetry(fd, TCGETS2, &t);
  if (err != 0) return err;
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = static_cast<speed_t>(rate);
  t.c_ospeed = static_cast<speed_t>(rate);
  return ioctlRetry(fd, TCSETS2, &t);
}

int getBaudRate(int fd, int& rate) {
  termios2 t{};
  int err = ioctlRetry(fd, TCGETS2, &t);
  if (err != 0) return err;
  rate = static_cast<int>(t.c_ospeed);
  return 0;
}

}  // namespace portio
}  // namespace tessel
