#include "app/program_path.h"

#include "metrics/metrics_server.h"
#include "model/text.h"
#include "platform/files.h"

namespace tessel {

namespace {
std::string joined(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}
}  // namespace

std::string programPath(const char* argv0, const std::string& cwd, const std::string& pathEnv) {
  const std::string name = argv0 ? argv0 : "";
  if (name.empty()) return name;
  if (name.front() == '/') return name;
  if (name.find('/') != std::string::npos) return joined(cwd, name);
  // A bare name came through PATH.
  size_t start = 0;
  while (start <= pathEnv.size()) {
    size_t end = pathEnv.find(':', start);
    if (end == std::string::npos) end = pathEnv.size();
    std::string dir = pathEnv.substr(start, end - start);
    if (dir.empty()) dir = ".";
    std::string candidate = joined(dir, name);
    if (platform::isExecutable(candidate))
      return candidate.front() == '/' ? candidate : joined(cwd, candidate);
    start = end + 1;
  }
  return joined(cwd, name);
}

bool emulateRequested(int argc, char** argv) {
  return argc > 1 && argv[1] && lowerCase(argv[1]).find("-emulate") != std::string::npos;
}

std::string projectArgument(int argc, char** argv) {
  const int at = emulateRequested(argc, argv) ? 2 : 1;
  if (argc <= at || !argv[at] || argv[at][0] == '-' || argv[at][0] == '\0') return {};
  return argv[at];
}

bool takeMetricsOption(int& argc, char** argv, std::string& address, std::string& error) {
  static const std::string kSwitch = "--metrics";
  int out = 1;
  bool given = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i] ? argv[i] : "";
    if (a == kSwitch) {
      if (i + 1 >= argc) {
        error = kSwitch + " needs HOST:PORT";
        return false;
      }
      address = argv[++i];
      given = true;
    } else if (a.compare(0, kSwitch.size() + 1, kSwitch + "=") == 0) {
      address = a.substr(kSwitch.size() + 1);
      given = true;
    } else {
      argv[out++] = argv[i];
    }
  }
  argc = out;
  argv[argc] = nullptr;
  std::string host;
  int port = 0;
  return !given || parseListenAddress(address, host, port, error);
}

}  // namespace tessel
