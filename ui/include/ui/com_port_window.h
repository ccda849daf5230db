#pragma once

// The COM port dialog: widgets over the engine's ComPortView. The engine
// holds the logic; a user's edit sets the state and runs its handler, while
// the engine's own writes to the view run none.
#include <QDialog>
#include <functional>
#include <map>

#include "link/com_port_view.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QInputDialog;
class QLabel;
class QPushButton;
class QRadioButton;

namespace tessel {

class SettingsStore;

class ComPortWindow : public QDialog, public ComPortView {
  Q_OBJECT
 public:
  // settings: where COM<n> may name a device (shown beside each number);
  // pinning a port writes it there.
  explicit ComPortWindow(SettingsStore* settings, QWidget* parent = nullptr);

  static constexpr const char* kPinCaption = "Pin to this adapter";
  static constexpr const char* kNetworkCaption = "Network...";

  // What the user's edits run; the engine's handlers, connected where the
  // program is wired (the engine is created after the dialog and loads its
  // state into it). Unset ones do nothing.
  struct Handlers {
    std::function<void()> portNumberChange, portNumberExit, baudRateChange, parityClick,
        dataBitsClick, stopBitsClick, autoConfigureClick, defaultsClick, finishClick, hidden;
  };
  void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }

  // The device a port number maps to, as the dialog shows it.
  std::function<std::string(int port)> devicePath;
  // Where devices and their USB details are looked up (tests use a fake tree).
  std::string devRoot = "/dev";
  std::string sysRoot = "/sys";

  // Adapters came or went: the descriptions and the pin button follow.
  void refreshPorts();

  QComboBox* portNumberBox() const { return port_; }
  QComboBox* baudRateBox() const { return baud_; }
  QRadioButton* parityButton(int index) const;
  QRadioButton* dataBitsButton(int index) const;
  QRadioButton* stopBitsButton(int index) const;
  QPushButton* autoConfigureButton() const { return auto_; }
  QPushButton* defaultsButton() const { return defaults_; }
  QPushButton* finishButton() const { return finish_; }
  QLabel* deviceLabel() const { return device_; }
  QPushButton* pinButton() const { return pin_; }
  QPushButton* networkButton() const { return network_; }
  // The selected number's network address being asked for (null when not).
  QInputDialog* networkDialog() const { return networkDialog_; }
  // A port number as the drop-down lists it: with its device beside it.
  QString portItemText(const QString& number) const;

  // ComPortView.
  std::string portNumberText() const override;
  void setPortNumberText(const std::string& text) override;
  std::vector<std::string> portNumberItems() const override;
  void clearPortNumberItems() override;
  void addPortNumberItem(const std::string& text) override;
  std::string baudRateText() const override;
  void setBaudRateText(const std::string& text) override;
  int baudRateIndex() const override;
  void setBaudRateIndex(int index) override;
  int parityIndex() const override;
  void setParityIndex(int index) override;
  int dataBitsIndex() const override;
  void setDataBitsIndex(int index) override;
  int stopBitsIndex() const override;
  void setStopBitsIndex(int index) override;
  bool isEnabled(ComPortControl control) const override;
  void setEnabled(ComPortControl control, bool enabled) override;
  std::string autoConfigureCaption() const override;
  void setAutoConfigureCaption(const std::string& caption) override;
  bool isVisible() const override;
  void setVisible(bool visible) override;
  void setWaitCursor(bool waiting) override;

 protected:
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* widgetOf(ComPortControl control) const;
  void showDevice();
  int selectedPort() const;  // 1..9, or 0
  std::string describe(int port) const;
  // Finish: the network addresses chosen become the numbers' settings (the
  // selected number opens again on its own); false, the reason shown,
  // when one cannot be stored.
  bool commitNetwork();
  void pinClicked();
  void networkClicked();
  QGroupBox* radioGroup(const char* name, const char* caption, QButtonGroup*& group,
                        const std::vector<const char*>& items, int columns);

  SettingsStore* settings_;
  Handlers handlers_;
  int updating_ = 0;  // >0 while the engine writes: no handlers run
  bool waitCursor_ = false;
  QGroupBox* box_;
  QComboBox* port_;
  QLabel* device_;
  QComboBox* baud_;
  QGroupBox* parityBox_;
  QGroupBox* dataBitsBox_;
  QGroupBox* stopBitsBox_;
  QButtonGroup* parity_;
  QButtonGroup* dataBits_;
  QButtonGroup* stopBits_;
  QPushButton* auto_;
  QPushButton* defaults_;
  QPushButton* finish_;
  QPushButton* pin_;
  QPushButton* network_;
  QInputDialog* networkDialog_ = nullptr;
  // Addresses chosen in Network... and not finished yet, by number; empty
  // for back to the local device.
  std::map<int, std::string> pending_;
};

}  // namespace tessel
