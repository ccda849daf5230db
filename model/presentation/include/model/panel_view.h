#pragma once

#include <cstdint>
#include <string>

namespace tessel {

// The parameter panel's view as the Basic/Advanced button switches it. In
// Monitor the button ends the monitoring instead, and the panel is laid out
// as in the Advanced view.
enum class PanelView : uint8_t { Basic, Advanced, Monitor };

// The button's caption, which names what it does next: "Advanced" while the
// Basic view is shown, "&Basic" while the Advanced view is, "Cancel" while
// monitoring.
const std::string& advancedCaption(PanelView view);

// The "formMode" setting keeps the caption; a run that ended monitoring
// keeps "&Basic", the view monitoring leaves to.
std::string formModeText(PanelView view);
// The view a stored "formMode" stands for; empty (nothing stored) is the
// Basic view, as is any text naming "Advanced" as the next view.
PanelView panelViewFromFormMode(const std::string& text);

}  // namespace tessel
