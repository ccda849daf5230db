#include "cli/conf_settings.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "model/ini_file.h"
#include "platform/files.h"
#include "platform/user_settings.h"

namespace tessel::cli {

namespace {
constexpr char kSection[] = "General";
}

ConfSettings::ConfSettings(std::string path) : path_(std::move(path)) {
  if (platform::RegistryKey::isKeyName(path_)) {
    key_ = std::make_unique<platform::RegistryKey>();
    if (!key_->open(path_)) key_.reset();
    return;
  }
  std::error_code ec;
  fileExists_ = std::filesystem::is_regular_file(platform::pathFromUtf8(path_), ec);
  if (fileExists_) file_ = std::make_unique<IniFile>(path_);
}

ConfSettings::~ConfSettings() = default;

std::string ConfSettings::defaultPath(const std::string& maker, const std::string& product) {
  return platform::userSettingsLocation(maker, product);
}

bool ConfSettings::exists() const {
  return fileExists_ || key_ || !written_.empty();
}

std::string ConfSettings::escapeKey(const std::string& key) {
  std::string out;
  for (unsigned char c : key) {
    if (std::isalnum(c) || c == '_' || c == '-' || c == '.') {
      out += static_cast<char>(c);
    } else if (c == '/') {
      out += '\\';
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    }
  }
  return out;
}

std::string ConfSettings::unescapeValue(const std::string& raw) {
  std::string out;
  bool quoted = false;
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (c == '\\' && i + 1 < raw.size()) {
      char n = raw[++i];
      switch (n) {
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        default:
          out += n;
          break;
      }
      continue;
    }
    out += c;
  }
  return out;
}

bool ConfSettings::readString(const std::string& name, std::string& out) const {
  auto w = written_.find(name);
  if (w != written_.end()) {
    out = w->second;
    return true;
  }
  if (key_) return readFromKey(name, out);
  if (!file_) return false;
  // An absent key reads as a text no stored value can be (it has a line
  // break), which tells absence from an empty value.
  static const std::string kAbsent = "\n";
  std::string raw = file_->readString(kSection, escapeKey(name), kAbsent);
  if (raw == kAbsent) return false;
  out = unescapeValue(raw);
  return true;
}

bool ConfSettings::readFromKey(const std::string& name, std::string& out) const {
  platform::RegistryValue v;
  if (!key_->read(name, v)) return false;
  if (v.kind == platform::RegistryValue::Kind::number) {
    out = std::to_string(v.number);
    return true;
  }
  // QSettings marks a text that begins with "@" by a second one.
  out = v.text.compare(0, 2, "@@") == 0 ? v.text.substr(1) : v.text;
  return true;
}

bool ConfSettings::readInteger(const std::string& name, int& out) const {
  std::string s;
  if (!readString(name, s)) return false;
  size_t i = 0;
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    i = 1;
  }
  if (i >= s.size() || s.size() - i > 9) return false;
  int v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  out = negative ? -v : v;
  return true;
}

bool ConfSettings::writeString(const std::string& name, const std::string& value) {
  written_[name] = value;
  return true;
}

bool ConfSettings::writeInteger(const std::string& name, int value) {
  written_[name] = std::to_string(value);
  return true;
}

}  // namespace tessel::cli
