#include "model/register_values.h"

#include <cstdio>

#include "model/catalogue.h"
#include "model/factory_defaults.h"
#include "model/group_change.h"
#include "model/group_compare.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/panel_settings.h"
#include "model/parameter_table.h"
#include "model/poll_readings.h"
#include "model/project.h"
#include "model/project_keys.h"
#include "model/radio.h"
#include "model/radio_codec.h"
#include "model/signal_quality.h"
#include "model/text.h"

namespace tessel {

std::string RegisterValues::defaultName(int id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "Radio %03d", id);
  return buf;
}

int RegisterValues::lastMaster() const {
  return window_.projectSerial() == readingProject_ ? lastMaster_ : -1;
}

int RegisterValues::readingID() const {
  return window_.projectSerial() == readingProject_ ? readingID_ : -1;
}

Tradio* RegisterValues::readingRadio() const {
  Tproject* p = window_.project();
  return p ? p->radio(readingID()) : nullptr;
}

std::string RegisterValues::readingSection() const {
  return Tradio::sectionName(readingID());
}

bool RegisterValues::fileSide() const {
  return window_.panel.WindowMode != wmManual && window_.project() && readingID() >= 0;
}

bool RegisterValues::panelSide() const {
  const Panel& panel = window_.panel;
  return panel.WindowMode == wmManual ||
         (panel.currentRadio && readingID() >= 0 && panel.currentRadio->slotID == readingID());
}

// The identification line arrives as parameter -1 with the detected model
// as its value; a register the map lacks arrives the same way, but with a
// number (or -1) as value and the register's own digits as text.
bool RegisterValues::isIdentification(int value, const std::string& text) const {
  if (value != 1 && value != 2) return false;
  const std::string t = trimBlanks(text);
  return !(allDigits(t) || (t.size() > 1 && t[0] == '-' && allDigits(t.substr(1))));
}

bool RegisterValues::ApplyReply(int param, int value, const std::string& text) {
  bool result = false;
  const bool group = isSharedParameter(param);
  if (isPollReading(param)) {
    // A reading that is empty or not of its form is missing: the cell must
    // not keep the last poll's value or show a stray line as one.
    readingRoutine(param, pollReadingValue(param, text));
  } else if (!trimBlanks(text).empty()) {
    // A reply may store several keys (a new radio's ID and name, roaming and
    // the master ID): one file write for all of them.
    Tproject* p = window_.project();
    const int serial = window_.projectSerial();
    if (p) p->beginBatch();
    result = apply(param, value, trimBlanks(text));
    // A project closed meanwhile has written its batch as it closed.
    if (p && window_.projectSerial() == serial) {
      // The group's values go into the project as soon as a radio tells
      // them: a discovered group survives the program's end.
      if (group && window_.panel.WindowMode != wmManual) p->storeGroup();
      p->endBatch();
    }
  }
  if (processEvents) processEvents();
  return result;
}

void RegisterValues::beginReplies() {
  endReplies();
  window_.pollReadings.begin();
  if (Tproject* p = window_.project()) {
    p->beginBatch();
    batchProject_ = window_.projectSerial();
  }
}

void RegisterValues::endReplies() {
  if (batchProject_ < 0) return;
  Tproject* p = window_.project();
  if (p && window_.projectSerial() == batchProject_) p->endBatch();
  batchProject_ = -1;
}

bool RegisterValues::apply(int param, int value, const std::string& text) {
  Panel& panel = window_.panel;
  switch (param) {
    case param::radioIdentity:
      if (isIdentification(value, text)) {
        panel.detectedModel = value;
        identifiedModel_ = value;
      }
      return false;
    case param::radioID:
      if (panel.WindowMode == wmManual) {
        radioIDManual(text);
      } else {
        radioIDRoutine(text);
      }
      // A poll's readings are the radio's that told its number.
      if (panel.WindowMode == wmMonitor) {
        if (Tradio* r = readingRadio()) window_.pollReadings.start(r->slotID, readingModelOf(*r));
      }
      return false;
    case param::radioMode:
      return radioModeRoutine(value, text);
    case param::masterLock:
    case param::masterID:
      masterIDRoutine(param, text);
      return false;
    default:
      break;
  }
  if (param == param::blockedFreq1 && window_.project()) window_.project()->blockedChanged = true;
  // The group's values are the panel's (the project takes them from there);
  // a radio's own go into its record and, while it is shown, the panel.
  if (!isSharedParameter(param)) storeReading(param, value, text);
  if (isSharedParameter(param) || panelSide()) showReading(param, value, text);
  return false;
}

