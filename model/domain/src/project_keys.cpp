#include "model/project_keys.h"

#include "model/catalogue.h"
#include "model/control_names.h"
#include "model/factory_defaults.h"
#include "model/text.h"

namespace tessel {

namespace {

const char* const kNoYes[] = {"No", "Yes"};

template <size_t N>
ProjectKey choice(const char* name, int param, const std::string& control,
                  const char* const (&texts)[N], const char* def, int unknownItem, int writtenItem,
                  RegisterForm form, const char* letters = nullptr, bool numberOnModelTwo = false) {
  ProjectKey k{name, param, control.c_str(), def};
  k.texts = texts;
  k.count = static_cast<int>(N);
  k.unknownItem = unknownItem;
  k.writtenItem = writtenItem;
  k.form = form;
  k.letters = letters;
  k.numberOnModelTwo = numberOnModelTwo;
  return k;
}

}  // namespace

namespace groupkey {
const ProjectKey groupID{"Group ID", param::groupID, ctl::groupID.c_str(), "0"};
const ProjectKey securityID{"Security ID", param::securityID, ctl::securityID.c_str(), "0"};
const ProjectKey rfband{"RF Band", param::rfband, ctl::rfband.c_str(), "1"};
// In MHz; the register holds tenths.
const ProjectKey flushTime{"Flush Time", param::flushTime, ctl::flushTime.c_str(), "1200"};
const ProjectKey reTXBroadcasts =
    choice("ReTXBroadcasts", param::reTXBroadcasts, ctl::reTXBroadcasts, kYesNoTexts, "Yes",
           item::no, item::no, RegisterForm::Letter, letters::reTXBroadcasts);
const ProjectKey repeaters =
    choice("Repeaters", param::repeaters, ctl::repeaters, kYesNoTexts, "No", item::no, item::no,
           RegisterForm::Letter, letters::repeaters);
}  // namespace groupkey

namespace radiokey {
const ProjectKey radioID{"Radio ID", param::radioID, ctl::radioID.c_str(), nullptr};
const ProjectKey radioName{"Radio Name", -1, ctl::radioName.c_str(), "..."};
const ProjectKey radioMode =
    choice("Radio Mode", param::radioMode, ctl::radioMode, kRadioModeTexts, "Slave", item::master,
           item::slave, RegisterForm::Letter, letters::radioMode);
const ProjectKey roaming =
    choice("Roaming", param::roaming, ctl::roaming, kYesNoTexts, "Yes", item::roamingMasterID,
           item::roamingMasterID, RegisterForm::Letter, letters::roaming);
const ProjectKey masterID{"Master ID", param::masterID, ctl::masterID.c_str(), "0"};
const ProjectKey retries{"Retries", param::retries, ctl::retries.c_str(), "10"};
// Dumps show "NONE", "MODBUS" and the DF1 protocol's name; the register
// itself holds the item's number.
const ProjectKey autoRouting =
    choice("Auto-Routing", param::protocol, ctl::protocol, kAutoRoutingTexts, "Disable",
           item::protocolModbus, item::protocolModbus, RegisterForm::Number, "NM");
const ProjectKey bufferMode =
    choice("Buffer Mode", param::bufferMode, ctl::bufferMode, kBufferModeTexts, "Character",
           item::bufferPacket, item::bufferPacket, RegisterForm::Letter, letters::bufferMode, true);
const ProjectKey emulationMode =
    choice("Emulation Mode", param::emulationMode, ctl::emulationMode, kEmulationModeTexts,
           kEmulationModeTexts[0], 3, -1, RegisterForm::Number);
const ProjectKey mainSerialPort{"Main Serial Port", param::mainSerialPort,
                                ctl::mainSerialPort.c_str(), "RS232"};
const ProjectKey sleepMode = choice("Sleep Mode", param::sleepMode, ctl::sleepMode, kSleepModeTexts,
                                    kSleepModeTexts[0], 2, -1, RegisterForm::Number);
const ProjectKey plcAddress{"PLC Address", param::plcAddress, ctl::plcAddress.c_str(), "0"};
const ProjectKey startTime{"Start Time", param::startTime, ctl::startTime.c_str(), "06:00"};
const ProjectKey onTimer{"Radio ON Time", param::onTimer, ctl::onTimer.c_str(), "10"};
const ProjectKey offTimer{"Radio OFF Time", param::offTimer, ctl::offTimer.c_str(), "100"};
const ProjectKey baudRate{"Baud rate", param::baudRate, ctl::baudRate.c_str(), "9600"};
// Read as numbers: "08" is 8 bits, anything else that is not 8 is 7.
const ProjectKey dataBits = choice("Data Bits", param::dataBits, ctl::dataBits, kDataBitsTexts, "8",
                                   0, 0, RegisterForm::Text);
const ProjectKey stopBits = choice("Stop Bits", param::stopBits, ctl::stopBits, kStopBitsTexts, "1",
                                   1, 0, RegisterForm::Text);
const ProjectKey parity =
    choice("Parity", param::parity, ctl::parity, kParityTexts, "None", item::parityOdd,
           item::parityEven, RegisterForm::Letter, letters::parity);
const ProjectKey handshaking = choice("Handshaking", param::handShaking, ctl::handShaking, kNoYes,
                                      "No", item::handshakeHardware, item::handshakeNone,
                                      RegisterForm::Letter, letters::handShaking, true);
}  // namespace radiokey

const std::vector<const ProjectKey*>& radioKeys() {
  using namespace radiokey;
  static const std::vector<const ProjectKey*> keys = {
      &radioID,   &radioName,   &radioMode,  &roaming,       &masterID,
      &retries,   &autoRouting, &bufferMode, &emulationMode, &mainSerialPort,
      &sleepMode, &plcAddress,  &startTime,  &onTimer,       &offTimer,
      &baudRate,  &dataBits,    &stopBits,   &parity,        &handshaking};
  return keys;
}

const std::vector<const ProjectKey*>& groupKeys() {
  using namespace groupkey;
  static const std::vector<const ProjectKey*> keys = {&groupID,   &securityID,     &rfband,
                                                      &flushTime, &reTXBroadcasts, &repeaters};
  return keys;
}

const ProjectKey* keyOf(int param) {
  if (param < 0) return nullptr;
  for (const auto* keys : {&groupKeys(), &radioKeys()})
    for (const ProjectKey* k : *keys)
      if (k->param == param) return k;
  return nullptr;
}

int itemOfFileText(const ProjectKey& key, const std::string& text) {
  if (!key.isChoice()) return -1;
  for (int i = 0; i < key.count; ++i)
    if (text == key.texts[i]) return i;
  return key.unknownItem;
}

std::string fileTextOf(const ProjectKey& key, int item) {
  if (!key.isChoice()) return std::string();
  if (item < 0 || item >= key.count) item = key.writtenItem;
  return item >= 0 ? key.texts[item] : std::string();
}

int itemOfRegisterText(const ProjectKey& key, const std::string& text) {
  if (!key.isChoice() || text.empty()) return -1;
  if (allDigits(text) && key.form != RegisterForm::Letter) {
    if (key.form == RegisterForm::Text) {
      for (int i = 0; i < key.count; ++i)
        if (text == key.texts[i]) return i;
      return -1;
    }
    int n = 0;
    return parseInt32(text, n) && n >= 0 && n < key.count ? n : -1;
  }
  if (allDigits(text) && key.numberOnModelTwo) {
    // The radio that is written in numbers answers in them, with one digit.
    const int n = text.size() == 1 ? text[0] - '0' : key.count;
    return n < key.count ? n : -1;
  }
  if (!key.letters) return -1;
  const std::string letters(key.letters);
  const size_t at = letters.find(text[0]);
  return at != std::string::npos ? static_cast<int>(at) : key.count - 1;
}

std::string registerTextOf(const ProjectKey& key, int item, bool numeric) {
  if (!key.isChoice() || item < 0 || item >= key.count) return std::string();
  switch (key.form) {
    case RegisterForm::Letter:
      if (numeric && key.numberOnModelTwo) return std::to_string(item);
      return std::string(1, key.letters[item]);
    case RegisterForm::Number:
      return std::to_string(item);
    case RegisterForm::Text:
      return key.texts[item];
    case RegisterForm::None:
      break;
  }
  return std::string();
}

}  // namespace tessel
