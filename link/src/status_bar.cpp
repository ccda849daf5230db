#include "link/status_bar.h"

namespace tessel {

namespace {
bool validPanel(int panel) {
  return panel >= 0 && panel < 3;
}
}  // namespace

void MemoryStatusBar::setPanelWidth(int panel, int width) {
  if (validPanel(panel)) widths_[panel] = width;
}

void MemoryStatusBar::setPanelText(int panel, const std::string& text) {
  if (validPanel(panel)) texts_[panel] = text;
}

const std::string& MemoryStatusBar::panelText(int panel) const {
  static const std::string none;
  return validPanel(panel) ? texts_[panel] : none;
}

int MemoryStatusBar::panelWidth(int panel) const {
  return validPanel(panel) ? widths_[panel] : 0;
}

}  // namespace tessel
