#pragma once

#include "link/link_observer.h"
#include "model/radio_commands.h"

namespace tessel {

// Hands the engine's events to the commands both front ends start, which
// turn them into progress and outcomes.
class CommandFeed : public LinkObserver {
 public:
  explicit CommandFeed(RadioCommands& commands) : commands_(commands) {}
  void stateChanged(PortState from, PortState to) override;
  void taskChanged(TaskCode from, TaskCode to) override;
  void dialling(int radio) override;
  void radioPolled(int radio) override;
  void taskEnded(TaskCode task, const Outcome& outcome) override;
  void lineConfirmed(const std::string& line) override;

 private:
  RadioCommands& commands_;
};

}  // namespace tessel
