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
using tessel::upperCase;

// A decimal number of at most maxDigits digits; -1 when it is none.
inline int smallNumber(const std::string& s, size_t maxDigits) {
  if (!allDigits(s) || s.size() > maxDigits) return -1;
  return std::stoi(s);
}

}  // namespace text
}  // namespace tessel
