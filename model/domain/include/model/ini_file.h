#pragma once

// The project's INI file, opened.
#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessel {

// Sections and keys match without regard to (ASCII) case; values are read
// without surrounding blanks; every write reaches the file at once
// (write-through), replacing it atomically, so there is no save step.
//
// The object keeps the whole file in memory and writes it from there: it
// assumes no one else edits the file while it is open. Lines that are neither
// section headers nor keys (comments, blank lines) are kept as they stand;
// the file's line ends (LF or CR LF) are kept. A new key goes right after the
// last key line of its section, so comments and blank lines that trail a
// section stay in front of the next section header. Each line keeps its own
// line end, so a file that mixes them is rewritten byte for byte where it did
// not change; new lines take the line end of the file's first line.
//
// A write that leaves a key's value as it reads already changes nothing and
// writes nothing. Lines that cannot be read (one holding a NUL byte, a
// section header without its "]", text that is neither a section, a key nor
// a comment) are kept as they stand and listed by unreadableLines().
//
// Text is single-byte. CR and LF are dropped from section names, keys and
// values before writing. A section name containing "]", and a key that
// contains "=" or starts with "[" or ";", could not be read back as written;
// writes with such names are refused (false, lastError()). Leading and
// trailing blanks of section names and keys are not significant.
class IniFile {
 public:
  // Opens path; the file need not exist (it is created by the first write).
  // A file that exists but cannot be read leaves the object empty, with
  // lastError() saying why; writes are then refused so nothing is lost.
  explicit IniFile(std::string path);
  virtual ~IniFile() = default;

  const std::string& fileName() const { return path_; }

  // Read only: writes change the content in memory and never the file.
  void setReadOnly(bool on) { readOnly_ = on; }
  bool readOnly() const { return readOnly_; }

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
  // Removes every section of that name: header, keys and the lines up to the
  // next section header.
  bool eraseSection(const std::string& section);

  // Many writes, one file write: between beginUpdate() and endUpdate() the
  // writes above change only the content in memory, and endUpdate() writes
  // the file once. When that fails it returns false, lastError() says why,
  // and the content is read back from the file, so memory and file agree.
  // Updates nest: only the outermost endUpdate() writes.
  void beginUpdate() { ++updating_; }
  bool endUpdate();

  // The lines of the file as last read that could not be read as a section,
  // a key or a comment; numbered from 1.
  struct UnreadableLine {
    int number;
    std::string reason;
  };
  const std::vector<UnreadableLine>& unreadableLines() const { return unreadable_; }

  const std::string& lastError() const { return lastError_; }

 private:
  struct Line {
    std::string text;   // as in the file, without its line end
    std::string key;    // lower-cased key of a key line; "" for other lines
    bool crlf = false;  // ended by CR LF in the file
  };
  struct Section {
    std::string header;  // the header line as in the file
    bool headerCrlf = false;
    std::string name;   // name between the brackets, without blanks
    std::string lname;  // name lower-cased
    std::vector<Line> body;
  };

  bool load();
  void rebuildIndex();
  const Section* findSection(const std::string& section) const;
  Section* findSection(const std::string& section);
  // The file's bytes, handed to put in pieces; false when a put failed.
  bool serialize(const std::function<bool(const char*, size_t)>& put) const;
  bool commit();

  std::string path_;
  std::string lastError_;
  bool loadFailed_ = false;
  bool readOnly_ = false;
  int updating_ = 0;            // depth of beginUpdate() calls not yet ended
  bool pending_ = false;        // changes made meanwhile, not yet in the file
  std::string bom_;             // UTF-8 byte order mark, kept if present
  std::vector<Line> preamble_;  // lines before the first section
  std::vector<Section> sections_;
  std::unordered_map<std::string, size_t> index_;  // lname -> first section
  std::string eol_ = "\n";
  bool finalEol_ = true;
  std::vector<UnreadableLine> unreadable_;
};

}  // namespace tessel
