#include "link/link_observer.h"

#include <cstdio>

#include "link/tcom_port.h"

namespace tessel {

namespace {

std::optional<std::string> taskText(TaskCode task, const std::string& currentRadio) {
  switch (task) {
    case tkLocalOnly:
      return "Local Only";
    case tkAutoConfigure:
      return "COM configure";
    case tkMonitor:
      return "Radio " + currentRadio;
    case tkGetRemote:
      return "Getting Values";
    case tkSendValues:
      return "Sending Values";
    default:
      return std::nullopt;
  }
}

std::optional<bool> ownerDrawn(TaskCode task) {
  if (task == tkSendValues) return true;  // the main window draws the queue gauge
  if (task == tkLocalOnly || task == tkAutoConfigure || task == tkGetRemote || task == tkMonitor)
    return false;
  return std::nullopt;
}

std::optional<std::string> stateText(PortState state, const std::function<int()>& rowRegister) {
  if (state > psEmulate) return std::string();
  if (state == psDiscoverSRegs) {
    const int reg = rowRegister ? rowRegister() : -1000;
    if (reg == -1000) return "Getting Values";  // past the last row
    return reg < 0 ? "Getting ATI info" : "Getting S " + std::to_string(reg);
  }
  const char* status = TcomPort::row(state).status;
  if (!status) return std::nullopt;  // the main window draws the queue gauge
  return std::string(status);
}

}  // namespace

std::string sendPacingText(bool linesAtOnce, bool brief) {
  if (linesAtOnce) return brief ? "Per reply" : "Sending as fast as replies";
  char tick[16];
  std::snprintf(tick, sizeof tick, "%.1f s", TcomPort::kTaskInterval / 1000.0);
  return (brief ? "Per " : "Sending a line per ") + std::string(tick);
}

LinkStatus describeStatus(PortState state, TaskCode task, const std::string& port,
                          const std::string& currentRadio, const std::function<int()>& rowRegister,
                          bool linesAtOnce) {
  LinkStatus s;
  s.port = port;
  s.task = taskText(task, currentRadio);
  s.ownerDrawn = ownerDrawn(task);
  s.state = stateText(state, rowRegister);
  if (task == tkSendValues) {
    s.pacing = sendPacingText(linesAtOnce);
    s.pacingBrief = sendPacingText(linesAtOnce, true);
  }
  return s;
}

}  // namespace tessel
