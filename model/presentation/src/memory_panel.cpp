#include <algorithm>

#include "model/panel.h"
#include "model/parameter_table.h"
#include "model/value_texts.h"

namespace tessel {

MemoryPanel::MemoryPanel(const std::vector<std::string>& modelEntries) {
  for (const std::string* control : choiceSelectors())
    setItems(*control, selectorEntries(*control));
  setItems(ctl::radioType, modelEntries);
  at(ctl::newRadio).text = kNewRadioCaption;
  at(ctl::advanced).text = kAdvancedCaption;
  at(ctl::ok).text = kSetRadioCaption;
  at(ctl::defaults).text = "Defaults";
}

void MemoryPanel::setItems(const std::string& control, std::vector<std::string> items) {
  Control& c = at(control);
  c.items = std::move(items);
  c.index = -1;
}

const MemoryPanel::Control* MemoryPanel::find(const std::string& control) const {
  auto it = controls_.find(control);
  return it == controls_.end() ? nullptr : &it->second;
}

std::string MemoryPanel::text(const std::string& control) const {
  const Control* c = find(control);
  return c ? c->text : std::string();
}

void MemoryPanel::setText(const std::string& control, const std::string& text) {
  Control& c = at(control);
  followEntry(control, c.text, text);
  c.text = text;
  if (!c.items.empty()) {
    auto it = std::find(c.items.begin(), c.items.end(), text);
    c.index = it == c.items.end() ? -1 : static_cast<int>(it - c.items.begin());
  }
}

int MemoryPanel::itemIndex(const std::string& control) const {
  const Control* c = find(control);
  return c ? c->index : -1;
}

void MemoryPanel::typeText(const std::string& control, const std::string& text) {
  const std::string entry = entryText;
  setText(control, text);
  entryText = entry;
}

void MemoryPanel::setItemIndex(const std::string& control, int index) {
  Control& c = at(control);
  if (index >= -1 && index < static_cast<int>(c.items.size()))
    followEntry(control, c.text, index < 0 ? std::string() : c.items[index]);
  if (index == -1) {
    c.index = -1;
    c.text.clear();
  } else if (index >= 0 && index < static_cast<int>(c.items.size())) {
    c.index = index;
    c.text = c.items[index];
  }
}

std::vector<std::string> MemoryPanel::items(const std::string& control) const {
  const Control* c = find(control);
  return c ? c->items : std::vector<std::string>();
}

bool MemoryPanel::enabled(const std::string& control) const {
  const Control* c = find(control);
  return c ? c->enabled : true;
}

void MemoryPanel::setEnabled(const std::string& control, bool on) {
  at(control).enabled = on;
}

bool MemoryPanel::visible(const std::string& control) const {
  const Control* c = find(control);
  return c ? c->visible : true;
}

void MemoryPanel::setVisible(const std::string& control, bool on) {
  at(control).visible = on;
}

bool MemoryPanel::checked(const std::string& control) const {
  const Control* c = find(control);
  return c ? c->checked : false;
}

void MemoryPanel::setChecked(const std::string& control, bool on) {
  at(control).checked = on;
}

}  // namespace tessel
