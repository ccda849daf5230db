#pragma once

// The value texts of a radio section of the project file, indexed by the
// item of their selector in the panel. The project file, the panel's
// entries, the headless report and the simulated radios all use these.
#include <cstddef>
#include <string>
#include <vector>

namespace tessel {

inline constexpr const char* kYesNoTexts[] = {"Yes", "No"};
inline constexpr const char* kRadioModeTexts[] = {"Master", "Slave", "Repeater"};
inline constexpr const char* kBufferModeTexts[] = {"Character", "Packet"};
inline constexpr const char* kDataBitsTexts[] = {"7", "8"};
inline constexpr const char* kStopBitsTexts[] = {"1", "2"};
inline constexpr const char* kAutoRoutingTexts[] = {"Disable", "MODBUS RTU", "Allen Bradley DF1"};
inline constexpr const char* kParityTexts[] = {"Even", "Odd", "None"};
inline constexpr const char* kEmulationModeTexts[] = {
    "No Emulation (Radio Only)", "Point to Point I/O", "Modicon PLC", "Allen Bradley PLC"};
inline constexpr const char* kSleepModeTexts[] = {"Off", "Wakeup on PLC poll", "Programmable"};

// Selectors whose entries are not the file's texts: roaming and
// handshaking are stored as "Yes" and "No".
inline constexpr const char* kRoamingEntries[] = {"Allowed", "Master ID"};
inline constexpr const char* kHandshakeEntries[] = {"None", "Hardware"};

// The texts as selector entries.
template <size_t N>
std::vector<std::string> itemsOf(const char* const (&texts)[N]) {
  return std::vector<std::string>(texts, texts + N);
}

// The item of text, exact and case-sensitive as the project file's readers
// compare; otherwise when no entry matches.
template <size_t N>
int itemOf(const char* const (&texts)[N], const std::string& text, int otherwise) {
  for (size_t i = 0; i < N; ++i)
    if (text == texts[i]) return static_cast<int>(i);
  return otherwise;
}

// The text of item, or none outside the entries.
template <size_t N>
std::string textOf(const char* const (&texts)[N], int item, const char* none) {
  return item >= 0 && item < static_cast<int>(N) ? texts[item] : none;
}

// The entries of the selector that shows a choice's control, in item order;
// empty for a control that shows no choice (the radio model's entries are
// the brand's). The panel's selectors and the headless panel both list
// these.
std::vector<std::string> selectorEntries(const std::string& control);
// The controls that selectorEntries lists entries for.
const std::vector<const std::string*>& choiceSelectors();

}  // namespace tessel
