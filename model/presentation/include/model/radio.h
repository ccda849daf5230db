#pragma once

// The record of one radio of the open project: its settings, its identity,
// its list row and tree node, and a few flags. The record is the home of the
// radio's settings: its section of the project file is written from them
// (Tproject::storeRadio), the panel loads them to show and edit, a read
// decodes the radio's replies into them, and an emulated radio answers from
// them.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/group_views.h"
#include "model/radio_settings.h"
#include "model/value_texts.h"

namespace tessel {

class MainWindowModel;
class Tproject;
class Tradio;

// The radio's serial port; its settings travel with the radio's own (see
// RadioSettings and its codec).
class TserialPort {
 public:
  TserialPort(Tradio* radio, Tproject* project) : radio(radio), project(project) {}

  Tradio* radio;
  Tproject* project;
  int32_t value = 0;
};

class Tradio {
 public:
  // Creates the record for radio ID id: adds its list row and loads its
  // section into the panel. The caller stores it in the project's slot.
  static std::unique_ptr<Tradio> Create(MainWindowModel& window, int id, Tproject& project);
  ~Tradio();
  Tradio(const Tradio&) = delete;
  Tradio& operator=(const Tradio&) = delete;

  // Removes the row and the tree node and frees the record through the
  // project's slot; the record is gone when this returns.
  void Destroy();

  // The record's settings into the panel.
  void LoadIntoPanel();
  // The panel into section "Radio" + the panel's radio ID. A radio ID field
  // that is empty, not a number or outside 0..254 writes nothing: the user is
  // told and false comes back, as it does when the file could not be written.
  bool SaveFromPanel();
  // The project keys whose texts in edited differ from what the panel was
  // loaded with.
  std::vector<std::string> changedKeys(const RadioSettings& edited) const;

  static std::string sectionName(int id) { return "Radio" + std::to_string(id); }

  // The radio's own settings, as its section reads (its group part is the
  // project's and stays at the defaults here).
  RadioSettings settings;

  std::unique_ptr<TserialPort> port;
  Tproject* project = nullptr;
  MainWindowModel* window = nullptr;
  NodeId treeNode = kNoNode;
  RowId listItem = kNoRow;
  int32_t slotID = 0;
  int32_t reportedID = 0;
  bool responded = false;
  bool isMaster = false;
  bool pollOnly = false;
  // The model the radio is worked with now, which is not always the stored
  // settings.model: the radio type selected while the record is edited, or
  // the model a read identified before anything is stored. A send, the poll
  // list and a read's register map use it; the section takes a model only
  // when the record is saved or a read stores it.
  int32_t modelIndex = 1;

 private:
  Tradio() = default;
};

}  // namespace tessel
