#include "model/file_access.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "atomic_write.h"

namespace tessel {

bool canRewriteFile(const std::string& path, std::string& error) {
  namespace fs = std::filesystem;
  auto refuse = [&](const std::string& reason) {
    error = "cannot write " + path + ": " + reason;
    return false;
  };
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (fs::exists(st)) {
    if (!fs::is_regular_file(st)) return refuse("not a regular file");
    if (::access(path.c_str(), W_OK) != 0) return refuse(std::strerror(errno));
  }
  const fs::path folder = fs::absolute(path, ec).parent_path();
  if (ec) return refuse(ec.message());
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return refuse(std::strerror(errno));
  return true;
}

bool canReadProject(const std::string& path, std::string& error) {
  namespace fs = std::filesystem;
  auto refuse = [&](const std::string& reason) {
    error = "cannot read " + path + ": " + reason;
    return false;
  };
  if (path.empty()) return refuse("no file name");
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (!fs::exists(st)) return refuse(std::strerror(ENOENT));
  if (!fs::is_regular_file(st)) return refuse("not a regular file");
  // Opened, not just asked: what access() says is not what open() does for root.
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return refuse(std::strerror(errno));
  std::fclose(f);
  return true;
}

bool replaceFileWithCopy(const std::string& path, const std::string& source, std::string& error) {
  errno = 0;
  std::ifstream in(source, std::ios::binary);
  const std::string data =
      in ? std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())
         : std::string();
  if (!in || in.bad()) {
    error = "cannot read " + source + ": " + std::strerror(errno ? errno : EIO);
    return false;
  }
  return replaceFileAtomically(path, data, error);
}

}  // namespace tessel
