#include "link/link_observer.h"

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
  switch (state) {
    case psError:
      return "Error";
    case psIdle:
      return "Idle";
    case psConfig16at:
    case psConfig16plus:
    case psConfig32:
    case psConfig0:
    case psConfigAuto:
    case psConfigManual:
      return "Poll";
    case psLocalATI:
    case psLocalATIx:
      return "Getting Values";
    case psSentATH:
      return "Disconnecting";
    case psSentATD:
      return "Connecting";
    case psAutoDiscover0:
    case psAutoDiscoverX:
      return "Discovering";
    case psDiscoverSRegs: {
      const int reg = rowRegister ? rowRegister() : -1000;
      if (reg == -1000) return "Getting Values";  // past the last row
      return reg < 0 ? "Getting ATI info" : "Getting S " + std::to_string(reg);
    }
    case psSendQueue:
      return std::nullopt;  // the main window draws the queue gauge
    case psEmulate:
      return "Emulating group";
  }
  return std::string();
}

}  // namespace

LinkStatus describeStatus(PortState state, TaskCode task, const std::string& port,
                          const std::string& currentRadio,
                          const std::function<int()>& rowRegister) {
  LinkStatus s;
  s.port = port;
  s.task = taskText(task, currentRadio);
  s.ownerDrawn = ownerDrawn(task);
  s.state = stateText(state, rowRegister);
  return s;
}

}  // namespace tessel
