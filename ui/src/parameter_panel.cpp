#include "ui/parameter_panel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "model/main_window_model.h"
#include "model/parameter_table.h"
#include "model/value_texts.h"
#include "ui/typed_key.h"

namespace tessel {

namespace {

QString qs(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<int>(text.size()));
}

std::string ls(const QString& text) {
  return text.toLatin1().toStdString();
}

// What a screen reader reads for a caption: the caption without its
// mnemonic mark.
QString spoken(const QString& caption) {
  QString out = caption;
  out.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  out.remove(QLatin1Char('&'));
  out.replace(QStringLiteral("\x01"), QStringLiteral("&"));
  return out;
}

// Shown only in the Advanced view.
const std::string* const kAdvancedControls[] = {
    &ctl::securityID, &ctl::retries,   &ctl::reTXBroadcasts, &ctl::repeaters, &ctl::rfband,
    &ctl::roaming,    &ctl::masterID,  &ctl::flushTime,      &ctl::baudRate,  &ctl::dataBits,
    &ctl::stopBits,   &ctl::parity,    &ctl::handShaking,    &ctl::protocol,  &ctl::bufferMode,
    &ctl::blocked,    &ctl::radioType, &ctl::vireoESetup,
};

// Label names where the window has always had them; the others follow the
// same pattern.
std::string labelNameOf(const std::string& name) {
  if (name == ctl::rfband) return "lRFband";
  if (name == ctl::baudRate) return "lBitRate";
  std::string l = "l" + name;
  l[1] = static_cast<char>(l[1] >= 'a' && l[1] <= 'z' ? l[1] - 'a' + 'A' : l[1]);
  return l;
}

// A number field as wide as its longest value, in the font in use, instead
// of the line edit's usual width for a line of text.
class NumberEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  QSize sizeHint() const override {
    // The line edit sizes itself for 17 "x"; seven digits are plenty.
    QSize size = QLineEdit::sizeHint();
    const QFontMetrics& fm = fontMetrics();
    const int narrower = 17 * fm.horizontalAdvance(QLatin1Char('x')) -
                         fm.horizontalAdvance(QStringLiteral("0000000"));
    if (narrower > 0) size.rwidth() -= narrower;
    return size;
  }
};

}  // namespace

ParameterPanel::ParameterPanel(const BrandModels& models, QWidget* parent)
    : QWidget(parent), outside_([&models] {
        std::vector<std::string> entries;
        for (int i = 0; i < models.modelCount; ++i) entries.push_back(models.names[i]);
        return entries;
      }()) {
  setObjectName(QStringLiteral("parameterPanel"));
  build(models);
}

ParameterPanel::~ParameterPanel() = default;

