#pragma once

// The status readings a polled radio reports: RSSI in dBm (-255 to 0),
// supply volts in the radio's own unit (0 to 999) and temperature in
// degrees Celsius (-99 to 199), each a whole decimal number.
#include <string>

namespace tessel {

// Whether param is one of the readings (RSSI, supply volts, temperature).
bool isPollReading(int param);

// The reading as the monitor shows it: the reply without surrounding
// blanks when it is a reading of param's form and range, otherwise "" (the
// reading is missing), so a stray "RING" or "999999" never passes for one.
std::string pollReadingText(int param, const std::string& reply);

}  // namespace tessel
