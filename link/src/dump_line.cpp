#include "link/dump_line.h"

#include <algorithm>

#include "model/dump_format.h"
#include "model/text.h"

namespace tessel {

namespace {

struct Field {
  bool present;  // the line reached into the field
  int value;     // -1 unless all taken characters are digits
  std::string text;
};

// Takes a field of width w from the front of line at pos: leading blanks
// (up to w) are dropped, the rest of the field is its text.
Field takeField(const std::string& line, size_t& pos, size_t w) {
  Field f{pos < line.size(), -1, {}};
  size_t end = std::min(line.size(), pos + w);
  size_t start = pos;
  while (start < end && line[start] == ' ') ++start;
  f.text = line.substr(start, end - start);
  pos = end;
  int value = 0;
  if (allDigits(f.text) && parseInt32(f.text, value)) f.value = value;
  return f;
}

}  // namespace

std::vector<DumpValue> parseDumpLine(const std::string& line) {
  std::vector<DumpValue> values;
  size_t pos = 0;
  Field reg = takeField(line, pos, dump::kRegisterWidth);
  if (reg.value < 0) return values;  // header or rule line
  takeField(line, pos, dump::kSeparatorWidth);
  for (int i = 0; i < dump::kValuesPerRow; ++i) {
    Field f = takeField(line, pos, dump::kValueWidth);
    if (!f.present) break;
    values.push_back({reg.value + i, f.value, f.text});
  }
  return values;
}

int replyNumber(const std::string& text) {
  // A minus, if any, leads; everything else is digits.
  const bool negative = !text.empty() && text[0] == '-';
  int value = 0;
  if (allDigits(negative ? text.substr(1) : text) && parseInt32(text, value)) return value;
  return 0;
}

std::vector<std::string> emulatedPage1(const std::string& radio) {
  std::vector<std::string> lines = {
      dump::kHeader[0],
      dump::kHeader[1],
      dump::kHeader[2],
      "    0 -      9      x    980   MSTR    YES     NO      1     NO      0      0",
      "   10 -   -151    YES    255     10     50  12000     26     22  -----     NO",
      "   20 -   9600      8      1   NONE   NONE      0   CHAR  -----  -----  -----",
      "   30 -   9027   9127      0      0      0      0      0      0      0      0",
      "   40 -      0      0  -----  -----  -----  -----  -----  -----  -----  -----"};
  // The radio number goes right-aligned into the 7-character field of S1,
  // so the fields after it stay where a reader of the dump expects them.
  const size_t s1 = dump::kRegisterWidth + dump::kSeparatorWidth + dump::kValueWidth;
  lines[3].replace(s1, dump::kValueWidth, dump::field(radio, dump::kValueWidth));
  return lines;
}

}  // namespace tessel