std::vector<std::string> RegisterValues::radioKeysOf(int param) const {
  std::vector<std::string> keys;
  if (param == param::emulationMode) keys.push_back(window_.models.modelKey);
  const ProjectKey* k = keyOf(param == param::masterLock ? param::masterID : param);
  if (k && !isSharedParameter(param)) keys.push_back(k->name);
  return keys;
}

bool RegisterValues::storeReading(int param, int value, const std::string& text) {
  if (!fileSide()) return false;
  Tproject& p = *window_.project();
  RadioSettings next = p.radioSettings(readingID());
  if (!codec::applyRegister(next, param, value, text)) return false;
  std::vector<std::string> keys = radioKeysOf(param);
  // An emulation mode the radio cannot have names the model only.
  if (param == param::emulationMode && (value < 0 || value >= radiokey::emulationMode.count))
    keys.resize(1);
  if (param == param::emulationMode) {
    if (Tradio* r = readingRadio()) r->modelIndex = 0;
  }
  p.storeRadio(readingID(), next, keys);
  return true;
}

void RegisterValues::showReading(int param, int value, const std::string& text) {
  Panel& panel = window_.panel;
  RadioSettings shown = settingsOfPanel(panel);
  if (!codec::applyRegister(shown, param, value, text)) return;
  showParameter(panel, shown, param);
  // The rules that follow a choice the radio made.
  if (param == param::emulationMode) {
    // Only a model-0 radio has this register.
    panel.setItemIndex(ctl::radioType, 0);
    window_.emulationModeChange();
  }
  if (param == param::sleepMode) window_.sleepModeChange();
}

void RegisterValues::radioIDManual(const std::string& text) {
  int n = 0;
  if (!parseInt32(text, n) || n < 0 || n >= kRadioSlots) return;
  identifiedModel_ = -1;
  manualIDRead_ = true;
  Panel& panel = window_.panel;
  panel.setText(ctl::radioID, text);
  window_.radioIDExit();
  if (panel.detectedModel >= 0 && panel.detectedModel < panel.itemCount(ctl::radioType)) {
    panel.setItemIndex(ctl::radioType, panel.detectedModel);
  }
}

void RegisterValues::radioIDRoutine(const std::string& text) {
  int n = 0;
  // Not a radio number: nothing to record, no section to write.
  if (!parseInt32(text, n) || n < 0 || n >= kRadioSlots) return;
  if (readingProject_ != window_.projectSerial()) lastMaster_ = -1;
  readingID_ = n;
  readingProject_ = window_.projectSerial();
  Tproject* p = window_.project();
  const bool firstSeen = p && nameFirstSeen(*p, n);
  followReportedRadio(n);
  if (firstSeen) {
    if (Tradio* r = p->radio(n)) {
      r->pollOnly = false;
      showName(*r);
    }
    // Set Radio waits for the panel to hold what the radio holds.
    window_.followCommands();
  }
  if (p) storeIdentifiedModel(*p, n);
  // A read that began with an identification line uses the map of the model
  // it reported; a poll has none and uses the model of the record.
  const Tradio* r = p ? p->radio(n) : nullptr;
  readingModel_ = identifiedModel_ >= 0 ? identifiedModel_ : r ? r->modelIndex : -1;
  identifiedModel_ = -1;
}

bool RegisterValues::nameFirstSeen(Tproject& p, int n) {
  RadioSettings s = p.radioSettings(n);
  const bool firstSeen = s.name == radiokey::radioName.def;
  window_.panel.setBusyCursor(firstSeen);
  if (!firstSeen) return false;
  s.radioID = n;
  s.name = defaultName(n);
  p.storeRadio(n, s, {radiokey::radioID.name, radiokey::radioName.name});
  return true;
}

int RegisterValues::shownDetectedModel() const {
  const Panel& panel = window_.panel;
  const int model = panel.detectedModel;
  // Only a model the radio type selector offers becomes a record's model:
  // the second brand has no third model to send with.
  return model >= 0 && model < kModelCount && model < panel.itemCount(ctl::radioType) ? model : -1;
}

