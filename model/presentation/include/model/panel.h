#pragma once

// The parameter panel as the core sees it: the main window's controls by
// name, the model-E dialog's controls, the committed blocked frequencies and
// the window-wide state the rules share. ui/ mirrors it with widgets; the
// headless front end and the tests use MemoryPanel.
#include <array>
#include <map>
#include <string>
#include <vector>

#include "model/control_names.h"

namespace tessel {

class Tradio;

// Captions that carry state.
inline const std::string kNewRadioCaption = "New &Radio";
inline const std::string kSaveRadioCaption = "Save Radio";
inline const std::string kAdvancedCaption = "Advanced";
inline const std::string kBasicCaption = "&Basic";
inline const std::string kCancelCaption = "Cancel";
// The Set Radio button's caption, which titles its send.
inline const std::string kSetRadioCaption = "Set Radio";

enum WindowModeValue : int { wmUnset = 0, wmManual = 1, wmProject = 2, wmMonitor = 3 };

constexpr int kBlockedCount = 12;

// Writes through this interface never run the panel's own event handlers:
// the rules call a handler explicitly where one has to run, so loading a
// radio cannot trigger, say, the model-E defaults of the radio type rule.
class Panel {
 public:
  virtual ~Panel() = default;

  // Text of an edit field, of an editable list, or of the selected item.
  virtual std::string text(const std::string& control) const = 0;
  // Sets the text; a control with items then has the item that reads
  // exactly so selected, or none.
  virtual void setText(const std::string& control, const std::string& text) = 0;
  // Selected item, -1 for none.
  virtual int itemIndex(const std::string& control) const = 0;
  // Selects an item (its text becomes the control's text); -1 selects none;
  // an index beyond the items changes nothing.
  virtual void setItemIndex(const std::string& control, int index) = 0;
  virtual std::vector<std::string> items(const std::string& control) const = 0;
  virtual bool enabled(const std::string& control) const = 0;
  virtual void setEnabled(const std::string& control, bool on) = 0;
  virtual bool visible(const std::string& control) const = 0;
  virtual void setVisible(const std::string& control, bool on) = 0;
  virtual bool checked(const std::string& control) const = 0;
  virtual void setChecked(const std::string& control, bool on) = 0;
  // The hourglass over the radio parameter controls while the link works.
  virtual void setBusyCursor(bool busy) = 0;
  // Puts the keyboard focus on a control: a rule that refuses to let the
  // user leave a field sends the focus back to it. A panel without focus
  // (the headless front end) has nothing to do.
  virtual void setFocus(const std::string& control) {}

  int itemCount(const std::string& control) const {
    return static_cast<int>(items(control).size());
  }

  // Window-wide state shared by the rules.
  int WindowMode = wmUnset;
  bool panelLoading = false;
  bool entriesValid = true;
  Tradio* currentRadio = nullptr;
  int detectedModel = 0;
  // The blocked frequencies dialog's committed values (MHz texts or empty).
  std::array<std::string, kBlockedCount> blockedValues{};

  // The field the user entered last and the text Escape puts back into it:
  // its text on entry, or what the program loaded into it since while the
  // user had not changed it.
  std::string entryField;
  std::string entryText;

 protected:
  // Implementations call this at each write of a control's text.
  void followEntry(const std::string& control, const std::string& before,
                   const std::string& after) {
    if (control == entryField && before == entryText) entryText = after;
  }
};

// The panel kept in memory: what the headless front end runs on.
class MemoryPanel : public Panel {
 public:
  // Fills every selector with its fixed entries; modelEntries are the brand
  // profile's entries of the radio type selector.
  explicit MemoryPanel(const std::vector<std::string>& modelEntries);

  std::string text(const std::string& control) const override;
  void setText(const std::string& control, const std::string& text) override;
  int itemIndex(const std::string& control) const override;
  void setItemIndex(const std::string& control, int index) override;
  std::vector<std::string> items(const std::string& control) const override;
  bool enabled(const std::string& control) const override;
  void setEnabled(const std::string& control, bool on) override;
  bool visible(const std::string& control) const override;
  void setVisible(const std::string& control, bool on) override;
  bool checked(const std::string& control) const override;
  void setChecked(const std::string& control, bool on) override;
  void setBusyCursor(bool busy) override { busy_ = busy; }
  void setFocus(const std::string& control) override { focus_ = control; }

  // The user's typing in a field: unlike setText, no load of the program's,
  // so the entry text stays.
  void typeText(const std::string& control, const std::string& text);

  bool busyCursor() const { return busy_; }
  // The control the rules sent the focus to last; "" when none did.
  const std::string& focus() const { return focus_; }
  void setItems(const std::string& control, std::vector<std::string> items);

 private:
  struct Control {
    std::string text;
    int index = -1;
    std::vector<std::string> items;
    bool enabled = true;
    bool visible = true;
    bool checked = false;
  };
  Control& at(const std::string& control) { return controls_[control]; }
  const Control* find(const std::string& control) const;

  std::map<std::string, Control> controls_;
  bool busy_ = false;
  std::string focus_;
};

}  // namespace tessel
