#include "model/project.h"

#include "model/factory_defaults.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/radio.h"

namespace tessel {

Tproject::Tproject(MainWindowModel& w, const std::string& fileName) : window(&w), file_(fileName) {}

std::unique_ptr<Tproject> Tproject::Create(MainWindowModel& window, const std::string& fileName) {
  std::unique_ptr<Tproject> p(new Tproject(window, fileName));
  Panel& panel = window.panel;
  panel.panelLoading = true;
  panel.setText(ctl::caption, window.productName + ": " + fileName);
  panel.setText(ctl::groupID, p->readKey(kProjectSection, "Group ID", "0"));
  panel.setText(ctl::securityID, p->readKey(kProjectSection, "Security ID", "0"));
  panel.setText(ctl::rfband, p->readKey(kProjectSection, "RF Band", "1"));
  panel.setText(ctl::flushTime, p->readKey(kProjectSection, "Flush Time", "1200"));
  panel.setItemIndex(
      ctl::reTXBroadcasts,
      p->readKey(kProjectSection, "ReTXBroadcasts", "Yes") == "Yes" ? item::yes : item::no);
  panel.setItemIndex(ctl::repeaters, p->readKey(kProjectSection, "Repeaters", "No") == "Yes"
                                         ? item::yes
                                         : item::no);
  panel.panelLoading = false;
  p->blockedChanged = false;
  p->loadBlockedValues();
  return p;
}

Tproject::~Tproject() {
  // Without Destroy nothing is stored, but the rows and nodes still go.
  for (int id = 0; id < kRadioSlots; ++id) {
    if (slots_[id]) slots_[id]->Destroy();
  }
}

void Tproject::loadBlockedValues() {
  for (int i = 0; i < kBlockedCount; ++i) {
    window->panel.blockedValues[i] =
        readKey(kProjectSection, kBlockedFreqKeys[i], kBlockedFreqDefault);
  }
}

void Tproject::SaveGroup() {
  Panel& panel = window->panel;
  writeKey(kProjectSection, "Group ID", panel.text(ctl::groupID));
  writeKey(kProjectSection, "Security ID", panel.text(ctl::securityID));
  writeKey(kProjectSection, "RF Band", panel.text(ctl::rfband));
  writeKey(kProjectSection, "Flush Time", panel.text(ctl::flushTime));
  writeKey(kProjectSection, "ReTXBroadcasts",
           panel.itemIndex(ctl::reTXBroadcasts) == item::yes ? "Yes" : "No");
  writeKey(kProjectSection, "Repeaters",
           panel.itemIndex(ctl::repeaters) == item::yes ? "Yes" : "No");
}

const TpollArray& Tproject::BuildPollList(bool pollOnly) {
  pollList.clear();
  for (int id = 0; id < kRadioSlots; ++id) {
    Tradio* r = slots_[id].get();
    if (!r) continue;
    // A record's model is only ever a map index.
    const int model = r->modelIndex >= 0 && r->modelIndex < 3 ? r->modelIndex : 1;
    pollList.push_back({r->slotID, model});
    r->pollOnly = pollOnly;
  }
  return pollList;
}

void Tproject::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  SaveGroup();
  if (blockedChanged && window->panel.WindowMode != wmManual) {
    for (int i = 0; i < kBlockedCount; ++i) {
      writeKey(kProjectSection, kBlockedFreqKeys[i], window->panel.blockedValues[i]);
    }
  }
  for (int id = 0; id < kRadioSlots; ++id) {
    if (slots_[id]) slots_[id]->Destroy();
  }
}

Tradio* Tproject::radio(int id) const {
  return id >= 0 && id < kRadioSlots ? slots_[id].get() : nullptr;
}

void Tproject::setRadio(int id, std::unique_ptr<Tradio> radio) {
  if (id >= 0 && id < kRadioSlots) slots_[id] = std::move(radio);
}

std::unique_ptr<Tradio> Tproject::takeRadio(int id) {
  if (id < 0 || id >= kRadioSlots) return nullptr;
  return std::move(slots_[id]);
}

int Tproject::radioCount() const {
  int n = 0;
  for (const auto& slot : slots_) n += slot ? 1 : 0;
  return n;
}

std::string Tproject::readKey(const std::string& section, const std::string& key,
                              const std::string& def) const {
  return file_.readString(section, key, def);
}

int Tproject::readInteger(const std::string& section, const std::string& key, int def) const {
  return file_.readInteger(section, key, def);
}

bool Tproject::checked(bool ok, bool wrote) {
  if (ok) {
    // A delete that found nothing proves nothing about the file.
    if (wrote) writeFailed_ = false;
    return true;
  }
  ++failedWrites_;
  if (!writeFailed_) {
    // Once per failing spell, not once per key of a long read.
    writeFailed_ = true;
    window->prompts.show(
        PromptIcon::Error,
        "Cannot write the project file " + file_.fileName() + ": " + file_.lastError(), pbOk);
  }
  return ok;
}

bool Tproject::writeKey(const std::string& section, const std::string& key,
                        const std::string& value) {
  return checked(file_.writeString(section, key, value), true);
}

bool Tproject::writeInteger(const std::string& section, const std::string& key, int value) {
  return checked(file_.writeInteger(section, key, value), true);
}

bool Tproject::deleteKey(const std::string& section, const std::string& key) {
  return checked(file_.deleteKey(section, key), false);
}

bool Tproject::sectionExists(const std::string& section) const {
  return file_.sectionExists(section);
}

bool Tproject::eraseSection(const std::string& section) {
  return checked(file_.eraseSection(section), false);
}

}  // namespace tessel
