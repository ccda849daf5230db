#include "cli/commands.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>
#include <thread>

#include "cli/cli_args.h"
#include "cli/cli_loop.h"
#include "cli/cli_session.h"
#include "cli/conf_settings.h"
#include "cli/group_set.h"
#include "metrics/metrics_server.h"
#include "model/catalogue.h"
#include "model/parameter_table.h"
#include "model/poll_readings.h"
#include "platform/console.h"
#include "platform/files.h"
#include "serial/port_watch.h"
#include "serial/usb_info.h"
#include "sim/sim_project.h"
#include "sim/sim_pty.h"

namespace tessel::cli {

namespace {

// A radio ID in the parameter table's range.
bool parseRadioID(const std::string& text, int& id) {
  const Parameter& p = parameterOf(param::radioID);
  return parseCount(text, static_cast<int>(p.lo), static_cast<int>(p.hi), id);
}

// "0 to 254".
std::string radioIDRange() {
  const Parameter& p = parameterOf(param::radioID);
  return std::to_string(p.lo) + " to " + std::to_string(p.hi);
}

bool sessionOptions(const ParsedArgs& args, const std::string& device, SessionOptions& o,
                    std::string& error) {
  o.device = device;
  if (!parseLineOverrides(args, o.line, error)) return false;
  o.log = args.has("--log");
  o.trace = args.has("--trace");
  if (const char* scale = std::getenv("TESSEL_TIME_SCALE")) {
    int n = 1;
    if (parseCount(scale, 1, 1000, n)) o.timeScale = n;
  }
  if (args.has("--metrics")) {
    std::string host;
    int port = 0;
    if (!parseListenAddress(args.value("--metrics"), host, port, error)) return false;
    o.metrics = args.value("--metrics");
  }
  if (args.has("--timeout") &&
      !parseSeconds(args.value("--timeout"), 1, 24 * 3600 * 1000, o.timeoutMs)) {
    error = "--timeout takes seconds";
    return false;
  }
  return true;
}

// "RADIO:REG=TEXT,...": the radio with that radio ID reports TEXT for REG.
bool fixAnswers(const std::string& answers, std::vector<sim::SimRadio>& radios,
                std::string& error) {
  std::istringstream in(answers);
  for (std::string item; std::getline(in, item, ',');) {
    const size_t colon = item.find(':'), eq = item.find('=');
    int id = 0, reg = 0;
    if (colon == std::string::npos || eq == std::string::npos || eq < colon ||
        !parseRadioID(item.substr(0, colon), id) ||
        !parseCount(item.substr(colon + 1, eq - colon - 1), 0, 255, reg)) {
      error = "takes RADIO:REG=TEXT, not \"" + item + "\"";
      return false;
    }
    auto radio = std::find_if(radios.begin(), radios.end(),
                              [id](const sim::SimRadio& r) { return r.radioID() == id; });
    if (radio == radios.end()) {
      error = "names radio " + std::to_string(id) + ", which is not simulated";
      return false;
    }
    radio->setFixedAnswer(reg, item.substr(eq + 1));
  }
  return true;
}

// "RADIO:REPEATER,...": the radio is heard only through the repeater.
bool placeBehind(const std::string& text, sim::SimRadioGroup& group, std::string& error) {
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    const size_t colon = item.find(':');
    int id = 0, via = 0;
    if (colon == std::string::npos || !parseRadioID(item.substr(0, colon), id) ||
        !parseRadioID(item.substr(colon + 1), via) || id == via) {
      error = "takes RADIO:REPEATER, not \"" + item + "\"";
      return false;
    }
    for (int named : {id, via}) {
      const auto& radios = group.radios();
      if (std::none_of(radios.begin(), radios.end(),
                       [named](const sim::SimRadio& r) { return r.radioID() == named; })) {
        error = "names radio " + std::to_string(named) + ", which is not simulated";
        return false;
      }
    }
    group.setBehind(id, via);
  }
  return true;
}

// "RADIO:VALUE,...": for each item, a simulated radio ID and what follows the
// colon, handed to apply (which says whether the value is good).
bool perRadio(const std::string& text, const sim::SimRadioGroup& group,
              const std::function<bool(int radio, const std::string& value)>& apply,
              const char* form, std::string& error) {
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    const size_t colon = item.find(':');
    int id = 0;
    if (colon == std::string::npos || !parseRadioID(item.substr(0, colon), id) ||
        !apply(-1, item.substr(colon + 1))) {
      error = std::string("takes ") + form + ", not \"" + item + "\"";
      return false;
    }
    const auto& radios = group.radios();
    if (std::none_of(radios.begin(), radios.end(),
                     [id](const sim::SimRadio& r) { return r.radioID() == id; })) {
      error = "names radio " + std::to_string(id) + ", which is not simulated";
      return false;
    }
    apply(id, item.substr(colon + 1));
  }
  return true;
}

