#include "ui/com_port_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "model/value_texts.h"
#include "serial/com_ports.h"
#include "serial/net_address.h"
#include "serial/usb_info.h"
#include "ui/qt_seams.h"

namespace tessel {

namespace {

// The drop-down shows each number with its device ("1  /dev/ttyUSB0");
// the box itself keeps the bare number, which is what the engine reads.
class PortItemDelegate : public QStyledItemDelegate {
 public:
  PortItemDelegate(const ComPortWindow* dialog, QObject* parent)
      : QStyledItemDelegate(parent), dialog_(dialog) {}

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = dialog_->portItemText(option->text);
  }

 private:
  const ComPortWindow* dialog_;
};

void run(const std::function<void()>& handler) {
  if (handler) handler();
}

class Updating {
 public:
  explicit Updating(int& n) : n_(n) { ++n_; }
  ~Updating() { --n_; }

 private:
  int& n_;
};

}  // namespace

ComPortWindow::ComPortWindow(SettingsStore* settings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), settings_(settings) {
  setObjectName(QStringLiteral("comPort"));
  setWindowTitle(QStringLiteral("COM Port"));
  setAccessibleName(QStringLiteral("COM Port"));
  setModal(false);
  devicePath = [this](int port) { return comDevicePath(port, settings_, devRoot); };

  box_ = new QGroupBox(QStringLiteral("COM Port"), this);
  box_->setObjectName(QStringLiteral("commPort"));
  box_->setAccessibleName(QStringLiteral("COM Port"));

  port_ = new QComboBox(box_);
  port_->setObjectName(QStringLiteral("comPortNumber"));
  port_->setEditable(true);
  port_->setAccessibleName(QStringLiteral("COM Port"));
  port_->setItemDelegate(new PortItemDelegate(this, port_));
  for (int n = 1; n <= 9; ++n) port_->addItem(QString::number(n));
  port_->setCurrentIndex(-1);
  port_->lineEdit()->installEventFilter(this);
  device_ = new QLabel(box_);
  device_->setObjectName(QStringLiteral("comPortDevice"));
  device_->setAccessibleName(QStringLiteral("Device"));
  device_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  pin_ = new QPushButton(QLatin1String(kPinCaption), box_);
  pin_->setObjectName(QStringLiteral("pinAdapter"));
  pin_->setAccessibleName(QLatin1String(kPinCaption));
  pin_->setAutoDefault(false);
  pin_->setEnabled(false);
  connect(pin_, &QPushButton::clicked, this, [this] { pinClicked(); });
  network_ = new QPushButton(QLatin1String(kNetworkCaption), box_);
  network_->setObjectName(QStringLiteral("networkAddress"));
  network_->setAccessibleName(QLatin1String(kNetworkCaption));
  network_->setToolTip(
      QStringLiteral("Map this number to a serial device server: rfc2217://HOST:PORT or "
                     "tcp://HOST:PORT"));
  network_->setAutoDefault(false);
  network_->setEnabled(false);  // until a number is chosen
  connect(network_, &QPushButton::clicked, this, [this] { networkClicked(); });

  auto* baudLabel = new QLabel(QStringLiteral("Baud Rate"), box_);
  baud_ = new QComboBox(box_);
  baud_->setObjectName(QStringLiteral("baudRate"));
  baud_->setAccessibleName(QStringLiteral("Baud Rate"));
  baud_->setEditable(true);
  for (const std::string& item : baudRateItems()) baud_->addItem(qt(item));
  baudLabel->setBuddy(baud_);

  parityBox_ =
      radioGroup("parity", "Parity", parity_,
                 std::vector<const char*>(std::begin(kParityTexts), std::end(kParityTexts)), 1);
  dataBitsBox_ =
      radioGroup("dataBits", "Data Bits", dataBits_,
                 std::vector<const char*>(std::begin(kDataBitsTexts), std::end(kDataBitsTexts)), 2);
  stopBitsBox_ =
      radioGroup("stopBits", "Stop Bits", stopBits_,
                 std::vector<const char*>(std::begin(kStopBitsTexts), std::end(kStopBitsTexts)), 2);

  auto* grid = new QGridLayout(box_);
  grid->addWidget(port_, 0, 0);
  grid->addWidget(device_, 0, 1);
  grid->addWidget(network_, 1, 0);
  grid->addWidget(pin_, 1, 1);
  grid->addWidget(baudLabel, 2, 0);
  grid->addWidget(baud_, 2, 1);
  grid->addWidget(parityBox_, 3, 0, 2, 1);
  grid->addWidget(dataBitsBox_, 3, 1);
  grid->addWidget(stopBitsBox_, 4, 1);

  auto makeButton = [this](const char* name, const char* caption) {
    auto* b = new QPushButton(QLatin1String(caption), this);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(withoutMnemonic(QLatin1String(caption)));
    b->setAutoDefault(false);
    return b;
  };
  auto_ = makeButton("autoConfigure", "&Auto Configure");
  defaults_ = makeButton("defaults", "Defaults");
  finish_ = makeButton("Ok", "Finish");

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(auto_);
  buttons->addWidget(defaults_);
  buttons->addWidget(finish_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetMinimumSize);

  connect(port_, &QComboBox::editTextChanged, this, [this] {
    showDevice();
    if (!updating_) run(handlers_.portNumberChange);
  });
  connect(baud_, &QComboBox::editTextChanged, this, [this] {
    if (!updating_) run(handlers_.baudRateChange);
  });
  connect(parity_, &QButtonGroup::idClicked, this, [this] {
    if (!updating_) run(handlers_.parityClick);
  });
  connect(dataBits_, &QButtonGroup::idClicked, this, [this] {
    if (!updating_) run(handlers_.dataBitsClick);
  });
  connect(stopBits_, &QButtonGroup::idClicked, this, [this] {
    if (!updating_) run(handlers_.stopBitsClick);
  });
  connect(auto_, &QPushButton::clicked, this, [this] { run(handlers_.autoConfigureClick); });
  connect(defaults_, &QPushButton::clicked, this, [this] { run(handlers_.defaultsClick); });
  connect(finish_, &QPushButton::clicked, this, [this] {
    if (commitNetwork()) run(handlers_.finishClick);
  });
}