void ParameterPanel::build(const BrandModels& models) {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* config = new QGroupBox(QStringLiteral("Radio Configuration Parameters"), this);
  config->setObjectName(QStringLiteral("configParms"));
  config->setAccessibleName(config->title());
  outer->addWidget(config);
  auto* column = new QVBoxLayout(config);

  groupBox_ = new QGroupBox(QStringLiteral("Group Parameters"), config);
  groupBox_->setObjectName(QStringLiteral("groupParms"));
  groupBox_->setAccessibleName(groupBox_->title());
  column->addWidget(groupBox_);
  auto* group = new QGridLayout(groupBox_);

  radioBox_ = new QGroupBox(QStringLiteral("Radio Parameters"), config);
  radioBox_->setObjectName(qs(ctl::radioParameters));
  radioBox_->setAccessibleName(radioBox_->title());
  widgets_[ctl::radioParameters] = radioBox_;
  column->addWidget(radioBox_);
  auto* radio = new QGridLayout(radioBox_);

  // Fields are created in tab order.
  auto place = [](QGridLayout* grid, int row, int col, QLabel* label, QWidget* field) {
    if (label) grid->addWidget(label, row, col * 2);
    grid->addWidget(field, row, col * 2 + 1);
  };
  auto labelOf = [this](const std::string& name) { return labels_.at(name); };

  QWidget* w = addEdit(ctl::groupID, "Group ID", hintOf(param::groupID).c_str());
  place(group, 0, 0, labelOf(ctl::groupID), w);
  w = addEdit(ctl::securityID, "Security ID", hintOf(param::securityID).c_str());
  place(group, 0, 1, labelOf(ctl::securityID), w);
  w = addCombo(ctl::rfband, "RF Band", selectorEntries(ctl::rfband), hintOf(param::rfband).c_str(),
               true);
  place(group, 1, 0, labelOf(ctl::rfband), w);
  w = addEdit(ctl::flushTime, "Flush Time", hintOf(param::flushTime).c_str());
  place(group, 1, 1, labelOf(ctl::flushTime), w);
  w = addCombo(ctl::reTXBroadcasts, "ReTX Broadcasts", selectorEntries(ctl::reTXBroadcasts),
               "Set to Yes for Master to retransmit broadcasted packets.", false);
  place(group, 2, 0, labelOf(ctl::reTXBroadcasts), w);
  w = addCombo(ctl::repeaters, "Repeaters", selectorEntries(ctl::repeaters),
               "Set to Yes if there are any repeaters in the radio group.", false);
  place(group, 2, 1, labelOf(ctl::repeaters), w);
  w = addButton(ctl::blocked, "Blocked MHz", "Edit frequencies to avoid in the ISM band");
  group->addWidget(w, 3, 2, 1, 2);

  w = addEdit(ctl::radioID, "Radio ID", hintOf(param::radioID).c_str());
  place(radio, 0, 0, labelOf(ctl::radioID), w);
  w = addCombo(ctl::radioMode, "Radio Mode", selectorEntries(ctl::radioMode),
               "Operating mode of Radio.", false);
  place(radio, 0, 1, labelOf(ctl::radioMode), w);
  w = addEdit(ctl::radioName, "Radio Name", "");
  radio->addWidget(labelOf(ctl::radioName), 1, 0);
  radio->addWidget(w, 1, 1, 1, 3);
  w = addEdit(ctl::retries, "Retries", hintOf(param::retries).c_str());
  place(radio, 2, 0, labelOf(ctl::retries), w);
  w = addCombo(ctl::roaming, "Roaming", selectorEntries(ctl::roaming),
               "Enable to allow Slave radio to acquire any Master/Repeater radio.", false);
  place(radio, 2, 1, labelOf(ctl::roaming), w);
  w = addCombo(ctl::baudRate, "Baud rate", selectorEntries(ctl::baudRate), "Serial port baud rate.",
               true);
  place(radio, 3, 0, labelOf(ctl::baudRate), w);
  w = addEdit(ctl::masterID, "Master ID", "");
  place(radio, 3, 1, labelOf(ctl::masterID), w);
  w = addCombo(ctl::dataBits, "Data Bits", selectorEntries(ctl::dataBits),
               "The number of data bits per character", false);
  place(radio, 4, 0, labelOf(ctl::dataBits), w);
  w = addCombo(ctl::stopBits, "Stop Bits", selectorEntries(ctl::stopBits),
               "Serial stop bits per character", false);
  place(radio, 4, 1, labelOf(ctl::stopBits), w);
  w = addCombo(ctl::parity, "Parity", selectorEntries(ctl::parity),
               "Parity of the characters sent and received", false);
  place(radio, 5, 0, labelOf(ctl::parity), w);
  w = addCombo(ctl::handShaking, "Handshaking", selectorEntries(ctl::handShaking),
               "Use RTS-CTS handshaking", false);
  place(radio, 5, 1, labelOf(ctl::handShaking), w);
  w = addCombo(ctl::protocol, "Auto-Routing", selectorEntries(ctl::protocol),
               "Serial port protocol to enable auto-routing.", false);
  place(radio, 6, 0, labelOf(ctl::protocol), w);
  w = addCombo(ctl::bufferMode, "Buffer Mode", selectorEntries(ctl::bufferMode),
               "The radio buffers data as characters or packets", false);
  place(radio, 6, 1, labelOf(ctl::bufferMode), w);
  std::vector<std::string> modelEntries;
  for (int i = 0; i < models.modelCount; ++i) modelEntries.push_back(models.names[i]);
  w = addCombo(ctl::radioType, models.modelKey, modelEntries, "", false);
  place(radio, 7, 0, labelOf(ctl::radioType), w);
  w = addButton(ctl::vireoESetup, "Setup", "");
  radio->addWidget(w, 7, 2, 1, 2);

  auto* buttons = new QHBoxLayout;
  column->addLayout(buttons);
  buttons->addWidget(
      addButton(ctl::defaults, "Defaults", "Sets factory defaults in all parameters"));
  buttons->addWidget(
      addButton(ctl::ok, kSetRadioCaption.c_str(), "Sends the parameters to the Radio"));
  buttons->addWidget(addButton(ctl::advanced, kAdvancedCaption.c_str(),
                               "Show the minimum set necessary, or all parameters"));
  buttons->addWidget(addButton(ctl::newRadio, kNewRadioCaption.c_str(), ""));
  column->addStretch(1);

  for (const auto& [name, widget] : widgets_) {
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      connect(combo, qOverload<int>(&QComboBox::activated), this, [this, name = name] {
        if (rules_) rules_->selectorClick(name);
      });
    }
  }
  connect(button(ctl::defaults), &QPushButton::clicked, this, [this] {
    if (model_) model_->defaultsClick();
  });
  connect(button(ctl::advanced), &QPushButton::clicked, this, [this] {
    if (model_) model_->advancedClick();
  });
  connect(button(ctl::ok), &QPushButton::clicked, this, &ParameterPanel::setRadioClicked);
  connect(button(ctl::newRadio), &QPushButton::clicked, this, &ParameterPanel::newRadioClicked);
  connect(button(ctl::blocked), &QPushButton::clicked, this, &ParameterPanel::blockedClicked);
  connect(button(ctl::vireoESetup), &QPushButton::clicked, this, &ParameterPanel::setupClicked);
}

