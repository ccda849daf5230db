#include "model/project.h"

#include "model/factory_defaults.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/panel_settings.h"
#include "model/project_keys.h"
#include "model/radio.h"
#include "model/text.h"

namespace tessel {

namespace {

// A project's sections through which only the keys named are written (or
// deleted): the codec writes a whole radio section, a store only some keys.
class NamedKeysOnly : public ProjectSections {
 public:
  // Every key when keys is null.
  NamedKeysOnly(ProjectSections& file, const std::vector<std::string>* keys)
      : file_(file), keys_(keys) {}
  std::string readString(const std::string& section, const std::string& key,
                         const std::string& def) const override {
    return file_.readString(section, key, def);
  }
  int readInteger(const std::string& section, const std::string& key, int def) const override {
    return file_.readInteger(section, key, def);
  }
  bool writeString(const std::string& section, const std::string& key,
                   const std::string& value) override {
    return !named(key) || file_.writeString(section, key, value);
  }
  bool writeInteger(const std::string& section, const std::string& key, int value) override {
    return !named(key) || file_.writeInteger(section, key, value);
  }
  bool deleteKey(const std::string& section, const std::string& key) override {
    return !named(key) || file_.deleteKey(section, key);
  }

 private:
  bool named(const std::string& key) const {
    if (!keys_) return true;
    for (const std::string& k : *keys_) {
      if (k == key) return true;
    }
    return false;
  }
  ProjectSections& file_;
  const std::vector<std::string>* keys_;
};

// s as its section reads back: what no radio section holds is left out.
RadioSettings asStored(RadioSettings s) {
  const RadioSettings defaults;
  s.group = defaults.group;
  s.currentTime = defaults.currentTime;
  if (s.model != 0) {
    s.emulationMode = defaults.emulationMode;
    s.mainSerialPort = defaults.mainSerialPort;
    s.sleepMode = defaults.sleepMode;
    s.plcAddress = defaults.plcAddress;
    s.startTime = defaults.startTime;
    s.onTimer = defaults.onTimer;
    s.offTimer = defaults.offTimer;
  }
  return s;
}

// The field of g that group key k stores: a number or a choice's item.
int* groupNumber(GroupSettings& g, const ProjectKey& k) {
  return &k == &groupkey::groupID      ? &g.groupID
         : &k == &groupkey::securityID ? &g.securityID
         : &k == &groupkey::rfband     ? &g.rfband
                                       : nullptr;
}
YesNo* groupItem(GroupSettings& g, const ProjectKey& k) {
  return &k == &groupkey::repeaters ? &g.repeaters : &g.reTXBroadcasts;
}

// Whether the edit's value of k differs from the stored one. A choice is
// unchanged while it is the same item ("yes" or "YES" stays as the file
// spells it), a number while it is the same number ("07" is 7).
bool groupValueChanged(GroupSettings stored, GroupSettings edit, const ProjectKey& k) {
  if (&k == &groupkey::flushTime) return stored.flushTime != edit.flushTime;
  if (int* number = groupNumber(stored, k)) return *number != *groupNumber(edit, k);
  return *groupItem(stored, k) != *groupItem(edit, k);
}

}  // namespace

Tproject::Tproject(MainWindowModel& w, const std::string& fileName, ProjectLock lock)
    : window(&w), lock_(std::move(lock)), file_(fileName) {}

std::unique_ptr<Tproject> Tproject::Create(MainWindowModel& window, const std::string& fileName,
                                           ProjectLock lock, bool readOnly) {
  std::unique_ptr<Tproject> p(new Tproject(window, fileName, std::move(lock)));
  p->file_.setReadOnly(readOnly);
  window.panel.setText(ctl::caption, window.productName + ": " + fileName);
  ProjectFileSections file(*p);
  p->group_ = codec::readGroup(file);
  p->showGroup();
  p->blockedChanged = false;
  return p;
}

void Tproject::showGroup() {
  Panel& panel = window->panel;
  const bool loading = panel.panelLoading;
  panel.panelLoading = true;
  RadioSettings s;
  s.group = group_;
  for (const ProjectKey* k : groupKeys()) showParameter(panel, s, k->param);
  panel.panelLoading = loading;
  loadBlockedValues();
}

Tproject::~Tproject() {
  // Without Destroy nothing is stored, but the rows and nodes still go.
  for (int id = 0; id < kRadioSlots; ++id) {
    if (slots_[id]) slots_[id]->Destroy();
  }
}

void Tproject::loadBlockedValues() {
  for (int i = 0; i < kBlockedCount; ++i)
    window->panel.blockedValues[i] = codec::blockedText(group_.blocked[i]);
}

void Tproject::SaveGroup() {
  saveGroup(false);
}

bool Tproject::groupKeyChanged(const ProjectKey& k) const {
  return groupValueChanged(group_, settingsOfPanel(window->panel).group, k);
}

bool Tproject::groupHolds(const std::string& key) const {
  return readKey(kProjectSection, key, "\n") != "\n";
}

bool Tproject::blockedChangedAt(int i) const {
  return blockedChanged && window->panel.WindowMode != wmManual &&
         (!groupHolds(kBlockedFreqKeys[i]) ||
          group_.blocked[i] != codec::blockedOfText(window->panel.blockedValues[i]));
}

bool Tproject::groupUnsaved() const {
  for (const ProjectKey* k : groupKeys())
    if (groupKeyChanged(*k)) return true;
  for (int i = 0; i < kBlockedCount; ++i)
    if (blockedChangedAt(i)) return true;
  return false;
}

void Tproject::saveGroup(bool onlyChanged) {
  GroupSettings edit = settingsOfPanel(window->panel).group;
  GroupSettings next = group_;
  std::vector<std::string> keys;
  for (const ProjectKey* k : groupKeys()) {
    if (onlyChanged && !groupKeyChanged(*k)) continue;
    if (k == &groupkey::flushTime) {
      next.flushTime = edit.flushTime;
    } else if (int* number = groupNumber(next, *k)) {
      *number = *groupNumber(edit, *k);
    } else {
      *groupItem(next, *k) = *groupItem(edit, *k);
    }
    keys.push_back(k->name);
  }
  storeGroupValues(next, keys);
}

Tproject::Batch::Batch(Tproject& project) : project_(project) {
  project_.beginBatch();
}

Tproject::Batch::~Batch() {
  project_.endBatch();
}

void Tproject::beginBatch() {
  ++batchDepth_;
  file_.beginUpdate();
}

bool Tproject::endBatch() {
  if (batchDepth_ == 0) return true;
  --batchDepth_;
  return checked(file_.endUpdate(), false);
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

void Tproject::storeGroup() {
  Batch batch(*this);
  saveGroup(true);
  // All twelve, so the file says the list is complete; those it holds
  // already are no write.
  GroupSettings next = group_;
  std::vector<std::string> keys;
  for (int i = 0; i < kBlockedCount; ++i) {
    if (!blockedChangedAt(i)) continue;
    next.blocked[i] = codec::blockedOfText(window->panel.blockedValues[i]);
    keys.push_back(kBlockedFreqKeys[i]);
  }
  storeGroupValues(next, keys);
}

void Tproject::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  storeGroup();
  // A batch left open by its owner must not keep what it gathered.
  while (batchDepth_ > 0) endBatch();
  for (int id = 0; id < kRadioSlots; ++id) {
    if (slots_[id]) slots_[id]->Destroy();
  }
}

std::vector<std::string> Tproject::unreadableReport() const {
  std::vector<std::string> out;
  const auto& bad = unreadableLines();
  for (size_t i = 0; i < bad.size() && i < static_cast<size_t>(kUnreadableShown); ++i) {
    out.push_back(fileName() + " line " + std::to_string(bad[i].number) + " " + bad[i].reason +
                  "; it is not read");
  }
  if (bad.size() > static_cast<size_t>(kUnreadableShown)) {
    out.push_back(fileName() + ": " + std::to_string(bad.size() - kUnreadableShown) +
                  " more lines cannot be read");
  }
  return out;
}

RadioSettings Tproject::radioSettings(int slot) const {
  if (const Tradio* r = radio(slot)) return r->settings;
  return sectionSettings(slot);
}

RadioSettings Tproject::sectionSettings(int slot) const {
  ProjectFileSections file(const_cast<Tproject&>(*this));
  return codec::readRadio(file, slot, window->models);
}

bool Tproject::storeGroupValues(const GroupSettings& g) {
  return storeGroupKeys(g, nullptr);
}

bool Tproject::storeGroupValues(const GroupSettings& g, const std::vector<std::string>& keys) {
  return storeGroupKeys(g, &keys);
}

bool Tproject::writeNamedKeys(const std::vector<std::string>* keys,
                              const std::function<void(ProjectSections&)>& write) {
  if (keys && keys->empty()) return true;
  const int failedBefore = failedWrites_;
  beginBatch();
  ProjectFileSections file(*this);
  NamedKeysOnly named(file, keys);
  write(named);
  endBatch();
  return failedWrites_ == failedBefore;
}

bool Tproject::storeGroupKeys(const GroupSettings& g, const std::vector<std::string>* keys) {
  group_ = g;
  return writeNamedKeys(keys, [&g](ProjectSections& file) {
    codec::writeGroup(file, g);
    codec::writeBlocked(file, g);
  });
}

bool Tproject::storeRadio(int slot, const RadioSettings& s) {
  return storeRadioKeys(slot, s, nullptr);
}

bool Tproject::storeRadio(int slot, const RadioSettings& s, const std::vector<std::string>& keys) {
  return storeRadioKeys(slot, s, &keys);
}

bool Tproject::storeRadioKeys(int slot, const RadioSettings& s,
                              const std::vector<std::string>* keys) {
  if (Tradio* r = radio(slot)) r->settings = asStored(s);
  return writeNamedKeys(
      keys, [&](ProjectSections& file) { codec::writeRadio(file, slot, s, window->models); });
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
