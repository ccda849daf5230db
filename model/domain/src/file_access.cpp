#include "model/file_access.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "model/text.h"
#include "platform/atomic_write.h"
#include "platform/files.h"

namespace tessel {

bool canRewriteFile(const std::string& path, std::string& error) {
  namespace fs = std::filesystem;
  auto refuse = [&](const std::string& reason) {
    error = "cannot write " + path + ": " + reason;
    return false;
  };
  std::error_code ec;
  const fs::path name = platform::pathFromUtf8(path);
  const fs::file_status st = fs::status(name, ec);
  if (fs::exists(st)) {
    if (!fs::is_regular_file(st)) return refuse("not a regular file");
    if (const int err = platform::writeAccess(path)) return refuse(std::strerror(err));
  }
  const fs::path folder = fs::absolute(name, ec).parent_path();
  if (ec) return refuse(ec.message());
  if (const int err = platform::writeAccess(platform::utf8FromPath(folder)))
    return refuse(std::strerror(err));
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
  const fs::file_status st = fs::status(platform::pathFromUtf8(path), ec);
  if (!fs::exists(st)) return refuse(std::strerror(ENOENT));
  if (!fs::is_regular_file(st)) return refuse("not a regular file");
  // Opened, not just asked: what access() says is not what open() does for root.
  std::FILE* f = platform::openFile(path, "rb");
  if (!f) return refuse(std::strerror(errno));
  std::fclose(f);
  return true;
}

bool replaceFileWithCopy(const std::string& path, const std::string& source, std::string& error) {
  errno = 0;
  std::ifstream in(platform::pathFromUtf8(source), std::ios::binary);
  const std::string data =
      in ? std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())
         : std::string();
  if (!in || in.bad()) {
    error = "cannot read " + source + ": " + std::strerror(errno ? errno : EIO);
    return false;
  }
  return platform::replaceFileAtomically(path, data, error);
}

}  // namespace tessel

namespace tessel {

bool isProjectText(const std::string& path, std::string& reason) {
  std::ifstream in(platform::pathFromUtf8(path), std::ios::binary);
  if (!in) return true;
  bool blank = true;
  std::string line;
  while (std::getline(in, line)) {
    for (char ch : line) {
      const auto c = static_cast<unsigned char>(ch);
      if ((c < 0x20 && c != '\t' && c != '\r' && c != '\f') || c == 0x7f) {
        reason = "it holds bytes that cannot be text";
        return false;
      }
    }
    const std::string t = trimBlanks(line);
    if (t.empty() || t == "\r") continue;
    blank = false;
    if (t[0] == '[' && t.find(']') != std::string::npos) return true;
    const size_t eq = t.find('=');
    if (t[0] != ';' && t[0] != '#' && eq != std::string::npos && eq > 0) return true;
  }
  if (blank) return true;  // a new project is an empty file
  reason = "it holds no section and no key";
  return false;
}

}  // namespace tessel
