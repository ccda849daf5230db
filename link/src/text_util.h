#pragma once

// Small text helpers shared by the engine's source files.
#include <string>

#include "model/text.h"

namespace tessel {
namespace text {

inline bool contains(const std::string& s, const char* part) {
  return s.find(part) != std::string::npos;
}

using tessel::allDigits;
using tessel::parseInt32;
using tessel::upperCase;

// A decimal number of at most maxDigits digits; -1 when it is none.
inline int smallNumber(const std::string& s, size_t maxDigits) {
  int value = -1;
  if (!allDigits(s) || s.size() > maxDigits || !parseInt32(s, value)) return -1;
  return value;
}

}  // namespace text
}  // namespace tessel
