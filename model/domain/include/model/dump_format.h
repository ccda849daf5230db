#pragma once

// The register dump of identification page 1, as radios print it: three
// header lines, then rows of a register field, a separator and ten value
// fields, each right-aligned in its fixed width.
#include <cstddef>
#include <string>

namespace tessel::dump {

constexpr size_t kRegisterWidth = 5;
constexpr size_t kSeparatorWidth = 2;  // " -"
constexpr size_t kValueWidth = 7;
constexpr int kValuesPerRow = 10;

constexpr const char* kHeader[] = {
    "******************************* S-Registers *********************************",
    "S-Reg    +0     +1     +2     +3     +4     +5     +6     +7     +8     +9   ",
    "*****************************************************************************",
};

// text right-aligned in a field of width characters; longer text is cut.
inline std::string field(const std::string& text, size_t width) {
  std::string t = text.substr(0, width);
  return std::string(width - t.size(), ' ') + t;
}

}  // namespace tessel::dump
