#pragma once

// Factory settings: what the panel's Defaults command puts into the radio
// parameters, and the values the group parameters take when the project
// file does not have them.
#include <array>

#include "model/choices.h"

namespace tessel {

// What the panel's Defaults command sets beyond a radio's default settings
// (RadioSettings), whose mode, roaming, master ID, serial port and protocol
// it puts into the panel. The group parameters (group ID, security ID,
// repeaters, re-broadcast, RF band, flush time, blocked frequencies) are
// left alone by it.
struct PanelDefaults {
  int radioID = 1;
  // Model selected first when no model is selected.
  int modelWhenNone = 1;
};
inline constexpr PanelDefaults kPanelDefaults{};

// Retries after Defaults: model 2 retries less by default. An index outside
// 0..2 counts as model 1, the model Defaults selects when none is.
constexpr int defaultRetries(int model) {
  return model == 2 ? 10 : 50;
}

// The project file's group section; its keys are in project_keys.h.
inline constexpr char kProjectSection[] = "Project";

// Blocked frequencies 1 to 12 are stored under "s30" to "s41", empty when
// none is blocked.
inline constexpr std::array<const char*, 12> kBlockedFreqKeys{
    "s30", "s31", "s32", "s33", "s34", "s35", "s36", "s37", "s38", "s39", "s40", "s41"};
inline constexpr char kBlockedFreqDefault[] = "";

}  // namespace tessel
