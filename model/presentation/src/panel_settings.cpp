#include "model/panel_settings.h"

#include "model/panel.h"

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
  s.baudRate = panel.text(ctl::baudRate);
  s.dataBits = panel.itemIndex(ctl::dataBits);
  s.stopBits = panel.itemIndex(ctl::stopBits);
  s.parity = panel.itemIndex(ctl::parity);
  s.handShaking = panel.itemIndex(ctl::handShaking);
  GroupSettings& g = s.group;
  g.groupID = panel.text(ctl::groupID);
  g.securityID = panel.text(ctl::securityID);
  g.rfband = panel.text(ctl::rfband);
  g.flushTime = panel.text(ctl::flushTime);
  g.reTXBroadcasts = panel.itemIndex(ctl::reTXBroadcasts);
  g.repeaters = panel.itemIndex(ctl::repeaters);
  for (int i = 0; i < kBlockedFreqCount; ++i) g.blocked[i] = panel.blockedValues[i];
  return s;
}

void showOnPanel(Panel& panel, const RadioSettings& s) {
  panel.setItemIndex(ctl::radioType, s.model);
  panel.setText(ctl::radioID, s.radioID);
  panel.setText(ctl::radioName, s.name);
  panel.setItemIndex(ctl::radioMode, s.radioMode);
  panel.setItemIndex(ctl::roaming, s.roaming);
  panel.setText(ctl::masterID, s.masterID);
  panel.setText(ctl::retries, s.retries);
  panel.setItemIndex(ctl::protocol, s.protocol);
  panel.setItemIndex(ctl::bufferMode, s.bufferMode);
  panel.setItemIndex(ctl::emulationMode, s.emulationMode);
  panel.setText(ctl::mainSerialPort, s.mainSerialPort);
  panel.setItemIndex(ctl::sleepMode, s.sleepMode);
  panel.setText(ctl::plcAddress, s.plcAddress);
  panel.setText(ctl::startTime, s.startTime);
  panel.setText(ctl::onTimer, s.onTimer);
  panel.setText(ctl::offTimer, s.offTimer);
  panel.setText(ctl::currentTime, s.currentTime);
  panel.setText(ctl::baudRate, s.baudRate);
  panel.setItemIndex(ctl::dataBits, s.dataBits);
  panel.setItemIndex(ctl::stopBits, s.stopBits);
  panel.setItemIndex(ctl::parity, s.parity);
  panel.setItemIndex(ctl::handShaking, s.handShaking);
  const GroupSettings& g = s.group;
  panel.setText(ctl::groupID, g.groupID);
  panel.setText(ctl::securityID, g.securityID);
  panel.setText(ctl::rfband, g.rfband);
  panel.setText(ctl::flushTime, g.flushTime);
  panel.setItemIndex(ctl::reTXBroadcasts, g.reTXBroadcasts);
  panel.setItemIndex(ctl::repeaters, g.repeaters);
  for (int i = 0; i < kBlockedFreqCount; ++i) panel.blockedValues[i] = g.blocked[i];
}

}  // namespace tessel
