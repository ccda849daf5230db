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
  s.radioMode = choiceOf<RadioMode>(panel.itemIndex(ctl::radioMode));
  s.roaming = choiceOf<Roaming>(panel.itemIndex(ctl::roaming));
  s.masterID = codec::numberOfText(panel.text(ctl::masterID));
  s.retries = codec::numberOfText(panel.text(ctl::retries));
  s.protocol = choiceOf<AutoRouting>(panel.itemIndex(ctl::protocol));
  s.bufferMode = choiceOf<BufferMode>(panel.itemIndex(ctl::bufferMode));
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
  s.parity = choiceOf<Parity>(panel.itemIndex(ctl::parity));
  s.handShaking = choiceOf<Handshake>(panel.itemIndex(ctl::handShaking));
  GroupSettings& g = s.group;
  g.groupID = codec::numberOfText(panel.text(ctl::groupID));
  g.securityID = codec::numberOfText(panel.text(ctl::securityID));
  g.rfband = codec::numberOfText(panel.text(ctl::rfband));
  g.flushTime = codec::tenthsOfText(panel.text(ctl::flushTime));
  g.reTXBroadcasts = choiceOf<YesNo>(panel.itemIndex(ctl::reTXBroadcasts));
  g.repeaters = choiceOf<YesNo>(panel.itemIndex(ctl::repeaters));
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
using GroupNumber = Shown<GroupSettings, int>;

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
const GroupNumber kGroupNumbers[] = {
    {param::groupID, &ctl::groupID, &GroupSettings::groupID},
    {param::securityID, &ctl::securityID, &GroupSettings::securityID},
    {param::rfband, &ctl::rfband, &GroupSettings::rfband},
};
// The choices, by the item their value is.
struct ShownChoice {
  int code;
  const std::string* control;
  int (*item)(const RadioSettings&);
};
const ShownChoice kChoices[] = {
    {param::radioMode, &ctl::radioMode, [](const RadioSettings& s) { return itemOf(s.radioMode); }},
    {param::roaming, &ctl::roaming, [](const RadioSettings& s) { return itemOf(s.roaming); }},
    {param::parity, &ctl::parity, [](const RadioSettings& s) { return itemOf(s.parity); }},
    {param::handShaking, &ctl::handShaking,
     [](const RadioSettings& s) { return itemOf(s.handShaking); }},
    {param::protocol, &ctl::protocol, [](const RadioSettings& s) { return itemOf(s.protocol); }},
    {param::bufferMode, &ctl::bufferMode,
     [](const RadioSettings& s) { return itemOf(s.bufferMode); }},
    {param::emulationMode, &ctl::emulationMode,
     [](const RadioSettings& s) { return s.emulationMode; }},
    {param::sleepMode, &ctl::sleepMode, [](const RadioSettings& s) { return s.sleepMode; }},
    {param::repeaters, &ctl::repeaters,
     [](const RadioSettings& s) { return itemOf(s.group.repeaters); }},
    {param::reTXBroadcasts, &ctl::reTXBroadcasts,
     [](const RadioSettings& s) { return itemOf(s.group.reTXBroadcasts); }},
    {param::dataBits, &ctl::dataBits,
     [](const RadioSettings& s) { return codec::itemOfBits(radiokey::dataBits, s.dataBits); }},
    {param::stopBits, &ctl::stopBits,
     [](const RadioSettings& s) { return codec::itemOfBits(radiokey::stopBits, s.stopBits); }},
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
  if (showFrom(kRadioTexts, s, code, text) || showFrom(kRadioNumbers, s, code, number) ||
      showFrom(kGroupNumbers, s.group, code, number))
    return;
  for (const ShownChoice& c : kChoices) {
    if (c.code != code) continue;
    panel.setItemIndex(*c.control, c.item(s));
    return;
  }
  if (code == param::flushTime) {
    panel.setText(ctl::flushTime, codec::flushTimeText(s.group.flushTime));
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
