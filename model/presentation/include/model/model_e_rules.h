#pragma once

// The model-E setup dialog below the GUI. Its controls live in the panel
// (the dialog's widgets are attached to it), so loading, saving and the
// register routines reach them by name; this class holds what the dialog
// itself decides: the number fields' key and range rules, the dependencies
// between its selectors, the clock buttons and the modified flag.
#include <string>

namespace tessel {

class MainWindowModel;

// A number field of the dialog: its control, the name its messages use and
// its range, as the parameter table has them.
struct ModelENumberField {
  const std::string& control;
  const char* name;
  int lo;
  int hi;
};
// nullptr for a control that is no number field of the dialog.
const ModelENumberField* modelENumberField(const std::string& control);

// The message a range check gives for text in field f, or "" when the text
// is empty or in range. fix receives the text the field is set to ("" for
// no change): the bound that was crossed, or "0" for a zero written as 000.
std::string modelERangeMessage(const ModelENumberField& f, const std::string& text,
                               std::string& fix);

// "Blocked MHz": the first time in a project, the frequencies stored in it
// become the committed ones, so the dialog opens showing them.
void blockedClick(MainWindowModel& window);
// The main window became active again: edits made in either dialog make the
// New Radio button read "Save Radio". The flags are cleared once carried
// over, so a later activation does not raise it again after a save.
void mainWindowActivated(MainWindowModel& window, bool& blockedModified, bool& modelEModified);

class ModelERules {
 public:
  explicit ModelERules(MainWindowModel& window) : window_(window) {}

  // Set by the user's changes; cleared when the dialog is shown.
  bool modified = false;

  // The dialog is shown: an empty current time gets the PC clock's time,
  // "Use PC clock" is checked, modified is cleared.
  void show();
  // Entering one of the fields remembers its text.
  void enter(const std::string& control);
  // A key typed into a field (the number fields and the two time fields);
  // true when the field takes it. The number fields check the text as it
  // was before the key; a key that meets a refused text is dropped, since
  // the field has just been set to the bound.
  bool key(const std::string& control, char key);
  // Text pasted or dropped into a number field: digits only, then checked
  // as a whole at once.
  void pasted(const std::string& control, const std::string& text);
  // Leaving a number field: an empty one, or one out of range, keeps the
  // focus. Returns false when the focus was sent back.
  bool exit(const std::string& control);
  // The user chose an entry of a selector or clicked the check box.
  void selectorChanged(const std::string& control);
  // "Defaults" and "Current Time".
  void defaultsClick();
  void currentTimeClick();

 private:
  bool check(const ModelENumberField& f, const std::string& text);

  MainWindowModel& window_;
  std::string remembered_;
};

}  // namespace tessel
