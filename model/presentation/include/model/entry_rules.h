#pragma once

// How the panel's fields take what the user types, pastes or drops, and what
// happens when the user changes, leaves or clicks one. The window's key
// filters and the headless front end both come through here, so a field
// refuses and reports the same way in each.
#include <string>

namespace tessel {

class MainWindowModel;

// Characters the key filter treats apart; everything else is a typed
// character.
constexpr char kBackspaceKey = '\b';
constexpr char kEscapeKey = '\x1b';

// What becomes of a key typed into a field.
enum class KeyOutcome {
  kPass,            // the control takes the key
  kDiscard,         // the key is dropped
  kRestore,         // the entry text is put back and the key is dropped
  kRestoreAndPass,  // the entry text is put back and the key goes on
};

// The key filter of a control; controls without one pass every key.
KeyOutcome entryKeyOutcome(const std::string& control, char key);

// True for the fields that have a key filter (and take the entry text on
// focus).
bool hasEntryFilter(const std::string& control);

// Text arriving in a block (pasted, dropped) as the field's key filter would
// have let it through: characters the field refuses are left out. The lists
// keep blanks as well, since their own entries are padded with them.
std::string acceptedText(const std::string& control, const std::string& text);

class EntryRules {
 public:
  explicit EntryRules(MainWindowModel& window);

  // A field received the focus: its text becomes the entry text.
  void fieldEnter(const std::string& control);
  // A key typed into a field; true when the control should take it. Escape
  // puts the entry text back (and runs the change handling, as any change of
  // the text does).
  bool keyPress(const std::string& control, char key);
  // The user changed the text (typing, pasting, dropping, Escape): the range
  // check, "Save Radio" and the radio name's way to the list and tree.
  void fieldChange(const std::string& control);
  // The user left a field: the empty-field rules and the Radio ID exit rule.
  void fieldExit(const std::string& control);
  // The user chose an entry of a selector.
  void selectorClick(const std::string& control);

  // Reads control's text against lo..hi and reports a value out of range as
  // name + ":" + text + " is too low/high. Range is lo-hi". An empty field
  // leaves entriesValid as it is; a 0 is written back as "0".
  void rangeCheck(const std::string& name, const std::string& control, int lo, int hi);

  const std::string& entryText() const;

 private:
  // The group fields and Retries: an empty field becomes "1" and keeps the
  // focus.
  void emptyFieldRule(const std::string& control, const std::string& message);
  // Shows message and sends the focus back to control.
  void refuseExit(const std::string& control, const std::string& message);

  MainWindowModel& window_;
};

}  // namespace tessel
