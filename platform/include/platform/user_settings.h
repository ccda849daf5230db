#pragma once

// Where the windowed program's per-user settings are kept (Qt's QSettings in
// its native form), and a reader of the registry, where Windows keeps them.
#include <cstdint>
#include <string>

namespace tessel::platform {

// The settings of maker/product: on Windows the registry key
// "HKEY_CURRENT_USER\Software\<maker>\<product>"; elsewhere the file
// $XDG_CONFIG_HOME (when absolute, else ~/.config) + "/<maker>/<product>.conf".
std::string userSettingsLocation(const std::string& maker, const std::string& product);

// A value as the registry holds it.
struct RegistryValue {
  enum class Kind { text, number };
  Kind kind = Kind::text;
  std::string text;      // REG_SZ, REG_EXPAND_SZ, as UTF-8
  long long number = 0;  // REG_DWORD, REG_QWORD
};

// One key of the current user's registry, opened to be read (never made).
// A system without a registry has no such key: open() fails there.
class RegistryKey {
 public:
  // Whether location names a key of the current user ("HKEY_CURRENT_USER\...").
  static bool isKeyName(const std::string& location);

  RegistryKey() = default;
  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // False when the key does not exist.
  bool open(const std::string& location);
  bool isOpen() const { return key_ != 0; }
  // False when the value is absent or of a kind without a text or a number
  // (binary data, lists of texts).
  bool read(const std::string& name, RegistryValue& out) const;

 private:
  std::intptr_t key_ = 0;  // the open HKEY
};

}  // namespace tessel::platform
