#include "model/main_window_model.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "model/factory_defaults.h"
#include "model/file_access.h"
#include "model/panel_settings.h"
#include "model/project.h"
#include "model/project_keys.h"
#include "model/radio.h"
#include "model/radio_codec.h"
#include "platform/files.h"
#include "platform/local_time.h"

namespace tessel {

PanelSettings MainWindowModel::shownTexts() const {
  return codec::fileTexts(settingsOfPanel(panel), models);
}

MainWindowModel::MainWindowModel(Panel& p, GroupViews& v, Prompts& pr, const BrandModels& m,
                                 std::string product)
    : panel(p), views(v), prompts(pr), models(m), productName(std::move(product)) {
  commands.addListener(&follower_);
}

MainWindowModel::~MainWindowModel() {
  commands.removeListener(&follower_);
}

Tproject& MainWindowModel::openProject(const std::string& fileName) {
  ProjectLock lock;
  std::string error;
  const bool own = lockFor(fileName, lock, error);
  replaceProject(fileName, std::move(lock), !own);
  if (!own) prompts.show(PromptIcon::Warning, error + "; changes made here are not stored", pbOk);
  return *project_;
}

bool MainWindowModel::openOwnProject(const std::string& fileName, std::string& error) {
  ProjectLock lock;
  if (!lockFor(fileName, lock, error)) {
    error += "; close it there first";
    return false;
  }
  replaceProject(fileName, std::move(lock), false);
  return true;
}

Tproject& MainWindowModel::openProjectReadOnly(const std::string& fileName) {
  replaceProject(fileName, {}, true);
  return *project_;
}

bool MainWindowModel::lockFor(const std::string& fileName, ProjectLock& lock, std::string& error) {
  // The project open here already holds its lock: opening it again keeps it.
  if (project_ && project_->lock().held() &&
      project_->lock().lockFile() == ProjectLock::lockFileOf(fileName)) {
    lock = project_->takeLock();
    return true;
  }
  return lock.take(fileName, error);
}

void MainWindowModel::replaceProject(const std::string& fileName, ProjectLock lock, bool readOnly) {
  closeProject();
  project_ = Tproject::Create(*this, fileName, std::move(lock), readOnly);
  ++projectSerial_;
}

bool MainWindowModel::beforeReplace(bool mayCancel) {
  if (panel.WindowMode != wmManual && radioChanged_) {
    const PromptButton answer =
        prompts.show(PromptIcon::Warning, "Radio configuration changes made, save them?",
                     pbYes | pbNo | (mayCancel ? pbCancel : pbNone));
    if (answer == pbCancel) return false;
    if (answer == pbYes) saveCurrentRadio();
  }
  // Task 0 ends whatever the engine does.
  commands.stop("", {});
  return true;
}

bool MainWindowModel::beforeExit() {
  // Exit stores nothing by itself: group edits outside Manual mode (the
  // reads write theirs through) are offered for saving first.
  if (project_ && panel.WindowMode != wmManual && project_->groupUnsaved()) {
    const PromptButton answer = prompts.show(
        PromptIcon::Warning, "Group parameter changes made, save them?", pbYes | pbNo | pbCancel);
    if (answer == pbCancel) return false;
    if (answer == pbYes) project_->storeGroup();
  }
  return beforeReplace(true);
}

bool MainWindowModel::refuseNonProject(const std::string& fileName) {
  std::string reason;
  if (isProjectText(fileName, reason)) return false;
  prompts.show(PromptIcon::Error, fileName + " is not a project file: " + reason, pbOk);
  return true;
}

bool MainWindowModel::openChosenProject(const std::string& fileName, bool create,
                                        const std::string& fallback) {
  // Before anything is created or replaced: a project another program has
  // open is left to it, and the project open here stays.
  ProjectLock lock;
  std::string error;
  if (!lockFor(fileName, lock, error)) {
    if (!project_) {
      openProject(fallback);
      defaultsClick();
      switchMode(wmManual);
    }
    prompts.show(PromptIcon::Error, error + "; close it there first", pbOk);
    return false;
  }
  // Tried first, so a failure leaves a usable project open. A new project
  // replaces the file it is given (the user agreed to that).
  if (create) {
    std::error_code ec;
    std::filesystem::remove(platform::pathFromUtf8(fileName), ec);
  }
  errno = 0;
  std::FILE* f = platform::openFile(fileName, create ? "wb" : "rb");
  if (!f) {
    lock.release();
    const std::string reason = std::strerror(errno ? errno : EIO);
    openProject(fallback);
    defaultsClick();
    switchMode(wmManual);
    prompts.show(PromptIcon::Error,
                 (create ? "Cannot create " : "Cannot read ") + fileName + ": " + reason, pbOk);
    return false;
  }
  std::fclose(f);
  replaceProject(fileName, std::move(lock), false);
  loadProjectRadios();
  switchMode(wmProject);
  return true;
}

void MainWindowModel::closeProject() {
  if (project_) {
    project_->Destroy();
    project_.reset();
    ++projectSerial_;
  }
  panel.currentRadio = nullptr;
  selectedRow = kNoRow;
}

void MainWindowModel::abandonProject() {
  project_.reset();
  ++projectSerial_;
  panel.currentRadio = nullptr;
  selectedRow = kNoRow;
}

void MainWindowModel::loadProjectRadios() {
  if (!project_) return;
  for (int id = 0; id < kRadioSlots; ++id) {
    // A record already there keeps its row; replacing it would orphan it.
    if (project_->radio(id)) continue;
    if (project_->sectionExists(Tradio::sectionName(id))) {
      project_->setRadio(id, Tradio::Create(*this, id, *project_));
    }
  }
  for (int i = 0; i < views.rowCount(); ++i) {
    Tradio* r = views.rowRadio(views.rowAt(i));
    if (!r) continue;
    panel.currentRadio = r;
    if (r->isMaster) {
      views.setStateImage(r->listItem, 1);
      r->LoadIntoPanel();
      break;
    }
  }
  setRadioChanged(false);
}

void MainWindowModel::switchMode(int mode) {
  panel.WindowMode = mode == wmUnset ? wmManual : mode;
  if (onModeSwitch) onModeSwitch(panel.WindowMode);
  followCommands();
}

void MainWindowModel::defaultsClick() {
  panelSource_ = PanelSource::Defaults;
  panel.panelLoading = true;
  // A radio's default settings, shown through the panel's adapter.
  const PanelDefaults& k = kPanelDefaults;
  RadioSettings d;
  d.radioID = k.radioID;
  for (int code : {param::radioID, param::radioMode, param::roaming, param::masterID,
                   param::baudRate, param::dataBits, param::stopBits, param::parity,
                   param::handShaking, param::protocol, param::bufferMode})
    showParameter(panel, d, code);
  const int type = panel.itemIndex(ctl::radioType);
  if (type >= 0 && type < panel.itemCount(ctl::radioType)) {
    d.retries = defaultRetries(type);
    showParameter(panel, d, param::retries);
  } else if (!inDefaults_ && k.modelWhenNone < panel.itemCount(ctl::radioType)) {
    // No model selected: choose the usual one and start over once.
    panel.setItemIndex(ctl::radioType, k.modelWhenNone);
    inDefaults_ = true;
    defaultsClick();
    inDefaults_ = false;
  }
  panel.panelLoading = false;
}

void MainWindowModel::saveRadioRule() {
  if (panel.enabled(ctl::newRadio) && panel.visible(ctl::newRadio)) setRadioChanged(true);
}

void MainWindowModel::setRadioChanged(bool changed) {
  radioChanged_ = changed;
  panel.setText(ctl::newRadio, changed ? kSaveRadioCaption : kNewRadioCaption);
}

void MainWindowModel::setPanelView(PanelView view) {
  // Monitoring starts with the Advanced fields.
  if (view == PanelView::Monitor && panelView_ != PanelView::Monitor)
    monitorFields_ = PanelView::Advanced;
  panelView_ = view;
  panel.setText(ctl::advanced, advancedCaption(view));
}

void MainWindowModel::roamingClick() {
  saveRadioRule();
  const int roaming = panel.itemIndex(ctl::roaming);
  if (roaming == item::roamingMasterID) {
    panel.setEnabled(ctl::masterID, panel.enabled(ctl::roaming));
  } else if (roaming == item::roamingAllowed) {
    panel.setEnabled(ctl::masterID, false);
    // Model 2 keeps its master ID in a register of its own.
    if (panel.itemIndex(ctl::radioType) != 2) panel.setText(ctl::masterID, "0");
  }
}

void MainWindowModel::radioModeClick() {
  saveRadioRule();
  const int mode = panel.itemIndex(ctl::radioMode);
  const bool modeEnabled = panel.enabled(ctl::radioMode);
  enableGroupParameters(panel.WindowMode == wmManual ? modeEnabled
                                                     : (mode == item::master && modeEnabled));
  Tradio* r = panel.currentRadio;
  if (panel.WindowMode != wmManual && r && mode >= 0 && mode <= 2) {
    views.setImage(r->listItem, mode + kImageMaster);
    if (r->treeNode != kNoNode) views.setNodeStateImage(r->treeNode, mode + kImageMaster);
  }
  panel.setEnabled(ctl::roaming, (mode == item::slave || mode == item::repeater) && modeEnabled);
  roamingClick();
}

void MainWindowModel::radioTypeClick() {
  saveRadioRule();
  const int type = panel.itemIndex(ctl::radioType);
  if (type == 0) {
    panel.setEnabled(ctl::vireoESetup, panel.enabled(ctl::radioMode));
    modelEDefaults();
  } else {
    panel.setEnabled(ctl::vireoESetup, false);
  }
  if (panel.currentRadio && type >= 0 && type < panel.itemCount(ctl::radioType) &&
      type < kModelCount) {
    panel.currentRadio->modelIndex = type;
  }
}

void MainWindowModel::radioIDExit(bool reportedRadio) {
  if (panel.text(ctl::radioID).empty()) {
    prompts.show(PromptIcon::Error, "Radio ID needs a value.", pbOk);
    panel.setText(ctl::radioID, "254");
  }
  Tradio* r = panel.currentRadio;
  if (!r) return;
  const std::string old = std::to_string(r->slotID);
  int n = 0;
  if (!parseInt32(panel.text(ctl::radioID), n)) {
    panel.setText(ctl::radioID, old);
    return;
  }
  if (n == r->slotID) return;
  for (int i = 0; i < views.rowCount(); ++i) {
    int shown = 0;
    if (parseInt32(views.subItem(views.rowAt(i), 0), shown) && shown == n) {
      panel.setText(ctl::radioID, old);  // taken: silently back
      return;
    }
  }
  if (panel.WindowMode != wmMonitor) return;  // renumbered when saved
  // A radio that reported its own number takes over a radio never stored
  // (a new project's first one): it has that number already, so there is
  // nothing to send, and a send now would give the panel's half-read values
  // to whatever radio answers the dial of the old number.
  if (!panel.enabled(ctl::radioID) || reportedRadio) {
    if (!rekeyCurrentRadio(reportedRadio)) panel.setText(ctl::radioID, old);
    return;
  }
  const PromptButton answer = prompts.show(
      PromptIcon::Error,
      "Either set the radio with this new ID, or DO NOT change Radio ID. Set radio now?",
      pbYes | pbCancel);
  if (answer == pbYes && rekeyCurrentRadio(reportedRadio)) {
    if (onSetRadio) onSetRadio();
  } else {
    panel.setText(ctl::radioID, old);
  }
}

void MainWindowModel::radioNameChange() {
  saveRadioRule();
  Tradio* r = panel.currentRadio;
  if (!r) return;
  // The list and the tree show the name as it is typed; the record takes it
  // when it is saved.
  const std::string typed = panel.text(ctl::radioName);
  views.setCaption(r->listItem, typed);
  if (r->treeNode != kNoNode) views.setNodeText(r->treeNode, typed);
}

void MainWindowModel::enableGroupParameters(bool on) {
  for (const std::string* c : {&ctl::groupID, &ctl::securityID, &ctl::rfband, &ctl::flushTime,
                               &ctl::reTXBroadcasts, &ctl::repeaters, &ctl::blocked}) {
    panel.setEnabled(*c, on);
  }
}

void MainWindowModel::enableRadioParameters(bool on) {
  for (const std::string* c :
       {&ctl::radioParameters, &ctl::radioID,     &ctl::radioName,   &ctl::retries,
        &ctl::radioMode,       &ctl::protocol,    &ctl::roaming,     &ctl::masterID,
        &ctl::radioType,       &ctl::vireoESetup, &ctl::baudRate,    &ctl::dataBits,
        &ctl::stopBits,        &ctl::parity,      &ctl::handShaking, &ctl::bufferMode,
        &ctl::defaults,        &ctl::ok,          &ctl::newRadio,    &ctl::activeGroup}) {
    panel.setEnabled(*c, on);
  }
  panel.setBusyCursor(!on);
}

void MainWindowModel::modelEDefaults() {
  // A radio's settings start with model E's defaults.
  const RadioSettings d;
  for (int code : {param::emulationMode, param::plcAddress, param::mainSerialPort, param::sleepMode,
                   param::startTime, param::onTimer, param::offTimer})
    showParameter(panel, d, code);
  panel.setChecked(ctl::usePCClock, true);
  emulationModeChange();
  sleepModeChange();
  usePCClockChange();
}

void MainWindowModel::emulationModeChange() {
  const int mode = panel.itemIndex(ctl::emulationMode);
  panel.setEnabled(ctl::plcAddress, mode == 2 || mode == 3);
}

void MainWindowModel::sleepModeChange() {
  const int mode = panel.itemIndex(ctl::sleepMode);
  panel.setEnabled(ctl::startTime, mode == 2);
  panel.setEnabled(ctl::onTimer, mode == 1 || mode == 2);
  panel.setEnabled(ctl::offTimer, mode == 2);
}

void MainWindowModel::usePCClockChange() {
  panel.setEnabled(ctl::setCurrentTime, !panel.checked(ctl::usePCClock));
}

void MainWindowModel::chooseView(PanelView view) {
  if (view == PanelView::Monitor) return;
  if (panelView_ == PanelView::Monitor) {
    monitorFields_ = view;
  } else {
    setPanelView(view);
  }
  switchMode(panel.WindowMode);
}

PanelView MainWindowModel::shownView() const {
  return panelView_ == PanelView::Monitor ? monitorFields_ : panelView_;
}

void MainWindowModel::setBaudRate(const std::string& text) {
  const std::string wanted = trimBlanks(text);
  const std::vector<std::string> entries = panel.items(ctl::baudRate);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!wanted.empty() && trimBlanks(entries[i]) == wanted) {
      panel.setItemIndex(ctl::baudRate, static_cast<int>(i));
      return;
    }
  }
  panel.setText(ctl::baudRate, text);
}

