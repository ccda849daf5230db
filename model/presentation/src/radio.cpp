#include "model/radio.h"

#include "model/factory_defaults.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/panel_settings.h"
#include "model/parameter_table.h"
#include "model/project.h"
#include "model/project_keys.h"
#include "model/radio_codec.h"

namespace tessel {

std::unique_ptr<Tradio> Tradio::Create(MainWindowModel& window, int id, Tproject& project) {
  std::unique_ptr<Tradio> r(new Tradio());
  r->port = std::make_unique<TserialPort>(r.get(), &project);
  r->project = &project;
  r->window = &window;
  r->slotID = id;
  r->reportedID = id;
  r->settings = project.sectionSettings(id);
  r->listItem = window.views.addRow(r.get());
  r->LoadIntoPanel();
  GroupViews& views = window.views;
  views.setCaption(r->listItem, r->settings.name);
  views.setSubItem(r->listItem, 0, codec::numberText(r->settings.radioID));
  views.setStateImage(r->listItem, 0);
  return r;
}

Tradio::~Tradio() = default;

void Tradio::Destroy() {
  GroupViews& views = window->views;
  views.deleteRow(listItem);
  if (treeNode != kNoNode && views.nodeExists(treeNode)) {
    // Only this radio's node goes: its slaves stay in the tree, at the top,
    // until a poll names their master again.
    for (NodeId child : views.children(treeNode)) views.moveNode(child, kNoNode);
    views.deleteNode(treeNode);
  }
  Tproject* owner = project;
  Panel& panel = window->panel;
  if (panel.currentRadio == this) panel.currentRadio = nullptr;
  // Nodes below ours went with it; their radios must not keep them.
  for (int id = 0; id < kRadioSlots; ++id) {
    Tradio* other = owner->radio(id);
    if (other && other != this && !views.nodeExists(other->treeNode)) other->treeNode = kNoNode;
  }
  std::unique_ptr<Tradio> self = owner->takeRadio(slotID);
  // When the slot held another record (or none), this one is not owned there.
  if (self.get() != this) {
    if (self) owner->setRadio(slotID, std::move(self));
    return;
  }
  // self goes out of scope here and frees the record.
}

void Tradio::LoadIntoPanel() {
  Panel& panel = window->panel;
  GroupViews& views = window->views;
  const RadioSettings& s = settings;
  showParameter(panel, s, param::radioID);

  showParameter(panel, s, param::radioMode);
  views.setImage(listItem, s.radioMode == RadioMode::slave      ? kImageSlave
                           : s.radioMode == RadioMode::repeater ? kImageRepeater
                                                                : kImageMaster);
  isMaster = s.radioMode == RadioMode::master;

  for (int code :
       {param::roaming, param::masterID, param::retries, param::protocol, param::bufferMode})
    showParameter(panel, s, code);

  modelIndex = s.model;
  if (modelIndex == 0) {
    for (int code : {param::emulationMode, param::mainSerialPort, param::sleepMode,
                     param::plcAddress, param::startTime, param::onTimer, param::offTimer})
      showParameter(panel, s, code);
    window->emulationModeChange();
    window->sleepModeChange();
  }
  // Selected without the radio type rule, which would replace the model-E
  // settings just loaded by their defaults.
  panel.setItemIndex(ctl::radioType, modelIndex);
  panel.setEnabled(ctl::vireoESetup, modelIndex == 0 && panel.enabled(ctl::radioMode));

  window->setBaudRate(baudRateText(s.baudRate));
  for (int code : {param::dataBits, param::stopBits, param::parity, param::handShaking})
    showParameter(panel, s, code);
  panel.setText(ctl::radioName, s.name);
  window->recordLoaded(slotID);
}

bool Tradio::SaveFromPanel() {
  Panel& panel = window->panel;
  const std::string idText = panel.text(ctl::radioID);
  int id = 0;
  if (trimBlanks(idText).empty()) {
    window->prompts.show(PromptIcon::Error, "Radio ID needs a value.", pbOk);
    return false;
  }
  if (!parseInt32(idText, id)) {
    window->prompts.show(PromptIcon::Error, "'" + idText + "' is not a valid integer value", pbOk);
    return false;
  }
  if (id < 0 || id >= kRadioSlots) {
    window->prompts.show(PromptIcon::Error,
                         "Radio ID:" + idText + " " +
                             (id < 0 ? "is too low. Range is " : "is too high. Range is ") +
                             std::to_string(parameterOf(param::radioID).lo) + "-" +
                             std::to_string(parameterOf(param::radioID).hi),
                         pbOk);
    return false;
  }
  const std::string s = sectionName(id);
  RadioSettings edited = settingsOfPanel(panel);
  edited.radioID = id;
  isMaster = edited.radioMode == RadioMode::master;
  // A section loaded into the panel takes only what changed since: a save
  // after one edit must not rewrite keys the user never touched. A new
  // section (a new radio, a new number) takes everything.
  const bool onlyChanged = project->sectionExists(s) && window->loadedSlot() == slotID &&
                           !window->loadedSettings().empty();
  const bool ok = onlyChanged ? project->storeRadio(id, edited, changedKeys(edited))
                              : project->storeRadio(id, edited);
  window->recordLoaded(slotID);
  return ok;
}

std::vector<std::string> Tradio::changedKeys(const RadioSettings& edited) const {
  const BrandModels& models = window->models;
  const PanelSettings& loaded = window->loadedSettings();
  std::vector<std::string> keys;
  for (const auto& [key, text] : codec::fileTexts(edited, models)) {
    bool same = false;
    for (const auto& [k, was] : loaded) same = same || (k == key && was == text);
    if (same) continue;
    keys.push_back(key);
    // Another model than E drops its emulation mode.
    if (key == models.modelKey && text != models.names[0])
      keys.push_back(radiokey::emulationMode.name);
  }
  return keys;
}

}  // namespace tessel
