#include "model/data_dir.h"

#include <filesystem>

#include "platform/files.h"
#include "platform/process.h"

namespace tessel {

std::string dataDirectory(const std::string& product, const std::string& exePath,
                          const std::string& userDataFolder) {
  const std::filesystem::path dir = platform::pathFromUtf8(exePath).parent_path();
  const std::string folder = platform::utf8FromPath(dir);
  if (!exePath.empty() && dir.filename() != "bin" && platform::writeAccess(folder) == 0)
    return folder;
  return platform::pathInFolder(userDataFolder, product);
}

std::string dataDirectory(const std::string& product, const std::string& exePath) {
  return dataDirectory(product, exePath, platform::userDataFolder());
}

std::string dataDirectory(const std::string& product) {
  return dataDirectory(product, platform::executablePath());
}

}  // namespace tessel