void RegisterValues::followReportedRadio(int n) {
  Panel& panel = window_.panel;
  Tproject* p = window_.project();
  const std::string name = defaultName(n);
  const int model = shownDetectedModel();
  Tradio* record = p ? p->radio(n) : nullptr;
  // A read in Project mode shows the radio it reads: the panel moves to
  // its record, which the read then fills (a monitor's polls leave the
  // panel where it is).
  if (panel.WindowMode == wmProject && record && record != panel.currentRadio) showRead(*record);
  if (settingsOfPanel(panel).name != radiokey::radioName.def || record) {
    if (record) return;
    if (Tradio* created = window_.firstFreeRadio(n)) {
      created->reportedID = n;
      if (model >= 0) created->modelIndex = model;
      if (model >= 0) panel.setItemIndex(ctl::radioType, model);
      panel.setText(ctl::radioName, name);
    }
    return;
  }
  panel.setText(ctl::radioID, std::to_string(n));
  panel.setText(ctl::radioName, name);
  // A radio the panel shows that was never stored (a new project's first
  // radio) becomes the radio that reported n, on the section just written
  // for it; a stored radio is never moved onto another radio's section.
  const Tradio* shown = panel.currentRadio;
  window_.radioIDExit(shown && p && !p->sectionExists(Tradio::sectionName(shown->slotID)));
  if (Tradio* r = p ? p->radio(n) : nullptr) {
    r->reportedID = n;
    if (model >= 0) r->modelIndex = model;
    // The radio taken over carries the name its section was just given,
    // in its row and node too, not the "..." of a radio never stored.
    if (r == panel.currentRadio) {
      window_.views.setCaption(r->listItem, name);
      if (r->treeNode != kNoNode) window_.views.setNodeText(r->treeNode, name);
    }
  }
  if (model >= 0) panel.setItemIndex(ctl::radioType, model);
}

void RegisterValues::showName(Tradio& r) {
  GroupViews& views = window_.views;
  const std::string& name = r.settings.name;
  if (views.caption(r.listItem) == name) return;
  views.setCaption(r.listItem, name);
  if (r.treeNode != kNoNode) views.setNodeText(r.treeNode, name);
  if (&r == window_.panel.currentRadio) window_.panel.setText(ctl::radioName, name);
}

void RegisterValues::storeIdentifiedModel(Tproject& p, int n) {
  // A read that began with an identification names the model in the
  // radio's section, or a model-2 radio would reopen as the first model
  // and be sent its register layout. Model E identifies as the first model;
  // its own register names it later, so a section naming it keeps it.
  const int model = identifiedModel_;
  RadioSettings s = p.radioSettings(n);
  if (model <= 0 || model >= window_.models.modelCount ||
      model >= window_.panel.itemCount(ctl::radioType) || (model == 1 && s.model == 0))
    return;
  s.model = model;
  p.storeRadio(n, s, {window_.models.modelKey});
}

void RegisterValues::showRead(Tradio& record) {
  window_.setCurrentRadio(&record);
  window_.selectedRow = record.listItem;
  window_.views.selectRow(record.listItem);
  record.LoadIntoPanel();
  window_.setRadioChanged(false);
}

bool RegisterValues::readingModelTwo() const {
  return readingID() >= 0 && readingModel_ == 2;
}

bool RegisterValues::radioModeRoutine(int value, const std::string& text) {
  Panel& panel = window_.panel;
  GroupViews& views = window_.views;
  const RadioMode mode = choiceOf<RadioMode>(itemOfRegisterText(radiokey::radioMode, text));
  const bool master = mode == RadioMode::master;
  if (panel.WindowMode != wmManual) {
    Tradio* r = readingRadio();
    if (r) r->isMaster = false;
    storeReading(param::radioMode, value, text);
    if (master) {
      if (readingID() >= 0) lastMaster_ = readingID();
      if (r) {
        if (!views.nodeExists(r->treeNode)) {
          r->treeNode = views.addNode(kNoNode, r->settings.name);
          views.repaintTree();
          views.setNodeImage(r->treeNode, kImageNone);
          views.setNodeStateImage(r->treeNode, kImageMaster);
        } else if (views.nodeParent(r->treeNode) != kNoNode) {
          // A slave turned master leaves the group it was in.
          views.moveNode(r->treeNode, kNoNode);
          views.setNodeStateImage(r->treeNode, kImageMaster);
        }
        views.setImage(r->listItem, kImageMaster);
        r->isMaster = true;
      }
    } else if (r) {
      views.setImage(r->listItem, mode == RadioMode::slave ? kImageSlave : kImageRepeater);
    }
  }
  if (!panelSide()) return master;
  // Select first, so the radio mode rule sets images and enables controls
  // for the mode the radio reported.
  panel.setItemIndex(ctl::radioMode, itemOf(mode));
  if (panel.WindowMode != wmManual) {
    // The rule's images and enabling, not its "Save Radio": the value read
    // is in the file already, so it is no edit to save.
    const bool changed = window_.radioChanged();
    window_.radioModeClick();
    if (!changed) window_.setRadioChanged(false);
  }
  return master;
}

