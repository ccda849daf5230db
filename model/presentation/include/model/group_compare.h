#pragma once

// Comparing a group's radios with its project: what each radio reports,
// gathered from the engine's register replies while it reads the group,
// set against the radio's project section, parameter by parameter.
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "model/brand.h"
#include "model/main_window_link.h"
#include "model/poll_array.h"
#include "model/radio_settings.h"

namespace tessel {

class Tproject;

// What a radio's read gave: its settings, the parameters it reported (with
// each one's register text as answered) and those it refused ("ERROR";
// radioIdentity for its identification).
struct RadioReading {
  RadioSettings settings;
  std::set<int> reported;
  std::map<int, std::string> registers;
  std::set<int> refused;
};

// One line of a comparison: a parameter that differs, a radio that did not
// answer (parameter kNoAnswer), one of another model (the model's caption)
// or a parameter whose register the radio refused (radio value kRefused).
struct CompareRow {
  enum class Kind { Differs, WrongModel, Silent, NotRead };
  Kind kind = Kind::Differs;
  int radio = 0;
  std::string name;
  std::string parameter;
  std::string project;
  std::string radioValue;
};

inline constexpr char kNoAnswer[] = "No answer";
inline constexpr char kRefused[] = "not read: refused";

// How a read parameter stands against the value a project holds. The
// flush time and the blocked frequencies are set against each other in the
// tenths their registers hold (1200.5 s is 12005 on both sides).
enum class ReadVerdict { NotReported, Refused, Same, Differs };
ReadVerdict readVerdict(const RadioSettings& project, const RadioReading& radio, int param);
// The radio's value of a reported parameter as the project file writes it
// (a flush time of 12005 is "1200.5").
std::string readText(const RadioReading& radio, int param);

// The caption of a parameter as the panel labels it ("Group ID", "Blocked
// Frequency 3"); "" for a code no setting has.
std::string parameterCaption(int param);
// The text of a parameter of s as the project file stores it.
std::string parameterText(const RadioSettings& s, int param);

// The parameters a read of a radio of s's model gives and the project
// decides: every readable setting register, the master ID only where the
// radio is locked to its master, the clock and the fixed registers left out.
std::vector<int> comparedParameters(const RadioSettings& s);

// The rows for one radio: its model when it differs (then only the
// parameters both models hold), and every compared parameter the radio
// reported with another value.
std::vector<CompareRow> compareRadio(const RadioSettings& project, const RadioReading& radio,
                                     const BrandModels& models);

// A radio's settings from an open project: its record's (its section's when it
// has none), with the group's.
RadioSettings projectSettings(Tproject& project, int slot, const BrandModels& models);

// "radio_id,name,parameter,project,radio" and one line per row (RFC 4180
// quoting).
std::string compareCsvHeader();
std::string compareCsvLine(const CompareRow& row);

// Stands in for the main window while the engine's monitor reads a group
// once: it keeps each radio's replies instead of storing them anywhere,
// has every radio read in full, and tells the engine what it asks of the
// project from the project's settings.
class GroupReadCollector : public MainWindowCallbacks {
 public:
  // The radios to read, by radio ID, with their project settings.
  explicit GroupReadCollector(std::map<int, RadioSettings> project = {});
  void setProject(std::map<int, RadioSettings> project) { project_ = std::move(project); }

  // The radios read to the end, by radio ID.
  const std::map<int, RadioReading>& readings() const { return readings_; }
  bool wasRead(int radio) const { return readings_.count(radio) != 0; }
  // A reading of radio from elsewhere (a later read); none: not read.
  void setReading(int radio, const RadioReading* reading);
  // Called with the radio ID whenever a radio's read is complete.
  std::function<void(int radio)> onRead;

  bool isLocal(int radio) override { return radio >= 0 && radio == local_; }
  bool isMaster(int radio) override;
  bool exists(int radio) override { return project_.count(radio) != 0; }
  bool markPolling(int radio) override;
  bool setRead(int radio, bool read) override;
  bool markLocal(int radio) override;
  void radioRenumbered(int, bool) override {}
  void taskCancelled(int) override {}
  void readDone() override {}
  std::string RegisterValue(int, int, bool) override { return std::string(); }
  bool ApplyReply(int param, int value, const std::string& text) override;
  void registerRefused(int param) override;
  void beginReplies() override;

 private:
  std::map<int, RadioSettings> project_;
  std::map<int, RadioReading> readings_;
  RadioReading current_;
  bool identified2_ = false;  // its identification named model 2
  int local_ = -1;
};

// One read of a project's radios through the engine's monitor, and its
// outcome: the monitor list to start, the reader to attach, and the radios
// the engine gave up on, told from where its dials went.
class GroupCompareRun {
 public:
  // The radios of project (those of only when given, the masters always:
  // the monitor starts from the local master).
  GroupCompareRun(Tproject& project, const BrandModels& models, const std::set<int>& only = {});

  const TpollArray& list() const { return list_; }
  GroupReadCollector& reader() { return reader_; }
  // The radios the result covers, in the list's order.
  const std::vector<int>& radios() const { return shown_; }
  // Asked for but not in the project.
  const std::vector<int>& unknown() const { return unknown_; }

  // From the engine: a dial went out; the monitor task ended.
  void dialling(int radio);
  void taskEnded() { ended_ = true; }
  // Every radio read or given up.
  bool complete() const;
  bool ended() const { return ended_; }
  // Radios read or given up so far, of count().
  int position() const;
  int count() const { return static_cast<int>(list_.size()); }

  // The rows: a silent radio's (also one the read never reached) and every
  // difference, in the list's order.
  std::vector<CompareRow> rows() const;
  const RadioSettings* projectRadio(int radio) const;
  const RadioReading* reading(int radio) const;
  bool silent(int radio) const { return silent_.count(radio) != 0; }

  // The project's values again, for every radio (a take wrote the radio's
  // and the group's): the rows follow them.
  void reloadProject(Tproject& project);
  // radio as later, a read of it alone, found it: read, silent or not
  // reached.
  void takeRadio(const GroupCompareRun& later, int radio);

 private:
  const BrandModels& models_;
  std::map<int, RadioSettings> settings_;
  TpollArray list_;
  std::vector<int> shown_, unknown_;
  GroupReadCollector reader_;
  std::set<int> silent_;
  int lastDialled_ = -1;
  bool ended_ = false;
};

// A radio's values as read, merged into its project settings: every
// parameter it reported, its model; the rest (its name, what it does not
// report) as the project has it.
RadioSettings takenValues(const RadioSettings& project, const RadioReading& radio);
// Writes s into the open project: the radio's section and the group's
// (blocked frequencies too). False when a write failed.
bool writeTaken(Tproject& project, int slot, const RadioSettings& s, const BrandModels& models);
// Writes the group's shared values (blocked frequencies too) into the open
// project. False when a write failed.
bool writeGroupValues(Tproject& project, const GroupSettings& g);

}  // namespace tessel
