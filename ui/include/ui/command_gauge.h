#pragma once

#include <functional>
#include <string>

#include "model/group_commands.h"
#include "model/radio_commands.h"

namespace tessel {

// How far a discovery or a monitor got, for the status bar's gauge.
class CommandGauge : public CommandListener {
 public:
  CommandGauge(GroupCommands& commands, std::function<void()> progressed)
      : commands_(commands), progressed_(std::move(progressed)) {}
  void commandProgress(const CommandProgress& p) override {
    if (p.command == Command::Discover) {
      if (p.radio < 0)
        commands_.progress.start();
      else
        commands_.progress.dialling(p.radio);
    } else if (p.command == Command::Monitor) {
      monitor = p;
    } else {
      return;
    }
    progressed_();
  }
  void radioRead(Command command, int radio, bool complete) override {
    if (command != Command::Discover || !complete) return;
    commands_.progress.found(radio);
    progressed_();
  }
  void commandEnded(Command command, const Outcome&) override {
    if (command == Command::Monitor) monitor = CommandProgress();
    progressed_();
  }
  // The monitor's last progress; radio -1 before its first dial.
  CommandProgress monitor;

 private:
  GroupCommands& commands_;
  std::function<void()> progressed_;
};

}  // namespace tessel
