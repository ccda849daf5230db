// The COM port dialog's logic: line settings, settings codes, the search
// for the radio's settings, the port scan, and the settings kept per user.
#include "link/com_port_dialog.h"

#include "link/port_settings.h"
#include "model/parameter_table.h"
#include "seams/prompts.h"
#include "seams/settings_store.h"
#include "serial/serial_link.h"
#include "text_util.h"

#include <iterator>

namespace tessel {

namespace {
constexpr int kMaxPort = 9;  // COM1..COM9, as the serial component takes them
constexpr ComPortControl kLineControls[] = {cpPortNumber, cpBaudRate, cpParity, cpDataBits,
                                            cpStopBits};
}  // namespace

ComPortDialog::ComPortDialog(SerialLink& serial, Prompts& prompts, SettingsStore& settings,
                             ComPortView& view, ComPortDialogHost& host)
    : serial_(serial), prompts_(prompts), settings_(settings), view_(view), host_(host) {}

void ComPortDialog::initialise() {
  showSearchState();
  setLine(LineSettings{});
  loadSettings();
  appliedCode_ = -1;
}

// The dialog's controls follow every open and close.
void ComPortDialog::openPort() {
  serial_.setActive(true);
  updateControls();
}

void ComPortDialog::closePort() {
  serial_.setActive(false);
  updateControls();
}

void ComPortDialog::updateControls() {
  // The port number box is left alone: only the search disables it.
  // Finish is always the way out, a port that would not open included: it
  // tries once more and closes the dialog.
  const bool open = serial_.Active();
  view_.setEnabled(cpDefaults, true);
  view_.setEnabled(cpFinish, true);
  for (ComPortControl c : {cpBaudRate, cpDataBits, cpParity, cpStopBits, cpAutoConfigure})
    view_.setEnabled(c, open);
}

// The button's caption and the line controls show whether a search runs.
void ComPortDialog::showSearchState() {
  view_.setAutoConfigureCaption(searchRunning_ ? kCancelCaption : kAutoConfigureCaption);
}

void ComPortDialog::comPortNumberChange() {
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
    host_.stopTicks();
  }
  host_.portStatusChanged();
}

void ComPortDialog::comPortNumberExit() {
  if (view_.portNumberText().empty())
    prompts_.show(PromptIcon::Error, std::string("COM Port") + " needs a value.", pbOk);
}

LineSettings ComPortDialog::line() const {
  return {selectedBaud_, parityOfItem(view_.parityIndex()),
          view_.dataBitsIndex() == 0 ? d7bit : d8bit, view_.stopBitsIndex() == 1 ? st2bit : st1bit};
}

void ComPortDialog::setLine(const LineSettings& line) {
  const int item = baudItemOf(line.baud);
  if (item >= 0)
    view_.setBaudRateIndex(item);
  else
    view_.setBaudRateText(line.baud ? std::to_string(line.baud) : std::string());
  useBaud(line.baud);
  view_.setParityIndex(parityItemOf(line.parity));
  useParity(line.parity);
  view_.setDataBitsIndex(line.dataBits == d7bit ? 0 : 1);
  useDataBits(line.dataBits);
  view_.setStopBitsIndex(line.stopBits == st2bit ? 1 : 0);
  useStopBits(line.stopBits);
}

void ComPortDialog::baudRateChange() {
  useBaud(text::smallNumber(trimBlanks(view_.baudRateText()), 6));
}

void ComPortDialog::parityClick() {
  useParity(parityOfItem(view_.parityIndex()));
}

void ComPortDialog::dataBitsClick() {
  useDataBits(view_.dataBitsIndex() == 0 ? d7bit : d8bit);
}

void ComPortDialog::stopBitsClick() {
  useStopBits(view_.stopBitsIndex() == 1 ? st2bit : st1bit);
}

void ComPortDialog::useBaud(int rate) {
  const bool known = rate > 0 && baudItemOf(rate) >= 0;
  selectedBaud_ = known ? rate : 0;
  if (known)
    serial_.setBaudrate(rate);
  else
    closePort();
  host_.lineSettingsEdited();
}

void ComPortDialog::useParity(eParity parity) {
  serial_.setParity(parity);
  host_.lineSettingsEdited();
}

void ComPortDialog::useDataBits(eDataBits bits) {
  serial_.setDataBits(bits);
  host_.lineSettingsEdited();
}

