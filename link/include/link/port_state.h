#pragma once

#include <cstdint>
#include <string>

namespace tessel {

// States of the link engine.
enum PortState : uint8_t {
  psError,
  psIdle,
  psConfig16at,
  psConfig16plus,
  psConfig32,
  psConfig0,
  psConfigAuto,
  psConfigManual,
  psLocalATI,
  psLocalATIx,
  psSentATH,
  psSentATD,
  psAutoDiscover0,
  psAutoDiscoverX,
  psDiscoverSRegs,
  psSendQueue,
  psEmulate,
};

// Classes of a received line.
enum ReplyClass : int {
  rcText = 0,
  rcOK = 1,
  rcError = 2,
  rcIgnored = 3,
  rcATI = 4,
  rcATI1 = 5,
  rcATI2 = 6,
  rcATI3 = 7,
  rcATIx = 8,
  rcATD = 9,
  rcATDn = 10,
  rcAT = 11,
  rcATW = 12,
  rcEscape = 13,
  rcSQuery = 14,
  rcSSet = 15,
  rcATR = 16,
};

const char* stateName(PortState state);
// Classifies a received line (compared in upper case).
ReplyClass classifyReply(const std::string& line);

}  // namespace tessel
