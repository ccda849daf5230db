#pragma once

// The blocked frequency dialog below the GUI: its twelve fields, the key
// rule, the range check and completion on leaving a field, and what OK,
// Cancel and the close box do to the committed values (Panel::blockedValues,
// which the rest of the program reads).
#include <array>
#include <string>

#include "model/panel.h"
#include "seams/prompts.h"

namespace tessel {

// Whether a key typed into a field holding text, with the caret at caret
// and some text selected or not, is taken. Escape is not a key here (it
// restores the field); backspace is always taken.
bool blockedKeyAccepted(const std::string& text, int caret, bool selection, char key);

// Text as typing it key by key at the end of an empty field would leave it:
// digits, the first point, at most one digit after it. Pasted and dropped
// text goes through this.
std::string blockedTyped(const std::string& text);

// The one check of a blocked frequency, wherever one enters the program or
// goes to a radio (the dialog's fields, a send, a group change, a command
// line): empty for a frequency of the band (or no text), else the message
// naming the text.
std::string blockedRangeMessage(const std::string& text);
// The message of the first of values that fails that check; empty when none.
std::string blockedListMessage(const std::array<std::string, kBlockedCount>& values);

// Leaving a field: the completed text ("915" -> "915.0"), or "" with the
// message to show when the text is no frequency of the band. An empty text
// stays empty without a message.
struct BlockedExit {
  std::string text;
  std::string message;
};
BlockedExit blockedExit(const std::string& text);

class BlockedFrequencies {
 public:
  BlockedFrequencies(Panel& panel, Prompts& prompts) : panel_(panel), prompts_(prompts) {}

  // The fields' texts, as the dialog shows them.
  std::array<std::string, kBlockedCount> fields{};
  // Set by any key typed (even a refused one), not by Escape; cleared on
  // show. The main window reads it when it is activated again.
  bool modified = false;

  // Shown: backup of the committed values, fields show them.
  void show();
  // Entering field i remembers its text.
  void enter(int i);
  // A key typed into field i; true when the field takes it. Escape puts the
  // remembered text back and returns false.
  bool key(int i, int caret, bool selection, char key);
  // The field's text changed by a paste or drop: digits and points are held
  // to what typing them would give; anything else gets the range message and
  // leaves the field empty. Sets modified.
  void pasted(int i, const std::string& text);
  // Leaving field i: range message and empty field, or completion.
  void exit(int i);
  // OK: the field being edited (current, -1 for none) is checked first,
  // then the fields become the committed values.
  void ok(int current);
  // Cancel: the values shown on opening come back.
  void cancel();
  // Close box: nothing is committed.
  void close() {}

 private:
  Panel& panel_;
  Prompts& prompts_;
  std::array<std::string, kBlockedCount> backup_{};
  std::string remembered_;
};

}  // namespace tessel
