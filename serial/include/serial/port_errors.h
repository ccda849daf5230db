#pragma once

// Texts for the ways a Linux serial port fails that a user can act on: no
// permission, held by another program, gone while open. Each names the
// device, so a user with several adapters knows which one is meant.
#include <string>
#include <vector>

namespace tessel {

// A process that has a device open.
struct PortHolder {
  int pid = 0;
  std::string name;  // the process's command name ("minicom")
};

// The processes other than selfPid with device open, found through the
// descriptor links procRoot/<pid>/fd/*; the device matches by its path and
// by the path it resolves to (a /dev/serial/by-id/ link). Processes we may
// not look into are skipped. procRoot and selfPid are for tests.
std::vector<PortHolder> portHolders(const std::string& device,
                                    const std::string& procRoot = "/proc", int selfPid = -1);

// The message for an open of device that failed with err: the group and the
// command to join it for a refused permission, the holding programs for a
// busy port. Empty for other codes, whose system text says enough.
std::string openErrorMessage(int err, const std::string& device,
                             const std::vector<PortHolder>& holders = {});

// The message for a device that went away while open (adapter unplugged).
std::string lineLostMessage(int err, const std::string& device);

}  // namespace tessel