QLabel* ParameterPanel::addLabel(const std::string& name, const std::string& labelName,
                                 const char* caption, QWidget* buddy) {
  auto* label = new QLabel(QString::fromLatin1(caption), this);
  label->setObjectName(qs(labelName));
  label->setBuddy(buddy);
  labels_[name] = label;
  return label;
}

void ParameterPanel::registerControl(const std::string& name, QWidget* widget, const char* caption,
                                     const char* hint) {
  widget->setObjectName(qs(name));
  widget->setAccessibleName(spoken(QString::fromLatin1(caption)));
  if (hint && *hint) widget->setToolTip(QString::fromLatin1(hint));
  widgets_[name] = widget;
  names_[widget] = name;
}

QLineEdit* ParameterPanel::addEdit(const std::string& name, const char* caption, const char* hint) {
  QLineEdit* edit = name == ctl::radioName ? new QLineEdit(this) : new NumberEdit(this);
  registerControl(name, edit, caption, hint);
  addLabel(name, labelNameOf(name), caption, edit);
  edit->installEventFilter(this);
  connect(edit, &QLineEdit::textEdited, this, [this, name, edit] { edited(name, edit); });
  return edit;
}

QComboBox* ParameterPanel::addCombo(const std::string& name, const char* caption,
                                    const std::vector<std::string>& entries, const char* hint,
                                    bool editable) {
  auto* combo = new QComboBox(this);
  combo->setEditable(editable);
  // Entries typed in are the field's text, not new entries of the list.
  combo->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& e : entries) combo->addItem(qs(e));
  combo->setCurrentIndex(-1);
  registerControl(name, combo, caption, hint);
  addLabel(name, labelNameOf(name), caption, combo);
  if (editable) {
    // The list takes the focus and the keys and hands them to its line edit.
    combo->installEventFilter(this);
    QLineEdit* edit = combo->lineEdit();
    connect(edit, &QLineEdit::textEdited, this, [this, name, edit] { edited(name, edit); });
  }
  return combo;
}

QPushButton* ParameterPanel::addButton(const std::string& name, const char* caption,
                                       const char* hint) {
  auto* b = new QPushButton(QString::fromLatin1(caption), this);
  registerControl(name, b, caption, hint);
  return b;
}

QPushButton* ParameterPanel::button(const std::string& name) const {
  return qobject_cast<QPushButton*>(control(name));
}

void ParameterPanel::setModel(MainWindowModel* model) {
  model_ = model;
  rules_ = model ? std::make_unique<EntryRules>(*model) : nullptr;
  // Without a window of its own around it, the panel still follows the
  // mode; the main window puts its own layout step in place of this one.
  if (model && !model->onModeSwitch) model->onModeSwitch = [this](int mode) { layOut(mode); };
}