void RegisterValues::masterIDRoutine(int code, const std::string& text) {
  Panel& panel = window_.panel;
  // Polled, register 8 of a model-2 radio holds its roaming letter: no
  // master ID to store or send back.
  const int number = codec::numberOfText(text);
  if (number == kNoNumber) return;
  if (fileSide()) {
    Tproject& p = *window_.project();
    RadioSettings next = p.radioSettings(readingID());
    // A radio whose roaming was never stored counts as roaming when its
    // master comes in register 12, as locked when it comes in the lock.
    const bool roamingStored = !p.readKey(readingSection(), radiokey::roaming.name, "").empty();
    const Roaming roaming = roamingStored               ? next.roaming
                            : code == param::masterLock ? Roaming::masterID
                                                        : Roaming::allowed;
    // Register 12 of models 0 and 1 names the master a roaming radio is
    // with; a model-2 radio keeps its configured master ID there, which
    // counts above all while it is locked to that master.
    if ((code == param::masterLock && roaming == Roaming::masterID) ||
        (code == param::masterID && (roaming == Roaming::allowed || readingModelTwo()))) {
      next.masterID = number;
      p.storeRadio(readingID(), next, radioKeysOf(code));
      attachToMaster(number);
    }
  }
  if (panelSide() && settingsOfPanel(panel).roaming == Roaming::masterID) {
    panel.setText(ctl::masterID, codec::numberText(number));
  }
}

void RegisterValues::attachToMaster(int m) {
  // A master is a radio: its ID is one a radio can have.
  const Parameter& id = parameterOf(param::radioID);
  if (m < id.lo || m > id.hi) return;
  Tproject* p = window_.project();
  Tradio* r = readingRadio();
  // A master heads its own group: the master ID it reports (masters answer
  // "0" with roaming "No") does not put it below another master.
  if (!p || !r || r->isMaster) return;
  GroupViews& views = window_.views;
  Tradio* master = p->radio(m);
  if (!master || !views.nodeExists(master->treeNode)) {
    master = p->radio(lastMaster());
    if (!master || !views.nodeExists(master->treeNode)) return;
  }
  // A node never becomes its own child.
  if (master == r) return;
  const NodeId masterNode = master->treeNode;
  if (views.nodeExists(r->treeNode)) {
    if (views.nodeParent(r->treeNode) == masterNode) return;
    for (NodeId up = masterNode; up != kNoNode; up = views.nodeParent(up)) {
      if (up == r->treeNode) return;
    }
    views.moveNode(r->treeNode, masterNode);
    return;
  }
  r->treeNode = views.addNode(masterNode, r->settings.name);
  views.repaintTree();
  views.setNodeImage(r->treeNode, kImageNone);
  views.setNodeStateImage(r->treeNode, views.image(r->listItem));
  views.expand(masterNode);
}

int RegisterValues::readingModelOf(const Tradio& r) const {
  return readingModel_ >= 0 ? readingModel_ : r.modelIndex;
}

void RegisterValues::readingRoutine(int param, std::optional<std::int16_t> value) {
  if (window_.panel.WindowMode != wmMonitor) return;
  // A radio without a record has no row to show it in.
  Tradio* r = readingRadio();
  if (!r) return;
  window_.pollReadings.take(r->slotID, readingModelOf(*r), param, value);
  GroupViews& views = window_.views;
  const int column = param == param::rssi ? 1 : param == param::supplyVolts ? 2 : 3;
  views.setSubItem(r->listItem, column, readingText(value));
  if (param == param::rssi) views.setSignalQuality(r->listItem, rssiQuality(value));
  if (param == param::temperature) views.setSubItem(r->listItem, 4, window_.timeLong());
}

}  // namespace tessel
