#include "model/data_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tessel {

namespace fs = std::filesystem;

std::string dataDirectory(const std::string& product, const std::string& exePath,
                          const std::string& xdgDataHome, const std::string& home) {
  const fs::path dir = fs::path(exePath).parent_path();
  if (!exePath.empty() && dir.filename() != "bin" && ::access(dir.c_str(), W_OK) == 0)
    return dir.string();
  // A relative XDG_DATA_HOME is invalid and is ignored, as the XDG rules say.
  const std::string base = !xdgDataHome.empty() && xdgDataHome[0] == '/'
                               ? xdgDataHome
                               : (home.empty() ? std::string(".") : home) + "/.local/share";
  return base + "/" + product;
}

std::string dataDirectory(const std::string& product) {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  return dataDirectory(product, ec ? std::string() : exe.string(), data ? data : "",
                       home ? home : "");
}

}  // namespace tessel
