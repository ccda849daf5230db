#include "ui/blocked_frequency_dialog.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "model/catalogue.h"
#include "model/parameter_table.h"
#include "ui/typed_key.h"

namespace tessel {

namespace {

QString qs(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<int>(text.size()));
}

std::string ls(const QString& text) {
  return text.toLatin1().toStdString();
}

QString hint() {
  return QString::fromStdString(hintOf(param::blockedFreq1));
}

}  // namespace

BlockedFrequencyDialog::BlockedFrequencyDialog(Panel& panel, Prompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      prompts_(prompts, this),
      rules_(panel, prompts_) {
  setObjectName(QStringLiteral("blockedFrequencies"));
  setWindowTitle(QStringLiteral("Blocked Frequency"));
  setAccessibleName(windowTitle());
  setToolTip(hint());
  setModal(false);

  auto* column = new QVBoxLayout(this);  // the platform's margins
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(5);
  for (int i = 0; i < kBlockedCount; ++i) {
    // One-digit numbers get two blanks so the column of numbers lines up.
    const QString caption = QStringLiteral("Frequency (MHz) %1%2")
                                .arg(i + 1 < 10 ? QStringLiteral(" ") : QString())
                                .arg(i + 1);
    auto* label = new QLabel(caption, this);
    label->setObjectName(QStringLiteral("l%1").arg(30 + i));
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("s%1").arg(30 + i));
    edit->setAccessibleName(caption);
    edit->setToolTip(hint());
    edit->setMaxLength(10);
    label->setBuddy(edit);
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, [this, i](const QString& text) {
      if (typing_) {
        typing_ = false;
        rules_.fields[i] = ls(text);
        return;
      }
      // A paste or a drop: the same checks as typed text.
      rules_.pasted(i, ls(text));
      if (fields_[i]->text() != qs(rules_.fields[i])) fields_[i]->setText(qs(rules_.fields[i]));
    });
    grid->addWidget(label, i, 0);
    grid->addWidget(edit, i, 1);
    labels_[i] = label;
    fields_[i] = edit;
  }
  column->addLayout(grid);
  auto* buttons = new QHBoxLayout;
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("ok"));
  ok_->setAccessibleName(QStringLiteral("OK"));
  // Enter presses OK: the fields let it through (typedKey) to the dialog.
  ok_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  cancel_->setAccessibleName(QStringLiteral("Cancel"));
  cancel_->setAutoDefault(false);
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  column->addLayout(buttons);
  connect(ok_, &QPushButton::clicked, this, [this] { okClick(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { cancelClick(); });
}

void BlockedFrequencyDialog::open() {
  rules_.show();
  showFields();
  exitPending_ = -1;
  entered_ = -1;
  adjustSize();
  // As wide as the fields need, no wider.
  setMaximumWidth(sizeHint().width());
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect r = frameGeometry();
    r.moveCenter(screen->availableGeometry().center());
    move(r.topLeft());
  }
  show();
  raise();
  activateWindow();
}

void BlockedFrequencyDialog::showFields() {
  for (int i = 0; i < kBlockedCount; ++i) fields_[i]->setText(qs(rules_.fields[i]));
}

int BlockedFrequencyDialog::indexOf(const QObject* o) const {
  for (int i = 0; i < kBlockedCount; ++i) {
    if (fields_[i] == o) return i;
  }
  return -1;
}

void BlockedFrequencyDialog::runPendingExit() {
  const int i = exitPending_;
  exitPending_ = -1;
  if (i < 0) return;
  rules_.exit(i);
  fields_[i]->setText(qs(rules_.fields[i]));
}

void BlockedFrequencyDialog::okClick() {
  int current = exitPending_;
  exitPending_ = -1;
  if (current < 0) current = indexOf(focusWidget());
  rules_.ok(current);
  showFields();
  hide();
}

void BlockedFrequencyDialog::cancelClick() {
  exitPending_ = -1;
  rules_.cancel();
  showFields();
  hide();
}

void BlockedFrequencyDialog::reject() {
  // Escape outside a field and the close box: hidden, nothing committed.
  exitPending_ = -1;
  rules_.close();
  hide();
}

void BlockedFrequencyDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
  reject();
}

bool BlockedFrequencyDialog::eventFilter(QObject* watched, QEvent* event) {
  const int i = indexOf(watched);
  if (i < 0) return QDialog::eventFilter(watched, event);
  QLineEdit* edit = fields_[i];
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      typing_ = false;
      const char c = typedKey(key, true);
      if (c == 0) return false;
      rules_.fields[i] = ls(edit->text());
      const bool taken = rules_.key(i, edit->cursorPosition(), edit->hasSelectedText(), c);
      if (c == '\x1b') {
        edit->setText(qs(rules_.fields[i]));
        return true;
      }
      typing_ = taken;
      return !taken;
    }
    case QEvent::MouseButtonPress:
    case QEvent::ContextMenu:
      typing_ = false;
      break;
    case QEvent::FocusIn:
      // The window coming back does not enter the field again, but the field
      // the dialog opens with is entered, so Escape has its own text to go
      // back to.
      if (!focusOutsideTheForm(static_cast<QFocusEvent*>(event)->reason()) || i != entered_) {
        rules_.fields[i] = ls(edit->text());
        rules_.enter(i);
        entered_ = i;
      }
      break;
    case QEvent::FocusOut:
      if (!focusOutsideTheForm(static_cast<QFocusEvent*>(event)->reason()) && isVisible()) {
        // After the focus has settled, so the message box does not fight it.
        exitPending_ = i;
        QTimer::singleShot(0, this, [this] { runPendingExit(); });
      }
      break;
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace tessel
