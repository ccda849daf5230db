#pragma once

#include "serial/serial_link.h"

namespace tessel {

// One full set of line settings, as the port takes them: what the COM port
// dialog's controls show, what a settings code stands for, what tessel-cli's
// --baud, --parity, --data-bits and --stop-bits ask for.
struct LineSettings {
  int baud = 19200;  // 0: no rate the port knows (it stays closed)
  eParity parity = paNone;
  eDataBits dataBits = d8bit;
  eStopBits stopBits = st1bit;

  bool operator==(const LineSettings& o) const {
    return baud == o.baud && parity == o.parity && dataBits == o.dataBits && stopBits == o.stopBits;
  }
};

// The parity box's items: 0 Even, 1 Odd, 2 None.
eParity parityOfItem(int item);
int parityItemOf(eParity parity);

// The rates of the baud rate box and of the settings codes, by item: the
// parameter table's baud rates. The rate of an item, and the item of a rate
// (-1 for a rate the box does not list).
int baudRateOfItem(int item);
int baudItemOf(int rate);

// A settings code packs one full set of line settings into a number:
// bit 0 stop bits (0 one, 1 two), bit 1 data bits (0 eight, 1 seven),
// bits 2-3 parity (0 none, 1 odd, 2 even), bits 4 and up 7 - baud item.
struct LineSettingsIndices {
  int baudIndex;      // item of the baud rate box, 0 = 300 ... 7 = 38400
  int parityIndex;    // 0 Even, 1 Odd, 2 None
  int dataBitsIndex;  // 0 seven, 1 eight
  int stopBitsIndex;  // 0 one, 1 two
};

// True for the codes the engine itself produces: 0..127 without parity 3.
bool isSettingsCode(int code);
// The control indices of a valid code.
LineSettingsIndices decodeSettingsCode(int code);
// The code after c in the auto-configuration search (two steps, skipping
// parity 3); 128 means the search is exhausted.
int nextSearchCode(int code);
// The line a valid settings code stands for.
LineSettings lineOfCode(int code);

constexpr int kDefaultSettingsCode = 32;  // 9600 8N1
constexpr int kSearchEnd = 128;

}  // namespace tessel
