#pragma once

#include <string>

#include "model/poll_array.h"

namespace tessel {

// The radios of a task with a cursor on the one being talked to.
class TradioNumber {
 public:
  TradioNumber() = default;
  explicit TradioNumber(const TpollArray& radios) : entries_(radios) {}

  void Next();  // wraps to the first entry past the last
  void Rewind() { cursor_ = 0; }
  std::string CurrentText() const;        // "" for an empty list
  int CurrentNumber() const;              // -1 for an empty list
  int CurrentModel() const;               // -1 for an empty list
  void SetModel(int model);               // no effect on an empty list
  void SetModelAt(int index, int model);  // no effect outside the list

  // Moves the cursor to the first entry, from the cursor on and at most one
  // full round, for which pred(number) holds; false (cursor unchanged) when
  // none does.
  template <typename Pred>
  bool Seek(Pred pred) {
    for (int i = 0; i < Count(); ++i) {
      int at = (cursor_ + i) % Count();
      if (pred(entries_[at].radio)) {
        cursor_ = at;
        return true;
      }
    }
    return false;
  }

  int Count() const { return static_cast<int>(entries_.size()); }
  int Cursor() const { return cursor_; }
  const TpollArray& Entries() const { return entries_; }

 private:
  TpollArray entries_;
  int cursor_ = 0;
};

}  // namespace tessel
