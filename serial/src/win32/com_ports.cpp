#include "serial/com_ports.h"

#include "platform/serial_ports.h"

namespace tessel {

std::vector<std::string> serialDevices(const std::string& devDir) {
  return platform::systemSerialPorts(devDir);
}

std::string comDevicePath(int port, const SettingsStore*, const std::string&) {
  // The number names the port itself.
  if (port < 1) return {};
  return "COM" + std::to_string(port);
}

}  // namespace tessel
