// Where a POSIX desktop keeps a user's data and settings: the XDG rules.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "platform/process.h"
#include "platform/user_settings.h"

namespace tessel::platform {
namespace {

class Environment {
 public:
  Environment(const char* name, const char* value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old, had_ = true;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~Environment() {
    if (had_)
      ::setenv(name_.c_str(), old_.c_str(), 1);
    else
      ::unsetenv(name_.c_str());
  }

 private:
  std::string name_, old_;
  bool had_ = false;
};

TEST(UserFolders, FollowTheXdgRulesAndIgnoreARelativeVariable) {
  struct Case {
    const char* what;
    const char* xdg;
    std::string data, settings;
  } cases[] = {
      {"unset", nullptr, "/home/u/.local/share", "/home/u/.config/Corvane/Tessel.conf"},
      {"absolute", "/xdg", "/xdg", "/xdg/Corvane/Tessel.conf"},
      {"relative", "xdg", "/home/u/.local/share", "/home/u/.config/Corvane/Tessel.conf"},
  };
  Environment home("HOME", "/home/u");
  for (const Case& c : cases) {
    Environment data("XDG_DATA_HOME", c.xdg);
    Environment config("XDG_CONFIG_HOME", c.xdg);
    EXPECT_EQ(userDataFolder(), c.data) << c.what;
    EXPECT_EQ(userSettingsLocation("Corvane", "Tessel"), c.settings) << c.what;
  }
  RegistryKey key;
  EXPECT_FALSE(key.open("HKEY_CURRENT_USER\\Software\\Corvane\\Tessel")) << "no registry here";
}

}  // namespace
}  // namespace tessel::platform
