#include "model/model_e_rules.h"

#include <array>

#include "model/main_window_model.h"
#include "model/parameter_table.h"
#include "model/project.h"
#include "model/text.h"

namespace tessel {

namespace {

ModelENumberField numberField(const std::string& control, int code) {
  const Parameter& p = parameterOf(code);
  return {control, p.caption, static_cast<int>(shownLow(p)), static_cast<int>(shownHigh(p))};
}

const std::array<ModelENumberField, 3>& numberFields() {
  static const std::array<ModelENumberField, 3> fields{{
      numberField(ctl::plcAddress, param::plcAddress),
      numberField(ctl::onTimer, param::onTimer),
      numberField(ctl::offTimer, param::offTimer),
  }};
  return fields;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

const ModelENumberField* modelENumberField(const std::string& control) {
  for (const ModelENumberField& f : numberFields()) {
    if (f.control == control) return &f;
  }
  return nullptr;
}

std::string modelERangeMessage(const ModelENumberField& f, const std::string& text,
                               std::string& fix) {
  fix.clear();
  if (text.empty()) return "";
  int v = 0;
  // A number too long for 32 bits is too high, not wrapped into range.
  const bool readable = parseInt32(text, v);
  const std::string range = std::to_string(f.lo) + "-" + std::to_string(f.hi);
  if (readable && v < f.lo) {
    fix = std::to_string(f.lo);
    return std::string(f.name) + ":" + text + " is too low. Range is " + range;
  }
  if (!readable || v > f.hi) {
    fix = std::to_string(f.hi);
    return std::string(f.name) + ":" + text + " is too high. Range is " + range;
  }
  if (v == 0 && text != "0") fix = "0";
  return "";
}

void ModelERules::show() {
  Panel& panel = window_.panel;
  const std::string now = panel.text(ctl::currentTime);
  if (now.empty() || !isDigit(now[0])) panel.setText(ctl::currentTime, window_.timeShort());
  panel.setChecked(ctl::usePCClock, true);
  window_.usePCClockChange();
  modified = false;
}

void ModelERules::enter(const std::string& control) {
  remembered_ = window_.panel.text(control);
}

bool ModelERules::check(const ModelENumberField& f, const std::string& text) {
  std::string fix;
  const std::string message = modelERangeMessage(f, text, fix);
  if (!fix.empty()) window_.panel.setText(f.control, fix);
  if (message.empty()) return true;
  window_.prompts.show(PromptIcon::Error, message, pbOk);
  window_.panel.setFocus(f.control);
  return false;
}

bool ModelERules::key(const std::string& control, char key) {
  if (key == '\x1b') {
    window_.panel.setText(control, remembered_);
    return false;
  }
  modified = true;
  const ModelENumberField* f = modelENumberField(control);
  // The time fields' pattern admits digits only; the widget enforces it.
  if (!f) return true;
  if (!isDigit(key) && key != '\b') return false;
  return check(*f, window_.panel.text(control));
}

void ModelERules::pasted(const std::string& control, const std::string& text) {
  modified = true;
  const ModelENumberField* f = modelENumberField(control);
  if (!f) return;
  std::string digits;
  for (char c : text) {
    if (isDigit(c)) digits += c;
  }
  window_.panel.setText(control, digits);
  check(*f, digits);
}

bool ModelERules::exit(const std::string& control) {
  const ModelENumberField* f = modelENumberField(control);
  if (!f) return true;
  if (window_.panel.text(control).empty()) {
    window_.prompts.show(PromptIcon::Error, std::string(f->name) + " needs a value.", pbOk);
    window_.panel.setFocus(control);
    return false;
  }
  // The last keys typed were never checked (each check sees the text before
  // its key): a value out of range must not stay in the field.
  return check(*f, window_.panel.text(control));
}

void ModelERules::selectorChanged(const std::string& control) {
  modified = true;
  if (control == ctl::emulationMode) window_.emulationModeChange();
  if (control == ctl::sleepMode) window_.sleepModeChange();
  if (control == ctl::usePCClock) window_.usePCClockChange();
}

void ModelERules::defaultsClick() {
  window_.modelEDefaults();
  modified = true;
}

void blockedClick(MainWindowModel& window) {
  Tproject* p = window.project();
  if (!p || p->blockedChanged) return;
  p->blockedChanged = true;
  p->loadBlockedValues();
}

void mainWindowActivated(MainWindowModel& window, bool& blockedModified, bool& modelEModified) {
  if (blockedModified || modelEModified) window.setRadioChanged(true);
  blockedModified = false;
  modelEModified = false;
}

void ModelERules::currentTimeClick() {
  modified = true;
  window_.panel.setText(ctl::currentTime, window_.timeShort());
}

}  // namespace tessel
