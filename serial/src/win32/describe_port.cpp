// What a serial port is on Windows: a COM port the system lists, or not.
// The system's names are stable, so there is nothing to pin.
#include <algorithm>

#include "serial/com_ports.h"
#include "serial/usb_info.h"

namespace tessel {

SerialPortInfo describePort(const std::string& device, const std::string&,
                            const std::string& devRoot) {
  SerialPortInfo info;
  info.device = device;
  const auto ports = serialDevices(devRoot);
  info.present = std::find(ports.begin(), ports.end(), device) != ports.end();
  return info;
}

std::vector<ComPortEntry> listComPorts(const SettingsStore*, const std::string& devRoot,
                                       const std::string&) {
  std::vector<ComPortEntry> list;
  const auto ports = serialDevices(devRoot);
  for (int com = 1; com <= 9; ++com) {
    const std::string device = comDevicePath(com, nullptr, devRoot);
    if (std::find(ports.begin(), ports.end(), device) == ports.end()) continue;
    ComPortEntry e;
    e.com = com;
    e.info.device = device;
    e.info.present = true;
    list.push_back(std::move(e));
  }
  return list;
}

}  // namespace tessel
