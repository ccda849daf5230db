#include <windows.h>

#include <vector>

#include "platform/user_settings.h"
#include "wide.h"

namespace tessel::platform {

std::string userSettingsLocation(const std::string& maker, const std::string& product) {
  return "HKEY_CURRENT_USER\\Software\\" + maker + "\\" + product;
}

RegistryKey::~RegistryKey() {
  if (key_) RegCloseKey(reinterpret_cast<HKEY>(key_));
}

bool RegistryKey::open(const std::string& location) {
  if (key_) RegCloseKey(reinterpret_cast<HKEY>(key_));
  key_ = 0;
  if (!isKeyName(location)) return false;
  const std::wstring sub = win32::widen(location.substr(location.find('\\') + 1));
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  key_ = reinterpret_cast<std::intptr_t>(key);
  return true;
}

bool RegistryKey::read(const std::string& name, RegistryValue& out) const {
  if (!key_) return false;
  const HKEY key = reinterpret_cast<HKEY>(key_);
  const std::wstring wide = win32::widen(name);
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, wide.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return false;
  std::vector<BYTE> data(size + sizeof(wchar_t));
  if (RegQueryValueExW(key, wide.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
    return false;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const auto* text = reinterpret_cast<const wchar_t*>(data.data());
      size_t chars = size / sizeof(wchar_t);
      while (chars > 0 && text[chars - 1] == L'\0') --chars;  // the stored end, if any
      out.kind = RegistryValue::Kind::text;
      out.text = win32::narrow(text, chars);
      return true;
    }
    case REG_DWORD:
      if (size < sizeof(DWORD)) return false;
      out.kind = RegistryValue::Kind::number;
      out.number = static_cast<int32_t>(*reinterpret_cast<const DWORD*>(data.data()));
      return true;
    case REG_QWORD:
      if (size < sizeof(long long)) return false;
      out.kind = RegistryValue::Kind::number;
      out.number = *reinterpret_cast<const long long*>(data.data());
      return true;
    default:
      return false;
  }
}

}  // namespace tessel::platform