QGroupBox* ComPortWindow::radioGroup(const char* name, const char* caption, QButtonGroup*& group,
                                     const std::vector<const char*>& items, int columns) {
  auto* box = new QGroupBox(QLatin1String(caption), box_);
  box->setObjectName(QLatin1String(name));
  box->setAccessibleName(QLatin1String(caption));
  group = new QButtonGroup(box);
  auto* grid = new QGridLayout(box);
  for (int i = 0; i < static_cast<int>(items.size()); ++i) {
    auto* b = new QRadioButton(QLatin1String(items[static_cast<size_t>(i)]), box);
    b->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(name)).arg(i));
    // Its caption, like every control; the group box around it says which.
    b->setAccessibleName(QLatin1String(items[static_cast<size_t>(i)]));
    group->addButton(b, i);
    grid->addWidget(b, i / columns, i % columns);
  }
  return box;
}

QString ComPortWindow::portItemText(const QString& number) const {
  bool ok = false;
  const int port = number.trimmed().toInt(&ok);
  if (!ok || !devicePath) return number;
  const std::string text = describe(port);
  return number + QStringLiteral("  ") + (text.empty() ? QStringLiteral("(none)") : qt(text));
}

std::string ComPortWindow::describe(int port) const {
  if (port < 1 || port > 9 || !devicePath) return {};
  // A network address chosen but not finished yet.
  const auto pending = pending_.find(port);
  if (pending != pending_.end()) {
    NetAddress parsed;
    std::string error;
    if (pending->second.empty()) return "the local device, from Finish";
    if (parseNetAddress(pending->second, parsed, error))
      return netPortDescription(parsed) + ", from Finish";
  }
  const std::string device = devicePath(port);
  if (device.empty()) return {};
  const ComPortEntry entry = comPortEntry(port, device, settings_, devRoot, sysRoot);
  // Only a pinned device is missed when absent; a listed one just shows its name.
  if (!entry.info.present && !entry.pinned) return device;
  return comPortDescription(entry);
}

int ComPortWindow::selectedPort() const {
  bool ok = false;
  const int port = port_->currentText().trimmed().toInt(&ok);
  return ok && port >= 1 && port <= 9 ? port : 0;
}

void ComPortWindow::refreshPorts() {
  showDevice();
  port_->view()->viewport()->update();  // the drop-down's descriptions
}

