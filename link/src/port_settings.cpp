#include "link/port_settings.h"

namespace tessel {

bool isSettingsCode(int code) {
  return code >= 0 && code < kSearchEnd && ((code >> 2) & 3) != 3;
}

LineSettingsIndices decodeSettingsCode(int code) {
  LineSettingsIndices s;
  s.stopBitsIndex = code & 1;
  s.dataBitsIndex = 1 - ((code >> 1) & 1);
  s.parityIndex = 2 - ((code >> 2) & 3);
  s.baudIndex = 7 - (code >> 4);
  return s;
}

int nextSearchCode(int code) {
  code += 2;
  if (((code >> 2) & 3) == 3) code += 4;
  return code;
}

}  // namespace tessel
