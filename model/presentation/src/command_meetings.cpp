// What a command given while another runs does: the one table every front
// end follows, and the texts it tells the user.
#include <array>

#include "model/radio_commands.h"

namespace tessel {

namespace {

constexpr Meeting R = Meeting::Refuse;
constexpr Meeting A = Meeting::Ask;
constexpr Meeting Q = Meeting::Queue;

// A read or a send is over in seconds and is never cut short: a send
// stopped halfway leaves a radio with part of its settings. A monitor, a
// discovery or an emulation runs until stopped: the user may stop it, and
// a send goes out between its polls. A compare, a group change and a
// search belong to their dialogs, which stop them; and whatever
// Change Group Settings does between its steps must not meet a radio
// staged with values it does not run yet.
// Rows: the command running; columns: the command given, both in the
// order of Command.
constexpr std::array<std::array<Meeting, kCommandCount>, kCommandCount> kMeetings{{
    //   GetLocal GetRadio SetRadio Reset Discover Monitor Emulate Compare Group Auto
    {{R, R, R, R, R, R, R, R, R, R}},  // GetLocal
    {{R, R, R, R, R, R, R, R, R, R}},  // GetRadio
    {{R, R, R, R, R, R, R, R, R, R}},  // SetRadio
    {{R, R, R, R, R, R, R, R, R, R}},  // Reset
    {{A, A, Q, Q, A, A, A, A, A, A}},  // Discover
    {{A, A, Q, Q, A, A, A, A, A, A}},  // Monitor
    {{A, A, A, A, A, A, A, A, A, A}},  // Emulate
    {{R, R, R, R, R, R, R, R, R, R}},  // Compare
    {{R, R, R, R, R, R, R, R, R, R}},  // GroupChange
    {{R, R, R, R, R, R, R, R, R, R}},  // AutoConfigure
}};

struct CommandTexts {
  const char* name;
  // What it does while it runs, for a refusal.
  const char* doing;
  // The question before it is stopped.
  const char* stop;
};

constexpr std::array<CommandTexts, kCommandCount> kTexts{{
    {"Get Local Radio Parameters", "Get Local Radio Parameters is reading the local radio",
     "Stop reading the local radio?"},
    {"Get Radio Parameters", "Get Radio Parameters is reading a radio", "Stop reading the radio?"},
    {"Set Radio", "Set Radio is sending a radio's parameters", "Stop the send?"},
    {"Reset", "Reset is resetting a radio", "Stop the reset?"},
    {"New Project discovery", "The discovery is dialling the group", "Stop the discovery?"},
    {"Online Monitor", "The monitor is polling the group", "Stop the monitor?"},
    {"Emulate Group", "Emulate Group is playing the project's radios", "Stop emulating the group?"},
    {"Compare Group with Project", "Compare Group with Project is reading the group",
     "Stop the compare?"},
    {"Change Group Settings", "Change Group Settings is changing the group's settings",
     "Stop changing the group's settings?"},
    {"Auto Configure", "Auto Configure is searching for the radio's line settings",
     "Stop the search?"},
}};

size_t at(Command c) {
  return static_cast<size_t>(c);
}

}  // namespace

Meeting meeting(Command running, Command given) {
  return kMeetings[at(running)][at(given)];
}

const char* commandName(Command command) {
  return kTexts[at(command)].name;
}

std::string refusalText(Command running, Command given) {
  return std::string(kTexts[at(running)].doing) + ": " + commandName(given) +
         " did not start. Try again when it is done.";
}

std::string stopQuestion(Command running, Command given) {
  return std::string(kTexts[at(running)].stop) + " " + commandName(given) +
         " cannot run beside it.";
}

}  // namespace tessel
