#pragma once

// Small text helpers shared by the engine's source files.
#include <string>

#include "model/text.h"

namespace tessel {
namespace text {

inline bool contains(const std::string& s, const char* part) {
  return s.find(part) != std::string::npos;
}

// The local radio's word that the link it held dropped: the whole line,
// blanks aside, in any case.
inline bool isNoCarrier(const std::string& line) {
  const size_t begin = line.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return false;
  const size_t end = line.find_last_not_of(" \t\r\n");
  return tessel::upperCase(line.substr(begin, end + 1 - begin)) == "NO CARRIER";
}

// A line as sent, without the line end it went with.
inline std::string withoutLineEnd(std::string line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  return line;
}

using tessel::allDigits;
using tessel::parseInt32;
using tessel::smallNumber;
using tessel::upperCase;

}  // namespace text
}  // namespace tessel
