#pragma once

#include <cstdint>

#include "serial/serial_link.h"

namespace tessel {

// Further enumerations of the serial component (ordinal order fixed).
enum eFlowControl : uint8_t { fcNone, fcRTS_CTS, fcDTR_DSR, fcXON_XOF };
enum eOpModes : uint8_t { rxNormal, rxMessage };
enum eNotifyErr : uint8_t { neDialog, neEvent, neNone };
enum eModemInSignal : uint8_t { msCTS, msDSR, msRLSD };
using sPorts = uint8_t;  // 1..9

// Line error flags collected into CErrorCode (the values other serial
// drivers use for the same conditions).
enum : uint32_t {
  ceRxOver = 0x0001,
  ceOverrun = 0x0002,
  ceRxParity = 0x0004,
  ceFrame = 0x0008,
  ceBreak = 0x0010,
};

// The line settings an open hands to the driver, as values; each
// implementation of the port turns them into its system's form.
struct TLineSettings {
  int32_t baudRate = 9600;
  bool checkParity = true;
  eFlowControl flow = fcNone;
  uint16_t xonLim = 0;   // bytes; the Win32 driver takes them, the Linux line
  uint16_t xoffLim = 0;  // discipline uses limits of its own
  char xonChar = 0x11;
  char xoffChar = 0x13;
  int byteSize = 7;
  eParity parity = paNone;
  eStopBits stopBits = st1bit;
};

TLineSettings buildLineSettings(int32_t baudRate, eParity parity, eDataBits dataBits,
                                eStopBits stopBits, eFlowControl flow, bool checkParity,
                                uint16_t rxQueueSize);

}  // namespace tessel
