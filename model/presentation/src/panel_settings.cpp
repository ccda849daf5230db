#include "model/panel_settings.h"

#include <type_traits>

#include "model/catalogue.h"
#include "model/panel.h"
#include "model/parameter_table.h"
#include "model/radio_codec.h"

namespace tessel {

RadioSettings settingsOfPanel(const Panel& panel) {
  RadioSettings s;
  s.model = panel.itemIndex(ctl::radioType);
  s.radioID = panel.text(ctl::radioID);
  s.name = panel.text(ctl::radioName);
  s.radioMode = panel.itemIndex(ctl::radioMode);
  s.roaming = panel.itemIndex(ctl::roaming);
  s.masterID = panel.text(ctl::masterID);
  s.retries = panel.text(ctl::retries);
  s.protocol = panel.itemIndex(ctl::protocol);
  s.bufferMode = panel.itemIndex(ctl::bufferMode);
  s.emulationMode = panel.itemIndex(ctl::emulationMode);
  s.mainSerialPort = panel.text(ctl::mainSerialPort);
  s.sleepMode = panel.itemIndex(ctl::sleepMode);
  s.plcAddress = panel.text(ctl::plcAddress);
  s.startTime = panel.text(ctl::startTime);
  s.onTimer = panel.text(ctl::onTimer);
  s.offTimer = panel.text(ctl::offTimer);
  s.currentTime = panel.text(ctl::currentTime);
  s.baudRate = baudRateOf(panel.text(ctl::baudRate));
  s.dataBits = panel.itemIndex(ctl::dataBits);
  s.stopBits = panel.itemIndex(ctl::stopBits);
  s.parity = panel.itemIndex(ctl::parity);
  s.handShaking = panel.itemIndex(ctl::handShaking);
  GroupSettings& g = s.group;
  g.groupID = panel.text(ctl::groupID);
  g.securityID = panel.text(ctl::securityID);
  g.rfband = panel.text(ctl::rfband);
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
using RadioItem = Shown<RadioSettings, int>;
using GroupText = Shown<GroupSettings, std::string>;
using GroupItem = Shown<GroupSettings, int>;

const RadioText kRadioTexts[] = {
    {param::radioID, &ctl::radioID, &RadioSettings::radioID},
    {param::masterLock, &ctl::masterID, &RadioSettings::masterID},
    {param::masterID, &ctl::masterID, &RadioSettings::masterID},
    {param::retries, &ctl::retries, &RadioSettings::retries},
    {param::plcAddress, &ctl::plcAddress, &RadioSettings::plcAddress},
    {param::currentTime, &ctl::currentTime, &RadioSettings::currentTime},
    {param::startTime, &ctl::startTime, &RadioSettings::startTime},
    {param::onTimer, &ctl::onTimer, &RadioSettings::onTimer},
    {param::offTimer, &ctl::offTimer, &RadioSettings::offTimer},
};
const RadioItem kRadioItems[] = {
    {param::radioMode, &ctl::radioMode, &RadioSettings::radioMode},
    {param::roaming, &ctl::roaming, &RadioSettings::roaming},
    {param::dataBits, &ctl::dataBits, &RadioSettings::dataBits},
    {param::stopBits, &ctl::stopBits, &RadioSettings::stopBits},
    {param::parity, &ctl::parity, &RadioSettings::parity},
    {param::handShaking, &ctl::handShaking, &RadioSettings::handShaking},
    {param::protocol, &ctl::protocol, &RadioSettings::protocol},
    {param::bufferMode, &ctl::bufferMode, &RadioSettings::bufferMode},
    {param::emulationMode, &ctl::emulationMode, &RadioSettings::emulationMode},
    {param::sleepMode, &ctl::sleepMode, &RadioSettings::sleepMode},
};
const GroupText kGroupTexts[] = {
    {param::groupID, &ctl::groupID, &GroupSettings::groupID},
    {param::securityID, &ctl::securityID, &GroupSettings::securityID},
    {param::rfband, &ctl::rfband, &GroupSettings::rfband},
};
const GroupItem kGroupItems[] = {
    {param::repeaters, &ctl::repeaters, &GroupSettings::repeaters},
    {param::reTXBroadcasts, &ctl::reTXBroadcasts, &GroupSettings::reTXBroadcasts},
};

// Shows the field of s that a row of table gives for code: true when one did.
template <typename Settings, typename Field, size_t N>
bool showFrom(Panel& panel, const Shown<Settings, Field> (&table)[N], const Settings& s, int code) {
  for (const auto& row : table) {
    if (row.code != code) continue;
    if constexpr (std::is_same_v<Field, int>) {
      panel.setItemIndex(*row.control, s.*row.field);
    } else {
      panel.setText(*row.control, s.*row.field);
    }
    return true;
  }
  return false;
}

}  // namespace

void showParameter(Panel& panel, const RadioSettings& s, int code) {
  if (showFrom(panel, kRadioTexts, s, code) || showFrom(panel, kRadioItems, s, code) ||
      showFrom(panel, kGroupTexts, s.group, code) || showFrom(panel, kGroupItems, s.group, code))
    return;
  if (code == param::flushTime) {
    panel.setText(ctl::flushTime, codec::flushTimeText(s.group.flushTime));
  } else if (code == param::mainSerialPort) {
    panel.setText(ctl::mainSerialPort, codec::serialPortNumber(s.mainSerialPort));
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
