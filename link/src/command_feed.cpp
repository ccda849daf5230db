#include "link/command_feed.h"

namespace tessel {

void CommandFeed::stateChanged(PortState, PortState to) {
  // A dialled radio's registers are read once it answered the dial.
  if (to == psDiscoverSRegs) commands_.answered();
}

void CommandFeed::taskChanged(TaskCode, TaskCode to) {
  commands_.taskChanged(to);
}

void CommandFeed::dialling(int radio) {
  commands_.dialling(radio);
}

void CommandFeed::radioPolled(int radio) {
  commands_.radioPolled(radio);
}

void CommandFeed::taskEnded(TaskCode task, const Outcome& outcome) {
  commands_.taskEnded(task, outcome);
}

void CommandFeed::lineConfirmed(const std::string& line) {
  commands_.lineConfirmed(line);
}

}  // namespace tessel
