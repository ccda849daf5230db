#pragma once

#include <string>
#include <vector>

namespace tessel {

class SettingsStore;

// Serial devices in the order COM1, COM2, ... take them: /dev/ttyUSB*, then
// /dev/ttyACM*, then /dev/ttyS*, each by number. devDir is for tests.
std::vector<std::string> serialDevices(const std::string& devDir = "/dev");

// The device behind COM<port>: the per-user setting "COM<port>" when it holds
// a path, otherwise the port-th of serialDevices(). Empty when there is none.
std::string comDevicePath(int port, const SettingsStore* settings,
                          const std::string& devDir = "/dev");

}  // namespace tessel
