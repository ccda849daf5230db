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
using tessel::smallNumber;
using tessel::upperCase;

}  // namespace text
}  // namespace tessel
