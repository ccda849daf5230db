#include "model/recent_files.h"

#include "seams/settings_store.h"

namespace tessel {

bool pushRecentFile(SettingsStore& settings, const std::string& fileName) {
  std::string first;
  settings.readString("file1", first);
  if (first != fileName) {
    // Oldest first, so no entry is overwritten before it has moved.
    for (int n = 3; n >= 1; --n) {
      std::string source;
      if (!settings.readString("file" + std::to_string(n), source) || source.empty()) continue;
      if (!settings.writeString("file" + std::to_string(n + 1), source)) return false;
    }
  }
  return settings.writeString("file1", fileName);
}

}  // namespace tessel
