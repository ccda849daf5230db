#include "link/port_settings.h"

#include <string>

#include "model/parameter_table.h"

namespace tessel {

int baudRateOfItem(int item) {
  const auto& rates = baudRates();
  return item >= 0 && item < static_cast<int>(rates.size()) ? std::stoi(rates[item]) : 0;
}

int baudItemOf(int rate) {
  const auto& rates = baudRates();
  for (size_t i = 0; i < rates.size(); ++i)
    if (rates[i] == std::to_string(rate)) return static_cast<int>(i);
  return -1;
}

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

eParity parityOfItem(int item) {
  return item == 0 ? paEven : item == 1 ? paOdd : paNone;
}

int parityItemOf(eParity parity) {
  return parity == paEven ? 0 : parity == paOdd ? 1 : 2;
}

LineSettings lineOfCode(int code) {
  const LineSettingsIndices s = decodeSettingsCode(code);
  return {baudRateOfItem(s.baudIndex), parityOfItem(s.parityIndex),
          s.dataBitsIndex == 0 ? d7bit : d8bit, s.stopBitsIndex == 1 ? st2bit : st1bit};
}

int nextSearchCode(int code) {
  code += 2;
  if (((code >> 2) & 3) == 3) code += 4;
  return code;
}

}  // namespace tessel
