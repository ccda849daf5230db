#include "serial/port_errors.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tessel {

namespace fs = std::filesystem;

namespace {

bool allDigits(const std::string& s) {
  return !s.empty() && s.size() < 10 &&
         std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string systemText(int err) {
  char buffer[256];
  return ::strerror_r(err, buffer, sizeof buffer);
}

}  // namespace

std::vector<PortHolder> portHolders(const std::string& device, const std::string& procRoot,
                                    int selfPid) {
  std::vector<PortHolder> holders;
  if (device.empty()) return holders;
  if (selfPid < 0) selfPid = static_cast<int>(::getpid());
  std::vector<std::string> names{device};
  std::error_code ec;
  const fs::path real = fs::canonical(device, ec);
  if (!ec && real.string() != device) names.push_back(real.string());

  for (fs::directory_iterator it(procRoot, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string pidText = it->path().filename().string();
    if (!allDigits(pidText)) continue;
    const int pid = std::stoi(pidText);
    if (pid == selfPid) continue;
    std::error_code fdEc;
    bool holds = false;
    for (fs::directory_iterator fd(it->path() / "fd", fdEc), fdEnd; !fdEc && fd != fdEnd;
         fd.increment(fdEc)) {
      std::error_code linkEc;
      const fs::path target = fs::read_symlink(fd->path(), linkEc);
      if (linkEc) continue;
      if (std::find(names.begin(), names.end(), target.string()) != names.end()) {
        holds = true;
        break;
      }
    }
    if (!holds) continue;
    PortHolder h;
    h.pid = pid;
    std::ifstream comm(it->path() / "comm");
    std::getline(comm, h.name);
    holders.push_back(h);
  }
  std::sort(holders.begin(), holders.end(),
            [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
  return holders;
}

std::string openErrorMessage(int err, const std::string& device,
                             const std::vector<PortHolder>& holders) {
  if (err == EACCES || err == EPERM) {
    return "Permission denied opening " + device +
           ". Serial ports belong to the \"dialout\" group: add yourself to it with "
           "\"sudo usermod -aG dialout $USER\", then log out and log in again.";
  }
  if (err == EBUSY) {
    std::string text = device + " is busy: another program holds it";
    if (!holders.empty()) {
      text += " (";
      for (size_t i = 0; i < holders.size(); ++i) {
        if (i) text += ", ";
        text += (holders[i].name.empty() ? std::string("process") : holders[i].name) +
                ", process " + std::to_string(holders[i].pid);
      }
      text += ")";
    }
    return text + ". Close it and try again.";
  }
  return {};
}

std::string lineLostMessage(int err, const std::string& device) {
  return "The connection to " + device + " was lost (" + systemText(err) +
         "). Check the cable or the adapter, then start the task again.";
}

}  // namespace tessel
