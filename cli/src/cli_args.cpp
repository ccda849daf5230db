#include "cli/cli_args.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "model/catalogue.h"
#include "model/parameter_table.h"
#include "model/text.h"

namespace tessel::cli {

namespace {

const std::string kBaudHelp = "line speed: " + baudRateList(", ", " or ");

// "1 to 63": a parameter's range as shown.
std::string rangeOf(int code) {
  const Parameter& p = parameterOf(code);
  return shownBound(p, p.lo) + " to " + shownBound(p, p.hi);
}
const std::string kGroupIDHelp = "new group ID, " + rangeOf(param::groupID);
const std::string kSecurityIDHelp = "new security ID, " + rangeOf(param::securityID);
const std::string kFlushTimeHelp = "new flush time in seconds, " + rangeOf(param::flushTime);

const std::vector<OptionDef> kLineOptions = {
    {"--baud", true, kBaudHelp.c_str()},
    {"--parity", true, "none, odd or even"},
    {"--data-bits", true, "7 or 8"},
    {"--stop-bits", true, "1 or 2"},
    {"--log", false, "write the traffic log (the \"LogPath\" setting, else the logs folder)"},
    {"--trace", false, "show the traffic on standard error"},
    {"--timeout", true, "give up after this many seconds (default: get-local 60, others none)"},
};

// The send's pacing, as the window's "As Fast as Replies" sets it.
const char* const kFastSendHelp =
    "send each line as soon as the radio answered the last (\"As Fast as Replies\"), rather "
    "than a line per 2.5 s tick to a remote radio; a radio not ready that soon fails its tries";

std::vector<OptionDef> withLine(std::vector<OptionDef> own) {
  own.insert(own.end(), kLineOptions.begin(), kLineOptions.end());
  return own;
}

}  // namespace

const std::vector<CommandInfo>& commands() {
  static const std::vector<CommandInfo> list = {
      {"sim",
       "sim [--radios N] [--models 0,1,2,...] [--project FILE] [--link PATH] [--pace] [--baud N] "
       "[--behind RADIO:REPEATER] [--drop RADIO:LINES[@LINK]] [--lose-answer "
       "RADIO:COMMAND[:TIMES]] "
       "[--refuse RADIO:TEXT] [--dials RADIO:N] [--settle RADIO:MS]",
       "Simulated radios on a pseudo-terminal. Prints \"device: <path>\" first, then serves until "
       "interrupted; with --project the radios start from that project file and their saved "
       "registers are written back to it at the end.",
       {},
       {{"--radios", true, "number of radios, 1 to 254 (default 5); radio 1 is the local master"},
        {"--models", true, "model of each radio in turn, repeated (default 0,1)"},
        {"--project", true, "take the radios from this project file and write them back to it"},
        {"--link", true, "also make PATH a symbolic link to the device"},
        {"--pace", false, "deliver bytes at the line speed, 10 bits per byte"},
        {"--baud", true, "line speed for --pace (default: the speed the port is set to)"},
        {"--command-mode", false, "radios start in command mode (no \"+++\" needed)"},
        {"--seed", true, "seed of the drifting status values (default 1)"},
        {"--answer", true,
         "RADIO:REG=TEXT[,...]: radio RADIO answers every read of register REG with TEXT (empty: "
         "a blank line; ERROR: it refuses the read), whatever it holds; a misbehaving radio for "
         "tests"},
        {"--behind", true,
         "RADIO:REPEATER[,...]: radio RADIO is heard only through radio REPEATER, so it answers "
         "a dial only while REPEATER would (repeatable)",
         true},
        {"--drop", true,
         "RADIO:LINES[@LINK][,...]: the link to radio RADIO drops once, on its LINK-th link "
         "(default the first), right after it answered LINES commands since its dial (0: "
         "right after the dial); the local radio says NO CARRIER. A misbehaving link for "
         "tests"},
        {"--lose-answer", true,
         "RADIO:COMMAND[:TIMES][,...]: radio RADIO carries out COMMAND (\"AT&W\") but its "
         "answer never arrives (the next TIMES times, or ever); a misbehaving radio for tests"},
        {"--refuse", true,
         "RADIO:TEXT[,...]: radio RADIO answers ERROR to every command line holding TEXT and "
         "takes none of it; a misbehaving radio for tests"},
        {"--dials", true,
         "RADIO:N[,...]: radio RADIO answers its first N dials, then none (out of reach); for "
         "tests"},
        {"--settle", true,
         "RADIO:MS[,...]: radio RADIO answers OK before it is ready: a line reaching it within "
         "MS milliseconds of its last OK is lost, unanswered; a misbehaving radio for tests"},
        {"--trace", false, "show the traffic with times on standard error"}}},
      {"get-local",
       "get-local DEVICE [line options]",
       "Reads the radio on DEVICE (a path such as /dev/ttyUSB0 or /dev/pts/3, COM<n>, or a "
       "device server: rfc2217://HOST:PORT or tcp://HOST:PORT) and "
       "prints its configuration as \"Key = value\" lines with the project file's key names.",
       {"DEVICE"},
       withLine({})},
      {"set",
       "set PROJECT RADIO DEVICE [--remote] [--fast] [--verify] [line options]",
       "Writes radio RADIO of PROJECT (its section, the project's group values, its model-E "
       "values) to the radio on DEVICE, or with --remote to that radio dialled through it, by the "
       "lines the configurator's Set Radio sends. Prints each line and its answer; exit 0 when "
       "every line was answered \"OK\". With --verify it then reads the radio back and prints "
       "every parameter whose value differs from the one sent (exit 3 when any does). PROJECT is "
       "only read, never written.",
       {"PROJECT", "RADIO", "DEVICE"},
       withLine({{"--remote", false, "dial the radio through the local radio"},
                 {"--fast", false, kFastSendHelp},
                 {"--verify", false, "read the radio back and compare"}})},
      {"monitor",
       "monitor PROJECT DEVICE [--interval SECONDS] [--fast] [--cycles N] [--metrics HOST:PORT] "
       "[line options]",
       "Monitors the radios of PROJECT through the local radio on DEVICE. Prints one CSV line per "
       "polled radio: time,radio_id,name,rssi,volts,temp_c. The project file is updated with what "
       "the radios report.",
       {"PROJECT", "DEVICE"},
       withLine({{"--interval", true, "poll interval in seconds (default 1.0)"},
                 {"--fast", false,
                  "ask each register as soon as the previous answer is in (\"As Fast as "
                  "Replies\"); the interval then only times out an unanswered exchange"},
                 {"--cycles", true,
                  "stop after polling every radio N times (default: until interrupted or "
                  "--timeout)"},
                 {"--metrics", true,
                  "serve the readings at http://HOST:PORT/metrics for a monitoring server "
                  "(Prometheus text format) while the monitor runs; port 0 takes a free one"}})},
      {"discover",
       "discover NEWPROJECT DEVICE [--interval SECONDS] [--cycles N] [--force] [line options]",
       "Dials every radio ID (0 to 254) through the local radio on DEVICE, as the window's "
       "\"New Project\" does, and writes each radio found into the new project file NEWPROJECT "
       "(\"Radio 007\"-style names). Prints one line per radio found: "
       "radio_id,name,model,mode,master_id. Exits 0 when at least one radio was found; only then "
       "is NEWPROJECT written.",
       {"NEWPROJECT", "DEVICE"},
       withLine({{"--interval", true, "poll interval in seconds (default 1.0)"},
                 {"--cycles", true, "stop after N full rounds of the radio IDs (default 1)"},
                 {"--force", false, "replace NEWPROJECT if it exists (once a radio is found)"}})},
      {"compare",
       "compare PROJECT DEVICE [--radios LIST] [line options]",
       "Reads every radio of PROJECT (the local radio on DEVICE directly, the others dialled "
       "through it), every readable register, as fast as the replies come, and prints what "
       "differs from the project as CSV: radio_id,name,parameter,project,radio. One line per "
       "differing parameter, one per radio that did not answer (parameter \"No answer\"), "
       "one for a radio of another model (parameter: the model) and one per register a radio "
       "refused (radio value \"not read: refused\"). Exit 0 when everything matches, 3 when "
       "something differs, 1 when a radio was not fully read, 2 when --radios names a radio the "
       "project lacks. Writes nothing: neither PROJECT nor any radio.",
       {"PROJECT", "DEVICE"},
       withLine({{"--radios", true,
                  "compare only these radio IDs (\"1,4,7\"); the masters are read anyway, "
                  "the monitor starts from the local one"}})},
      {"group-set",
       "group-set PROJECT DEVICE [--group-id N] [--security-id N] [--rf-band N] [--flush-time S] "
       "[--repeaters yes|no] [--retx yes|no] [--blocked MHZ,...] [--fast] [--yes] [line "
       "options]",
       "Changes the settings the whole group shares on every radio of PROJECT in an order that "
       "strands none. Prints the values, the group tree and the order, and asks for confirmation "
       "on standard input (unless --yes). Phase 1 writes the new values and AT&W to every radio, "
       "remote radios first, without a reset; a radio that does not answer or refuses a line "
       "stops it there, and the old values can be written back (with --yes they are). Phase 2 "
       "resets the radios with AT&R, each before the repeater it is heard through and the local "
       "radio last (a model-2 radio is written then instead). PROJECT then gets the new values, "
       "the group is read again and each radio is listed with \"new values\", \"other "
       "values\" or \"no answer\". Exit 0 only when every radio answers with the new values.",
       {"PROJECT", "DEVICE"},
       withLine({{"--group-id", true, kGroupIDHelp.c_str()},
                 {"--security-id", true, kSecurityIDHelp.c_str()},
                 {"--rf-band", true, "new RF band"},
                 {"--flush-time", true, kFlushTimeHelp.c_str()},
                 {"--repeaters", true, "yes or no: the group uses repeaters"},
                 {"--retx", true, "yes or no: ReTX broadcasts"},
                 {"--blocked", true,
                  "blocked frequencies in MHz (\"915.7,902.5\", at most 12; \"none\" clears "
                  "them)"},
                 {"--fast", false, kFastSendHelp},
                 {"--yes", false,
                  "ask no confirmation; after a failed phase 1 write the old "
                  "values back"}})},
      {"emulate",
       "emulate PROJECT DEVICE [line options]",
       "Plays the radios of PROJECT on DEVICE, answering AT commands as the radios would, until "
       "interrupted.",
       {"PROJECT", "DEVICE"},
       withLine({})},
      {"ports",
       "ports [--watch]",
       "Lists COM1 to COM9 with their devices and what they are: the USB adapter's vendor and "
       "product numbers, names and serial number, and the stable /dev/serial/by-id/ name, which a "
       "\"COM<n>\" setting may hold so the radio keeps its number in any USB socket.",
       {},
       {{"--watch", false,
         "then print \"plugged: PATH\" and \"unplugged: PATH\" as adapters come and go, until "
         "interrupted"}}},
      {"demo",
       "demo",
       "Starts five simulated radios, reads the local one and monitors the group for two cycles.",
       {},
       {}},
  };
  return list;
}

const CommandInfo* findCommand(const std::string& name) {
  for (const CommandInfo& c : commands())
    if (name == c.name) return &c;
  return nullptr;
}

std::string ParsedArgs::value(const std::string& option, const std::string& def) const {
  auto it = options.find(option);
  return it == options.end() ? def : it->second;
}

namespace {

// The option at args[i] ("--name", "--name=value" or "--name value", which
// moves i on), checked against the command's options.
bool takeOption(const CommandInfo& info, const std::vector<std::string>& args, size_t& i,
                ParsedArgs& out, std::string& error) {
  const std::string& a = args[i];
  std::string name = a, value;
  bool inlineValue = false;
  const auto eq = a.find('=');
  if (eq != std::string::npos) {
    name = a.substr(0, eq);
    value = a.substr(eq + 1);
    inlineValue = true;
  }
  const auto opt = std::find_if(info.options.begin(), info.options.end(),
                                [&](const OptionDef& o) { return name == o.name; });
  if (opt == info.options.end()) {
    error = "unknown option " + name + " for " + info.name;
    return false;
  }
  if (opt->takesValue && !inlineValue) {
    if (i + 1 >= args.size()) {
      error = name + " needs a value";
      return false;
    }
    value = args[++i];
  } else if (!opt->takesValue && inlineValue) {
    error = name + " takes no value";
    return false;
  }
  if (opt->repeatable && out.options.count(name))
    out.options[name] += "," + value;
  else
    out.options[name] = value;
  return true;
}

}  // namespace

bool parseArgs(const std::vector<std::string>& args, ParsedArgs& out, std::string& error) {
  out = ParsedArgs{};
  if (args.empty()) {
    error = "no command given";
    return false;
  }
  if (args[0] == "--version") {
    out.command = "--version";
    return true;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    out.help = true;
    if (args.size() > 1) out.command = args[1];
    return true;
  }
  const CommandInfo* info = findCommand(args[0]);
  if (!info) {
    error = "unknown command \"" + args[0] + "\"";
    return false;
  }
  out.command = info->name;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      out.help = true;
      return true;
    }
    if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      if (!takeOption(*info, args, i, out, error)) return false;
      continue;
    }
    out.positionals.push_back(a);
  }
  if (out.positionals.size() != info->positionals.size()) {
    error = std::string(info->name) + " takes " +
            (info->positionals.empty() ? std::string("no arguments")
                                       : std::to_string(info->positionals.size()) + " argument(s)");
    return false;
  }
  return true;
}

