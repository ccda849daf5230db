#pragma once

// The open project: its INI file, the radio records in 255 slots indexed by
// radio ID, and the poll list handed to the link engine.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "model/ini_file.h"
#include "model/parameter_table.h"
#include "model/poll_array.h"
#include "model/project_lock.h"
#include "model/radio_codec.h"

namespace tessel {

class MainWindowModel;
class Tradio;
struct ProjectKey;

constexpr int kRadioSlots = static_cast<int>(kHighestRadioID) + 1;

class Tproject {
 public:
  // Opens fileName (it need not exist) and reads the group section into the
  // panel. The blocked frequencies' committed values become this project's,
  // so a Set Radio never sends another project's.
  // The project keeps lock (taken for fileName) while it is open. A read
  // only project never writes the file: its changes stay in memory.
  static std::unique_ptr<Tproject> Create(MainWindowModel& window, const std::string& fileName,
                                          ProjectLock lock = {}, bool readOnly = false);
  ~Tproject();
  Tproject(const Tproject&) = delete;
  Tproject& operator=(const Tproject&) = delete;

  void SaveGroup();
  // The group section as the panel holds it (and, once changed outside
  // Manual mode, the blocked frequencies): only keys that differ from the
  // file are written, in one write.
  void storeGroup();
  // Whether storeGroup would write anything: the panel's group values (or
  // the blocked frequencies) differ from the file.
  bool groupUnsaved() const;
  const TpollArray& BuildPollList(bool pollOnly);
  // Stores the group section (and, once changed outside Manual mode, the
  // blocked frequencies) and frees every radio record. Only keys whose value
  // differs from what the file reads are written, all in one file write, so
  // a project that was only looked at is left untouched.
  void Destroy();

  // Many key writes, one file write: while a Batch lives, writes change the
  // project in memory only; the last Batch to end writes the file once (a
  // failure is reported as a failed write would be). Batches nest.
  class Batch {
   public:
    explicit Batch(Tproject& project);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    Tproject& project_;
  };
  // The same as begin/end calls, for owners whose batch spans callbacks
  // (one polled radio in the link engine). Every begin needs its end.
  void beginBatch();
  bool endBatch();

  // Lines of the file that could not be read, as the file was opened.
  const std::vector<IniFile::UnreadableLine>& unreadableLines() const {
    return file_.unreadableLines();
  }
  // The same as messages to show once when the project opens, one a line,
  // at most kUnreadableShown of them and then a count of the rest.
  std::vector<std::string> unreadableReport() const;
  static constexpr int kUnreadableShown = 5;

  // A radio's settings: its record's, or for a slot without a record what
  // its section reads.
  RadioSettings radioSettings(int slot) const;
  // What section "Radio<slot>" reads, defaults for the keys it lacks.
  RadioSettings sectionSettings(int slot) const;
  // The one way a radio's settings are stored: the record of slot, if any,
  // takes s (its group part and the clock, which no radio section holds,
  // left out), and section "Radio<slot>" gets every key, in the form the
  // codec writes them. One file write; false when it failed (the record
  // holds s even so: a read-only project keeps its changes in memory).
  bool storeRadio(int slot, const RadioSettings& s);
  // The same, the section getting only the keys named (none when keys is
  // empty); the caller names at least every key whose text s changes.
  bool storeRadio(int slot, const RadioSettings& s, const std::vector<std::string>& keys);

  // Slots.
  Tradio* radio(int id) const;
  void setRadio(int id, std::unique_ptr<Tradio> radio);
  std::unique_ptr<Tradio> takeRadio(int id);
  int radioCount() const;

  // Key access. A failed write is reported once until a write succeeds.
  std::string readKey(const std::string& section, const std::string& key,
                      const std::string& def) const;
  int readInteger(const std::string& section, const std::string& key, int def) const;
  bool writeKey(const std::string& section, const std::string& key, const std::string& value);
  bool writeInteger(const std::string& section, const std::string& key, int value);
  bool deleteKey(const std::string& section, const std::string& key);
  bool sectionExists(const std::string& section) const;
  bool eraseSection(const std::string& section);
  const std::string& fileName() const { return file_.fileName(); }
  bool readOnly() const { return file_.readOnly(); }
  // The lock the project holds (none when read only), handed over to a
  // project opened anew on the same file.
  ProjectLock takeLock() { return std::move(lock_); }
  const ProjectLock& lock() const { return lock_; }
  // Writes that failed since the project was opened.
  int failedWrites() const { return failedWrites_; }

  // Makes the group's blocked frequencies the committed blocked values.
  void loadBlockedValues();
  // Shows the group's values on the panel (and as the committed blocked
  // values); the Group ID check accepts 0 meanwhile.
  void showGroup();

  // The group's values as its section holds them; the panel holds their
  // edit.
  const GroupSettings& group() const { return group_; }
  // The one way the group's values are stored: the project's value takes g,
  // and the group section gets every key (the six and the blocked
  // frequencies) in the codec's form. One file write; false when it failed.
  bool storeGroupValues(const GroupSettings& g);
  // The same, the section getting only the keys named.
  bool storeGroupValues(const GroupSettings& g, const std::vector<std::string>& keys);

  MainWindowModel* window;
  bool blockedChanged = false;
  TpollArray pollList;

 private:
  Tproject(MainWindowModel& window, const std::string& fileName, ProjectLock lock);
  bool checked(bool ok, bool wrote);
  bool storeRadioKeys(int slot, const RadioSettings& s, const std::vector<std::string>* keys);
  bool storeGroupKeys(const GroupSettings& g, const std::vector<std::string>* keys);
  // Runs write on the project's sections with only the keys named let
  // through (every key when keys is null, none when it is empty), in one
  // file write; false when a write failed.
  bool writeNamedKeys(const std::vector<std::string>* keys,
                      const std::function<void(ProjectSections&)>& write);
  // Whether the group section holds key at all.
  bool groupHolds(const std::string& key) const;
  void saveGroup(bool onlyChanged);
  bool groupKeyChanged(const ProjectKey& key) const;
  bool blockedChangedAt(int i) const;

  ProjectLock lock_;  // released after the file's last write
  IniFile file_;
  std::array<std::unique_ptr<Tradio>, kRadioSlots> slots_;
  GroupSettings group_;
  bool writeFailed_ = false;
  int failedWrites_ = 0;
  bool destroyed_ = false;
  int batchDepth_ = 0;
};

// The open project's file as the codec reads and writes it: its sections
// through the project, so every write goes where the project's other writes go.
class ProjectFileSections : public ProjectSections {
 public:
  explicit ProjectFileSections(Tproject& project) : project_(project) {}
  std::string readString(const std::string& section, const std::string& key,
                         const std::string& def) const override {
    return project_.readKey(section, key, def);
  }
  int readInteger(const std::string& section, const std::string& key, int def) const override {
    return project_.readInteger(section, key, def);
  }
  bool writeString(const std::string& section, const std::string& key,
                   const std::string& value) override {
    return project_.writeKey(section, key, value);
  }
  bool writeInteger(const std::string& section, const std::string& key, int value) override {
    return project_.writeInteger(section, key, value);
  }
  bool deleteKey(const std::string& section, const std::string& key) override {
    return project_.deleteKey(section, key);
  }

 private:
  Tproject& project_;
};

}  // namespace tessel
