#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/process.h"

namespace tessel::platform {

int currentProcessId() {
  return static_cast<int>(::getpid());
}

bool processRuns(int pid) {
  return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH);
}

std::string programName() {
  const char* name = program_invocation_short_name;
  return name ? name : "";
}

std::string executablePath() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

bool environmentVariable(const std::string& name, std::string& value) {
  const char* v = std::getenv(name.c_str());
  if (!v) return false;
  value = v;
  return true;
}

std::string userDataFolder() {
  // A relative XDG_DATA_HOME is invalid and is ignored, as the XDG rules say.
  std::string xdg, home;
  if (environmentVariable("XDG_DATA_HOME", xdg) && !xdg.empty() && xdg[0] == '/') return xdg;
  environmentVariable("HOME", home);
  return (home.empty() ? std::string(".") : home) + "/.local/share";
}

}  // namespace tessel::platform