bool ParameterPanel::advancedView() const {
  // The view is the model's state; the caption only shows it. Monitoring
  // lays the panel out as the Advanced view does.
  if (model_) return model_->shownView() == PanelView::Advanced;
  return button(ctl::advanced)->text().indexOf(qs(kAdvancedCaption)) < 0;
}

void ParameterPanel::layOut(int windowMode) {
  const bool advanced = advancedView();
  for (const std::string* name : kAdvancedControls) setVisible(*name, advanced);
  const bool manual = windowMode == wmManual || windowMode == wmUnset;
  setVisible(ctl::radioName, !manual);
  setVisible(ctl::newRadio, !manual);
  setVisible(ctl::advanced, windowMode != wmProject);
  if (windowMode == wmMonitor) {
    // The view in force was read above; the button now ends the monitoring.
    if (model_)
      model_->setPanelView(PanelView::Monitor);
    else
      setText(ctl::advanced, kCancelCaption);
    setEnabled(ctl::advanced, false);
  } else if (manual) {
    setEnabled(ctl::advanced, true);
  }
  updateGeometry();
}

QWidget* ParameterPanel::control(const std::string& name) const {
  auto it = widgets_.find(name);
  return it == widgets_.end() ? nullptr : it->second;
}

const std::string* ParameterPanel::nameOf(const QObject* object) const {
  auto it = names_.find(object);
  return it == names_.end() ? nullptr : &it->second;
}

std::string ParameterPanel::text(const std::string& name) const {
  QWidget* w = control(name);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return ls(edit->text());
  if (auto* combo = qobject_cast<QComboBox*>(w)) return ls(combo->currentText());
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return ls(b->text());
  if (auto* box = qobject_cast<QGroupBox*>(w)) return ls(box->title());
  if (w) return ls(w->windowTitle());
  return outside_.text(name);
}

void ParameterPanel::setText(const std::string& name, const std::string& text) {
  QWidget* w = control(name);
  const QString t = qs(text);
  const std::string before = this->text(name);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    // Rewriting the same text would move the cursor under the user's hands.
    if (edit->text() != t) edit->setText(t);
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    const int index = combo->findText(t, Qt::MatchExactly | Qt::MatchCaseSensitive);
    combo->setCurrentIndex(index);
    if (index < 0 && combo->isEditable()) combo->setEditText(t);
  } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    b->setText(t);
    b->setAccessibleName(spoken(t));
  } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
    box->setTitle(t);
  } else if (w) {
    w->setWindowTitle(t);
  } else {
    outside_.setText(name, text);
    emit outsideControlChanged(qs(name));
  }
  followEntry(name, before, this->text(name));
}

int ParameterPanel::itemIndex(const std::string& name) const {
  if (auto* combo = qobject_cast<QComboBox*>(control(name))) return combo->currentIndex();
  return outside_.itemIndex(name);
}

void ParameterPanel::setItemIndex(const std::string& name, int index) {
  if (auto* combo = qobject_cast<QComboBox*>(control(name))) {
    const std::string before = text(name);
    if (index >= -1 && index < combo->count()) combo->setCurrentIndex(index);
    followEntry(name, before, text(name));
    return;
  }
  outside_.setItemIndex(name, index);
  emit outsideControlChanged(qs(name));
}

std::vector<std::string> ParameterPanel::items(const std::string& name) const {
  if (auto* combo = qobject_cast<QComboBox*>(control(name))) {
    std::vector<std::string> out;
    for (int i = 0; i < combo->count(); ++i) out.push_back(ls(combo->itemText(i)));
    return out;
  }
  return outside_.items(name);
}

bool ParameterPanel::enabled(const std::string& name) const {
  // The control's own setting, as the rules set it; a disabled group box
  // around it does not count.
  if (QWidget* w = control(name)) return !w->testAttribute(Qt::WA_ForceDisabled);
  return outside_.enabled(name);
}

void ParameterPanel::setEnabled(const std::string& name, bool on) {
  if (QWidget* w = control(name)) {
    w->setEnabled(on);
    return;
  }
  outside_.setEnabled(name, on);
  emit outsideControlChanged(qs(name));
}

