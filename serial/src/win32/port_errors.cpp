// Texts for the ways a Windows COM port fails that a user can act on.
#include <windows.h>

#include "os_error.h"
#include "serial/port_errors.h"

namespace tessel {

std::vector<PortHolder> portHolders(const std::string&, const std::string&, int) {
  // Windows does not tell which program holds a COM port.
  return {};
}

std::string openErrorMessage(int err, const std::string& device, const std::vector<PortHolder>&) {
  if (err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION)
    return device + " is busy: another program holds it. Close it and try again.";
  if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
    return "There is no " + device +
           " on this computer. Plug in the adapter, or pick the port the Device Manager shows.";
  return {};
}

std::string lineLostMessage(int err, const std::string& device) {
  return "The connection to " + device + " was lost (" + oserr::text(err) +
         "). Check the cable or the adapter, then start the task again.";
}

}  // namespace tessel
