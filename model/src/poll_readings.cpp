#include "model/poll_readings.h"

#include "model/catalogue.h"
#include "model/text.h"

namespace tessel {

namespace {

struct Range {
  int lo, hi;
};

bool rangeOf(int param, Range& r) {
  switch (param) {
    case param::rssi:
      r = {-255, 0};
      return true;
    case param::supplyVolts:
      r = {0, 999};
      return true;
    case param::temperature:
      r = {-99, 199};
      return true;
    default:
      return false;
  }
}

}  // namespace

bool isPollReading(int param) {
  Range r;
  return rangeOf(param, r);
}

std::string pollReadingText(int param, const std::string& reply) {
  Range r;
  if (!rangeOf(param, r)) return "";
  const std::string t = trimBlanks(reply);
  const bool negative = !t.empty() && t[0] == '-';
  const std::string digits = t.substr(negative ? 1 : 0);
  // Three digits cover every range, and keep the number far from overflow.
  if (digits.empty() || digits.size() > 3 || !allDigits(digits)) return "";
  const int v = (negative ? -1 : 1) * std::stoi(digits);
  return v >= r.lo && v <= r.hi ? t : "";
}

}  // namespace tessel