void ComPortWindow::pinClicked() {
  const int port = selectedPort();
  if (port && settings_) pinComPort(port, *settings_, devRoot, sysRoot);
  showDevice();
}

void ComPortWindow::networkClicked() {
  const int port = selectedPort();
  if (!port || !settings_) return;
  delete networkDialog_;
  auto* ask = new QInputDialog(this);
  networkDialog_ = ask;
  ask->setObjectName(QStringLiteral("networkDialog"));
  ask->setWindowTitle(QStringLiteral("Network Port"));
  ask->setAccessibleName(QStringLiteral("Network Port"));
  const QString prompt = QStringLiteral(
                             "COM%1 reaches a serial device server at (rfc2217://HOST:PORT, or "
                             "tcp://HOST:PORT for a raw port whose line settings are the server's; "
                             "empty for the local device):")
                             .arg(port);
  ask->setLabelText(prompt);
  std::string held;
  const auto pending = pending_.find(port);
  if (pending != pending_.end())
    ask->setTextValue(qt(pending->second));
  else if (settings_->readString("COM" + std::to_string(port), held) && isNetAddress(held))
    ask->setTextValue(qt(held));
  // OK is offered for a valid address (or none); the label says what is wrong.
  const auto check = [ask, prompt](const QString& text) {
    NetAddress parsed;
    std::string error;
    const bool valid = text.isEmpty() || parseNetAddress(latin1(text), parsed, error);
    ask->setLabelText(valid ? prompt : qt(error));
    if (auto* box = ask->findChild<QDialogButtonBox*>())
      if (auto* ok = box->button(QDialogButtonBox::Ok)) ok->setEnabled(valid);
  };
  connect(ask, &QInputDialog::textValueChanged, ask, check);
  // Taken at Finish, as the dialog's other settings are: until then the
  // number stays on what it maps to.
  connect(ask, &QInputDialog::textValueSelected, this, [this, port](const QString& text) {
    pending_[port] = latin1(text.trimmed());
    showDevice();
    port_->view()->viewport()->update();
  });
  connect(ask, &QDialog::finished, this, [this, ask] {
    if (networkDialog_ == ask) networkDialog_ = nullptr;
    ask->deleteLater();
  });
  ask->open();
  if (auto* edit = ask->findChild<QLineEdit*>()) {
    edit->setObjectName(QStringLiteral("networkAddressEdit"));
    edit->setAccessibleName(QStringLiteral("Network address"));
  }
  check(ask->textValue());
}

QRadioButton* ComPortWindow::parityButton(int index) const {
  return qobject_cast<QRadioButton*>(parity_->button(index));
}
QRadioButton* ComPortWindow::dataBitsButton(int index) const {
  return qobject_cast<QRadioButton*>(dataBits_->button(index));
}
QRadioButton* ComPortWindow::stopBitsButton(int index) const {
  return qobject_cast<QRadioButton*>(stopBits_->button(index));
}

void ComPortWindow::showDevice() {
  const int port = selectedPort();
  QString text = qt(describe(port));
  // A number with nothing behind it says so, rather than leaving the
  // controls disabled without a reason.
  bool number = false;
  const int typed = port_->currentText().trimmed().toInt(&number);
  if (text.isEmpty() && number && typed > 0 && devicePath)
    text = QStringLiteral("No serial device for COM%1").arg(typed);
  device_->setText(text);
  // Offered while the device has a stable name the setting does not hold yet.
  bool canPin = false;
  if (port && settings_ && devicePath) {
    const std::string stable = stableDeviceFor(port, settings_, devRoot, sysRoot);
    canPin = !stable.empty() && stable != devicePath(port);
  }
  pin_->setEnabled(canPin);
  network_->setEnabled(port != 0 && settings_);
}

std::string ComPortWindow::portNumberText() const {
  return latin1(port_->currentText());
}

void ComPortWindow::setPortNumberText(const std::string& text) {
  Updating u(updating_);
  port_->setEditText(qt(text));
  showDevice();
}

std::vector<std::string> ComPortWindow::portNumberItems() const {
  std::vector<std::string> out;
  for (int i = 0; i < port_->count(); ++i) out.push_back(latin1(port_->itemText(i)));
  return out;
}

void ComPortWindow::clearPortNumberItems() {
  Updating u(updating_);
  const QString text = port_->currentText();
  port_->clear();
  port_->setEditText(text);
}

