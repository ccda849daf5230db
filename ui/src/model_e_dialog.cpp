#include "ui/model_e_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/typed_key.h"

#include "model/brand_profile.h"
#include "model/main_window_model.h"
#include "model/parameter_table.h"
#include "ui/parameter_panel.h"

namespace tessel {

namespace {

std::string ls(const QString& text) {
  return text.toLatin1().toStdString();
}

QString spoken(const char* caption) {
  QString out = QLatin1String(caption);
  out.remove(QLatin1Char('&'));
  return out;
}

}  // namespace

ModelEDialog::ModelEDialog(ParameterPanel& panel, MainWindowModel& window,
                           const BrandProfile& profile, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      panel_(panel),
      profile_(profile),
      rules_(window) {
  setObjectName(QStringLiteral("vireoEsRegs"));
  setWindowTitle(QLatin1String(profile.setupTitle));
  setAccessibleName(windowTitle());
  setModal(false);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(5, 5, 5, 5);

  auto* plcBox = new QGroupBox(QStringLiteral("PLC"), this);
  plcBox->setAccessibleName(plcBox->title());
  auto* plcForm = new QFormLayout(plcBox);
  addChoice(ctl::emulationMode, "Emulation Mode", "Select PLC emulation mode", plcBox, plcForm);
  addField(ctl::plcAddress, "PLC Address", hintOf(param::plcAddress).c_str(), nullptr, plcBox,
           plcForm);
  addChoice(ctl::mainSerialPort, "Main Serial Port", "", plcBox, plcForm);
  column->addWidget(plcBox);

  auto* sleepBox = new QGroupBox(QStringLiteral("Sleep"), this);
  sleepBox->setAccessibleName(sleepBox->title());
  auto* sleepForm = new QFormLayout(sleepBox);
  addChoice(ctl::sleepMode, "Sleep Mode", "Low power options for this radio", sleepBox, sleepForm);
  addField(ctl::startTime, "Start Time", hintOf(param::startTime).c_str(), "00:00", sleepBox,
           sleepForm);
  addField(ctl::onTimer, "Radio ON Time", hintOf(param::onTimer).c_str(), nullptr, sleepBox,
           sleepForm);
  addField(ctl::offTimer, "Radio OFF Time", hintOf(param::offTimer).c_str(), nullptr, sleepBox,
           sleepForm);
  column->addWidget(sleepBox);

  auto* clockBox = new QGroupBox(QStringLiteral("Clock"), this);
  clockBox->setAccessibleName(clockBox->title());
  auto* clockForm = new QFormLayout(clockBox);
  QLineEdit* now = addField(ctl::currentTime, "Current Time", "", "00:00", clockBox, clockForm);
  auto* setNow = new QPushButton(QStringLiteral("Current Time"), clockBox);
  setNow->setObjectName(QLatin1String(ctl::setCurrentTime.c_str()));
  setNow->setAccessibleName(QStringLiteral("Current Time"));
  setNow->setAutoDefault(false);
  auto* pcClock = new QCheckBox(QStringLiteral("Use PC clock"), clockBox);
  pcClock->setObjectName(QLatin1String(ctl::usePCClock.c_str()));
  pcClock->setAccessibleName(QStringLiteral("Use PC clock"));
  auto* clockRow = new QHBoxLayout;
  clockRow->addWidget(setNow);
  clockRow->addWidget(pcClock);
  clockForm->addRow(clockRow);
  controls_[ctl::setCurrentTime] = setNow;
  controls_[ctl::usePCClock] = pcClock;
  column->addWidget(clockBox);
  (void)now;

  auto* buttons = new QHBoxLayout;
  auto* defaults = new QPushButton(QStringLiteral("Defaults"), this);
  defaults->setObjectName(QStringLiteral("defaults"));
  defaults->setAccessibleName(QStringLiteral("Defaults"));
  defaults->setAutoDefault(false);
  auto* apply = new QPushButton(QStringLiteral("Apply"), this);
  apply->setObjectName(QStringLiteral("apply"));
  apply->setAccessibleName(QStringLiteral("Apply"));
  apply->setAutoDefault(false);
  buttons->addStretch(1);
  buttons->addWidget(defaults);
  buttons->addWidget(apply);
  column->addLayout(buttons);

  // From here on the panel serves these names through the widgets; the
  // buttons take their captions from it, so it gets them first.
  panel_.setText(ctl::setCurrentTime, "Current Time");
  panel_.setText(ctl::usePCClock, "Use PC clock");
  for (const auto& [name, widget] : controls_) panel_.attachControl(name, widget);

  for (const std::string* name : {&ctl::emulationMode, &ctl::sleepMode, &ctl::mainSerialPort}) {
    auto* combo = static_cast<QComboBox*>(controls_.at(*name));
    connect(combo, qOverload<int>(&QComboBox::activated), this,
            [this, n = *name] { rules_.selectorChanged(n); });
  }
  connect(pcClock, &QCheckBox::clicked, this, [this] { rules_.selectorChanged(ctl::usePCClock); });
  connect(setNow, &QPushButton::clicked, this, [this] { rules_.currentTimeClick(); });
  connect(defaults, &QPushButton::clicked, this, [this] { rules_.defaultsClick(); });
  connect(apply, &QPushButton::clicked, this, [this] { hide(); });

  // The dialog's starting values are no edit of the user's.
  window.modelEDefaults();
}

QLineEdit* ModelEDialog::addField(const std::string& name, const char* caption, const char* hint,
                                  const char* mask, QWidget* parentBox, QFormLayout* form) {
  auto* edit = new QLineEdit(parentBox);
  edit->setObjectName(QLatin1String(name.c_str()));
  edit->setAccessibleName(spoken(caption));
  edit->setToolTip(QLatin1String(hint));
  if (mask) {
    edit->setInputMask(QLatin1String(mask));
  } else {
    edit->setMaxLength(10);
  }
  auto* label = new QLabel(QLatin1String(caption), parentBox);
  label->setObjectName(QLatin1String(("l" + name).c_str()));
  label->setBuddy(edit);
  form->addRow(label, edit);
  edit->installEventFilter(this);
  controls_[name] = edit;
  names_[edit] = name;
  connect(edit, &QLineEdit::textEdited, this, [this, name](const QString& text) {
    if (typing_) {
      typing_ = false;
      return;
    }
    rules_.pasted(name, ls(text));
  });
  return edit;
}

QComboBox* ModelEDialog::addChoice(const std::string& name, const char* caption, const char* hint,
                                   QWidget* parentBox, QFormLayout* form) {
  // Left empty: the panel hands over its entries when the combo is attached.
  auto* combo = new QComboBox(parentBox);
  combo->setObjectName(QLatin1String(name.c_str()));
  combo->setAccessibleName(spoken(caption));
  combo->setToolTip(QLatin1String(hint));
  auto* label = new QLabel(QLatin1String(caption), parentBox);
  label->setBuddy(combo);
  form->addRow(label, combo);
  controls_[name] = combo;
  return combo;
}

QWidget* ModelEDialog::control(const std::string& name) const {
  auto it = controls_.find(name);
  return it == controls_.end() ? nullptr : it->second;
}

void ModelEDialog::open() {
  setWindowTitle(QLatin1String(profile_.setupTitle));
  rules_.show();
  entered_.clear();
  adjustSize();
  // The buttons stay in sight.
  setMinimumSize(sizeHint());
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect r = frameGeometry();
    r.moveCenter(screen->availableGeometry().center());
    move(r.topLeft());
  }
  show();
  raise();
  activateWindow();
}

void ModelEDialog::runPendingExit() {
  const std::string name = exitPending_;
  exitPending_.clear();
  if (name.empty()) return;
  refocusing_ = true;
  rules_.exit(name);
  refocusing_ = false;
}

bool ModelEDialog::eventFilter(QObject* watched, QEvent* event) {
  auto it = names_.find(watched);
  if (it == names_.end()) return QDialog::eventFilter(watched, event);
  const std::string& name = it->second;
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      typing_ = false;
      const char c = typedKey(key, true);
      if (c == 0) return false;
      refocusing_ = true;
      const bool taken = rules_.key(name, c);
      refocusing_ = false;
      typing_ = taken;
      // Escape is the field's, not the dialog's.
      return !taken;
    }
    case QEvent::MouseButtonPress:
    case QEvent::ContextMenu:
      typing_ = false;
      break;
    case QEvent::FocusIn:
      // The window coming back does not enter the field again.
      if (!focusOutsideTheForm(static_cast<QFocusEvent*>(event)->reason()) || name != entered_) {
        rules_.enter(name);
        entered_ = name;
      }
      break;
    case QEvent::FocusOut:
      if (!refocusing_ && !focusOutsideTheForm(static_cast<QFocusEvent*>(event)->reason()) &&
          isVisible() && modelENumberField(name)) {
        exitPending_ = name;
        QTimer::singleShot(0, this, [this] { runPendingExit(); });
      }
      break;
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace tessel
