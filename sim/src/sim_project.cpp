#include "sim/sim_project.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "model/brand.h"
#include "model/catalogue.h"
#include "model/factory_defaults.h"
#include "model/ini_file.h"
#include "model/project_keys.h"
#include "model/radio_codec.h"
#include "platform/files.h"
#include "platform/local_time.h"

namespace tessel::sim {

namespace {

// The project key a register's value comes from: its section and name.
std::pair<std::string, std::string> keyFor(const std::string& section, int code) {
  if (code >= param::blockedFreq1 && code <= param::blockedFreq12)
    return {kProjectSection, kBlockedFreqKeys[code - param::blockedFreq1]};
  // The lock register holds the master ID.
  const ProjectKey* key = keyOf(code == param::masterLock ? param::masterID : code);
  if (!key) return {section, ""};
  for (const ProjectKey* g : groupKeys())
    if (g == key) return {kProjectSection, key->name};
  return {section, key->name};
}

// Where a register's value comes from, for warnings: "Project: Group ID",
// "Radio3: Retries".
std::string whereOf(const std::string& section, int code) {
  const auto [sec, name] = keyFor(section, code);
  return name.empty() ? sec : sec + ": " + name;
}

// Sets a register from a project's value; a value the radio refuses keeps
// the one it has and is reported, as the file's text when the value is
// what no number read from it gave ("abc").
void put(SimRadio& radio, int reg, const std::string& value, const std::string& where,
         std::vector<std::string>& warnings, const std::string& fileText = "") {
  std::string canonical;
  if (radio.accept(reg, value, canonical)) {
    radio.configure(reg, canonical);
    return;
  }
  std::string w = where + ": '" + (value.empty() ? fileText : value) +
                  "' is not a value the radio takes; kept " + radio.saved(reg);
  // Group values are the same for every radio: say it once.
  if (std::find(warnings.begin(), warnings.end(), w) == warnings.end()) warnings.push_back(w);
}

// The settings a radio's saved registers hold, as a read of the radio
// would take them; models 0 and 1 add the master they are attached to.
RadioSettings settingsOf(const SimRadio& radio) {
  RadioSettings s;
  s.model = radio.model();
  auto take = [&](int reg, int code) {
    const std::string text = radio.saved(reg);
    long n = 0;
    const int value = parseSmallNumber(text, n) ? static_cast<int>(n) : -1;
    codec::applyRegister(s, code, value, text);
  };
  for (const RegisterRow& row : registerMap(s.model))
    if (row.reg >= 0) take(row.reg, row.param);
  if (s.model != 2) take(kAttachedMasterReg, param::masterID);
  return s;
}

// Configures the radio as a Set Radio of s would, with the master it is
// attached to beside; a value the radio refuses is reported under the
// project key it comes from, quoted from file when one is given.
void configureFrom(SimRadio& radio, const RadioSettings& s, const std::string& section,
                   std::vector<std::string>& warnings, const ProjectSections* file = nullptr) {
  // Read only for a value that is no number, which the radio refuses.
  auto fileText = [&](int code, const std::string& value) {
    const auto [sec, name] = keyFor(section, code);
    return file && value.empty() && !name.empty() ? file->readString(sec, name, "") : std::string();
  };
  for (const codec::RegisterText& r : codec::registerImage(s)) {
    if (r.param == param::currentTime) continue;  // the clock runs from the start
    put(radio, r.reg, r.text, whereOf(section, r.param), warnings, fileText(r.param, r.text));
  }
  const std::string master = codec::numberText(s.masterID);
  put(radio, kAttachedMasterReg, master, whereOf(section, param::masterID), warnings,
      fileText(param::masterID, master));
}

// The configuration a simulated radio starts from: a working group on the
// line's usual 9600 8N1, every radio roaming. A project's values replace it.
RadioSettings builtInSettings(int model, int id, bool master) {
  RadioSettings s;
  s.model = model;
  s.radioID = id;
  s.radioMode = master ? RadioMode::master : RadioMode::slave;
  s.masterID = master ? 0 : 1;
  s.retries = defaultRetries(model);
  s.mainSerialPort = 232;
  GroupSettings& g = s.group;
  g.groupID = 7;
  g.securityID = 1234;
  g.blocked[0] = 9027;
  g.blocked[1] = 9127;
  return s;
}

void configureBuiltIn(SimRadio& radio, int id, bool master) {
  std::vector<std::string> none;  // the built-in values are all taken
  configureFrom(radio, builtInSettings(radio.model(), id, master), "", none);
}

void setStatusFor(SimRadio& radio, size_t index, int clockMinutes) {
  int rssi = -48 - static_cast<int>(index % 9) * 6;
  radio.setStatusBase(rssi, 132 - static_cast<int>(index % 3), 31 + static_cast<int>(index % 4));
  radio.setClock(clockMinutes, 0);
}

std::string threeDigits(int id) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%03d", id);
  return buf;
}

}  // namespace

int wallClockMinutes() {
  const std::tm tm = platform::localTime(std::time(nullptr));
  return tm.tm_hour * 60 + tm.tm_min;
}

