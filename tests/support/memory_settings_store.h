#pragma once

#include <map>
#include <string>

#include "seams/settings_store.h"

namespace tessel::testing {

// A settings key in memory. Integers and texts are kept apart, as the
// registry keeps value types apart: reading a text as an integer fails.
class MemorySettingsStore : public SettingsStore {
 public:
  bool exists() const override { return exists_; }
  bool readString(const std::string& name, std::string& out) const override {
    auto it = strings.find(name);
    if (it == strings.end()) return false;
    out = it->second;
    return true;
  }
  bool readInteger(const std::string& name, int& out) const override {
    auto it = integers.find(name);
    if (it == integers.end()) return false;
    out = it->second;
    return true;
  }
  bool writeString(const std::string& name, const std::string& value) override {
    exists_ = true;
    strings[name] = value;
    return true;
  }
  bool writeInteger(const std::string& name, int value) override {
    exists_ = true;
    integers[name] = value;
    return true;
  }
  void setExists(bool e) { exists_ = e; }

  std::map<std::string, std::string> strings;
  std::map<std::string, int> integers;

 private:
  bool exists_ = false;
};

}  // namespace tessel::testing