void ComPortDialog::useStopBits(eStopBits bits) {
  serial_.setStopBits(bits);
  host_.lineSettingsEdited();
}

void ComPortDialog::defaultsClick() {
  view_.setPortNumberText("1");
  if (serial_.Port() != 1) {
    closePort();
    serial_.setPort(1);
  }
  nextCode_ = kDefaultSettingsCode;
  // The line settings may have been changed by hand since the code was
  // last applied: the defaults are set again whatever was applied before.
  appliedCode_ = -1;
  applyCode(kDefaultSettingsCode);
}

void ComPortDialog::autoConfigureClick() {
  if (searchRunning_) {
    cancelSearch();
    return;
  }
  if (!host_.startSearch(kAutoConfigureCaption)) return;  // closed or busy
  searchRunning_ = true;
  showSearchState();
  for (ComPortControl c : kLineControls) view_.setEnabled(c, false);
}

bool ComPortDialog::selectionIs(int code) const {
  if (!isSettingsCode(code)) return false;
  const LineSettingsIndices s = decodeSettingsCode(code);
  // The rate as read from the box: a typed rate counts as its item.
  return selectedBaud_ == std::stoi(baudRates().at(s.baudIndex)) &&
         view_.parityIndex() == s.parityIndex && view_.dataBitsIndex() == s.dataBitsIndex &&
         view_.stopBitsIndex() == s.stopBitsIndex;
}

void ComPortDialog::cancelSearch() {
  host_.searchCancelled();
  searchRunning_ = false;
  showSearchState();
  for (ComPortControl c : kLineControls) view_.setEnabled(c, true);
  updateControls();
}

void ComPortDialog::OkClick() {
  // Reopening an open port drops DTR, which resets a radio in the middle of
  // a read, a send or a monitor: only a closed port is opened.
  if (!serial_.Active()) openPort();
  host_.portStatusChanged();
  view_.setVisible(false);
  FormHide();
}

void ComPortDialog::FormHide() {
  host_.dialogHidden();
  // A search still running ends with the dialog; its controls come back.
  if (searchRunning_) cancelSearch();
  showSearchState();
}

void ComPortDialog::applyCode(int code) {
  if (code < 0 || code == appliedCode_ || !isSettingsCode(code)) return;
  closePort();
  setLine(lineOfCode(code));
  appliedCode_ = code;
  if (host_.searching()) advanceNextCode();
  openPort();
  host_.portStatusChanged();
}

void ComPortDialog::advanceNextCode() {
  nextCode_ = nextSearchCode(nextCode_);
  if (nextCode_ >= kSearchEnd) {
    cancelSearch();
    host_.searchExhausted();
  }
}

bool ComPortDialog::portListWanted() const {
  return view_.portNumberText() == "0";
}

std::string ComPortDialog::portText() const {
  std::string parity = serial_.Parity() == paEven ? ",e" : serial_.Parity() == paOdd ? ",o" : ",n";
  return std::string(serial_.Active() ? "Active " : "Inactive ") + "COM" + view_.portNumberText() +
         ":" + std::to_string(serial_.Baudrate()) + ", " +
         (serial_.DataBits() == d8bit ? "8" : "7") + parity +
         (serial_.StopBits() == st2bit ? ",2" : ",1");
}

void ComPortDialog::rebuildPortList() {
  view_.clearPortNumberItems();
  std::string first;
  for (int port = 1; port <= kMaxPort; ++port) {
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

void ComPortDialog::loadSettings() {
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
        if (isSettingsCode(n)) nextCode_ = n;
      } while (false);
    }
  }
  loading_ = false;
}

void ComPortDialog::SaveSettings() {
  if (loading_) return;
  // Failures are ignored: the settings are a convenience.
  settings_.writeString("ComPort", view_.portNumberText());
  settings_.writeString("Baud rate", view_.baudRateText());
  settings_.writeInteger("Data Bits", view_.dataBitsIndex() == 1 ? 8 : 7);
  settings_.writeInteger("Stop Bits", view_.stopBitsIndex() == 1 ? 2 : 1);
  int p = view_.parityIndex();
  settings_.writeString("Parity", p == 2 ? "None" : p == 1 ? "Odd" : "Even");
  settings_.writeInteger("autoConfig", appliedCode_);
}

}  // namespace tessel
