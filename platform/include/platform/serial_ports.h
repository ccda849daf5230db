#pragma once

#include <string>
#include <vector>

namespace tessel::platform {

// The serial ports the system knows, in the order COM numbers take them. On
// Linux the device files devDir/ttyUSB*, then ttyACM*, then ttyS*, each by
// number. On Windows the COM ports of the system's map of serial ports (the
// registry's HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM) by number
// ("COM3"); devDir, for tests, means nothing there.
std::vector<std::string> systemSerialPorts(const std::string& devDir = "/dev");

}  // namespace tessel::platform
