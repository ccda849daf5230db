#include "platform/user_settings.h"
#include "platform/process.h"

namespace tessel::platform {

std::string userSettingsLocation(const std::string& maker, const std::string& product) {
  std::string base;
  if (!environmentVariable("XDG_CONFIG_HOME", base) || base.empty() || base[0] != '/') {
    std::string home;
    environmentVariable("HOME", home);
    base = home + "/.config";
  }
  return base + "/" + maker + "/" + product + ".conf";
}

// No registry here: every key is absent.
RegistryKey::~RegistryKey() = default;

bool RegistryKey::open(const std::string&) {
  return false;
}

bool RegistryKey::read(const std::string&, RegistryValue&) const {
  return false;
}

}  // namespace tessel::platform
