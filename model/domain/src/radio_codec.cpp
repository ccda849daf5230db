#include "model/radio_codec.h"

#include <charconv>
#include <type_traits>

#include "model/ini_file.h"
#include "model/parameter_table.h"
#include "model/project_keys.h"
#include "model/text.h"

namespace tessel {

bool GroupSettings::operator==(const GroupSettings& o) const {
  return groupID == o.groupID && securityID == o.securityID && rfband == o.rfband &&
         flushTime == o.flushTime && reTXBroadcasts == o.reTXBroadcasts &&
         repeaters == o.repeaters && blocked == o.blocked;
}

bool RadioSettings::operator==(const RadioSettings& o) const {
  return model == o.model && radioID == o.radioID && name == o.name && radioMode == o.radioMode &&
         roaming == o.roaming && masterID == o.masterID && retries == o.retries &&
         protocol == o.protocol && bufferMode == o.bufferMode && emulationMode == o.emulationMode &&
         mainSerialPort == o.mainSerialPort && sleepMode == o.sleepMode &&
         plcAddress == o.plcAddress && startTime == o.startTime && onTimer == o.onTimer &&
         offTimer == o.offTimer && currentTime == o.currentTime && baudRate == o.baudRate &&
         dataBits == o.dataBits && stopBits == o.stopBits && parity == o.parity &&
         handShaking == o.handShaking && group == o.group;
}

std::string IniSections::readString(const std::string& section, const std::string& key,
                                    const std::string& def) const {
  return file_.readString(section, key, def);
}

int IniSections::readInteger(const std::string& section, const std::string& key, int def) const {
  return file_.readInteger(section, key, def);
}

bool IniSections::writeString(const std::string& section, const std::string& key,
                              const std::string& value) {
  return file_.writeString(section, key, value);
}

bool IniSections::writeInteger(const std::string& section, const std::string& key, int value) {
  return file_.writeInteger(section, key, value);
}

bool IniSections::deleteKey(const std::string& section, const std::string& key) {
  return file_.deleteKey(section, key);
}

namespace codec {

namespace {

// Whether a number reply lies in the parameter's range.
bool inRange(int param, int value) {
  const Parameter& p = parameterOf(param);
  return value >= p.lo && value <= p.hi;
}

std::string digitOf(int index) {
  return index >= 0 ? std::to_string(index) : std::string();
}

bool isBlocked(int param) {
  return param >= param::blockedFreq1 && param <= param::blockedFreq12;
}

// A choice as the item of its key, and back: an enumeration's number, or
// the mode a register holds as a number.
template <typename Choice>
int indexOf(Choice c) {
  if constexpr (std::is_enum_v<Choice>) {
    return itemOf(c);
  } else {
    return c;
  }
}
template <typename Choice>
Choice fromIndex(int index) {
  if constexpr (std::is_enum_v<Choice>) {
    return choiceOf<Choice>(index);
  } else {
    return index;
  }
}

// Keeps a choice when the reply names one.
template <typename Choice>
bool takeItem(Choice& field, const ProjectKey& key, const std::string& text) {
  const int index = itemOfRegisterText(key, text);
  if (index < 0) return false;
  field = fromIndex<Choice>(index);
  return true;
}

// Keeps a number reply inside lo..hi as an item, counted from lo.
bool takeRange(int& field, int value, int lo, int hi) {
  if (value < lo || value > hi) return false;
  field = value - lo;
  return true;
}

bool takeText(std::string& field, const std::string& text) {
  field = text;
  return true;
}

// Keeps a reply that is a number.
bool takeNumber(int& field, const std::string& text) {
  const int n = numberOfText(text);
  if (n == kNoNumber) return false;
  field = n;
  return true;
}

// Keeps a bits reply that is one of the key's.
bool takeBits(int& field, const ProjectKey& key, const std::string& text) {
  const int index = itemOfRegisterText(key, text);
  if (index < 0) return false;
  field = bitsOfItem(key, index);
  return true;
}

int readNumber(const ProjectSections& file, const std::string& section, const ProjectKey& key) {
  return numberOfText(file.readString(section, key.name, key.def));
}

std::string readText(const ProjectSections& file, const std::string& section,
                     const ProjectKey& key) {
  return file.readString(section, key.name, key.def);
}

int readItem(const ProjectSections& file, const std::string& section, const ProjectKey& key) {
  return itemOfFileText(key, readText(file, section, key));
}

// A choice as the file stores it; one with no item and no fallback text is
// left out.
bool writeItem(ProjectSections& file, const std::string& section, const ProjectKey& key, int item) {
  const std::string text = fileTextOf(key, item);
  return text.empty() || file.writeString(section, key.name, text);
}

// The bits are stored as numbers; a number that is none of the key's (or no
// number) is written as the one the key writes for no item.
bool writeBits(ProjectSections& file, const std::string& section, const ProjectKey& key, int bits) {
  return file.writeInteger(section, key.name, bitsOfItem(key, itemOfBits(key, bits)));
}

int readBits(const ProjectSections& file, const std::string& section, const ProjectKey& key) {
  const int n = file.readInteger(section, key.name, std::stoi(key.def));
  return bitsOfItem(key, itemOfFileText(key, std::to_string(n)));
}

}  // namespace

std::optional<std::string> sameInBothForms(const RadioSettings& s, int param) {
  const GroupSettings& g = s.group;
  switch (param) {
    case param::groupID:
      return numberText(g.groupID);
    case param::securityID:
      return numberText(g.securityID);
    case param::rfband:
      return numberText(g.rfband);
    case param::radioID:
      return numberText(s.radioID);
    case param::masterID:
      return numberText(s.masterID);
    case param::retries:
      return numberText(s.retries);
    case param::plcAddress:
      return numberText(s.plcAddress);
    case param::currentTime:
      return s.currentTime;
    case param::startTime:
      return s.startTime;
    case param::onTimer:
      return numberText(s.onTimer);
    case param::offTimer:
      return numberText(s.offTimer);
    case param::baudRate:
      return baudRateText(s.baudRate);
    case param::mainSerialPort:
      return numberText(s.mainSerialPort);
    case param::dataBits:
      return numberText(s.dataBits);
    case param::stopBits:
      return numberText(s.stopBits);
    default:
      return std::nullopt;
  }
}

std::string registerText(const RadioSettings& s, int param, bool numeric) {
  if (std::optional<std::string> text = sameInBothForms(s, param)) return *text;
  const GroupSettings& g = s.group;
  switch (param) {
    case param::radioIdentity:
      return "ERROR";
    case param::radioMode:
      return registerTextOf(radiokey::radioMode, itemOf(s.radioMode), numeric);
    case param::repeaters:
      return registerTextOf(groupkey::repeaters, itemOf(g.repeaters), numeric);
    case param::reTXBroadcasts:
      return registerTextOf(groupkey::reTXBroadcasts, itemOf(g.reTXBroadcasts), numeric);
    case param::roaming:
      return registerTextOf(radiokey::roaming, itemOf(s.roaming), numeric);
    case param::masterLock:
      return s.roaming == Roaming::masterID ? numberText(s.masterID) : "0";
    case param::fixedN:
      return "N";
    // Status registers are never written; an emulated radio reports fixed
    // readings so that a monitor on the other end gets an answer.
    case param::rssi:
      return "-99";
    case param::supplyVolts:
      return "33";
    case param::temperature:
      return "37";
    case param::flushTime:
      // No number goes out as 0, as it always did.
      return std::to_string(g.flushTime < 0 ? 0 : g.flushTime);
    case param::parity:
      return registerTextOf(radiokey::parity, itemOf(s.parity), numeric);
    case param::handShaking:
      return registerTextOf(radiokey::handshaking, itemOf(s.handShaking), numeric);
    case param::protocol:
      return registerTextOf(radiokey::autoRouting, itemOf(s.protocol), numeric);
    case param::bufferMode:
      return registerTextOf(radiokey::bufferMode, itemOf(s.bufferMode), numeric);
    case param::emulationMode:
      if (s.model != 0) return "ERROR";
      return digitOf(s.emulationMode);
    case param::sleepMode:
      return digitOf(s.sleepMode);
    default:
      if (isBlocked(param)) return std::to_string(g.blocked[param - param::blockedFreq1]);
      return "No Radio";
  }
}

bool sendWrites(const RadioSettings& s, const RegisterRow& row) {
  if (row.access <= raReadOnly || row.param < 0) return false;
  const bool master = s.radioMode == RadioMode::master;
  if (master && row.reg == 8) return false;
  if (s.model == 2 && row.param == param::masterID && (s.roaming == Roaming::allowed || master))
    return false;
  return true;
}

std::vector<RegisterText> registerImage(const RadioSettings& s) {
  std::vector<RegisterText> out;
  for (const RegisterRow& row : registerMap(s.model)) {
    if (row.access > raReadOnly && row.param >= 0)
      out.push_back({row.reg, row.param, registerText(s, row.param, s.model == 2)});
  }
  return out;
}

YesNo yesNoOfReply(const std::string& text) {
  return !text.empty() && text[0] == 'N' ? YesNo::no : YesNo::yes;
}

int serialPortNumber(const std::string& text) {
  const std::string t = trimBlanks(text);
  return numberOfText(t.size() > 2 && t.compare(0, 2, "RS") == 0 ? t.substr(2) : t);
}

int numberOfText(const std::string& text) {
  // A point is no part of a number a register takes: a send has always
  // dropped it ("1.0" went out as 10), and so does the reading here.
  std::string digits;
  for (char c : trimBlanks(text))
    if (c != '.') digits += c;
  return smallNumber(digits, 9);
}

std::string numberText(int n) {
  return n < 0 ? std::string() : std::to_string(n);
}

int itemOfBits(const ProjectKey& key, int bits) {
  const std::string text = std::to_string(bits);
  for (int i = 0; i < key.count; ++i)
    if (text == key.texts[i]) return i;
  return -1;
}

int bitsOfItem(const ProjectKey& key, int item) {
  return numberOfText(fileTextOf(key, item));
}

namespace {

// The group's registers: the group ID, security ID, RF band, flush time,
// repeaters, re-broadcast and the blocked frequencies.
bool isGroupRegister(int param) {
  switch (param) {
    case param::groupID:
    case param::securityID:
    case param::repeaters:
    case param::reTXBroadcasts:
    case param::rfband:
    case param::flushTime:
      return true;
    default:
      return isBlocked(param);
  }
}

bool applyGroupRegister(GroupSettings& g, int param, int value, const std::string& text) {
  switch (param) {
    case param::groupID:
      return takeNumber(g.groupID, text);
    case param::securityID:
      return takeNumber(g.securityID, text);
    case param::repeaters:
      g.repeaters = yesNoOfReply(text);
      return true;
    case param::reTXBroadcasts:
      g.reTXBroadcasts = yesNoOfReply(text);
      return true;
    case param::rfband:
      if (!inRange(param, value)) return false;
      g.rfband = value;
      return true;
    case param::flushTime:
      // Whole seconds: the reply's last digit is dropped.
      if (value < 0) return false;
      g.flushTime = value / 10 * 10;
      return true;
    default:
      g.blocked[param - param::blockedFreq1] = value > 899 ? value : 0;
      return true;
  }
}

// The model-E registers (codes from 100 on).
bool applyModelERegister(RadioSettings& s, int param, int value, const std::string& text) {
  switch (param) {
    case param::emulationMode:
      // Only model E has this register.
      s.model = 0;
      takeRange(s.emulationMode, value, 0, radiokey::emulationMode.count - 1);
      return true;
    case param::plcAddress:
      return takeNumber(s.plcAddress, text);
    case param::mainSerialPort:
      return takeNumber(s.mainSerialPort, text);
    case param::sleepMode:
      return takeRange(s.sleepMode, value, 0, radiokey::sleepMode.count - 1);
    case param::currentTime:
      return takeText(s.currentTime, text);
    case param::startTime:
      return takeText(s.startTime, text);
    case param::onTimer:
      return takeNumber(s.onTimer, text);
    case param::offTimer:
      return takeNumber(s.offTimer, text);
    default:
      return false;
  }
}

}  // namespace

bool applyRegister(RadioSettings& s, int param, int value, const std::string& text) {
  if (text.empty()) return false;
  if (isGroupRegister(param)) return applyGroupRegister(s.group, param, value, text);
  if (param >= param::emulationMode) return applyModelERegister(s, param, value, text);
  int number = 0;
  switch (param) {
    case param::radioID:
      if (!parseInt32(text, number) || !inRange(param, number)) return false;
      s.radioID = number;
      return true;
    case param::radioMode:
      return takeItem(s.radioMode, radiokey::radioMode, text);
    case param::roaming:
      return takeItem(s.roaming, radiokey::roaming, text);
    case param::masterLock:
      // Register 8 of a model-2 radio holds its roaming letter.
      if (s.roaming != Roaming::masterID) return false;
      return takeNumber(s.masterID, text);
    case param::masterID:
      // Register 12 of models 0 and 1 names the master a roaming radio is
      // with; a model-2 radio keeps its configured master ID there.
      if (s.roaming != Roaming::allowed && s.model != 2) return false;
      return takeNumber(s.masterID, text);
    case param::retries:
      return takeNumber(s.retries, text);
    case param::baudRate:
      if (value <= 0) return false;
      s.baudRate = value;
      return true;
    case param::dataBits:
      return takeBits(s.dataBits, radiokey::dataBits, text);
    case param::stopBits:
      return takeBits(s.stopBits, radiokey::stopBits, text);
    case param::parity:
      return takeItem(s.parity, radiokey::parity, text);
    case param::handShaking:
      return takeItem(s.handShaking, radiokey::handshaking, text);
    case param::protocol:
      return takeItem(s.protocol, radiokey::autoRouting, text);
    case param::bufferMode:
      return takeItem(s.bufferMode, radiokey::bufferMode, text);
    default:
      return false;  // identification, status, fixed
  }
}

long tenthsOfText(const std::string& text) {
  const std::string t = trimBlanks(text);
  // MhzToRegister reads any decimal text and gives "0" for one that is no
  // number; a zero must really be one.
  const std::string reg = MhzToRegister(t);
  long tenths = 0;
  int n = 0;
  if (!parseInt32(reg, n)) return kNoTenths;
  tenths = n;
  if (tenths < 0) return kNoTenths;
  if (tenths == 0) {
    float value = 1;
    const char* first = t.data();
    const char* last = first + t.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
    if (t.empty() || ec != std::errc() || end != last) return kNoTenths;
  }
  return tenths;
}

std::string flushTimeText(long tenths) {
  if (tenths < 0) return "";
  const std::string whole = std::to_string(tenths / 10);
  return tenths % 10 == 0 ? whole : whole + "." + std::to_string(tenths % 10);
}

std::string blockedText(long tenths) {
  if (tenths <= 0) return "";
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

long blockedOfText(const std::string& text) {
  const long tenths = tenthsOfText(text);
  return tenths < 0 ? 0 : tenths;
}

std::string radioSection(int id) {
  return "Radio" + std::to_string(id);
}

int modelOfName(const std::string& name, const BrandModels& models) {
  if (name == models.names[1]) return 1;
  // A brand without a third model has no name that could match.
  if (*models.names[2] != '\0' && name == models.names[2]) return 2;
  return 0;
}

GroupSettings readGroup(const ProjectSections& file) {
  GroupSettings g;
  auto text = [&](const ProjectKey& k) { return readText(file, kProjectSection, k); };
  g.groupID = readNumber(file, kProjectSection, groupkey::groupID);
  g.securityID = readNumber(file, kProjectSection, groupkey::securityID);
  g.rfband = readNumber(file, kProjectSection, groupkey::rfband);
  g.flushTime = tenthsOfText(text(groupkey::flushTime));
  g.reTXBroadcasts = choiceOf<YesNo>(readItem(file, kProjectSection, groupkey::reTXBroadcasts));
  g.repeaters = choiceOf<YesNo>(readItem(file, kProjectSection, groupkey::repeaters));
  for (int i = 0; i < kBlockedFreqCount; ++i)
    g.blocked[i] =
        blockedOfText(file.readString(kProjectSection, kBlockedFreqKeys[i], kBlockedFreqDefault));
  return g;
}

bool writeGroup(ProjectSections& file, const GroupSettings& g) {
  bool ok = true;
  // In the order the section lists them.
  for (const ProjectKey* k : groupKeys()) {
    if (k == &groupkey::reTXBroadcasts || k == &groupkey::repeaters) {
      const YesNo value = k == &groupkey::repeaters ? g.repeaters : g.reTXBroadcasts;
      ok = file.writeString(kProjectSection, k->name, fileTextOf(*k, itemOf(value))) && ok;
      continue;
    }
    const std::string text = k == &groupkey::groupID      ? numberText(g.groupID)
                             : k == &groupkey::securityID ? numberText(g.securityID)
                             : k == &groupkey::rfband     ? numberText(g.rfband)
                                                          : flushTimeText(g.flushTime);
    ok = file.writeString(kProjectSection, k->name, text) && ok;
  }
  return ok;
}

bool writeBlocked(ProjectSections& file, const GroupSettings& g) {
  bool ok = true;
  for (int i = 0; i < kBlockedFreqCount; ++i)
    ok = file.writeString(kProjectSection, kBlockedFreqKeys[i], blockedText(g.blocked[i])) && ok;
  return ok;
}

RadioSettings readRadio(const ProjectSections& file, int slot, const BrandModels& models) {
  RadioSettings s;
  const std::string sec = radioSection(slot);
  auto text = [&](const ProjectKey& k) { return readText(file, sec, k); };
  auto chosen = [&](auto& field, const ProjectKey& k) {
    field = fromIndex<std::decay_t<decltype(field)>>(readItem(file, sec, k));
  };
  auto number = [&](const ProjectKey& k) { return readNumber(file, sec, k); };
  using namespace radiokey;
  s.radioID = numberOfText(file.readString(sec, radioID.name, std::to_string(slot)));
  s.name = text(radioName);
  chosen(s.radioMode, radioMode);
  chosen(s.roaming, roaming);
  s.masterID = number(masterID);
  s.retries = number(retries);
  chosen(s.protocol, autoRouting);
  chosen(s.bufferMode, bufferMode);
  s.model = modelOfName(file.readString(sec, models.modelKey, models.names[1]), models);
  if (s.model == 0) {
    chosen(s.emulationMode, emulationMode);
    s.mainSerialPort = serialPortNumber(text(mainSerialPort));
    chosen(s.sleepMode, sleepMode);
    s.plcAddress = number(plcAddress);
    s.startTime = text(startTime);
    s.onTimer = number(onTimer);
    s.offTimer = number(offTimer);
  }
  s.baudRate = baudRateOf(text(baudRate));
  s.dataBits = readBits(file, sec, dataBits);
  s.stopBits = readBits(file, sec, stopBits);
  chosen(s.parity, parity);
  chosen(s.handShaking, handshaking);
  return s;
}

std::vector<std::pair<std::string, std::string>> fileTexts(const RadioSettings& s,
                                                           const BrandModels& models) {
  std::vector<std::pair<std::string, std::string>> out;
  auto text = [&](const ProjectKey& k, const std::string& t) {
    out.emplace_back(k.name, trimBlanks(t));
  };
  auto choice = [&](const ProjectKey& k, auto value) {
    out.emplace_back(k.name, fileTextOf(k, indexOf(value)));
  };
  const GroupSettings& g = s.group;
  using namespace radiokey;
  text(groupkey::groupID, numberText(g.groupID));
  text(groupkey::securityID, numberText(g.securityID));
  text(groupkey::rfband, numberText(g.rfband));
  text(groupkey::flushTime, flushTimeText(g.flushTime));
  choice(groupkey::reTXBroadcasts, g.reTXBroadcasts);
  choice(groupkey::repeaters, g.repeaters);
  text(radioID, numberText(s.radioID));
  text(radioName, s.name);
  choice(radioMode, s.radioMode);
  choice(roaming, s.roaming);
  text(masterID, numberText(s.masterID));
  text(retries, numberText(s.retries));
  choice(autoRouting, s.protocol);
  choice(bufferMode, s.bufferMode);
  out.emplace_back(models.modelKey,
                   s.model >= 0 && s.model < models.modelCount ? models.names[s.model] : "");
  if (s.model == 0) {
    choice(emulationMode, s.emulationMode);
    text(mainSerialPort, numberText(s.mainSerialPort));
    choice(sleepMode, s.sleepMode);
    text(plcAddress, numberText(s.plcAddress));
    text(startTime, s.startTime);
    text(onTimer, numberText(s.onTimer));
    text(offTimer, numberText(s.offTimer));
  }
  text(baudRate, baudRateText(s.baudRate));
  choice(dataBits, itemOfBits(dataBits, s.dataBits));
  choice(stopBits, itemOfBits(stopBits, s.stopBits));
  choice(parity, s.parity);
  choice(handshaking, s.handShaking);
  for (size_t i = 0; i < g.blocked.size(); ++i)
    out.emplace_back("Blocked MHz " + std::to_string(i + 1), blockedText(g.blocked[i]));
  return out;
}

bool writeRadio(ProjectSections& file, int slot, const RadioSettings& s,
                const BrandModels& models) {
  const std::string sec = radioSection(slot);
  bool ok = true;
  auto put = [&](const ProjectKey& k, const std::string& text) {
    ok = file.writeString(sec, k.name, text) && ok;
  };
  auto choose = [&](const ProjectKey& k, auto value) {
    ok = writeItem(file, sec, k, indexOf(value)) && ok;
  };
  using namespace radiokey;
  put(radioID, numberText(s.radioID));
  put(radioName, s.name);
  choose(radioMode, s.radioMode);
  choose(roaming, s.roaming);
  put(masterID, numberText(s.masterID));
  put(retries, numberText(s.retries));
  choose(autoRouting, s.protocol);
  choose(bufferMode, s.bufferMode);
  if (s.model == 0) {
    ok = file.writeString(sec, models.modelKey, models.names[0]) && ok;
    choose(emulationMode, s.emulationMode);
    put(mainSerialPort, numberText(s.mainSerialPort));
    choose(sleepMode, s.sleepMode);
    put(plcAddress, numberText(s.plcAddress));
    put(startTime, s.startTime);
    put(onTimer, numberText(s.onTimer));
    put(offTimer, numberText(s.offTimer));
  } else if (s.model > 0 && s.model < models.modelCount) {
    ok = file.writeString(sec, models.modelKey, models.names[s.model]) && ok;
    ok = file.deleteKey(sec, emulationMode.name) && ok;
  }
  // As the selector shows it, padded: one radio, one file form.
  put(baudRate, shownBaudRate(baudRateText(s.baudRate)));
  ok = writeBits(file, sec, dataBits, s.dataBits) && ok;
  ok = writeBits(file, sec, stopBits, s.stopBits) && ok;
  put(parity, fileTextOf(parity, itemOf(s.parity)));
  put(handshaking, fileTextOf(handshaking, itemOf(s.handShaking)));
  return ok;
}

}  // namespace codec
}  // namespace tessel
