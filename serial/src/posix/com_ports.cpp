#include "serial/com_ports.h"

#include "platform/serial_ports.h"
#include "seams/settings_store.h"

namespace tessel {

std::vector<std::string> serialDevices(const std::string& devDir) {
  return platform::systemSerialPorts(devDir);
}

std::string comDevicePath(int port, const SettingsStore* settings, const std::string& devDir) {
  if (port < 1) return {};
  std::string path;
  if (settings && settings->readString("COM" + std::to_string(port), path) && !path.empty())
    return path;
  auto devices = serialDevices(devDir);
  if (static_cast<size_t>(port) > devices.size()) return {};
  return devices[static_cast<size_t>(port) - 1];
}

}  // namespace tessel
