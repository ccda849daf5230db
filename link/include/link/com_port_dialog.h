#pragma once

#include <string>

#include "link/com_port_view.h"
#include "link/port_settings.h"

namespace tessel {

class Prompts;
class SerialLink;
class SettingsStore;

// What the COM port dialog needs of the engine it belongs to.
class ComPortDialogHost {
 public:
  virtual ~ComPortDialogHost() = default;
  // The user (or a settings code) changed a line setting.
  virtual void lineSettingsEdited() = 0;
  virtual void portStatusChanged() = 0;
  // No port under the number typed: the engine must not reopen the old one.
  virtual void stopTicks() = 0;
  // Starts the search task; false when it could not start (port closed, or
  // a read, a send or a monitor runs, which the user is told).
  virtual bool startSearch(const std::string& title) = 0;
  // The search ended (cancelled, or the dialog closed): the engine idles.
  virtual void searchCancelled() = 0;
  // Every code was tried without an answer.
  virtual void searchExhausted() = 0;
  virtual bool searching() const = 0;  // the search task runs
  virtual void dialogHidden() = 0;
};

// The logic of the COM port dialog: the line settings and their codes, the
// auto-configuration search, the port scan, the control states and the
// settings kept per user. Its controls are seen through a ComPortView.
class ComPortDialog {
 public:
  static constexpr const char* kAutoConfigureCaption = "&Auto Configure";
  static constexpr const char* kCancelCaption = "Cancel";

  ComPortDialog(SerialLink& serial, Prompts& prompts, SettingsStore& settings, ComPortView& view,
                ComPortDialogHost& host);

  // The initial selection reaches the port, then the stored settings are
  // read over it.
  void initialise();

  // The line as the controls show it (baud 0 while the box holds no known
  // rate), and a line shown in the controls and put onto the port at once:
  // the controls' handlers below do the same, one setting each.
  LineSettings line() const;
  void setLine(const LineSettings& line);

  // Handlers of the dialog's controls.
  void comPortNumberChange();
  void comPortNumberExit();
  void baudRateChange();
  void parityClick();
  void dataBitsClick();
  void stopBitsClick();
  void defaultsClick();
  void autoConfigureClick();
  void OkClick();
  void FormHide();
  void SaveSettings();

  // Sets the line from a settings code (nothing for a negative code or the
  // one in force); during the search this also moves to the next code.
  void applyCode(int code);
  // The code the next connect starts from, and the one in force (-1: none).
  int nextCode() const { return nextCode_; }
  void setNextCode(int code) { nextCode_ = code; }
  int appliedCode() const { return appliedCode_; }
  void forgetAppliedCode() { appliedCode_ = -1; }

  bool searchRunning() const { return searchRunning_; }
  // Ends a running search: the button offers it again, the controls return.
  void cancelSearch();

  // The baud rate chosen, or 0 while the box holds no known rate.
  int selectedBaud() const { return selectedBaud_; }
  // The line chosen in the controls is the one the code sets.
  bool selectionIs(int code) const;

  // "0" typed as the port number asks for the list of ports that open.
  bool portListWanted() const;
  void rebuildPortList();
  // "Active COM1:9600, 8,n,1": the port as the status bar shows it.
  std::string portText() const;
  void openPort();
  void updateControls();

 private:
  void closePort();
  // One setting onto the port (a rate it does not know closes it).
  void useBaud(int rate);
  void useParity(eParity parity);
  void useDataBits(eDataBits bits);
  void useStopBits(eStopBits bits);
  void advanceNextCode();
  void showSearchState();
  void loadSettings();

  SerialLink& serial_;
  Prompts& prompts_;
  SettingsStore& settings_;
  ComPortView& view_;
  ComPortDialogHost& host_;

  int nextCode_ = 0;
  int appliedCode_ = -1;
  int selectedBaud_ = 0;
  bool searchRunning_ = false;
  bool loading_ = false;
};

}  // namespace tessel
