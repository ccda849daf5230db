#include "dcb_line.h"

namespace tessel {

void applyLineSettings(const TLineSettings& s, DCB& dcb) {
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = static_cast<DWORD>(s.baudRate);
  dcb.fBinary = TRUE;
  dcb.fParity = s.checkParity ? TRUE : FALSE;
  // After a line error the driver refuses reads and writes until the error
  // flags are fetched, which each read does first.
  dcb.fAbortOnError = TRUE;
  dcb.fOutxCtsFlow = s.flow == fcRTS_CTS;
  dcb.fOutxDsrFlow = s.flow == fcDTR_DSR;
  dcb.fDtrControl = s.flow == fcDTR_DSR ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_DISABLE;
  dcb.fRtsControl = s.flow == fcRTS_CTS ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = s.flow == fcXON_XOF;
  dcb.fInX = s.flow == fcXON_XOF;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.XonLim = s.xonLim;
  dcb.XoffLim = s.xoffLim;
  dcb.XonChar = s.xonChar;
  dcb.XoffChar = s.xoffChar;
  dcb.ByteSize = static_cast<BYTE>(s.byteSize);
  switch (s.parity) {
    case paNone:
      dcb.Parity = NOPARITY;
      break;
    case paOdd:
      dcb.Parity = ODDPARITY;
      break;
    case paEven:
      dcb.Parity = EVENPARITY;
      break;
    case paMark:
      dcb.Parity = MARKPARITY;
      break;
    case paSpace:
      dcb.Parity = SPACEPARITY;
      break;
  }
  // One and a half stop bits are never asked for.
  dcb.StopBits = s.stopBits == st2bit ? TWOSTOPBITS : ONESTOPBIT;
}

DWORD commEventMask(bool modemLines) {
  constexpr DWORD kAll = EV_RXCHAR | EV_TXEMPTY | EV_CTS | EV_DSR | EV_RLSD | EV_BREAK | EV_RING;
  return modemLines ? kAll : EV_RXCHAR | EV_TXEMPTY;
}

}  // namespace tessel
