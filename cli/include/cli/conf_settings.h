#pragma once

// The per-user settings of the program as the headless front end sees them:
// where the Qt program keeps them. On Windows the registry key
// HKEY_CURRENT_USER\Software\<maker>\<product> (texts and numbers as QSettings
// writes them); elsewhere the file ~/.config/<maker>/<product>.conf
// (QSettings' native INI format, values in its "General" section). Read
// from there; writes stay in memory, so a command-line override never
// changes what the windowed program finds next time.
#include <map>
#include <memory>
#include <string>

#include "seams/settings_store.h"

namespace tessel {
class IniFile;
namespace platform {
class RegistryKey;
}
}  // namespace tessel

namespace tessel::cli {

class ConfSettings : public SettingsStore {
 public:
  // path: a settings file, or a registry key ("HKEY_CURRENT_USER\...").
  explicit ConfSettings(std::string path);
  ~ConfSettings() override;

  // Where the windowed program keeps them (platform::userSettingsLocation):
  // $XDG_CONFIG_HOME (else $HOME/.config) + "/" + maker + "/" + product +
  // ".conf", or on Windows the registry key.
  static std::string defaultPath(const std::string& maker, const std::string& product);

  bool exists() const override;
  bool readString(const std::string& name, std::string& out) const override;
  bool readInteger(const std::string& name, int& out) const override;
  bool writeString(const std::string& name, const std::string& value) override;
  bool writeInteger(const std::string& name, int value) override;

  const std::string& path() const { return path_; }

  // QSettings' spelling of a key in the file ("Baud rate" -> "Baud%20rate")
  // and of a value (surrounding quotes, backslash escapes).
  static std::string escapeKey(const std::string& key);
  static std::string unescapeValue(const std::string& raw);

 private:
  bool readFromKey(const std::string& name, std::string& out) const;

  std::string path_;
  bool fileExists_ = false;
  std::unique_ptr<IniFile> file_;
  std::unique_ptr<platform::RegistryKey> key_;  // the key, when path_ names one that exists
  std::map<std::string, std::string> written_;
};

}  // namespace tessel::cli
