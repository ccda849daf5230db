#include "model/panel_view.h"

#include "model/panel.h"

namespace tessel {

const std::string& advancedCaption(PanelView view) {
  switch (view) {
    case PanelView::Basic:
      return kAdvancedCaption;
    case PanelView::Advanced:
      return kBasicCaption;
    case PanelView::Monitor:
      break;
  }
  return kCancelCaption;
}

std::string formModeText(PanelView view) {
  return advancedCaption(view == PanelView::Monitor ? PanelView::Advanced : view);
}

PanelView panelViewFromFormMode(const std::string& text) {
  if (text.empty() || text.find(kAdvancedCaption) != std::string::npos) return PanelView::Basic;
  return PanelView::Advanced;
}

}  // namespace tessel
