#include "model/entry_rules.h"

#include <array>

#include "model/main_window_model.h"
#include "model/parameter_table.h"
#include "model/text.h"

namespace tessel {

namespace {

// What leaving a field does.
enum class OnExit {
  kNothing,
  kGroupID,    // range check 1..63, then the empty-field rule
  kEmptyRule,  // the empty-field rule
  kDigits,     // refused unless all digits (RF Band)
  kRadioID,    // the Radio ID exit rule
  kMasterID,   // an empty field becomes "0"
  kBaudRate,   // refused unless one of the rates
  kNotEmpty,   // refused when empty (Radio Name)
};

struct Field {
  const std::string& control;
  int param;            // its row of the parameter table; -1 for the radio name
  bool ranged;          // checked against the table's bounds on every change
  bool radioParameter;  // a change makes New Radio read "Save Radio"
  bool list;            // an editable list: its entries carry blanks
  OnExit exit;

  // As the messages name it.
  std::string name() const { return param < 0 ? "Radio Name" : parameterOf(param).caption; }
  int lo() const { return static_cast<int>(shownLow(parameterOf(param))); }
  int hi() const { return static_cast<int>(shownHigh(parameterOf(param))); }
};

const std::array<Field, 9> kFields{{
    {ctl::groupID, param::groupID, true, false, false, OnExit::kGroupID},
    {ctl::securityID, param::securityID, true, false, false, OnExit::kEmptyRule},
    {ctl::flushTime, param::flushTime, true, false, false, OnExit::kEmptyRule},
    {ctl::rfband, param::rfband, false, false, true, OnExit::kDigits},
    {ctl::radioID, param::radioID, true, true, false, OnExit::kRadioID},
    {ctl::retries, param::retries, true, true, false, OnExit::kEmptyRule},
    {ctl::masterID, param::masterID, true, true, false, OnExit::kMasterID},
    {ctl::baudRate, param::baudRate, false, false, true, OnExit::kBaudRate},
    {ctl::radioName, -1, false, true, false, OnExit::kNotEmpty},
}};

const Field* findField(const std::string& control) {
  for (const Field& f : kFields) {
    if (f.control == control) return &f;
  }
  return nullptr;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

bool hasEntryFilter(const std::string& control) {
  return findField(control) != nullptr;
}

KeyOutcome entryKeyOutcome(const std::string& control, char key) {
  if (!hasEntryFilter(control)) return KeyOutcome::kPass;
  // The radio name takes any key; its Escape still reaches the control.
  if (control == ctl::radioName) {
    return key == kEscapeKey ? KeyOutcome::kRestoreAndPass : KeyOutcome::kPass;
  }
  if (key == kEscapeKey) return KeyOutcome::kRestore;
  if (key == kBackspaceKey || isDigit(key)) return KeyOutcome::kPass;
  return KeyOutcome::kDiscard;
}

std::string acceptedText(const std::string& control, const std::string& text) {
  const Field* f = findField(control);
  if (!f || control == ctl::radioName) return text;
  std::string out;
  for (char c : text) {
    if (isDigit(c) || (f->list && c == ' ')) out += c;
  }
  return out;
}

EntryRules::EntryRules(MainWindowModel& window) : window_(window) {}

void EntryRules::fieldEnter(const std::string& control) {
  if (!hasEntryFilter(control)) return;
  Panel& panel = window_.panel;
  panel.entryField = control;
  panel.entryText = panel.text(control);
}

const std::string& EntryRules::entryText() const {
  return window_.panel.entryText;
}

bool EntryRules::keyPress(const std::string& control, char key) {
  // The focus may reach a field without an entry (with the window, from
  // another window): its first key enters it, so Escape puts back its own
  // text and never the text of the field entered before.
  if (window_.panel.entryField != control) fieldEnter(control);
  const KeyOutcome outcome = entryKeyOutcome(control, key);
  if (outcome == KeyOutcome::kRestore || outcome == KeyOutcome::kRestoreAndPass) {
    Panel& panel = window_.panel;
    const std::string entry = panel.entryText;
    if (panel.text(control) != entry) {
      panel.setText(control, entry);
      fieldChange(control);
    }
  }
  return outcome == KeyOutcome::kPass || outcome == KeyOutcome::kRestoreAndPass;
}

void EntryRules::fieldChange(const std::string& control) {
  const Field* f = findField(control);
  if (!f) return;
  if (control == ctl::radioName) {
    window_.radioNameChange();
    return;
  }
  if (f->radioParameter) window_.saveRadioRule();
  if (f->ranged) {
    // While the program fills the panel an unset Group ID (0) is no error.
    const int lo = control == ctl::groupID && window_.panel.panelLoading ? 0 : f->lo();
    rangeCheck(f->name(), control, lo, f->hi());
  }
}

void EntryRules::fieldExit(const std::string& control) {
  const Field* f = findField(control);
  if (!f) return;
  Panel& panel = window_.panel;
  const std::string text = panel.text(control);
  switch (f->exit) {
    case OnExit::kNothing:
      break;
    case OnExit::kGroupID:
      rangeCheck(f->name(), control, f->lo(), f->hi());
      emptyFieldRule(control, "Group ID needs a value.");
      break;
    case OnExit::kEmptyRule:
      emptyFieldRule(control, f->name() + " needs a value.");
      break;
    case OnExit::kDigits:
      if (!allDigits(text)) refuseExit(control, "RF Band needs a value.");
      break;
    case OnExit::kRadioID:
      window_.radioIDExit();
      break;
    case OnExit::kMasterID:
      // No point holding the user here: 0 is a valid master.
      if (text.empty()) {
        window_.prompts.show(PromptIcon::Error, "Master ID needs a value.", pbOk);
        panel.setText(control, "0");
      }
      break;
    case OnExit::kBaudRate:
      window_.saveRadioRule();
      if (!isBaudRate(text)) refuseExit(control, "Baud rate needs a value.");
      break;
    case OnExit::kNotEmpty:
      if (text.empty()) refuseExit(control, "Radio Name needs a value.");
      break;
  }
}

void EntryRules::selectorClick(const std::string& control) {
  if (control == ctl::radioMode) {
    window_.radioModeClick();
  } else if (control == ctl::radioType) {
    window_.radioTypeClick();
  } else if (control == ctl::roaming) {
    window_.roamingClick();
  } else if (control == ctl::dataBits || control == ctl::stopBits || control == ctl::parity ||
             control == ctl::handShaking || control == ctl::protocol ||
             control == ctl::bufferMode) {
    window_.saveRadioRule();
  }
}

void EntryRules::rangeCheck(const std::string& name, const std::string& control, int lo, int hi) {
  Panel& panel = window_.panel;
  const std::string text = panel.text(control);
  if (text.empty()) return;
  panel.entriesValid = false;
  int v = 0;
  // A number too long for 32 bits is as much out of range as 300 is; it
  // must not wrap round into the range.
  const bool readable = parseInt32(text, v);
  const std::string range = std::to_string(lo) + "-" + std::to_string(hi);
  if (readable && v < lo) {
    window_.prompts.show(PromptIcon::Error, name + ":" + text + " is too low. Range is " + range,
                         pbOk);
  } else if (!readable || v > hi) {
    window_.prompts.show(PromptIcon::Error, name + ":" + text + " is too high. Range is " + range,
                         pbOk);
  } else {
    panel.entriesValid = true;
  }
  if (readable && v == 0 && text != "0") panel.setText(control, "0");
}

void EntryRules::emptyFieldRule(const std::string& control, const std::string& message) {
  Panel& panel = window_.panel;
  if (!panel.text(control).empty()) return;
  panel.setText(control, "1");
  fieldChange(control);
  panel.entriesValid = false;
  refuseExit(control, message);
}

void EntryRules::refuseExit(const std::string& control, const std::string& message) {
  window_.prompts.show(PromptIcon::Error, message, pbOk);
  window_.panel.setFocus(control);
}

}  // namespace tessel