Tradio* MainWindowModel::firstFreeRadio(int index) {
  if (!project_) return nullptr;
  for (int n = 0; n < kRadioSlots; ++n) {
    if (project_->radio(n) || project_->sectionExists(Tradio::sectionName(n))) continue;
    const int id = index < 0 ? n : index;
    if (id >= kRadioSlots || project_->radio(id)) return nullptr;
    setCurrentRadio(nullptr);
    std::unique_ptr<Tradio> record = Tradio::Create(*this, id, *project_);
    Tradio* r = record.get();
    project_->setRadio(id, std::move(record));
    setCurrentRadio(r);
    return r;
  }
  return nullptr;
}

bool MainWindowModel::rekeyCurrentRadio(bool adoptSection) {
  Tradio* r = panel.currentRadio;
  int n = 0;
  if (!r || !project_ || !parseInt32(panel.text(ctl::radioID), n)) return false;
  if (n < 0 || n >= kRadioSlots) return false;
  if (n == r->slotID) return true;
  // Never over another radio's record or stored section.
  if (project_->radio(n)) return false;
  if (!adoptSection && project_->sectionExists(Tradio::sectionName(n))) return false;
  const int old = r->slotID;
  std::unique_ptr<Tradio> record = project_->takeRadio(old);
  if (record.get() != r) {
    project_->setRadio(old, std::move(record));
    return false;
  }
  std::string stale;
  if (panel.WindowMode == wmProject) {
    r->reportedID = n;
    // The radio is saved under its new number next; its old section goes,
    // so a reload does not show it twice.
    stale = Tradio::sectionName(old);
  } else {
    if (panel.WindowMode == wmMonitor) r->reportedID = old;
    stale = Tradio::sectionName(r->reportedID);
  }
  project_->setRadio(n, std::move(record));
  r->slotID = n;
  // A section adopted is what the radio now holds; otherwise the radio keeps
  // its settings under its new number until it is saved there.
  if (adoptSection && project_->sectionExists(Tradio::sectionName(n))) {
    r->settings = project_->sectionSettings(n);
  } else {
    r->settings.radioID = n;
  }
  project_->eraseSection(stale);
  views.setSubItem(r->listItem, 0, std::to_string(n));
  return true;
}

