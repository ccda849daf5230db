#pragma once

// The keys of the project file, in its group section and in each radio's
// section: each key's name, the parameter it stores, the panel control that
// shows it, the text a missing key reads as, and for a choice its value
// texts and how they go to and from the register and the panel. The
// records, the register replies, the headless report and the simulated
// radios all read and write the file through this one table.
#include <string>
#include <vector>

#include "model/value_texts.h"

namespace tessel {

// How a choice's panel item is written into its register.
enum class RegisterForm {
  None,    // no register holds the key (or its value is a free text)
  Letter,  // the letter of the item ("MSR" for radio mode)
  Number,  // the item's number
  Text,    // the value text itself (data bits, stop bits)
};

struct ProjectKey {
  const char* name;     // the key, e.g. "Radio Mode"
  int param;            // the parameter it stores; -1 for none
  const char* control;  // the panel control that shows it ("" for none)
  const char* def;      // what a missing key reads as; null where it depends on the radio

  // Choices only; texts is null for free texts such as "Retries".
  const char* const* texts = nullptr;  // the value texts, by panel item
  int count = 0;
  int unknownItem = 0;   // the item of a file text that is none of the texts
  int writtenItem = -1;  // written for a panel with no valid item; -1: the key is left out
  RegisterForm form = RegisterForm::None;
  // First letters of the words a radio answers with, by item; a reply
  // starting with another letter means the last item. Null: digits only.
  const char* letters = nullptr;
  // A model-2 radio holds the item's number instead of its letter.
  bool numberOnModelTwo = false;

  bool isChoice() const { return texts != nullptr; }
};

// The group section ("Project"); the blocked frequencies' keys are in
// factory_defaults.h.
namespace groupkey {
extern const ProjectKey groupID, securityID, rfband, flushTime, reTXBroadcasts, repeaters;
}  // namespace groupkey

namespace radiokey {
extern const ProjectKey radioID, radioName, radioMode, roaming, masterID, retries, autoRouting,
    bufferMode, emulationMode, mainSerialPort, sleepMode, plcAddress, startTime, onTimer, offTimer,
    baudRate, dataBits, stopBits, parity, handshaking;
}  // namespace radiokey

// Every key of a radio section, in the order a section lists them (the
// model name, whose key the brand decides, comes after "Buffer Mode").
const std::vector<const ProjectKey*>& radioKeys();
// The group section's keys, in the order they are written.
const std::vector<const ProjectKey*>& groupKeys();
// The key, of either section, that stores a parameter; null when none does.
const ProjectKey* keyOf(int param);

// File text to panel item (a choice's unknownItem for a text that is none
// of its texts).
int itemOfFileText(const ProjectKey& key, const std::string& text);
// Panel item to file text; for an item outside the texts the writtenItem's
// text, or "" when the key is then left out.
std::string fileTextOf(const ProjectKey& key, int item);
// Register text (a reply, or a simulated radio's value) to panel item; -1
// when the text gives none.
int itemOfRegisterText(const ProjectKey& key, const std::string& text);
// Panel item to register text; numeric: the form a model-2 radio is written
// in. "" for an item outside the texts.
std::string registerTextOf(const ProjectKey& key, int item, bool numeric);

}  // namespace tessel
