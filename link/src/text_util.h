#pragma once

// Small text helpers shared by the engine's source files.
#include <algorithm>
#include <cctype>
#include <string>

namespace tessel {
namespace text {

inline bool contains(const std::string& s, const char* part) {
  return s.find(part) != std::string::npos;
}

inline std::string upperCase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

inline bool allDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A decimal number of at most maxDigits digits; -1 when it is none.
inline int smallNumber(const std::string& s, size_t maxDigits) {
  if (!allDigits(s) || s.size() > maxDigits) return -1;
  return std::stoi(s);
}

inline std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

}  // namespace text
}  // namespace tessel