bool defaultSetup(int count, const std::vector<int>& models, SimSetup& out, std::string& error,
                  uint32_t seed, int clockMinutes) {
  if (count < 1 || count > 254) {
    error = "the number of radios must be 1 to 254";
    return false;
  }
  for (int m : models) {
    if (m < 0 || m >= kModelCount) {
      error = "radio models are 0, 1 and 2";
      return false;
    }
  }
  out = SimSetup{};
  for (int i = 0; i < count; ++i) {
    int model = models.empty() ? i % 2 : models[static_cast<size_t>(i) % models.size()];
    SimRadio radio(model, seed * 1000 + static_cast<uint32_t>(i));
    int id = i + 1;
    radio.setName("Radio " + threeDigits(id));
    configureBuiltIn(radio, id, i == 0);
    setStatusFor(radio, static_cast<size_t>(i), clockMinutes);
    out.radios.push_back(std::move(radio));
  }
  out.local = 0;
  return true;
}

bool loadProject(const std::string& path, SimSetup& out, std::string& error, uint32_t seed,
                 int clockMinutes) {
  if (!std::ifstream(platform::pathFromUtf8(path))) {
    error = "cannot read the project file " + path;
    return false;
  }
  IniFile ini(path);
  if (!ini.lastError().empty()) {
    error = ini.lastError();
    return false;
  }
  out = SimSetup{};
  IniSections file(ini);
  const GroupSettings group = codec::readGroup(file);
  for (int id = 0; id <= 254; ++id) {
    const std::string S = codec::radioSection(id);
    if (!ini.sectionExists(S)) continue;
    // The project's settings as the configurator reads them (an unknown
    // model name counts as model 0).
    RadioSettings settings = codec::readRadio(file, id, brandModels(0));
    settings.group = group;
    SimRadio radio(settings.model, seed * 1000 + static_cast<uint32_t>(out.radios.size()));
    radio.setName(settings.name);
    // What the project holds replaces the built-in configuration as a Set
    // Radio would write it; a value the radio refuses keeps the built-in
    // one, so a bad Radio ID keeps the section's.
    configureBuiltIn(radio, id, settings.radioMode == RadioMode::master);
    configureFrom(radio, settings, S, out.warnings, &file);
    setStatusFor(radio, out.radios.size(), clockMinutes);
    out.radios.push_back(std::move(radio));
  }
  if (out.radios.empty()) {
    error = "the project " + path + " has no radio sections";
    return false;
  }
  out.local = 0;
  for (size_t i = 0; i < out.radios.size(); ++i) {
    if (out.radios[i].saved(param::radioMode) == "M") {
      out.local = i;
      break;
    }
  }
  return true;
}

bool canSaveProject(const std::string& path, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path name = platform::pathFromUtf8(path);
  fs::file_status st = fs::status(name, ec);
  if (fs::exists(st) && !fs::is_regular_file(st)) {
    error = "cannot write " + path + ": not a regular file";
    return false;
  }
  int err = 0;
  if (fs::exists(st) && (err = platform::writeAccess(path)) != 0) {
    error = "cannot write " + path + ": " + std::strerror(err);
    return false;
  }
  fs::path parent = fs::absolute(name, ec).parent_path();
  if (ec || (err = platform::writeAccess(platform::utf8FromPath(parent))) != 0) {
    error = "cannot write " + path + ": " + std::strerror(ec ? ec.value() : err);
    return false;
  }
  return true;
}

bool saveProject(const std::string& path, const SimRadioGroup& group,
                 const std::vector<int>& formerIDs, std::string& error) {
  if (group.radios().empty()) {
    error = "no radios to save";
    return false;
  }
  IniFile ini(path);
  if (!ini.lastError().empty()) {
    error = ini.lastError();
    return false;
  }
  // Hundreds of keys: written to the file once, at the end.
  ini.beginUpdate();
  IniSections file(ini);
  // The group section from the local radio.
  const GroupSettings shared = settingsOf(group.radios()[group.localIndex()]).group;
  bool ok = codec::writeGroup(file, shared) && codec::writeBlocked(file, shared);
  std::vector<int> held;
  for (const SimRadio& r : group.radios()) {
    long n = 0;
    if (!parseSmallNumber(r.saved(param::radioID), n)) continue;
    const int id = static_cast<int>(n);
    held.push_back(id);
    RadioSettings s = settingsOf(r);
    s.radioID = id;
    s.name = r.name();
    // A radio locked to no master names the one it is attached to.
    if (s.masterID == kNoNumber || s.masterID == 0)
      s.masterID = codec::numberOfText(r.saved(kAttachedMasterReg));
    ok = codec::writeRadio(file, id, s, brandModels(0)) && ok;
  }
  for (int id : formerIDs) {
    bool stillHeld = false;
    for (int h : held) stillHeld = stillHeld || h == id;
    if (!stillHeld && ok && ini.sectionExists(codec::radioSection(id)) &&
        !ini.eraseSection(codec::radioSection(id)))
      ok = false;
  }
  if (!ini.endUpdate()) ok = false;
  if (!ok) error = ini.lastError();
  return ok;
}

}  // namespace tessel::sim