bool MainWindowModel::saveCurrentRadio() {
  Tradio* r = panel.currentRadio;
  if (!r || !project_) return false;
  int n = 0;
  if (parseInt32(panel.text(ctl::radioID), n) && n != r->slotID && !rekeyCurrentRadio()) {
    // The number belongs to another radio: keep this one where it is.
    panel.setText(ctl::radioID, std::to_string(r->slotID));
  }
  // Unsaved changes keep the caption saying so, or closing would drop them
  // without asking.
  if (!r->SaveFromPanel()) return false;
  setRadioChanged(false);
  return true;
}

void MainWindowModel::newRadioClick() {
  if (!radioChanged_) {
    setRadioChanged(true);
    firstFreeRadio(-1);
    if (panel.WindowMode == wmMonitor) {
      advancedClick();
      if (onExistingProject) onExistingProject();
    }
    return;
  }
  saveCurrentRadio();
}

void MainWindowModel::setCurrentRadio(Tradio* radio) {
  if (panel.currentRadio) views.setStateImage(panel.currentRadio->listItem, 0);
  panel.currentRadio = radio;
  if (radio) views.setStateImage(radio->listItem, 1);
}

void MainWindowModel::chooseRadio(RowId row) {
  Tradio* chosen = views.rowRadio(row);
  // The row already shown loads nothing: its edits stay in the panel.
  if (radioChanged_ && chosen != panel.currentRadio &&
      prompts.show(PromptIcon::Warning, "Radio configuration changes made, save them?",
                   pbYes | pbNo) == pbYes) {
    saveCurrentRadio();
  }
  selectedRow = row;
  Tradio* r = views.rowRadio(row);
  if (!r || r == panel.currentRadio) return;
  setCurrentRadio(r);
  views.selectRow(row);
  r->LoadIntoPanel();
  enableGroupParameters(r->settings.radioMode == RadioMode::master);
  setRadioChanged(false);
}

std::string MainWindowModel::timeText(const char* format) const {
  std::tm t{};
  if (clock) {
    t = clock();
  } else {
    t = platform::localTime(std::time(nullptr));
  }
  char buf[16];
  if (std::strftime(buf, sizeof buf, format, &t) == 0) return std::string();
  return buf;
}

std::string MainWindowModel::timeShort() const {
  return timeText("%H:%M");
}

std::string MainWindowModel::timeLong() const {
  return timeText("%H:%M:%S");
}

}  // namespace tessel
