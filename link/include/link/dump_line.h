#pragma once

#include <string>
#include <vector>

namespace tessel {

// One register value of an identification page line.
struct DumpValue {
  int reg;
  int value;  // -1 when the field is not a plain number
  std::string text;
  bool operator==(const DumpValue& o) const {
    return reg == o.reg && value == o.value && text == o.text;
  }
};

// Parses a fixed-width dump line: a 5-character register field, a
// 2-character separator, then up to ten 7-character value fields for the
// registers field+0 .. field+9. Header lines (register field not a number)
// give nothing; a short line gives the fields that are there.
std::vector<DumpValue> parseDumpLine(const std::string& line);

// A reply read as a signed number ("-151" -> -151); 0 when it is not one or
// does not fit.
int replyNumber(const std::string& text);

// The eight lines of identification page 1 the group emulator sends, with
// the radio number in its first data row.
std::vector<std::string> emulatedPage1(const std::string& radio);

}  // namespace tessel
