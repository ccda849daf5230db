#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/serial_ports.h"

namespace tessel::platform {

namespace {

// Devices named prefix + number in dir, by number.
std::vector<std::string> numbered(const std::string& dir, const std::string& prefix) {
  std::vector<std::pair<unsigned long, std::string>> found;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
      continue;
    found.emplace_back(std::stoul(digits), it->path().string());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& f : found) paths.push_back(std::move(f.second));
  return paths;
}

}  // namespace

std::vector<std::string> systemSerialPorts(const std::string& devDir) {
  std::vector<std::string> all;
  for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
    auto some = numbered(devDir, prefix);
    all.insert(all.end(), some.begin(), some.end());
  }
  return all;
}

}  // namespace tessel::platform
