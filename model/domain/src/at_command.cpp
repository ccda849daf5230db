#include "model/at_command.h"

#include "model/text.h"

namespace tessel::at {

namespace {

// Register and radio numbers: at most nine digits, so they fit an int.
constexpr size_t kMaxDigits = 9;

}  // namespace

Assignments splitAssignments(const std::string& text) {
  Assignments out;
  size_t from = 0;
  size_t firstS = std::string::npos;
  std::vector<size_t> valueAt;  // where each pair's value starts
  for (size_t eq = text.find('='); eq != std::string::npos; eq = text.find('=', eq + 1)) {
    const size_t s = text.rfind('S', eq);
    if (s == std::string::npos || s < from) continue;  // "=" inside a value
    if (out.pairs.empty()) {
      firstS = s;
    } else {
      out.pairs.back().value = text.substr(valueAt.back(), s - valueAt.back());
    }
    Assignment a;
    a.reg = text.substr(s + 1, eq - s - 1);
    a.number = smallNumber(a.reg, kMaxDigits);
    out.pairs.push_back(a);
    valueAt.push_back(eq + 1);
    from = eq + 1;
  }
  if (out.pairs.empty()) {
    out.leading = text;
    return out;
  }
  out.pairs.back().value = text.substr(valueAt.back());
  out.leading = text.substr(0, firstS);
  return out;
}

Command parseCommand(const std::string& line) {
  Command c;
  if (line.empty()) return c;
  if (line.compare(0, 2, "AT") != 0) {
    c.kind = CommandKind::NotAt;
    return c;
  }
  const std::string rest = line.substr(2);
  if (rest.empty()) {
    c.kind = CommandKind::Attention;
  } else if (rest == "I" || rest == "I0") {
    c.kind = CommandKind::Identify;
  } else if (rest == "I1" || rest == "I2" || rest == "I3") {
    c.kind = CommandKind::Page;
    c.page = rest[1] - '0';
  } else if (rest[0] == 'D') {
    c.dial = rest.substr(1);
    c.dialNumber = smallNumber(c.dial, kMaxDigits);
    c.kind = c.dial.empty() ? CommandKind::Online : CommandKind::Dial;
  } else if (rest == "H" || rest == "H0") {
    c.kind = CommandKind::HangUp;
  } else if (rest == "&W") {
    c.kind = CommandKind::Write;
  } else if (rest == "&R") {
    c.kind = CommandKind::Restore;
  } else if (rest[0] == 'S') {
    const size_t mark = rest.find('?');
    if (mark != std::string::npos) {
      c.kind = CommandKind::Query;
      c.queryReg = rest.substr(1, mark - 1);
      c.queryNumber = smallNumber(c.queryReg, kMaxDigits);
      c.trailing = rest.substr(mark + 1);
    } else {
      c.kind = CommandKind::Assign;
      c.assignments = splitAssignments(rest);
    }
  } else {
    c.kind = CommandKind::Unknown;
  }
  return c;
}

}  // namespace tessel::at
