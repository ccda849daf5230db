#include "link/port_state.h"

#include "text_util.h"

namespace tessel {

using text::contains;
using text::upperCase;

namespace {

const char* const kStateNames[] = {
    "psError",     "psIdle",       "psConfig16at",    "psConfig16plus",  "psConfig32",
    "psConfig0",   "psConfigAuto", "psConfigManual",  "psLocalATI",      "psLocalATIx",
    "psSentATH",   "psSentATD",    "psAutoDiscover0", "psAutoDiscoverX", "psDiscoverSRegs",
    "psSendQueue", "psEmulate"};

}  // namespace

const char* stateName(PortState state) {
  return state <= psEmulate ? kStateNames[state] : "psUnknown";
}

ReplyClass classifyReply(const std::string& line) {
  const std::string u = upperCase(line);
  if (contains(u, "OK")) return rcOK;
  if (contains(u, "ERROR")) return rcError;
  if (contains(u, "IGNORED")) return rcIgnored;
  if (u == "ATI") return rcATI;
  if (contains(u, "ATI1")) return rcATI1;
  if (contains(u, "ATI2")) return rcATI2;
  if (contains(u, "ATI3")) return rcATI3;
  if (contains(u, "ATI")) return rcATIx;
  if (u == "ATD") return rcATD;
  if (contains(u, "ATD")) return rcATDn;
  if (contains(u, "AT&W")) return rcATW;
  if (contains(u, "AT&R")) return rcATR;
  if (u == "AT") return rcAT;
  if (contains(u, "+++")) return rcEscape;
  if (contains(u, "ATS") && contains(u, "?")) return rcSQuery;
  if (contains(u, "ATS") && contains(u, "=")) return rcSSet;
  return rcText;
}

}  // namespace tessel
