// The COM port dialog's logic: line settings, settings codes, the port
// scan, and the settings kept per user.
#include "link/port_settings.h"
#include "link/tcom_port.h"
#include "seams/prompts.h"
#include "seams/settings_store.h"
#include "seams/tick_timer.h"
#include "serial/serial_link.h"
#include "text_util.h"

namespace tessel {

namespace {
constexpr int kBaudRates[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400};
constexpr int kMaxPort = 9;  // COM1..COM9, as the serial component takes them
}  // namespace

// The dialog's controls follow every open and close.
void TcomPort::openPort() {
  serial_.setActive(true);
  updateControls();
}

void TcomPort::closePort() {
  serial_.setActive(false);
  updateControls();
}

void TcomPort::comPortNumberChange() {
  closePort();
  updateControls();
  const std::string t = view_.portNumberText();
  const int port = text::smallNumber(t, 3);
  if (port == 0) {
    rebuildPortList();
  } else if (port > 0 && port <= kMaxPort) {
    view_.setWaitCursor(true);
    serial_.setPort(port);
    openPort();
    updateControls();
    view_.setWaitCursor(false);
  } else {
    // No port by that number: the port stays closed, and the tick must not
    // reopen the previous one under the new number.
    timer_.stop();
  }
  refreshStatus();
}

void TcomPort::comPortNumberExit() {
  if (view_.portNumberText().empty())
    prompts_.show(PromptIcon::Error, std::string("Comm Port") + " needs a value.", pbOk);
}

void TcomPort::baudRateChange() {
  PrevState = psConfigManual;
  int rate = text::smallNumber(trimBlanks(view_.baudRateText()), 6);
  bool known = false;
  for (int r : kBaudRates) known = known || r == rate;
  if (known)
    serial_.setBaudrate(rate);
  else
    closePort();
  refreshStatus();
}

void TcomPort::parityClick() {
  PrevState = psConfigManual;
  int i = view_.parityIndex();
  serial_.setParity(i == 0 ? paEven : i == 1 ? paOdd : paNone);
  refreshStatus();
}

void TcomPort::dataBitsClick() {
  PrevState = psConfigManual;
  serial_.setDataBits(view_.dataBitsIndex() == 0 ? d7bit : d8bit);
  refreshStatus();
}

void TcomPort::stopBitsClick() {
  PrevState = psConfigManual;
  serial_.setStopBits(view_.stopBitsIndex() == 1 ? st2bit : st1bit);
  refreshStatus();
}

void TcomPort::defaultsClick() {
  view_.setPortNumberText("1");
  if (serial_.Port() != 1) {
    closePort();
    serial_.setPort(1);
  }
  NextCode = kDefaultSettingsCode;
  // The line settings may have been changed by hand since the code was
  // last applied: the defaults are set again whatever AppliedCode says.
  AppliedCode = -1;
  applyCode(kDefaultSettingsCode);
}

void TcomPort::autoConfigureClick() {
  const std::string caption = view_.autoConfigureCaption();
  if (text::contains(caption, kAutoConfigureCaption)) {
    StartTask(tkAutoConfigure, caption, TpollArray{{0, 0}});
    if (task_ != tkAutoConfigure) return;  // the port is closed: nothing started
    view_.setAutoConfigureCaption("Cancel");
    for (ComPortControl c : {cpPortNumber, cpBaudRate, cpParity, cpDataBits, cpStopBits})
      view_.setEnabled(c, false);
  } else {
    cancelAutoConfigure();
  }
}

void TcomPort::OkClick() {
  // Reopening an open port drops DTR, which resets a radio in the middle of
  // a read, a send or a monitor: only a closed port is opened.
  if (!serial_.Active()) openPort();
  refreshStatus();
  view_.setVisible(false);
  FormHide();
}

void TcomPort::FormHide() {
  // Only a search belongs to the dialog; any other task carries on when it
  // is hidden.
  const bool searching = state_ == psConfigAuto || autoConfigureRunning();
  if (!searching) return;
  if (state_ == psConfigAuto) queue_.Clear();
  // A search still running ends with the dialog; its controls come back.
  if (autoConfigureRunning()) cancelAutoConfigure();
  state_ = psIdle;
  view_.setAutoConfigureCaption(kAutoConfigureCaption);
}

void TcomPort::applyCode(int code) {
  if (code < 0 || code == AppliedCode || !isSettingsCode(code)) return;
  closePort();
  LineSettingsIndices s = decodeSettingsCode(code);
  view_.setBaudRateIndex(s.baudIndex);
  baudRateChange();
  view_.setParityIndex(s.parityIndex);
  parityClick();
  view_.setDataBitsIndex(s.dataBitsIndex);
  dataBitsClick();
  view_.setStopBitsIndex(s.stopBitsIndex);
  stopBitsClick();
  AppliedCode = code;
  if (task_ == tkAutoConfigure) advanceNextCode();
  openPort();
  refreshStatus();
}

void TcomPort::advanceNextCode() {
  NextCode = nextSearchCode(NextCode);
  if (NextCode >= kSearchEnd) {
    cancelAutoConfigure();
    state_ = psError;
  }
}

void TcomPort::rebuildPortList() {
  view_.clearPortNumberItems();
  std::string first;
  for (int port = 1; port <= 9; ++port) {
    closePort();
    serial_.setPort(port);
    openPort();
    if (serial_.Active()) {
      view_.addPortNumberItem(std::to_string(port));
      if (first.empty()) first = std::to_string(port);
    }
  }
  closePort();
  if (!first.empty()) {
    view_.setPortNumberText(first);
    comPortNumberChange();
  }
}

void TcomPort::loadSettings() {
  if (!settings_.exists()) return;
  loading_ = true;
  std::string port;
  if (settings_.readString("ComPort", port)) {
    view_.setPortNumberText(port);
    if (port.empty()) {
      defaultsClick();
    } else {
      int number = text::smallNumber(port, 3);
      if (number > 0 && number <= kMaxPort) serial_.setPort(number);
      // A guarded block: the first value missing ends it, keeping what was
      // read so far.
      do {
        std::string s;
        int n = 0;
        if (!settings_.readString("Baud rate", s)) break;
        view_.setBaudRateText(s);
        baudRateChange();
        if (!settings_.readInteger("Data Bits", n)) break;
        view_.setDataBitsIndex(n == 8 ? 1 : 0);
        dataBitsClick();
        if (!settings_.readInteger("Stop Bits", n)) break;
        view_.setStopBitsIndex(n == 1 ? 0 : 1);
        stopBitsClick();
        if (!settings_.readString("Parity", s)) break;
        view_.setParityIndex(s == "None" ? 2 : s == "Even" ? 0 : 1);
        parityClick();
        if (!settings_.readInteger("autoConfig", n)) break;
        // Only codes the engine itself could have stored are taken.
        if (isSettingsCode(n)) NextCode = n;
      } while (false);
    }
  }
  loading_ = false;
}

void TcomPort::SaveSettings() {
  if (loading_) return;
  // Failures are ignored: the settings are a convenience.
  settings_.writeString("ComPort", view_.portNumberText());
  settings_.writeString("Baud rate", view_.baudRateText());
  settings_.writeInteger("Data Bits", view_.dataBitsIndex() == 1 ? 8 : 7);
  settings_.writeInteger("Stop Bits", view_.stopBitsIndex() == 1 ? 2 : 1);
  int p = view_.parityIndex();
  settings_.writeString("Parity", p == 2 ? "None" : p == 1 ? "Odd" : "Even");
  settings_.writeInteger("autoConfig", AppliedCode);
}

}  // namespace tessel
