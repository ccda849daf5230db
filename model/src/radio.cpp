#include "model/radio.h"

#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/project.h"

namespace tessel {

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
  if (treeNode != kNoNode) views.deleteNode(treeNode);
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
  panel.setText(ctl::radioID, project->readKey(s, "Radio ID", std::to_string(slotID)));
  name = project->readKey(s, "Radio Name", "...");

  const std::string mode = project->readKey(s, "Radio Mode", "Slave");
  if (mode == "Slave") {
    panel.setItemIndex(ctl::radioMode, 1);
    views.setImage(listItem, kImageSlave);
    isMaster = false;
  } else if (mode == "Repeater") {
    panel.setItemIndex(ctl::radioMode, 2);
    views.setImage(listItem, kImageRepeater);
    isMaster = false;
  } else {
    panel.setItemIndex(ctl::radioMode, 0);
    views.setImage(listItem, kImageMaster);
    isMaster = true;
  }

  panel.setItemIndex(ctl::roaming, project->readKey(s, "Roaming", "Yes") == "Yes" ? 0 : 1);
  panel.setText(ctl::masterID, project->readKey(s, "Master ID", "0"));
  panel.setText(ctl::retries, project->readKey(s, "Retries", "10"));

  const std::string routing = project->readKey(s, "Auto-Routing", "Disable");
  panel.setItemIndex(ctl::protocol, routing == "Disable"             ? 0
                                    : routing == "Allen Bradley DF1" ? 2
                                                                     : 1);
  panel.setItemIndex(ctl::bufferMode,
                     project->readKey(s, "Buffer Mode", "Character") == "Character" ? 0 : 1);

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
  project->writeKey(s, "Radio ID", idText);
  project->writeKey(s, "Radio Name", name);

  const int mode = panel.itemIndex(ctl::radioMode);
  isMaster = mode == 0;
  project->writeKey(s, "Radio Mode", kRadioModeTexts[mode == 0 || mode == 2 ? mode : 1]);
  project->writeKey(s, "Roaming", panel.itemIndex(ctl::roaming) == 0 ? "Yes" : "No");
  project->writeKey(s, "Master ID", panel.text(ctl::masterID));
  project->writeKey(s, "Retries", panel.text(ctl::retries));
  const int routing = panel.itemIndex(ctl::protocol);
  project->writeKey(s, "Auto-Routing",
                    kAutoRoutingTexts[routing == 0 || routing == 2 ? routing : 1]);
  project->writeKey(s, "Buffer Mode",
                    panel.itemIndex(ctl::bufferMode) == 0 ? "Character" : "Packet");

  const BrandModels& models = window->models;
  const int type = panel.itemIndex(ctl::radioType);
  if (type == 0) {
    project->writeKey(s, models.modelKey, models.names[0]);
    SaveModelE(s);
  } else if (type > 0 && type < models.modelCount) {
    project->writeKey(s, models.modelKey, models.names[type]);
    project->deleteKey(s, "Emulation Mode");
  }
  port->SaveSerial(s);
  return project->failedWrites() == failedBefore;
}

void Tradio::LoadModelE(const std::string& s) {
  Panel& panel = window->panel;
  const std::string emulation = project->readKey(s, "Emulation Mode", kEmulationModeTexts[0]);
  panel.setItemIndex(ctl::emulationMode, itemOf(kEmulationModeTexts, emulation, 3));
  panel.setText(ctl::mainSerialPort,
                serialPortNumber(project->readKey(s, "Main Serial Port", "RS232")));
  const std::string sleep = project->readKey(s, "Sleep Mode", kSleepModeTexts[0]);
  panel.setItemIndex(ctl::sleepMode, itemOf(kSleepModeTexts, sleep, 2));
  panel.setText(ctl::plcAddress, project->readKey(s, "PLC Address", "0"));
  panel.setText(ctl::startTime, project->readKey(s, "Start Time", "06:00"));
  panel.setText(ctl::onTimer, project->readKey(s, "Radio ON Time", "10"));
  panel.setText(ctl::offTimer, project->readKey(s, "Radio OFF Time", "100"));
  window->emulationModeChange();
  window->sleepModeChange();
}

void Tradio::SaveModelE(const std::string& s) {
  Panel& panel = window->panel;
  const int emulation = panel.itemIndex(ctl::emulationMode);
  if (emulation >= 0 && emulation < 4)
    project->writeKey(s, "Emulation Mode", kEmulationModeTexts[emulation]);
  project->writeKey(s, "Main Serial Port", panel.text(ctl::mainSerialPort));
  const int sleep = panel.itemIndex(ctl::sleepMode);
  if (sleep >= 0 && sleep < 3) project->writeKey(s, "Sleep Mode", kSleepModeTexts[sleep]);
  project->writeKey(s, "PLC Address", panel.text(ctl::plcAddress));
  project->writeKey(s, "Start Time", panel.text(ctl::startTime));
  project->writeKey(s, "Radio ON Time", panel.text(ctl::onTimer));
  project->writeKey(s, "Radio OFF Time", panel.text(ctl::offTimer));
}

void TserialPort::LoadSerial(const std::string& s) {
  MainWindowModel& window = *radio->window;
  Panel& panel = window.panel;
  window.setBaudRate(project->readKey(s, "Baud rate", "9600"));
  panel.setItemIndex(ctl::dataBits, project->readInteger(s, "Data Bits", 8) == 8 ? 1 : 0);
  panel.setItemIndex(ctl::stopBits, project->readInteger(s, "Stop Bits", 1) == 1 ? 0 : 1);
  const std::string parity = project->readKey(s, "Parity", "None");
  panel.setItemIndex(ctl::parity, parity == "None" ? 2 : parity == "Even" ? 0 : 1);
  panel.setItemIndex(ctl::handShaking, project->readKey(s, "Handshaking", "No") == "No" ? 0 : 1);
}

void TserialPort::SaveSerial(const std::string& s) {
  Panel& panel = radio->window->panel;
  project->writeKey(s, "Baud rate", panel.text(ctl::baudRate));
  project->writeInteger(s, "Data Bits", panel.itemIndex(ctl::dataBits) == 1 ? 8 : 7);
  project->writeInteger(s, "Stop Bits", panel.itemIndex(ctl::stopBits) == 1 ? 2 : 1);
  const int parity = panel.itemIndex(ctl::parity);
  project->writeKey(s, "Parity", kParityTexts[parity == 1 || parity == 2 ? parity : 0]);
  project->writeKey(s, "Handshaking", panel.itemIndex(ctl::handShaking) == 1 ? "Yes" : "No");
}

}  // namespace tessel
