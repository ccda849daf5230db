#include "model/value_texts.h"

#include "model/catalogue.h"
#include "model/control_names.h"
#include "model/parameter_table.h"

namespace tessel {

namespace {

struct Selector {
  const std::string* control;
  std::vector<std::string> (*entries)();
};

// A parameter's choices as its register takes them.
template <int Code>
std::vector<std::string> choicesOf() {
  return parameterOf(Code).choices;
}

// A parameter's range, a number an entry.
template <int Code>
std::vector<std::string> rangeOf() {
  const Parameter& p = parameterOf(Code);
  std::vector<std::string> out;
  for (long v = p.lo; v <= p.hi; ++v) out.push_back(std::to_string(v));
  return out;
}

template <const auto& Texts>
std::vector<std::string> textsOf() {
  return itemsOf(Texts);
}

// Data table.
const std::vector<Selector>& selectors() {
  static const std::vector<Selector> table = {
      {&ctl::rfband, rangeOf<param::rfband>},
      {&ctl::reTXBroadcasts, textsOf<kYesNoTexts>},
      {&ctl::repeaters, textsOf<kYesNoTexts>},
      {&ctl::roaming, textsOf<kRoamingEntries>},
      {&ctl::baudRate, shownBaudRates},
      {&ctl::radioMode, textsOf<kRadioModeTexts>},
      {&ctl::protocol, textsOf<kAutoRoutingTexts>},
      {&ctl::bufferMode, textsOf<kBufferModeTexts>},
      {&ctl::dataBits, choicesOf<param::dataBits>},
      {&ctl::stopBits, choicesOf<param::stopBits>},
      {&ctl::parity, textsOf<kParityTexts>},
      {&ctl::handShaking, textsOf<kHandshakeEntries>},
      {&ctl::emulationMode, textsOf<kEmulationModeTexts>},
      {&ctl::sleepMode, textsOf<kSleepModeTexts>},
      {&ctl::mainSerialPort, choicesOf<param::mainSerialPort>},
  };
  return table;
}

}  // namespace

std::vector<std::string> selectorEntries(const std::string& control) {
  for (const Selector& s : selectors())
    if (*s.control == control) return s.entries();
  return {};
}

const std::vector<const std::string*>& choiceSelectors() {
  static const std::vector<const std::string*> controls = [] {
    std::vector<const std::string*> out;
    for (const Selector& s : selectors()) out.push_back(s.control);
    return out;
  }();
  return controls;
}

}  // namespace tessel
