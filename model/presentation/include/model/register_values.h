#pragma once

// The routines through which the link engine reaches the panel and the
// project: register replies in, register texts out, and questions and
// notices about radios. Give an instance to the engine's AttachMainWindow.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/main_window_link.h"

namespace tessel {

class MainWindowModel;
class Tproject;
class Tradio;
struct ProjectKey;

class RegisterValues : public MainWindowCallbacks {
 public:
  explicit RegisterValues(MainWindowModel& window) : window_(window) {}

  bool isLocal(int radio) override;
  bool isMaster(int radio) override;
  bool exists(int radio) override;
  bool markPolling(int radio) override;
  bool setRead(int radio, bool read) override;
  bool markLocal(int radio) override;
  void radioRenumbered(int radio, bool monitoring) override;
  void taskCancelled(int radio) override;
  void readDone() override;
  std::string RegisterValue(int radio, int param, bool numeric) override;
  // Each reply's writes are one file write; see also beginReplies.
  bool ApplyReply(int param, int value, const std::string& text) override;
  bool storeRegister(int radio, int param, int value, const std::string& text) override;
  void beginReplies() override;
  void endReplies() override;

  // Run before ApplyReply returns so the GUI repaints during long reads;
  // the GUI sets it to process its pending events.
  std::function<void()> processEvents;

  // The radio whose radio ID reply came last (-1 before any), and the last
  // radio that reported mode Master (-1 before any).
  int readingID() const;
  int lastMaster() const;

  // "Radio " + radio ID as three digits: the name of a newly found radio.
  static std::string defaultName(int id);

 private:
  bool apply(int param, int value, const std::string& text);
  Tradio* readingRadio() const;
  Tradio* record(int radio) const;  // null outside 0..254 and for no record
  std::string readingSection() const;
  bool fileSide() const;
  bool panelSide() const;

  void radioIDManual(const std::string& text);
  void radioIDRoutine(const std::string& text);
  // A radio n whose section names none is named "Radio 00n" there: true.
  bool nameFirstSeen(Tproject& p, int n);
  // The record of the radio that reported n: found, created or taken over.
  void followReportedRadio(int n);
  // The record's name, as its section was just given it, in its row, node
  // and (shown) the panel.
  void showName(Tradio& r);
  // The model the identification line reported, into radio n's section.
  void storeIdentifiedModel(Tproject& p, int n);
  // The detected model when the radio type selector offers it, else -1.
  int shownDetectedModel() const;
  // The panel shows record, the radio a Project-mode read reads.
  void showRead(Tradio& record);
  bool radioModeRoutine(int value, const std::string& text);
  void masterIDRoutine(int code, const std::string& text);
  void attachToMaster(int master);
  // The keys of a radio's section a reply of param stores.
  std::vector<std::string> radioKeysOf(int param) const;
  // A reply of the radio being read into its record (and, outside Manual
  // mode, its section), decoded by the codec; false when it gave no value.
  bool storeReading(int param, int value, const std::string& text);
  // A reply on the panel: its control, and the rules that follow it.
  void showReading(int param, int value, const std::string& text);
  // A reading of the monitor's poll: kept for the poll and shown in the
  // radio's row.
  void readingRoutine(int param, std::optional<std::int16_t> value);
  // The model whose registers the radio being read (r) answers in.
  int readingModelOf(const Tradio& r) const;
  bool isIdentification(int value, const std::string& text) const;
  bool readingModelTwo() const;

  MainWindowModel& window_;
  int readingID_ = -1;
  // The model an identification line reported since the last radio ID
  // reply (-1 for none), and the model whose register map the radio being
  // read is answered in: that identification when the read began with one,
  // else the model its record had.
  int identifiedModel_ = -1;
  int readingModel_ = -1;
  // The project the radio being read belongs to; another project open since
  // means no radio is being read.
  int readingProject_ = -1;
  int lastMaster_ = -1;
  // The project a beginReplies opened a batch on (its serial), or -1.
  int batchProject_ = -1;
  // A Manual-mode read got the radio's number since the last readDone.
  bool manualIDRead_ = false;
  // The radio markPolling last marked, in the project of that serial.
  int marked_ = -1;
  int markedProject_ = -1;
};

}  // namespace tessel
