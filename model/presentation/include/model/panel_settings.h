#pragma once

// The settings the parameter panel shows, as data: the window's controls
// and the committed blocked frequencies. The radio's clock is the field's
// text; who sends the PC's clock instead fills it in.
#include "model/radio_settings.h"

namespace tessel {

class Panel;

RadioSettings settingsOfPanel(const Panel& panel);
// Shows s on the panel: the inverse of settingsOfPanel.
void showOnPanel(Panel& panel, const RadioSettings& s);

}  // namespace tessel
