#include "ui/terminal_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "model/window_settings.h"
#include "seams/settings_store.h"
#include "ui/qt_seams.h"

namespace tessel {

TerminalWindow::TerminalWindow(SettingsStore* settings, QWidget* parent)
    : QWidget(parent, Qt::Window),
      settings_(settings),
      screen_(new QPlainTextEdit(this)),
      input_(new QLineEdit(this)) {
  setObjectName(QStringLiteral("terminal"));
  setWindowTitle(QStringLiteral("terminal"));
  setAccessibleName(QStringLiteral("terminal"));
  setWindowIcon(QApplication::windowIcon());

  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  // Where the system names no fixed font, ask for any monospaced one.
  fixed.setFixedPitch(true);
  fixed.setStyleHint(QFont::Monospace);
  screen_->setObjectName(QStringLiteral("termScreen"));
  screen_->setAccessibleName(QStringLiteral("Traffic"));
  screen_->setReadOnly(true);
  screen_->setFont(fixed);
  screen_->setLineWrapMode(QPlainTextEdit::NoWrap);
  screen_->setMaximumBlockCount(kMaxLines);
  screen_->setFocusPolicy(Qt::ClickFocus);  // not reached with the tab key
  screen_->setUndoRedoEnabled(false);

  input_->setObjectName(QStringLiteral("input"));
  input_->setAccessibleName(QStringLiteral("Command"));
  input_->setFont(fixed);
  input_->installEventFilter(this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(screen_, 1);
  layout->addWidget(input_);

  int w = kTerminalWidth, h = kTerminalHeight;
  if (settings_) loadTerminalSize(*settings_, w, h);
  resize(w, h);
}

void TerminalWindow::addLine(const std::string& text) {
  // Nothing is kept while the window is hidden.
  if (!isVisible()) return;
  screen_->appendPlainText(qt(terminalTimeStamp() + text));
}

void TerminalWindow::closeEvent(QCloseEvent* event) {
  if (settings_) {
    settings_->writeInteger("termWidth", width());
    settings_->writeInteger("termHeight", height());
  }
  QWidget::closeEvent(event);
}

void TerminalWindow::hideEvent(QHideEvent* event) {
  screen_->clear();
  input_->clear();
  QWidget::hideEvent(event);
}

bool TerminalWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == input_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      const std::string line = latin1(input_->text());
      input_->clear();
      if (onSend) onSend(line);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tessel
