#include "link/com_port_view.h"

#include "model/parameter_table.h"

namespace tessel {

const std::vector<std::string>& baudRateItems() {
  static const std::vector<std::string> items = shownBaudRates();
  return items;
}

MemoryComPortView::MemoryComPortView() {
  enabled_.fill(true);
  caption_ = "&Auto Configure";
}

void MemoryComPortView::setBaudRateText(const std::string& text) {
  baudText_ = text;
  baudIndex_ = -1;
  const auto& items = baudRateItems();
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == text) baudIndex_ = static_cast<int>(i);
}

void MemoryComPortView::setBaudRateIndex(int index) {
  const auto& items = baudRateItems();
  if (index >= 0 && index < static_cast<int>(items.size())) {
    baudIndex_ = index;
    baudText_ = items[index];
  } else {
    baudIndex_ = -1;
    baudText_.clear();
  }
}

bool MemoryComPortView::isEnabled(ComPortControl control) const {
  return control >= 0 && control < cpControlCount && enabled_[control];
}

void MemoryComPortView::setEnabled(ComPortControl control, bool enabled) {
  if (control >= 0 && control < cpControlCount) enabled_[control] = enabled;
}

}  // namespace tessel
