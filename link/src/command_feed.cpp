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

void CommandFeed::taskEnded(TaskCode task, TaskOutcome outcome, const std::string& message) {
  commands_.taskEnded(task, commandOutcome(outcome), message);
}

void CommandFeed::lineConfirmed(const std::string& line) {
  commands_.lineConfirmed(line);
}

CommandOutcome commandOutcome(TaskOutcome outcome) {
  switch (outcome) {
    case TaskOutcome::Completed:
      return CommandOutcome::Done;
    case TaskOutcome::Cancelled:
      return CommandOutcome::Cancelled;
    case TaskOutcome::Failed:
      break;
    case TaskOutcome::NoAnswer:
      return CommandOutcome::NoAnswer;
    case TaskOutcome::LinkLost:
      return CommandOutcome::LinkLost;
  }
  return CommandOutcome::Failed;
}

}  // namespace tessel