std::string usage() {
  std::ostringstream s;
  s << "Usage: tessel-cli COMMAND [ARGUMENTS] [OPTIONS]\n"
       "The radio configurator without windows.\n\nCommands:\n";
  for (const CommandInfo& c : commands()) s << "  tessel-cli " << c.synopsis << "\n";
  s << "\nLine options: --baud, --parity, --data-bits, --stop-bits override the per-user port\n"
       "settings. \"tessel-cli COMMAND --help\" describes a command.\n";
  return s.str();
}

std::string usage(const CommandInfo& command) {
  std::ostringstream s;
  s << "Usage: tessel-cli " << command.synopsis << "\n\n" << command.description << "\n";
  if (!command.options.empty()) {
    s << "\nOptions:\n";
    for (const OptionDef& o : command.options) {
      std::string left = std::string(o.name) + (o.takesValue ? " VALUE" : "");
      s << "  " << left << std::string(left.size() < 20 ? 20 - left.size() : 1, ' ') << o.help
        << "\n";
    }
  }
  return s.str();
}

bool parseCount(const std::string& text, int min, int max, int& out) {
  // Nine digits at most, so the number never overflows.
  if (!allDigits(text) || text.size() > 9) return false;
  int v = std::stoi(text);
  if (v < min || v > max) return false;
  out = v;
  return true;
}

