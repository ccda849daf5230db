#pragma once

#include <string>

namespace tessel {

// The per-user settings key of the program ("\Software\<maker>\<product>").
// Reads report absence as failure, so callers can run guarded blocks whose
// first failure ends the block and leaves defaults in force.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // False when the key does not exist yet (open without creating it).
  virtual bool exists() const = 0;
  // False when the value is absent.
  virtual bool readString(const std::string& name, std::string& out) const = 0;
  // False when the value is absent or is not an integer.
  virtual bool readInteger(const std::string& name, int& out) const = 0;
  // False when the value could not be stored. Creates the key if needed.
  virtual bool writeString(const std::string& name, const std::string& value) = 0;
  virtual bool writeInteger(const std::string& name, int value) = 0;
};

}  // namespace tessel
