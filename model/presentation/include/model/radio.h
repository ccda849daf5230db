#pragma once

// The record of one radio of the open project. The radio's settings live in
// its section of the project file and, while it is shown, in the panel; the
// record holds its identity, its list row and tree node, and a few flags.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/group_views.h"
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

  // Section "Radio" + slotID into the panel.
  void LoadIntoPanel();
  // The panel into section "Radio" + the panel's radio ID. A radio ID field
  // that is empty, not a number or outside 0..254 writes nothing: the user is
  // told and false comes back, as it does when the file could not be written.
  bool SaveFromPanel();
  // Writes into section s the keys whose panel values differ from loaded.
  void saveChanges(const std::string& s,
                   const std::vector<std::pair<std::string, std::string>>& loaded);

  static std::string sectionName(int id) { return "Radio" + std::to_string(id); }

  std::unique_ptr<TserialPort> port;
  Tproject* project = nullptr;
  MainWindowModel* window = nullptr;
  NodeId treeNode = kNoNode;
  RowId listItem = kNoRow;
  std::string name;
  int32_t slotID = 0;
  int32_t reportedID = 0;
  bool responded = false;
  bool isMaster = false;
  bool pollOnly = false;
  int32_t modelIndex = 1;

 private:
  Tradio() = default;
};

}  // namespace tessel
