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

}  // namespace tessel
