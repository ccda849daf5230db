#include <cctype>

#include "platform/user_settings.h"

namespace tessel::platform {

bool RegistryKey::isKeyName(const std::string& location) {
  static const std::string kRoot = "HKEY_CURRENT_USER\\";
  if (location.size() <= kRoot.size()) return false;
  for (size_t i = 0; i < kRoot.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(location[i])) != kRoot[i]) return false;
  return true;
}

}  // namespace tessel::platform
