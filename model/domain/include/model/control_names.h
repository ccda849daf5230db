#pragma once

// The names of the window's controls, as the main window and the dialogs name
// them. The project file's key table says which control shows each key, so
// the names live beside the radio's data rather than with the panel.
#include <string>

namespace tessel {

// Control names, as the main window and the dialogs name their controls.
namespace ctl {
// Group parameters.
inline const std::string groupID = "groupID";
inline const std::string securityID = "securityID";
inline const std::string flushTime = "flushTime";
inline const std::string rfband = "rfband";
inline const std::string reTXBroadcasts = "reTXBroadcasts";
inline const std::string repeaters = "repeaters";
inline const std::string blocked = "Blocked";
// Radio parameters.
inline const std::string radioParameters = "radioParameters";
inline const std::string radioID = "radioID";
inline const std::string radioName = "radioName";
inline const std::string retries = "retries";
inline const std::string radioMode = "radioMode";
inline const std::string roaming = "roaming";
inline const std::string masterID = "masterID";
inline const std::string baudRate = "baudRate";
inline const std::string dataBits = "dataBits";
inline const std::string stopBits = "stopBits";
inline const std::string parity = "parity";
inline const std::string handShaking = "handShaking";
inline const std::string protocol = "protocol";
inline const std::string bufferMode = "bufferMode";
inline const std::string radioType = "radioType";
inline const std::string vireoESetup = "vireoESetup";
// Buttons; their captions double as state.
inline const std::string defaults = "defaults";
inline const std::string ok = "ok";
inline const std::string advanced = "advanced";
inline const std::string newRadio = "newRadio";
// The radio list as a control (enabled with the radio parameters).
inline const std::string activeGroup = "activeGroup";
// The main window's caption.
inline const std::string caption = "caption";
// Model-E dialog.
inline const std::string emulationMode = "emulationMode";
inline const std::string plcAddress = "plcAddress";
inline const std::string mainSerialPort = "mainSerialPort";
inline const std::string sleepMode = "sleepMode";
inline const std::string startTime = "startTime";
inline const std::string onTimer = "onTimer";
inline const std::string offTimer = "offTimer";
inline const std::string currentTime = "currentTime";
inline const std::string usePCClock = "usePCClock";
inline const std::string setCurrentTime = "setCurrentTime";
}  // namespace ctl

}  // namespace tessel
