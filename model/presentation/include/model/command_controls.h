#pragma once

// Which of the window's command controls take a click, decided in one
// place from what the commands run, the window's mode and the port: every
// end of a command (stopped, cancelled, the line lost, refused) brings
// them back to what the new state allows.
#include "model/radio_commands.h"

namespace tessel {

struct CommandControls {
  // Online Monitor > Stop and Escape in the radio list: a monitor, a
  // discovery, an emulation or a read runs (a send is never cut short).
  bool stop = false;
  // The panel's Cancel while the monitor's layout shows a monitor or a
  // discovery that runs.
  bool cancel = false;
  // Online Monitor > Compare Group with Project...
  bool compare = false;
  // Project > Change Group Settings...
  bool changeGroupShown = false;
  bool changeGroup = false;
};

CommandControls commandControls(const RadioCommands& commands, int windowMode, bool portOpen);

}  // namespace tessel
