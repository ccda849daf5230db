#pragma once

namespace tessel {

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

constexpr int kDefaultSettingsCode = 32;  // 9600 8N1
constexpr int kSearchEnd = 128;

}  // namespace tessel
