#include "sim/sim_project.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
#include "model/value_texts.h"

namespace tessel::sim {

namespace {

// The register that holds a parameter on a model; -1 when none does. The
// master a radio is attached to sits in S12 on every model.
int regOf(int model, int code) {
  if (code == param::masterID && model != 2) return kAttachedMasterReg;
  for (const RegisterRow& row : registerMap(model))
    if (row.param == code && row.reg >= 0) return row.reg;
  return -1;
}

std::string radioSection(int id) {
  return "Radio" + std::to_string(id);
}

// Sets a parameter of a radio from a register text; false when the radio
// refuses the value (a parameter its model lacks is no refusal).
bool configure(SimRadio& radio, int code, const std::string& value) {
  int reg = regOf(radio.model(), code);
  if (reg < 0) return true;
  std::string canonical;
  if (!radio.accept(reg, value, canonical)) return false;
  radio.configure(reg, canonical);
  return true;
}

// As configure(); a value the radio refuses keeps the one it has and is
// reported.
void put(SimRadio& radio, int code, const std::string& value, const std::string& where,
         std::vector<std::string>& warnings) {
  if (configure(radio, code, value)) return;
  std::string w = where + ": '" + value + "' is not a value the radio takes; kept " +
                  radio.saved(regOf(radio.model(), code));
  // Group values are the same for every radio: say it once.
  if (std::find(warnings.begin(), warnings.end(), w) == warnings.end()) warnings.push_back(w);
}

// The configuration a simulated radio starts from: a working group on the
// line's usual 9600 8N1. A project's values replace it one by one.
void configureDefaults(SimRadio& radio, int id, bool master) {
  const int model = radio.model();
  const std::pair<int, std::string> values[] = {
      {param::groupID, "7"},
      {param::securityID, "1234"},
      {param::rfband, "1"},
      {param::flushTime, "12000"},
      {param::reTXBroadcasts, "Y"},
      {param::repeaters, "N"},
      {param::fixedN, "N"},
      {param::blockedFreq1, "9027"},
      {param::blockedFreq1 + 1, "9127"},
      {param::radioID, std::to_string(id)},
      {param::radioMode, master ? "M" : "S"},
      {param::roaming, "Y"},
      {param::masterLock, "0"},
      {param::masterID, master ? "0" : "1"},
      {param::retries, defaultRetries(model)},
      {param::baudRate, "9600"},
      {param::dataBits, "8"},
      {param::stopBits, "1"},
      {param::parity, "N"},
      {param::handShaking, model == 2 ? "0" : "N"},
      {param::protocol, "0"},
      {param::bufferMode, model == 2 ? "0" : "C"},
      {param::emulationMode, "0"},
      {param::plcAddress, radiokey::plcAddress.def},
      {param::mainSerialPort, "232"},
      {param::sleepMode, "0"},
      {param::startTime, radiokey::startTime.def},
      {param::onTimer, radiokey::onTimer.def},
      {param::offTimer, radiokey::offTimer.def},
  };
  for (const auto& [code, value] : values) configure(radio, code, value);
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

// The baud rate as the configurator's selector shows it (and stores it).
std::string shownBaud(const std::string& baud) {
  if (baud.size() == 3) return "    " + baud;
  if (baud.size() == 4) return "  " + baud;
  return baud;
}

}  // namespace

int wallClockMinutes() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
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
    configureDefaults(radio, id, i == 0);
    setStatusFor(radio, static_cast<size_t>(i), clockMinutes);
    out.radios.push_back(std::move(radio));
  }
  out.local = 0;
  return true;
}

