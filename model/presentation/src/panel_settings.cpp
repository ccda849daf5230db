#include "model/panel_settings.h"

#include "model/catalogue.h"
#include "model/panel.h"
#include "model/parameter_table.h"
#include "model/project_keys.h"
#include "model/radio_codec.h"

namespace tessel {

RadioSettings settingsOfPanel(const Panel& panel) {
  RadioSettings s;
  s.model = panel.itemIndex(ctl::radioType);
  s.radioID = codec::numberOfText(panel.text(ctl::radioID));
  s.name = panel.text(ctl::radioName);
  s.radioMode = panel.itemIndex(ctl::radioMode);
  s.roaming = panel.itemIndex(ctl::roaming);
  s.masterID = codec::numberOfText(panel.text(ctl::masterID));
  s.retries = codec::numberOfText(panel.text(ctl::retries));
  s.protocol = panel.itemIndex(ctl::protocol);
  s.bufferMode = panel.itemIndex(ctl::bufferMode);
  s.emulationMode = panel.itemIndex(ctl::emulationMode);
  s.mainSerialPort = codec::serialPortNumber(panel.text(ctl::mainSerialPort));
  s.sleepMode = panel.itemIndex(ctl::sleepMode);
  s.plcAddress = codec::numberOfText(panel.text(ctl::plcAddress));
  s.startTime = panel.text(ctl::startTime);
  s.onTimer = codec::numberOfText(panel.text(ctl::onTimer));
  s.offTimer = codec::numberOfText(panel.text(ctl::offTimer));
  s.currentTime = panel.text(ctl::currentTime);
  s.baudRate = baudRateOf(panel.text(ctl::baudRate));
  s.dataBits = codec::bitsOfItem(radiokey::dataBits, panel.itemIndex(ctl::dataBits));
  s.stopBits = codec::bitsOfItem(radiokey::stopBits, panel.itemIndex(ctl::stopBits));
  s.parity = panel.itemIndex(ctl::parity);
  s.handShaking = panel.itemIndex(ctl::handShaking);
  GroupSettings& g = s.group;
  g.groupID = codec::numberOfText(panel.text(ctl::groupID));
  g.securityID = codec::numberOfText(panel.text(ctl::securityID));
  g.rfband = codec::numberOfText(panel.text(ctl::rfband));
  g.flushTime = codec::tenthsOfText(panel.text(ctl::flushTime));
  g.reTXBroadcasts = panel.itemIndex(ctl::reTXBroadcasts);
  g.repeaters = panel.itemIndex(ctl::repeaters);
  for (int i = 0; i < kBlockedFreqCount; ++i)
    g.blocked[i] = codec::blockedOfText(panel.blockedValues[i]);
  return s;
}

namespace {

// The controls that show one parameter each, by the settings field they show.
template <typename Settings, typename Field>
struct Shown {
  int code;
  const std::string* control;
  Field Settings::*field;
};
using RadioText = Shown<RadioSettings, std::string>;
using RadioNumber = Shown<RadioSettings, int>;
using RadioItem = Shown<RadioSettings, int>;
using GroupNumber = Shown<GroupSettings, int>;
using GroupItem = Shown<GroupSettings, int>;

const RadioText kRadioTexts[] = {
    {param::currentTime, &ctl::currentTime, &RadioSettings::currentTime},
    {param::startTime, &ctl::startTime, &RadioSettings::startTime},
};
const RadioNumber kRadioNumbers[] = {
    {param::radioID, &ctl::radioID, &RadioSettings::radioID},
    {param::masterLock, &ctl::masterID, &RadioSettings::masterID},
    {param::masterID, &ctl::masterID, &RadioSettings::masterID},
    {param::retries, &ctl::retries, &RadioSettings::retries},
    {param::plcAddress, &ctl::plcAddress, &RadioSettings::plcAddress},
    {param::mainSerialPort, &ctl::mainSerialPort, &RadioSettings::mainSerialPort},
    {param::onTimer, &ctl::onTimer, &RadioSettings::onTimer},
    {param::offTimer, &ctl::offTimer, &RadioSettings::offTimer},
};
const RadioItem kRadioItems[] = {
    {param::radioMode, &ctl::radioMode, &RadioSettings::radioMode},
    {param::roaming, &ctl::roaming, &RadioSettings::roaming},
    {param::parity, &ctl::parity, &RadioSettings::parity},
    {param::handShaking, &ctl::handShaking, &RadioSettings::handShaking},
    {param::protocol, &ctl::protocol, &RadioSettings::protocol},
    {param::bufferMode, &ctl::bufferMode, &RadioSettings::bufferMode},
    {param::emulationMode, &ctl::emulationMode, &RadioSettings::emulationMode},
    {param::sleepMode, &ctl::sleepMode, &RadioSettings::sleepMode},
};
const GroupNumber kGroupNumbers[] = {
    {param::groupID, &ctl::groupID, &GroupSettings::groupID},
    {param::securityID, &ctl::securityID, &GroupSettings::securityID},
    {param::rfband, &ctl::rfband, &GroupSettings::rfband},
};
const GroupItem kGroupItems[] = {
    {param::repeaters, &ctl::repeaters, &GroupSettings::repeaters},
    {param::reTXBroadcasts, &ctl::reTXBroadcasts, &GroupSettings::reTXBroadcasts},
};

// Shows, with show, the field of s that a row of table gives for code: true
// when one did.
template <typename Settings, typename Field, size_t N, typename Show>
bool showFrom(const Shown<Settings, Field> (&table)[N], const Settings& s, int code, Show show) {
  for (const auto& row : table) {
    if (row.code != code) continue;
    show(*row.control, s.*row.field);
    return true;
  }
  return false;
}

}  // namespace

void showParameter(Panel& panel, const RadioSettings& s, int code) {
  auto text = [&](const std::string& c, const std::string& t) { panel.setText(c, t); };
  auto number = [&](const std::string& c, int n) { panel.setText(c, codec::numberText(n)); };
  auto item = [&](const std::string& c, int i) { panel.setItemIndex(c, i); };
  if (showFrom(kRadioTexts, s, code, text) || showFrom(kRadioNumbers, s, code, number) ||
      showFrom(kRadioItems, s, code, item) || showFrom(kGroupNumbers, s.group, code, number) ||
      showFrom(kGroupItems, s.group, code, item))
    return;
  if (code == param::flushTime) {
    panel.setText(ctl::flushTime, codec::flushTimeText(s.group.flushTime));
  } else if (code == param::dataBits || code == param::stopBits) {
    const ProjectKey& k = code == param::dataBits ? radiokey::dataBits : radiokey::stopBits;
    panel.setItemIndex(code == param::dataBits ? ctl::dataBits : ctl::stopBits,
                       codec::itemOfBits(k, code == param::dataBits ? s.dataBits : s.stopBits));
  } else if (code == param::baudRate) {
    // A rate the selector does not list leaves it as it is.
    const std::string rate = shownBaudRate(baudRateText(s.baudRate));
    for (const std::string& entry : panel.items(ctl::baudRate)) {
      if (entry == rate) panel.setText(ctl::baudRate, rate);
    }
  } else if (code >= param::blockedFreq1 && code <= param::blockedFreq12) {
    panel.blockedValues[code - param::blockedFreq1] =
        codec::blockedText(s.group.blocked[code - param::blockedFreq1]);
  }
}

void showOnPanel(Panel& panel, const RadioSettings& s) {
  panel.setItemIndex(ctl::radioType, s.model);
  for (const Parameter& p : parameterTable()) {
    // The lock shows in the master ID's field.
    if (p.code != param::masterLock) showParameter(panel, s, p.code);
  }
  panel.setText(ctl::radioName, s.name);
}

}  // namespace tessel