void ComPortWindow::addPortNumberItem(const std::string& text) {
  Updating u(updating_);
  const QString current = port_->currentText();
  port_->addItem(qt(text));
  port_->setEditText(current);
}

std::string ComPortWindow::baudRateText() const {
  return latin1(baud_->currentText());
}

void ComPortWindow::setBaudRateText(const std::string& text) {
  Updating u(updating_);
  const int i = baud_->findText(qt(text), Qt::MatchExactly);
  baud_->setCurrentIndex(i);
  baud_->setEditText(qt(text));
}

int ComPortWindow::baudRateIndex() const {
  const int i = baud_->findText(baud_->currentText(), Qt::MatchExactly);
  return i;
}

void ComPortWindow::setBaudRateIndex(int index) {
  Updating u(updating_);
  if (index >= 0 && index < baud_->count()) {
    baud_->setCurrentIndex(index);
    baud_->setEditText(baud_->itemText(index));
  } else {
    baud_->setCurrentIndex(-1);
    baud_->setEditText(QString());
  }
}

int ComPortWindow::parityIndex() const {
  return parity_->checkedId();
}
void ComPortWindow::setParityIndex(int index) {
  Updating u(updating_);
  if (auto* b = parity_->button(index)) b->setChecked(true);
}
int ComPortWindow::dataBitsIndex() const {
  return dataBits_->checkedId();
}
void ComPortWindow::setDataBitsIndex(int index) {
  Updating u(updating_);
  if (auto* b = dataBits_->button(index)) b->setChecked(true);
}
int ComPortWindow::stopBitsIndex() const {
  return stopBits_->checkedId();
}
void ComPortWindow::setStopBitsIndex(int index) {
  Updating u(updating_);
  if (auto* b = stopBits_->button(index)) b->setChecked(true);
}

QWidget* ComPortWindow::widgetOf(ComPortControl control) const {
  switch (control) {
    case cpPortNumber:
      return port_;
    case cpBaudRate:
      return baud_;
    case cpParity:
      return parityBox_;
    case cpDataBits:
      return dataBitsBox_;
    case cpStopBits:
      return stopBitsBox_;
    case cpAutoConfigure:
      return auto_;
    case cpDefaults:
      return defaults_;
    case cpFinish:
      return finish_;
    default:
      return nullptr;
  }
}

bool ComPortWindow::isEnabled(ComPortControl control) const {
  QWidget* w = widgetOf(control);
  return w && w->isEnabled();
}

void ComPortWindow::setEnabled(ComPortControl control, bool enabled) {
  if (QWidget* w = widgetOf(control)) w->setEnabled(enabled);
}

std::string ComPortWindow::autoConfigureCaption() const {
  return latin1(auto_->text());
}

void ComPortWindow::setAutoConfigureCaption(const std::string& caption) {
  auto_->setText(qt(caption));
  auto_->setAccessibleName(withoutMnemonic(qt(caption)));
}

bool ComPortWindow::isVisible() const {
  return QDialog::isVisible();
}

void ComPortWindow::setVisible(bool visible) {
  QDialog::setVisible(visible);
}

void ComPortWindow::setWaitCursor(bool waiting) {
  if (waiting == waitCursor_) return;
  waitCursor_ = waiting;
  if (waiting)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

bool ComPortWindow::commitNetwork() {
  bool reopen = false;
  for (auto it = pending_.begin(); it != pending_.end();) {
    std::string error;
    if (!settings_ || !setComNetAddress(it->first, it->second, *settings_, error)) {
      device_->setText(qt(error));
      return false;
    }
    reopen = reopen || it->first == selectedPort();
    it = pending_.erase(it);
  }
  showDevice();
  port_->view()->viewport()->update();
  // The number opens again, now on what it maps to.
  if (reopen) run(handlers_.portNumberChange);
  return true;
}

void ComPortWindow::hideEvent(QHideEvent* event) {
  // Closed without Finish: an address chosen is not taken.
  if (!event->spontaneous()) pending_.clear();
  QDialog::hideEvent(event);
  // Minimising the desktop is no hiding of the dialog.
  if (!event->spontaneous()) run(handlers_.hidden);
}

bool ComPortWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == port_->lineEdit() && event->type() == QEvent::FocusOut && QDialog::isVisible())
    run(handlers_.portNumberExit);
  return QDialog::eventFilter(watched, event);
}

}  // namespace tessel
