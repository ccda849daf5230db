// The one reading of AT command lines that the engine's emulator and the
// simulated radios share.
#include <gtest/gtest.h>

#include "model/at_command.h"

namespace tessel::at {
namespace {

TEST(AtCommand, KindsOfLine) {
  struct Case {
    const char* line;
    CommandKind kind;
  } cases[] = {
      {"", CommandKind::Empty},       {"HELLO", CommandKind::NotAt},
      {"A", CommandKind::NotAt},      {"AT", CommandKind::Attention},
      {"ATI", CommandKind::Identify}, {"ATI0", CommandKind::Identify},
      {"ATI1", CommandKind::Page},    {"ATI3", CommandKind::Page},
      {"ATI4", CommandKind::Unknown}, {"ATI12", CommandKind::Unknown},
      {"ATD", CommandKind::Online},   {"ATD7", CommandKind::Dial},
      {"ATDX", CommandKind::Dial},    {"ATH", CommandKind::HangUp},
      {"ATH0", CommandKind::HangUp},  {"ATH1", CommandKind::Unknown},
      {"AT&W", CommandKind::Write},   {"AT&R", CommandKind::Restore},
      {"AT&X", CommandKind::Unknown}, {"ATS3?", CommandKind::Query},
      {"ATS3=?", CommandKind::Query}, {"ATS3=M", CommandKind::Assign},
      {"ATS", CommandKind::Assign},   {"ATX", CommandKind::Unknown},
  };
  for (const Case& c : cases) EXPECT_EQ(parseCommand(c.line).kind, c.kind) << c.line;
}

TEST(AtCommand, NumbersOfDialsPagesAndQueries) {
  struct Case {
    const char* line;
    int page, dial, query;
    const char* trailing;
  } cases[] = {
      {"ATI2", 2, -1, -1, ""},
      {"ATD254", 0, 254, -1, ""},
      {"ATD007", 0, 7, -1, ""},
      {"ATD", 0, -1, -1, ""},
      {"ATD-1", 0, -1, -1, ""},
      {"ATD 5", 0, -1, -1, ""},          // blanks are the caller's to remove
      {"ATD1234567890", 0, -1, -1, ""},  // too long for a radio number
      {"ATS102?", 0, -1, 102, ""},
      {"ATS?", 0, -1, -1, ""},
      {"ATSX?", 0, -1, -1, ""},
      {"ATS3=5?", 0, -1, -1, ""},
      {"ATS3?4", 0, -1, 3, "4"},  // the register ends at the first "?"
      {"ATS99999999999?", 0, -1, -1, ""},
  };
  for (const Case& c : cases) {
    const Command cmd = parseCommand(c.line);
    EXPECT_EQ(cmd.page, c.page) << c.line;
    EXPECT_EQ(cmd.dialNumber, c.dial) << c.line;
    EXPECT_EQ(cmd.queryNumber, c.query) << c.line;
    EXPECT_EQ(cmd.trailing, c.trailing) << c.line;
  }
}

// Pairs written as "reg:number=value" joined by "|".
std::string pairsOf(const Assignments& a) {
  std::string out;
  for (const Assignment& p : a.pairs) {
    if (!out.empty()) out += "|";
    out += p.reg + ":" + std::to_string(p.number) + "=" + p.value;
  }
  return out;
}

TEST(AtCommand, SplitsAssignmentPairs) {
  struct Case {
    const char* text;
    const char* leading;
    const char* pairs;
  } cases[] = {
      {"S3=M", "", "3:3=M"},
      {"S1=12S0=1", "", "1:1=12|0:0=1"},
      // A value may be the letter S, or end in it.
      {"S3=SS4=Y", "", "3:3=S|4:4=Y"},
      {"S3=YESS4=1", "", "3:3=YES|4:4=1"},
      // An "=" with no "S" since the last pair is part of the value.
      {"S3=A=B", "", "3:3=A=B"},
      {"S111=9:05", "", "111:111=9:05"},
      {"S13=", "", "13:13="},
      // Registers that are no number are still pairs; the caller decides.
      {"S=1", "", ":-1=1"},
      {"S0=5S=1", "", "0:0=5|:-1=1"},
      {"S3=ASB=1", "", "3:3=A|B:-1=1"},
      {"S99999999999=1", "", "99999999999:-1=1"},
      {"SXS0=5", "SX", "0:0=5"},
      {"ATS3=4", "AT", "3:3=4"},
      {"S", "S", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    const Assignments a = splitAssignments(c.text);
    EXPECT_EQ(a.leading, c.leading) << c.text;
    EXPECT_EQ(pairsOf(a), c.pairs) << c.text;
  }
  // A whole line splits the same way as its part after "AT".
  EXPECT_EQ(pairsOf(parseCommand("ATS3=SS4=Y").assignments), "3:3=S|4:4=Y");
  EXPECT_EQ(parseCommand("ATS3=SS4=Y").assignments.leading, "");
}

}  // namespace
}  // namespace tessel::at