bool loadProject(const std::string& path, SimSetup& out, std::string& error, uint32_t seed,
                 int clockMinutes) {
  if (!std::ifstream(path)) {
    error = "cannot read the project file " + path;
    return false;
  }
  IniFile ini(path);
  if (!ini.lastError().empty()) {
    error = ini.lastError();
    return false;
  }
  out = SimSetup{};
  auto& warnings = out.warnings;
  const std::string P = kProjectSection;
  auto group = [&](const char* key, const char* def) { return ini.readString(P, key, def); };
  const BrandModels& brand = brandModels(0);

  for (int id = 0; id <= 254; ++id) {
    const std::string S = radioSection(id);
    if (!ini.sectionExists(S)) continue;
    auto key = [&](const char* k, const std::string& def) { return ini.readString(S, k, def); };
    auto where = [&](const char* k) { return S + ": " + k; };
    auto text = [&](const ProjectKey& k) { return ini.readString(S, k.name, k.def); };
    auto chosen = [&](const ProjectKey& k) { return itemOfFileText(k, text(k)); };
    // A value as the radio holds it; for a choice, in the form its model
    // is written in.
    auto value = [&](const ProjectKey& k, int model) {
      return registerTextOf(k, chosen(k), model == 2);
    };
    // A free text goes to the radio as it stands, a choice as its register text.
    auto putKey = [&](SimRadio& radio, const ProjectKey& k) {
      put(radio, k.param, k.isChoice() ? value(k, radio.model()) : text(k),
          k.isChoice() ? std::string() : where(k.name), warnings);
    };

    // Model: like the configurator, an unknown name counts as model 0.
    std::string modelText = key(brand.modelKey, brand.names[1]);
    int model = modelText == brand.names[1] ? 1 : modelText == brand.names[2] ? 2 : 0;
    SimRadio radio(model, seed * 1000 + static_cast<uint32_t>(out.radios.size()));
    radio.setName(text(radiokey::radioName));
    const int mode = chosen(radiokey::radioMode);
    // What the project holds replaces the built-in configuration; a value
    // the radio refuses keeps it, so a bad Radio ID keeps the section's.
    configureDefaults(radio, id, mode == item::master);

    for (const ProjectKey* k : groupKeys()) {
      const std::string text = group(k->name, k->def);
      if (k->isChoice()) {
        put(radio, k->param, registerTextOf(*k, itemOfFileText(*k, text), false), "", warnings);
      } else {
        // The file holds the flush time in MHz, the register in tenths.
        put(radio, k->param, k == &groupkey::flushTime ? MhzToRegister(text) : text,
            std::string("Project: ") + k->name, warnings);
      }
    }
    put(radio, param::fixedN, "N", "", warnings);
    for (int i = 0; i < 12; ++i) {
      std::string mhz = group(kBlockedFreqKeys[i], "");
      put(radio, param::blockedFreq1 + i, MhzToRegister(mhz),
          std::string("Project: ") + kBlockedFreqKeys[i], warnings);
    }

    put(radio, param::radioID, key(radiokey::radioID.name, std::to_string(id)),
        where(radiokey::radioID.name), warnings);
    putKey(radio, radiokey::radioMode);
    const bool roams = chosen(radiokey::roaming) == item::roamingAllowed;
    const std::string masterID = text(radiokey::masterID);
    putKey(radio, radiokey::roaming);
    putKey(radio, radiokey::masterID);
    if (model != 2) {
      put(radio, param::masterLock, roams || mode != item::slave ? "0" : masterID,
          where(radiokey::masterID.name), warnings);
    }
    for (const ProjectKey* k : {&radiokey::retries, &radiokey::autoRouting, &radiokey::bufferMode})
      putKey(radio, *k);

    if (model == 0) {
      putKey(radio, radiokey::emulationMode);
      std::string port = text(radiokey::mainSerialPort);
      if (port.size() == 5 && port.compare(0, 2, "RS") == 0) port = port.substr(2);
      put(radio, param::mainSerialPort, port, where(radiokey::mainSerialPort.name), warnings);
      for (const ProjectKey* k : {&radiokey::sleepMode, &radiokey::plcAddress, &radiokey::startTime,
                                  &radiokey::onTimer, &radiokey::offTimer})
        putKey(radio, *k);
    }

    putKey(radio, radiokey::baudRate);
    // The bits are read as numbers, as the configurator reads them.
    for (const ProjectKey* k : {&radiokey::dataBits, &radiokey::stopBits}) {
      const int bits = ini.readInteger(S, k->name, std::stoi(k->def));
      put(radio, k->param, registerTextOf(*k, itemOfFileText(*k, std::to_string(bits)), false), "",
          warnings);
    }
    putKey(radio, radiokey::parity);
    putKey(radio, radiokey::handshaking);

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
  fs::file_status st = fs::status(path, ec);
  if (fs::exists(st) && !fs::is_regular_file(st)) {
    error = "cannot write " + path + ": not a regular file";
    return false;
  }
  if (fs::exists(st) && ::access(path.c_str(), W_OK) != 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  fs::path parent = fs::absolute(path, ec).parent_path();
  if (ec || ::access(parent.c_str(), W_OK | X_OK) != 0) {
    error = "cannot write " + path + ": " + std::strerror(ec ? ec.value() : errno);
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
  bool ok = true;
  auto write = [&](const std::string& s, const std::string& k, const std::string& v) {
    if (ok && !ini.writeString(s, k, v)) ok = false;
  };
  auto saved = [](const SimRadio& r, int code) {
    int reg = regOf(r.model(), code);
    return reg < 0 ? std::string() : r.saved(reg);
  };

  const SimRadio& local = group.radios()[group.localIndex()];
  const std::string P = kProjectSection;
  for (const ProjectKey* k : groupKeys()) {
    const std::string v = saved(local, k->param);
    if (k->isChoice())
      write(P, k->name, fileTextOf(*k, itemOfRegisterText(*k, v)));
    else
      write(P, k->name, k == &groupkey::flushTime ? FlushTimeFromRegister(v) : v);
  }
  for (int i = 0; i < 12; ++i) {
    std::string v = saved(local, param::blockedFreq1 + i);
    long n = 0;
    write(P, kBlockedFreqKeys[i], BlockedFreqFromReply(parseSmallNumber(v, n) ? n : 0, v));
  }

  const BrandModels& brand = brandModels(0);
  std::vector<int> held;
  for (const SimRadio& r : group.radios()) {
    int id = 0;
    long n = 0;
    if (!parseSmallNumber(r.saved(param::radioID), n)) continue;
    id = static_cast<int>(n);
    held.push_back(id);
    const std::string S = radioSection(id);
    std::string roaming = saved(r, param::roaming);
    std::string masterID = r.model() == 2 || roaming == "Y" ? r.saved(kAttachedMasterReg)
                                                            : saved(r, param::masterLock);
    if (masterID.empty() || masterID == "0") masterID = r.saved(kAttachedMasterReg);
    // A register value as the project file stores it: a choice as its
    // value text, anything else as it stands.
    auto put = [&](const ProjectKey& k) {
      const std::string v = saved(r, k.param);
      if (!k.isChoice() || k.form == RegisterForm::Text) {
        write(S, k.name, v);
        return;
      }
      const std::string text = fileTextOf(k, itemOfRegisterText(k, v));
      write(S, k.name, text.empty() ? std::string(k.def) : text);
    };
    write(S, radiokey::radioID.name, std::to_string(id));
    write(S, radiokey::radioName.name, r.name());
    put(radiokey::radioMode);
    put(radiokey::roaming);
    write(S, radiokey::masterID.name, masterID);
    for (const ProjectKey* k : {&radiokey::retries, &radiokey::autoRouting, &radiokey::bufferMode})
      put(*k);
    write(S, brand.modelKey, brand.names[r.model()]);
    if (r.model() == 0) {
      for (const ProjectKey* k :
           {&radiokey::emulationMode, &radiokey::mainSerialPort, &radiokey::sleepMode,
            &radiokey::plcAddress, &radiokey::startTime, &radiokey::onTimer, &radiokey::offTimer})
        put(*k);
    } else if (ok && !ini.deleteKey(S, radiokey::emulationMode.name)) {
      ok = false;
    }
    write(S, radiokey::baudRate.name, shownBaud(saved(r, param::baudRate)));
    for (const ProjectKey* k :
         {&radiokey::dataBits, &radiokey::stopBits, &radiokey::parity, &radiokey::handshaking})
      put(*k);
  }
  for (int id : formerIDs) {
    bool stillHeld = false;
    for (int h : held) stillHeld = stillHeld || h == id;
    if (!stillHeld && ok && ini.sectionExists(radioSection(id)) &&
        !ini.eraseSection(radioSection(id)))
      ok = false;
  }
  if (!ini.endUpdate()) ok = false;
  if (!ok) error = ini.lastError();
  return ok;
}

}  // namespace tessel::sim