// Each misbehaviour's value for one radio: false when it is malformed; the
// radio -1 only checks it.
bool dropLink(sim::SimRadioGroup& group, int radio, const std::string& value) {
  // "LINES" or "LINES@LINK".
  const size_t at = value.find('@');
  int lines = 0, link = 1;
  if (!parseCount(value.substr(0, at), 0, 1'000'000, lines) ||
      (at != std::string::npos && !parseCount(value.substr(at + 1), 1, 1'000'000, link)))
    return false;
  if (radio >= 0) group.dropLinkAfter(radio, lines, link);
  return true;
}

bool answerDials(sim::SimRadioGroup& group, int radio, const std::string& value) {
  int n = 0;
  if (!parseCount(value, 0, 1'000'000, n)) return false;
  if (radio >= 0) group.answerDials(radio, n);
  return true;
}

bool refuseText(sim::SimRadioGroup& group, int radio, const std::string& text) {
  if (text.empty()) return false;
  if (radio >= 0) group.refuse(radio, text);
  return true;
}

bool settle(sim::SimRadioGroup& group, int radio, const std::string& value) {
  int ms = 0;
  if (!parseCount(value, 1, 600'000, ms)) return false;
  if (radio >= 0) group.settle(radio, ms);
  return true;
}

bool loseAnswer(sim::SimRadioGroup& group, int radio, const std::string& value) {
  // "COMMAND" or "COMMAND:TIMES".
  const size_t colon = value.find(':');
  int times = -1;
  if (colon != std::string::npos && !parseCount(value.substr(colon + 1), 1, 1'000'000, times))
    return false;
  const std::string command = value.substr(0, colon);
  if (command.empty()) return false;
  if (radio >= 0) group.loseAnswer(radio, command, times);
  return true;
}

// The misbehaviours asked for: false (usage error told) when one is malformed.
bool misbehave(const ParsedArgs& args, sim::SimRadioGroup& group, std::ostream& err) {
  struct Misbehaviour {
    const char* option;
    const char* form;
    bool (*apply)(sim::SimRadioGroup&, int, const std::string&);
  };
  static const Misbehaviour kMisbehaviours[] = {
      {"--drop", "RADIO:LINES[@LINK]", dropLink},
      {"--dials", "RADIO:DIALS", answerDials},
      {"--refuse", "RADIO:TEXT", refuseText},
      {"--settle", "RADIO:MS", settle},
      {"--lose-answer", "RADIO:COMMAND[:TIMES]", loseAnswer},
  };
  for (const Misbehaviour& m : kMisbehaviours) {
    std::string error;
    auto apply = [&](int radio, const std::string& value) { return m.apply(group, radio, value); };
    if (args.has(m.option) && !perRadio(args.value(m.option), group, apply, m.form, error)) {
      err << "tessel-cli: " << m.option << " " << error << "\n";
      return false;
    }
  }
  return true;
}

// "1,4,7": radio IDs.
bool parseRadioList(const std::string& text, std::vector<int>& out) {
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    int id = 0;
    if (!parseRadioID(item, id)) return false;
    out.push_back(id);
  }
  return !out.empty();
}

namespace {

// The simulator's numbers from the command line; false (with the message
// written) on a value out of range.
struct SimNumbers {
  int radios = 5;
  std::vector<int> models;
  int baud = 0;
  int seed = 1;
};

bool parseSimNumbers(const ParsedArgs& args, SimNumbers& n, std::ostream& err) {
  const int highest = static_cast<int>(parameterOf(param::radioID).hi);
  if (args.has("--radios") && !parseCount(args.value("--radios"), 1, highest, n.radios)) {
    err << "tessel-cli: --radios takes 1 to " << highest << "\n";
    return false;
  }
  if (args.has("--models") && !parseModels(args.value("--models"), n.models)) {
    err << "tessel-cli: --models takes model numbers 0, 1 or 2 separated by commas\n";
    return false;
  }
  if (args.has("--baud") && !parseCount(args.value("--baud"), 50, 4'000'000, n.baud)) {
    err << "tessel-cli: --baud takes a line speed\n";
    return false;
  }
  if (args.has("--seed") && !parseCount(args.value("--seed"), 0, 999'999'999, n.seed)) {
    err << "tessel-cli: --seed takes a number\n";
    return false;
  }
  return true;
}

// The radios to play: the project's when it exists, else a fresh group of
// n.radios; 0 when they are ready, else the exit status.
int simRadios(const ParsedArgs& args, const SimNumbers& n, const std::string& project,
              sim::SimSetup& setup, std::ostream& err) {
  std::string error;
  if (!project.empty() && !sim::canSaveProject(project, error)) {
    err << "tessel-cli: " << error << "\n";
    return 1;
  }
  const int clock = sim::wallClockMinutes();
  const auto seed = static_cast<uint32_t>(n.seed);
  std::error_code ec;
  const bool fromProject =
      !project.empty() && std::filesystem::exists(platform::pathFromUtf8(project), ec);
  if (fromProject && (args.has("--radios") || args.has("--models")))
    err << "tessel-cli: the radios come from " << project << "; --radios and --models are unused\n";
  const bool ok = fromProject ? sim::loadProject(project, setup, error, seed, clock)
                              : sim::defaultSetup(n.radios, n.models, setup, error, seed, clock);
  if (!ok) {
    err << "tessel-cli: " << error << "\n";
    return 1;
  }
  for (const std::string& w : setup.warnings) err << "tessel-cli: " << w << "\n";
  if (args.has("--answer") && !fixAnswers(args.value("--answer"), setup.radios, error)) {
    err << "tessel-cli: --answer " << error << "\n";
    return kUsageError;
  }
  return 0;
}

// The traffic on err: seconds, direction and the bytes with CR and LF spelt
// out, enough to see and time the conversation.
std::function<void(char, const std::string&, double)> traceTo(std::ostream& err) {
  return [&err](char direction, const std::string& bytes, double seconds) {
    std::string shown;
    for (char c : bytes)
      shown += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.6f", seconds);
    err << stamp << (direction == 'r' ? " > " : " < ") << bytes.size() << " " << shown << "\n";
  };
}

}  // namespace

int simCommand(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
  SimNumbers numbers;
  if (!parseSimNumbers(args, numbers, err)) return kUsageError;
  const std::string project = args.value("--project");
  sim::SimSetup setup;
  if (const int status = simRadios(args, numbers, project, setup, err)) return status;
  std::vector<int> formerIDs;
  for (const sim::SimRadio& r : setup.radios) formerIDs.push_back(r.radioID());

  sim::SimRadioGroup group(std::move(setup.radios), setup.local);
  group.setCommandMode(args.has("--command-mode"));
  std::string error;
  if (args.has("--behind") && !placeBehind(args.value("--behind"), group, error)) {
    err << "tessel-cli: --behind " << error << "\n";
    return kUsageError;
  }
  if (!misbehave(args, group, err)) return kUsageError;
  sim::SimPty::Options options;
  options.pace = args.has("--pace");
  options.baud = numbers.baud;
  options.linkPath = args.value("--link");
  if (args.has("--trace")) options.trace = traceTo(err);
  sim::SimPty pty(group, options);
  if (!pty.open()) {
    err << "tessel-cli: " << pty.error() << "\n";
    return 1;
  }
  out << "device: " << pty.slavePath() << std::endl;
  bool served;
  {
    platform::InterruptWatch signals([&pty](int) { pty.stop(); });
    served = pty.run();
  }
  if (!served) err << "tessel-cli: " << pty.error() << "\n";
  if (!project.empty() && !sim::saveProject(project, group, formerIDs, error)) {
    err << "tessel-cli: " << error << "\n";
    return 1;
  }
  return served ? 0 : 1;
}

int engineCommand(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
  const bool withProject = args.command != "get-local";
  const std::string device = args.positionals[args.command == "set" ? 2 : withProject ? 1 : 0];
  SessionOptions options;
  std::string error;
  if (!sessionOptions(args, device, options, error)) {
    err << "tessel-cli: " << error << "\n";
    return kUsageError;
  }
  int intervalMs = 1000, cycles = 0;
  if (args.has("--interval") && !parseSeconds(args.value("--interval"), 10, 60'000, intervalMs)) {
    err << "tessel-cli: --interval takes 0.01 to 60 seconds\n";
    return kUsageError;
  }
  if (args.has("--cycles") && !parseCount(args.value("--cycles"), 1, 1'000'000, cycles)) {
    err << "tessel-cli: --cycles takes a number from 1\n";
    return kUsageError;
  }
  if (args.has("--fast")) intervalMs = 0;
  Session session(options, out, err);
  platform::InterruptWatch signals([&session](int) { session.interrupt(); });
  if (args.command == "get-local") return session.getLocal();
  if (args.command == "set") {
    int radio = 0;
    if (!parseRadioID(args.positionals[1], radio)) {
      err << "tessel-cli: RADIO takes " << radioIDRange() << "\n";
      return kUsageError;
    }
    if (!args.has("--timeout")) session.setTimeout(120'000);
    return session.set(args.positionals[0], radio, args.has("--remote"), args.has("--fast"),
                       args.has("--verify"));
  }
  if (args.command == "compare") {
    std::vector<int> radios;
    if (args.has("--radios") && !parseRadioList(args.value("--radios"), radios)) {
      err << "tessel-cli: --radios takes radio IDs " << radioIDRange() << " separated by commas\n";
      return kUsageError;
    }
    return session.compare(args.positionals[0], radios);
  }
  if (args.command == "group-set") {
    GroupSetRequest request;
    if (!parseGroupSet(args, request, error)) {
      err << "tessel-cli: " << error << "\n";
      return kUsageError;
    }
    return session.groupSet(args.positionals[0], request, std::cin);
  }
  if (args.command == "monitor") return session.monitor(args.positionals[0], intervalMs, cycles);
  if (args.command == "discover")
    return session.discover(args.positionals[0], intervalMs, cycles > 0 ? cycles : 1,
                            args.has("--force"));
  return session.emulate(args.positionals[0]);
}

int portsCommand(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
  ConfSettings settings(ConfSettings::defaultPath(kMaker, kProduct));
  out << comPortListText(listComPorts(&settings)) << std::flush;
  if (!args.has("--watch")) return 0;

  PortWatch watch;
  if (int e = watch.start()) {
    err << "tessel-cli: " << watch.startError(e) << "\n";
    return 1;
  }
  watch.setOnChange([&out](const PortChange& c) {
    out << (c.appeared ? "plugged: " : "unplugged: ") << c.path << std::endl;
  });
  platform::InterruptWatch signals([&watch](int) { watch.stop(); });
  if (int e = watch.run()) {
    err << "tessel-cli: " << watch.startError(e) << "\n";
    return 1;
  }
  return 0;
}

int demoCommand(std::ostream& out, std::ostream& err) {
  sim::SimSetup setup;
  std::string error;
  if (!sim::defaultSetup(5, {0, 1}, setup, error, 1, sim::wallClockMinutes())) {
    err << "tessel-cli: " << error << "\n";
    return 1;
  }
  sim::SimRadioGroup group(std::move(setup.radios), setup.local);
  // The line first: where there is none, no folder is left behind either.
  sim::SimPty pty(group, {});
  if (!pty.open()) {
    err << "tessel-cli: " << pty.error() << "\n";
    return 1;
  }
  const std::string folder = platform::makeTempFolder("tessel-demo-");
  if (folder.empty()) {
    err << "tessel-cli: cannot make a folder for the demo project\n";
    return 1;
  }
  const std::string project = platform::pathInFolder(folder, "Demo group.vro");
  if (!sim::saveProject(project, group, {}, error)) {
    err << "tessel-cli: " << error << "\n";
    return 1;
  }
  std::thread server([&pty] { pty.run(); });
  int status = 0;
  {
    out << "Five simulated radios are on " << pty.slavePath()
        << "; radio 1 is the local master.\n\n"
        << "$ tessel-cli get-local " << pty.slavePath() << "\n"
        << std::flush;
    SessionOptions options;
    options.device = pty.slavePath();
    {
      Session session(options, out, err);
      platform::InterruptWatch signals([&session](int) { session.interrupt(); });
      status = session.getLocal();
    }
    if (status == 0) {
      out << "\n$ tessel-cli monitor '" << project << "' " << pty.slavePath()
          << " --interval 0.1 --cycles 2\n";
      writeReadingsCsvHeader(out);
      out << std::flush;
      Session session(options, out, err);
      platform::InterruptWatch signals([&session](int) { session.interrupt(); });
      status = session.monitor(project, 100, 2);
    }
  }
  pty.stop();
  server.join();
  if (status == 0) out << "\nThe monitor kept what the radios reported in " << project << "\n";
  return status;
}

}  // namespace

int runCli(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
  ParsedArgs args;
  std::string error;
  if (!parseArgs(argv, args, error)) {
    err << "tessel-cli: " << error << "\n\n";
    const CommandInfo* info = findCommand(argv.empty() ? "" : argv[0]);
    err << (info ? usage(*info) : usage());
    return kUsageError;
  }
  if (args.command == "--version") {
    out << "tessel-cli " << TESSEL_VERSION << "\n";
    return 0;
  }
  if (args.help) {
    const CommandInfo* info = findCommand(args.command);
    out << (info ? usage(*info) : usage());
    return 0;
  }
  if (args.command == "sim") return simCommand(args, out, err);
  if (args.command == "ports") return portsCommand(args, out, err);
  if (args.command == "demo") return demoCommand(out, err);
  return engineCommand(args, out, err);
}

}  // namespace tessel::cli
