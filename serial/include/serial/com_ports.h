#pragma once

#include <string>
#include <vector>

namespace tessel {

class SettingsStore;

// Serial devices in the order COM1, COM2, ... take them
// (platform::systemSerialPorts): on Linux /dev/ttyUSB*, then /dev/ttyACM*,
// then /dev/ttyS*, each by number; on Windows the COM ports the system
// lists. devDir is for tests.
std::vector<std::string> serialDevices(const std::string& devDir = "/dev");

// The device behind COM<port>. On Linux the per-user setting "COM<port>"
// when it holds a path, otherwise the port-th of serialDevices(); empty when
// there is none. On Windows COM1 to COM9 are the ports of those names.
std::string comDevicePath(int port, const SettingsStore* settings,
                          const std::string& devDir = "/dev");

}  // namespace tessel
