#pragma once

// One reading of an AT command line, shared by the engine's group emulator
// and the simulated radios. It only takes the line apart; what a bad pair
// or an unknown command leads to is the caller's decision.
#include <string>
#include <vector>

namespace tessel::at {

enum class CommandKind {
  Empty,      // nothing on the line
  NotAt,      // does not start with "AT"
  Attention,  // "AT"
  Identify,   // "ATI", "ATI0"
  Page,       // "ATI1" to "ATI3"
  Dial,       // "ATD" + radio ID
  Online,     // "ATD" alone
  HangUp,     // "ATH", "ATH0"
  Write,      // "AT&W"
  Restore,    // "AT&R"
  Query,      // "ATS" + register + "?"
  Assign,     // "ATS" + register + "=" + value, one or more pairs
  Unknown,
};

// One "S<register>=<value>".
struct Assignment {
  std::string reg;  // the text between "S" and "="
  int number = -1;  // its number, or -1 when it is none
  std::string value;
};

struct Assignments {
  std::string leading;  // text before the first pair (all of it when there is none)
  std::vector<Assignment> pairs;
};

// The pairs of text. The register of a pair runs from the last "S" before
// its "=", and its value up to that "S" of the next pair, so a value may be
// the letter S ("S3=SS4=Y" is S3 = "S", then S4 = "Y"); an "=" with no "S"
// since the previous pair's "=" belongs to that pair's value.
Assignments splitAssignments(const std::string& text);

struct Command {
  CommandKind kind = CommandKind::Empty;
  int page = 0;  // Page: 1 to 3
  // Dial and Online: the text after "D" and its number (-1 when none).
  std::string dial;
  int dialNumber = -1;
  // Query: the text between "S" and the first "?", its number (-1 when
  // none) and what follows the "?".
  std::string queryReg;
  int queryNumber = -1;
  std::string trailing;
  Assignments assignments;  // Assign
};

// Reads line, already in upper case and without its line end. Blanks are
// not removed: they are part of whatever field they stand in.
Command parseCommand(const std::string& line);

}  // namespace tessel::at
