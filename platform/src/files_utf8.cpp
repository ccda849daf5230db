#include "platform/files.h"

namespace tessel::platform {

// std::filesystem knows UTF-8 on every system: the identity on POSIX, a
// conversion to and from the wide names on Windows.
std::filesystem::path pathFromUtf8(const std::string& utf8) {
  return std::filesystem::u8path(utf8);
}

std::string utf8FromPath(const std::filesystem::path& path) {
  return path.u8string();
}

}  // namespace tessel::platform
