// The questions before a Set Radio: the panel's values never read from the
// radio they go to, and a project's radio written into another radio on
// the port; and what was last read from or sent to each radio, which they
// compare with.
#include "model/main_window_model.h"
#include "model/project.h"
#include "model/project_keys.h"
#include "model/radio.h"

namespace tessel {

void MainWindowModel::recordRadioValues(int radio, bool sent) {
  lastRead_[radio] = shownTexts();
  if (sent)
    lastSent_.insert(radio);
  else
    lastSent_.erase(radio);
  panelSource_ = PanelSource::Radio;
}

std::string MainWindowModel::knownAs(int radio) const {
  // Named as its record or its last read named it.
  const Tradio* r = project_ ? project_->radio(radio) : nullptr;
  std::string name = r ? r->settings.name : "", mode;
  auto last = lastRead_.find(radio);
  if (last != lastRead_.end()) {
    for (const auto& [key, text] : last->second) {
      if (key == radiokey::radioName.name && text != "..." && name.empty()) name = text;
      if (key == radiokey::radioMode.name) mode = text;
    }
  }
  return "radio " + std::to_string(radio) + (name.empty() ? "" : ", " + name) +
         (mode.empty() ? "" : ", " + mode);
}

bool MainWindowModel::confirmPortRadio() {
  // Project mode writes the record shown into the radio on the cable, the
  // bench's one radio at a time: a radio known to be another is named.
  const Tradio* r = panel.currentRadio;
  if (panel.WindowMode != wmProject || !r) return true;
  if (localRadio_ == r->slotID) return true;
  const std::string port = portName ? portName() : std::string("the COM port");
  std::string text;
  if (localRadio_ < 0) {
    text = "Nothing was read from the radio on " + port + ": " + r->settings.name +
           "'s settings go to whatever radio is on the port. Write them?";
  } else {
    text = "The radio on " + port +
           (lastSent_.count(localRadio_) ? " was last set as " : " was read as ") +
           knownAs(localRadio_) + ". Write " + r->settings.name + "'s settings into it?";
  }
  return prompts.show(PromptIcon::Warning, text, pbYes | pbNo | pbRefusalIsDefault) == pbYes;
}

bool MainWindowModel::confirmUnreadValues() {
  // Outside Manual mode a send writes the radio's project section, not
  // what the panel holds.
  if (panel.WindowMode != wmManual && panel.WindowMode != wmUnset) return true;
  if (panelSource_ != PanelSource::Defaults) return true;
  const int radio = localRadio_;
  auto last = lastRead_.find(radio);
  const std::string who = radio >= 0 ? knownAs(radio) : std::string("the local radio");
  std::string text;
  if (last == lastRead_.end()) {
    text = "Nothing was read from " + who +
           ": the panel holds defaults or edits, not the radio's values. Set Radio anyway?";
  } else {
    const PanelSettings now = shownTexts();
    std::string changes;
    for (const auto& [name, was] : last->second) {
      if (name == radiokey::radioName.name) continue;  // not sent
      for (const auto& [n, text] : now) {
        if (n != name || text == was) continue;
        changes += (changes.empty() ? "" : ", ") + name + " " + (was.empty() ? "(none)" : was) +
                   " to " + (text.empty() ? "(none)" : text);
      }
    }
    // The radio holds these values already: sending them changes nothing.
    if (changes.empty()) return true;
    text = "The panel's values were not read from " + who +
           ". Set Radio changes what was last read from it: " + changes + ". Set Radio anyway?";
  }
  return prompts.show(PromptIcon::Warning, text, pbOk | pbCancel | pbRefusalIsDefault) == pbOk;
}

}  // namespace tessel
