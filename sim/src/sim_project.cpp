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
      {param::plcAddress, "0"},
      {param::mainSerialPort, "232"},
      {param::sleepMode, "0"},
      {param::startTime, "06:00"},
      {param::onTimer, "10"},
      {param::offTimer, "100"},
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

    // Model: like the configurator, an unknown name counts as model 0.
    std::string modelText = key(brand.modelKey, brand.names[1]);
    int model = modelText == brand.names[1] ? 1 : modelText == brand.names[2] ? 2 : 0;
    SimRadio radio(model, seed * 1000 + static_cast<uint32_t>(out.radios.size()));
    radio.setName(key("Radio Name", "..."));
    std::string mode = key("Radio Mode", "Slave");
    // What the project holds replaces the built-in configuration; a value
    // the radio refuses keeps it, so a bad Radio ID keeps the section's.
    configureDefaults(radio, id, mode != "Slave" && mode != "Repeater");

    put(radio, param::groupID, group("Group ID", "0"), "Project: Group ID", warnings);
    put(radio, param::securityID, group("Security ID", "0"), "Project: Security ID", warnings);
    put(radio, param::rfband, group("RF Band", "1"), "Project: RF Band", warnings);
    put(radio, param::flushTime, MhzToRegister(group("Flush Time", "1200")), "Project: Flush Time",
        warnings);
    put(radio, param::reTXBroadcasts, group("ReTXBroadcasts", "Yes") == "Yes" ? "Y" : "N", "",
        warnings);
    put(radio, param::repeaters, group("Repeaters", "No") == "Yes" ? "Y" : "N", "", warnings);
    put(radio, param::fixedN, "N", "", warnings);
    for (int i = 0; i < 12; ++i) {
      std::string mhz = group(kBlockedFreqKeys[i], "");
      put(radio, param::blockedFreq1 + i, MhzToRegister(mhz),
          std::string("Project: ") + kBlockedFreqKeys[i], warnings);
    }

    put(radio, param::radioID, key("Radio ID", std::to_string(id)), where("Radio ID"), warnings);
    put(radio, param::radioMode,
        mode == "Slave"      ? "S"
        : mode == "Repeater" ? "R"
                             : "M",
        "", warnings);
    bool roams = key("Roaming", "Yes") == "Yes";
    std::string masterID = key("Master ID", "0");
    put(radio, param::roaming, roams ? "Y" : "N", "", warnings);
    put(radio, param::masterID, masterID, where("Master ID"), warnings);
    if (model != 2) {
      put(radio, param::masterLock, roams || mode != "Slave" ? "0" : masterID, where("Master ID"),
          warnings);
    }
    put(radio, param::retries, key("Retries", "10"), where("Retries"), warnings);
    std::string routing = key("Auto-Routing", "Disable");
    put(radio, param::protocol, std::to_string(itemOf(kAutoRoutingTexts, routing, 1)), "",
        warnings);
    bool character = key("Buffer Mode", "Character") == "Character";
    put(radio, param::bufferMode, model == 2 ? (character ? "0" : "1") : (character ? "C" : "P"),
        "", warnings);

    if (model == 0) {
      std::string emu = key("Emulation Mode", "No Emulation (Radio Only)");
      put(radio, param::emulationMode, std::to_string(itemOf(kEmulationModeTexts, emu, 3)), "",
          warnings);
      std::string port = key("Main Serial Port", "RS232");
      if (port.size() == 5 && port.compare(0, 2, "RS") == 0) port = port.substr(2);
      put(radio, param::mainSerialPort, port, where("Main Serial Port"), warnings);
      std::string sleep = key("Sleep Mode", "Off");
      put(radio, param::sleepMode, std::to_string(itemOf(kSleepModeTexts, sleep, 2)), "", warnings);
      put(radio, param::plcAddress, key("PLC Address", "0"), where("PLC Address"), warnings);
      put(radio, param::startTime, key("Start Time", "06:00"), where("Start Time"), warnings);
      put(radio, param::onTimer, key("Radio ON Time", "10"), where("Radio ON Time"), warnings);
      put(radio, param::offTimer, key("Radio OFF Time", "100"), where("Radio OFF Time"), warnings);
    }

    put(radio, param::baudRate, key("Baud rate", "9600"), where("Baud rate"), warnings);
    put(radio, param::dataBits, ini.readInteger(S, "Data Bits", 8) == 8 ? "8" : "7", "", warnings);
    put(radio, param::stopBits, ini.readInteger(S, "Stop Bits", 1) == 1 ? "1" : "2", "", warnings);
    std::string parity = key("Parity", "None");
    put(radio, param::parity, parity == "None" ? "N" : parity == "Even" ? "E" : "O", "", warnings);
    bool hardware = key("Handshaking", "No") != "No";
    put(radio, param::handShaking, model == 2 ? (hardware ? "1" : "0") : (hardware ? "H" : "N"), "",
        warnings);

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
  auto yesNo = [](const std::string& v) { return v == "Y" ? "Yes" : "No"; };
  auto saved = [](const SimRadio& r, int code) {
    int reg = regOf(r.model(), code);
    return reg < 0 ? std::string() : r.saved(reg);
  };

  const SimRadio& local = group.radios()[group.localIndex()];
  const std::string P = kProjectSection;
  write(P, "Group ID", saved(local, param::groupID));
  write(P, "Security ID", saved(local, param::securityID));
  write(P, "RF Band", saved(local, param::rfband));
  write(P, "Flush Time", FlushTimeFromRegister(saved(local, param::flushTime)));
  write(P, "ReTXBroadcasts", yesNo(saved(local, param::reTXBroadcasts)));
  write(P, "Repeaters", yesNo(saved(local, param::repeaters)));
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
    std::string mode = saved(r, param::radioMode);
    std::string roaming = saved(r, param::roaming);
    std::string masterID = r.model() == 2 || roaming == "Y" ? r.saved(kAttachedMasterReg)
                                                            : saved(r, param::masterLock);
    if (masterID.empty() || masterID == "0") masterID = r.saved(kAttachedMasterReg);
    std::string routing = saved(r, param::protocol);
    std::string buffer = saved(r, param::bufferMode);
    write(S, "Radio ID", std::to_string(id));
    write(S, "Radio Name", r.name());
    write(S, "Radio Mode", kRadioModeTexts[mode == "M" ? 0 : mode == "R" ? 2 : 1]);
    write(S, "Roaming", yesNo(roaming));
    write(S, "Master ID", masterID);
    write(S, "Retries", saved(r, param::retries));
    write(S, "Auto-Routing", kAutoRoutingTexts[routing == "0" ? 0 : routing == "1" ? 1 : 2]);
    write(S, "Buffer Mode", buffer == "C" || buffer == "0" ? "Character" : "Packet");
    write(S, brand.modelKey, brand.names[r.model()]);
    if (r.model() == 0) {
      long emu = 0, sleep = 0;
      parseSmallNumber(saved(r, param::emulationMode), emu);
      parseSmallNumber(saved(r, param::sleepMode), sleep);
      write(S, "Emulation Mode", kEmulationModeTexts[emu >= 0 && emu <= 3 ? emu : 0]);
      write(S, "Main Serial Port", saved(r, param::mainSerialPort));
      write(S, "Sleep Mode", kSleepModeTexts[sleep >= 0 && sleep <= 2 ? sleep : 0]);
      write(S, "PLC Address", saved(r, param::plcAddress));
      write(S, "Start Time", saved(r, param::startTime));
      write(S, "Radio ON Time", saved(r, param::onTimer));
      write(S, "Radio OFF Time", saved(r, param::offTimer));
    } else if (ok && !ini.deleteKey(S, "Emulation Mode")) {
      ok = false;
    }
    std::string parity = saved(r, param::parity);
    std::string hs = saved(r, param::handShaking);
    write(S, "Baud rate", shownBaud(saved(r, param::baudRate)));
    write(S, "Data Bits", saved(r, param::dataBits));
    write(S, "Stop Bits", saved(r, param::stopBits));
    write(S, "Parity", kParityTexts[parity == "E" ? 0 : parity == "O" ? 1 : 2]);
    write(S, "Handshaking", hs == "H" || hs == "1" ? "Yes" : "No");
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
