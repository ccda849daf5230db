#pragma once

#include <termios.h>

#include "serial/line_settings.h"

namespace tessel {

// Fills t for the settings: raw binary mode, receiver on, modem control lines
// ignored for the open itself. The baud rate is set separately, exactly.
void applyLineSettings(const TLineSettings& settings, termios& t);

}  // namespace tessel
