#pragma once

// The one adapter between the parameter panel and a radio's settings: the
// panel is a view that shows a settings value, and an edit on it is read
// out here, and only here, as a settings value. The window's controls and
// the committed blocked frequencies; the radio's clock is the field's text
// (who sends the PC's clock instead fills it in).
#include "model/radio_settings.h"

namespace tessel {

class Panel;

RadioSettings settingsOfPanel(const Panel& panel);
// Shows s on the panel: the inverse of settingsOfPanel.
void showOnPanel(Panel& panel, const RadioSettings& s);
// Shows one parameter of s: the control (or blocked frequency) that holds
// param code, and nothing else. A code no control shows changes nothing.
void showParameter(Panel& panel, const RadioSettings& s, int param);

}  // namespace tessel
