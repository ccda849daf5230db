#pragma once

// Interface fixed here; implementation in ini_file.cpp.
#include <string>
#include <vector>

namespace tessel {

// The project's INI file, opened. Sections and keys match without regard to
// case; values read without surrounding blanks; every write reaches the file
// at once (write-through), replacing it atomically.
class IniFile {
 public:
  // Opens path; the file need not exist (it is created by the first write).
  explicit IniFile(std::string path);

  const std::string& fileName() const { return path_; }

  std::string readString(const std::string& section, const std::string& key,
                         const std::string& def) const;
  // The value as a decimal integer; def when absent or not a number.
  int readInteger(const std::string& section, const std::string& key, int def) const;
  bool sectionExists(const std::string& section) const;
  std::vector<std::string> sectionNames() const;
  std::vector<std::string> keyNames(const std::string& section) const;

  // Each returns false when the file could not be written; lastError() then
  // says why, and the content stays as it was before the call.
  bool writeString(const std::string& section, const std::string& key, const std::string& value);
  bool writeInteger(const std::string& section, const std::string& key, int value);
  bool deleteKey(const std::string& section, const std::string& key);
  bool eraseSection(const std::string& section);

  const std::string& lastError() const { return lastError_; }

 private:
  std::string path_;
  std::string lastError_;
  // implementation detail: the lines of the file and an index
};

}  // namespace tessel