bool parseSeconds(const std::string& text, int minMs, int maxMs, int& outMs) {
  auto dot = text.find('.');
  std::string whole = text.substr(0, dot);
  std::string frac = dot == std::string::npos ? "" : text.substr(dot + 1);
  if (whole.empty() && frac.empty()) return false;
  if (frac.size() > 3 || whole.size() > 6) return false;
  int w = 0, f = 0;
  if (!whole.empty() && !parseCount(whole, 0, 999999, w)) return false;
  if (!frac.empty()) {
    if (!parseCount(frac, 0, 999, f)) return false;
    while (frac.size() < 3) {
      frac += '0';
      f *= 10;
    }
  }
  long ms = static_cast<long>(w) * 1000 + f;
  if (ms < minMs || ms > maxMs) return false;
  outMs = static_cast<int>(ms);
  return true;
}

bool parseModels(const std::string& text, std::vector<int>& out) {
  out.clear();
  std::stringstream s(text);
  std::string item;
  while (std::getline(s, item, ',')) {
    int m = 0;
    if (!parseCount(item, 0, 2, m)) return false;
    out.push_back(m);
  }
  return !out.empty() && text.back() != ',';
}

bool parseLineOverrides(const ParsedArgs& args, LineOverrides& out, std::string& error) {
  out = LineOverrides{};
  if (args.has("--baud")) {
    int b = 0;
    if (!parseCount(args.value("--baud"), 1, 1000000, b) || !isBaudRate(std::to_string(b))) {
      error = "--baud must be one of " + baudRateList(", ", ", ");
      return false;
    }
    out.baud = b;
  }
  if (args.has("--parity")) {
    std::string p = lowerCase(args.value("--parity"));
    if (p == "even" || p == "e") {
      out.parity = 0;
    } else if (p == "odd" || p == "o") {
      out.parity = 1;
    } else if (p == "none" || p == "n") {
      out.parity = 2;
    } else {
      error = "--parity must be none, odd or even";
      return false;
    }
  }
  if (args.has("--data-bits") && !parseCount(args.value("--data-bits"), 7, 8, out.dataBits)) {
    error = "--data-bits must be 7 or 8";
    return false;
  }
  if (args.has("--stop-bits") && !parseCount(args.value("--stop-bits"), 1, 2, out.stopBits)) {
    error = "--stop-bits must be 1 or 2";
    return false;
  }
  return true;
}

}  // namespace tessel::cli
