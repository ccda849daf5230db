#include "termios_line.h"

namespace tessel {

void applyLineSettings(const TLineSettings& s, termios& t) {
  cfmakeraw(&t);  // binary: no echo, no line editing, no translation
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= s.byteSize == 8 ? CS8 : CS7;
  switch (s.parity) {
    case paNone:
      break;
    case paOdd:
      t.c_cflag |= PARENB | PARODD;
      break;
    case paEven:
      t.c_cflag |= PARENB;
      break;
    case paMark:  // with CMSPAR, PARODD selects a parity bit that is always 1
      t.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case paSpace:
      t.c_cflag |= PARENB | CMSPAR;
      break;
  }
  if (s.stopBits == st2bit) t.c_cflag |= CSTOPB;

  // A bad character is read as NUL (no marking, not ignored), and the line
  // counters tell the reader that it was bad.
  t.c_iflag &= ~(INPCK | IGNPAR | PARMRK | IXON | IXOFF | IXANY | IGNBRK | BRKINT);
  if (s.checkParity) t.c_iflag |= INPCK;

  switch (s.flow) {
    case fcNone:
    case fcDTR_DSR:  // no line discipline for it; the component's writes wait for DSR
      break;
    case fcRTS_CTS:
      t.c_cflag |= CRTSCTS;
      break;
    case fcXON_XOF:
      t.c_iflag |= IXON | IXOFF;
      break;
  }
  t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
  t.c_cc[VMIN] = 0;  // reads return at once with what is queued
  t.c_cc[VTIME] = 0;
}

}  // namespace tessel
