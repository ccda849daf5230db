#include "cli/conf_settings.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "model/ini_file.h"

namespace tessel::cli {

namespace {
constexpr char kSection[] = "General";
}

ConfSettings::ConfSettings(std::string path) : path_(std::move(path)) {
  struct stat st {};
  fileExists_ = ::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  if (fileExists_) file_ = std::make_unique<IniFile>(path_);
}

ConfSettings::~ConfSettings() = default;

std::string ConfSettings::defaultPath(const std::string& maker, const std::string& product) {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : "") + "/.config";
  }
  return base + "/" + maker + "/" + product + ".conf";
}

bool ConfSettings::exists() const {
  return fileExists_ || !written_.empty();
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
  if (!file_) return false;
  // An absent key reads as a text no stored value can be (it has a line
  // break), which tells absence from an empty value.
  static const std::string kAbsent = "\n";
  std::string raw = file_->readString(kSection, escapeKey(name), kAbsent);
  if (raw == kAbsent) return false;
  out = unescapeValue(raw);
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
