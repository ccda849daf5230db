#include "model/radio.h"

#include "model/factory_defaults.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/project.h"
#include "model/project_keys.h"

namespace tessel {

namespace {

std::string readText(Tproject& project, const std::string& section, const ProjectKey& key) {
  return project.readKey(section, key.name, key.def);
}

int readItem(Tproject& project, const std::string& section, const ProjectKey& key) {
  return itemOfFileText(key, readText(project, section, key));
}

// Stores what the panel shows for key: its text, or the text of its item. A
// choice with no valid item may be left out.
void writePanel(Tproject& project, const Panel& panel, const std::string& section,
                const ProjectKey& key) {
  if (!key.isChoice()) {
    project.writeKey(section, key.name, panel.text(key.control));
    return;
  }
  const std::string text = fileTextOf(key, panel.itemIndex(key.control));
  if (!text.empty()) project.writeKey(section, key.name, text);
}

}  // namespace

std::unique_ptr<Tradio> Tradio::Create(MainWindowModel& window, int id, Tproject& project) {
  std::unique_ptr<Tradio> r(new Tradio());
  r->port = std::make_unique<TserialPort>(r.get(), &project);
  r->project = &project;
  r->window = &window;
  r->slotID = id;
  r->reportedID = id;
  r->listItem = window.views.addRow(r.get());
  r->LoadIntoPanel();
  GroupViews& views = window.views;
  views.setCaption(r->listItem, r->name);
  views.setSubItem(r->listItem, 0, window.panel.text(ctl::radioID));
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
  const std::string s = sectionName(slotID);
  panel.setText(ctl::radioID, project->readKey(s, radiokey::radioID.name, std::to_string(slotID)));
  name = readText(*project, s, radiokey::radioName);

  const int mode = readItem(*project, s, radiokey::radioMode);
  panel.setItemIndex(ctl::radioMode, mode);
  views.setImage(listItem, mode == item::slave      ? kImageSlave
                           : mode == item::repeater ? kImageRepeater
                                                    : kImageMaster);
  isMaster = mode == item::master;

  panel.setItemIndex(ctl::roaming, readItem(*project, s, radiokey::roaming));
  panel.setText(ctl::masterID, readText(*project, s, radiokey::masterID));
  panel.setText(ctl::retries, readText(*project, s, radiokey::retries));
  panel.setItemIndex(ctl::protocol, readItem(*project, s, radiokey::autoRouting));
  panel.setItemIndex(ctl::bufferMode, readItem(*project, s, radiokey::bufferMode));

  const BrandModels& models = window->models;
  const std::string model = project->readKey(s, models.modelKey, models.names[1]);
  if (model == models.names[1]) {
    modelIndex = 1;
  } else if (*models.names[2] != '\0' && model == models.names[2]) {
    // A brand without a third model has no name that could match.
    modelIndex = 2;
  } else {
    modelIndex = 0;
    LoadModelE(s);
  }
  // Selected without the radio type rule, which would replace the model-E
  // settings just loaded by their defaults.
  panel.setItemIndex(ctl::radioType, modelIndex);
  panel.setEnabled(ctl::vireoESetup, modelIndex == 0 && panel.enabled(ctl::radioMode));

  port->LoadSerial(s);
  panel.setText(ctl::radioName, name);
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
                             "0-254",
                         pbOk);
    return false;
  }
  const std::string s = sectionName(id);
  const int failedBefore = project->failedWrites();
  project->writeKey(s, radiokey::radioID.name, idText);
  project->writeKey(s, radiokey::radioName.name, name);

  isMaster = panel.itemIndex(ctl::radioMode) == item::master;
  for (const ProjectKey* k : {&radiokey::radioMode, &radiokey::roaming, &radiokey::masterID,
                              &radiokey::retries, &radiokey::autoRouting, &radiokey::bufferMode})
    writePanel(*project, panel, s, *k);

  const BrandModels& models = window->models;
  const int type = panel.itemIndex(ctl::radioType);
  if (type == 0) {
    project->writeKey(s, models.modelKey, models.names[0]);
    SaveModelE(s);
  } else if (type > 0 && type < models.modelCount) {
    project->writeKey(s, models.modelKey, models.names[type]);
    project->deleteKey(s, radiokey::emulationMode.name);
  }
  port->SaveSerial(s);
  return project->failedWrites() == failedBefore;
}

void Tradio::LoadModelE(const std::string& s) {
  Panel& panel = window->panel;
  panel.setItemIndex(ctl::emulationMode, readItem(*project, s, radiokey::emulationMode));
  panel.setText(ctl::mainSerialPort,
                serialPortNumber(readText(*project, s, radiokey::mainSerialPort)));
  panel.setItemIndex(ctl::sleepMode, readItem(*project, s, radiokey::sleepMode));
  for (const ProjectKey* k :
       {&radiokey::plcAddress, &radiokey::startTime, &radiokey::onTimer, &radiokey::offTimer})
    panel.setText(k->control, readText(*project, s, *k));
  window->emulationModeChange();
  window->sleepModeChange();
}

void Tradio::SaveModelE(const std::string& s) {
  Panel& panel = window->panel;
  for (const ProjectKey* k :
       {&radiokey::emulationMode, &radiokey::mainSerialPort, &radiokey::sleepMode,
        &radiokey::plcAddress, &radiokey::startTime, &radiokey::onTimer, &radiokey::offTimer})
    writePanel(*project, panel, s, *k);
}

void TserialPort::LoadSerial(const std::string& s) {
  MainWindowModel& window = *radio->window;
  Panel& panel = window.panel;
  window.setBaudRate(project->readKey(s, radiokey::baudRate.name, radiokey::baudRate.def));
  // The bits are read as numbers, so "08" counts as 8.
  for (const ProjectKey* k : {&radiokey::dataBits, &radiokey::stopBits}) {
    const int n = project->readInteger(s, k->name, std::stoi(k->def));
    panel.setItemIndex(k->control, itemOfFileText(*k, std::to_string(n)));
  }
  for (const ProjectKey* k : {&radiokey::parity, &radiokey::handshaking})
    panel.setItemIndex(k->control, itemOfFileText(*k, project->readKey(s, k->name, k->def)));
}

void TserialPort::SaveSerial(const std::string& s) {
  Panel& panel = radio->window->panel;
  project->writeKey(s, radiokey::baudRate.name, panel.text(ctl::baudRate));
  for (const ProjectKey* k : {&radiokey::dataBits, &radiokey::stopBits}) {
    project->writeInteger(s, k->name, std::stoi(fileTextOf(*k, panel.itemIndex(k->control))));
  }
  for (const ProjectKey* k : {&radiokey::parity, &radiokey::handshaking})
    project->writeKey(s, k->name, fileTextOf(*k, panel.itemIndex(k->control)));
}

}  // namespace tessel
