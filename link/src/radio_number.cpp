#include "link/radio_number.h"

namespace tessel {

void TradioNumber::Next() {
  if (entries_.empty()) return;
  cursor_ = (cursor_ + 1) % Count();
}

std::string TradioNumber::CurrentText() const {
  return entries_.empty() ? std::string() : std::to_string(entries_[cursor_].radio);
}

int TradioNumber::CurrentNumber() const {
  return entries_.empty() ? -1 : entries_[cursor_].radio;
}

int TradioNumber::CurrentModel() const {
  return entries_.empty() ? -1 : entries_[cursor_].model;
}

void TradioNumber::SetModel(int model) {
  if (!entries_.empty()) entries_[cursor_].model = model;
}

void TradioNumber::SetModelAt(int index, int model) {
  if (index >= 0 && index < Count()) entries_[index].model = model;
}

}  // namespace tessel
