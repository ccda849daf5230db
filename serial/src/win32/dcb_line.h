#pragma once

#include <windows.h>

#include "serial/line_settings.h"

namespace tessel {

// Fills the driver's line settings: binary mode, abort on line errors,
// parity checking as asked, flow control by the settings' mode, XON/XOFF
// limits and characters, byte size, parity and stop bits.
void applyLineSettings(const TLineSettings& settings, DCB& dcb);

// The events the event thread waits for: those of the component (0x017D),
// or without modem lines only the received characters and the empty
// transmit queue.
DWORD commEventMask(bool modemLines);

}  // namespace tessel
