#pragma once

// Command-line parsing of tessel-cli: one subcommand, its positional
// arguments and its options, each option known to the subcommand.
#include <map>
#include <string>
#include <vector>

namespace tessel::cli {

struct OptionDef {
  const char* name;  // "--baud"
  bool takesValue;
  const char* help;
  // Given more than once, the values are joined with commas.
  bool repeatable = false;
};

struct CommandInfo {
  const char* name;
  const char* synopsis;     // after "tessel-cli "
  const char* description;  // one paragraph
  std::vector<const char*> positionals;
  std::vector<OptionDef> options;
};

// Every subcommand, in the order the help lists them.
const std::vector<CommandInfo>& commands();
const CommandInfo* findCommand(const std::string& name);

struct ParsedArgs {
  std::string command;
  std::vector<std::string> positionals;
  std::map<std::string, std::string> options;  // "--baud" -> "9600"; flags -> ""
  bool help = false;

  bool has(const std::string& option) const { return options.count(option) != 0; }
  std::string value(const std::string& option, const std::string& def = "") const;
};

// Parses argv (without the program name). False with error for an unknown
// subcommand or option, a missing option value or a wrong number of
// positional arguments. "--help" anywhere asks for the subcommand's help.
bool parseArgs(const std::vector<std::string>& args, ParsedArgs& out, std::string& error);

// Usage text of the whole program, or of one subcommand.
std::string usage();
std::string usage(const CommandInfo& command);

// Option values checked and converted; each false with error when invalid.
bool parseCount(const std::string& text, int min, int max, int& out);
// Seconds with up to three decimals, to milliseconds within min..max ms.
bool parseSeconds(const std::string& text, int minMs, int maxMs, int& outMs);
// "0,1,2": model indices 0..2.
bool parseModels(const std::string& text, std::vector<int>& out);

// The serial line settings asked for on the command line; unset fields
// keep the per-user settings.
struct LineOverrides {
  int baud = 0;      // 0 = not given
  int parity = -1;   // panel index: 0 Even, 1 Odd, 2 None
  int dataBits = 0;  // 7 or 8
  int stopBits = 0;  // 1 or 2
  bool any() const { return baud || parity >= 0 || dataBits || stopBits; }
};
bool parseLineOverrides(const ParsedArgs& args, LineOverrides& out, std::string& error);

}  // namespace tessel::cli