bool ParameterPanel::visible(const std::string& name) const {
  // Whether the mode and view show it, whether or not the window is on
  // screen yet.
  if (QWidget* w = control(name)) return w->isVisibleTo(isAncestorOf(w) ? this : w->window());
  return outside_.visible(name);
}

void ParameterPanel::setVisible(const std::string& name, bool on) {
  if (QWidget* w = control(name)) {
    w->setVisible(on);
    if (QLabel* label = labels_.count(name) ? labels_.at(name) : nullptr) label->setVisible(on);
    return;
  }
  outside_.setVisible(name, on);
  emit outsideControlChanged(qs(name));
}

bool ParameterPanel::checked(const std::string& name) const {
  if (auto* b = qobject_cast<QAbstractButton*>(control(name))) return b->isChecked();
  return outside_.checked(name);
}

void ParameterPanel::setChecked(const std::string& name, bool on) {
  if (auto* b = qobject_cast<QAbstractButton*>(control(name))) {
    b->setChecked(on);
    return;
  }
  outside_.setChecked(name, on);
  emit outsideControlChanged(qs(name));
}

void ParameterPanel::attachControl(const std::string& name, QWidget* widget) {
  if (!widget || control(name)) return;
  // The widget takes over the value kept so far.
  // A list without entries of its own takes those kept here.
  if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->count() == 0) {
    for (const std::string& item : outside_.items(name)) combo->addItem(qs(item));
  }
  widgets_[name] = widget;
  names_[widget] = name;
  if (outside_.itemIndex(name) >= 0) {
    setItemIndex(name, outside_.itemIndex(name));
  } else {
    setText(name, outside_.text(name));
  }
  if (auto* b = qobject_cast<QAbstractButton*>(widget); b && b->isCheckable()) {
    b->setChecked(outside_.checked(name));
  }
  widget->setEnabled(outside_.enabled(name));
  // A window that goes away leaves the name to the memory again, which
  // then holds the value it had when the widget took over.
  connect(widget, &QObject::destroyed, this, [this, name, widget] {
    widgets_.erase(name);
    names_.erase(widget);
  });
}

void ParameterPanel::setBusyCursor(bool busy) {
  for (QWidget* w : {control(ctl::radioParameters), control(ctl::defaults), control(ctl::ok),
                     control(ctl::newRadio)}) {
    if (busy) {
      w->setCursor(Qt::WaitCursor);
    } else {
      w->unsetCursor();
    }
  }
}

void ParameterPanel::setFocus(const std::string& name) {
  QWidget* w = control(name);
  if (!w) return;
  // The field the focus is taken from was not left by the user: its own
  // exit rule must not refuse in turn, or two empty fields would send the
  // focus back and forth for ever.
  refocusing_ = true;
  w->setFocus(Qt::OtherFocusReason);
  refocusing_ = false;
}

void ParameterPanel::edited(const std::string& name, QLineEdit* edit) {
  // Typed keys were filtered already; a paste or a drop arrives here whole
  // and is held to the same characters.
  const std::string typed = ls(edit->text());
  const std::string accepted = acceptedText(name, typed);
  if (accepted != typed) {
    const int cursor = edit->cursorPosition() - static_cast<int>(typed.size() - accepted.size());
    edit->setText(qs(accepted));
    edit->setCursorPosition(std::max(0, cursor));
  }
  if (rules_) rules_->fieldChange(name);
}

bool ParameterPanel::eventFilter(QObject* watched, QEvent* event) {
  const std::string* name = nameOf(watched);
  if (!name) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      const char c = typedKey(key, false);
      if (c == 0) return false;
      const bool pass =
          rules_ ? rules_->keyPress(*name, c) : entryKeyOutcome(*name, c) == KeyOutcome::kPass;
      return !pass;
    }
    case QEvent::FocusIn:
      if (rules_ && !focusOutsideTheForm(static_cast<QFocusEvent*>(event)->reason())) {
        rules_->fieldEnter(*name);
      }
      break;
    case QEvent::FocusOut:
      if (rules_ && !refocusing_ &&
          !focusOutsideTheForm(static_cast<QFocusEvent*>(event)->reason())) {
        // After the focus has settled, so a rule that sends it back, or a
        // message box, does not fight the focus change under way.
        QTimer::singleShot(0, this, [this, control = *name] {
          if (rules_) rules_->fieldExit(control);
        });
      }
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tessel
