#include "ui/terminal_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
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
  setWindowTitle(QStringLiteral("Terminal"));
  setAccessibleName(QStringLiteral("Terminal"));
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
  // New traffic is followed until the user scrolls away from the end, and
  // again once they scroll back to it; a resize changes nothing of that.
  QScrollBar* bar = screen_->verticalScrollBar();
  connect(bar, &QScrollBar::actionTriggered, this, [this, bar] {
    // The action's move is applied after this signal.
    QTimer::singleShot(0, this, [this, bar] { following_ = bar->value() >= bar->maximum(); });
  });

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
  // A line end is no text of its own: the radio's blank line before its
  // answer shows nothing.
  std::string line = text;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  if (line.find_first_not_of(" <>") == std::string::npos) return;
  screen_->appendPlainText(qt(terminalTimeStamp() + line));
  if (following_) screen_->verticalScrollBar()->setValue(screen_->verticalScrollBar()->maximum());
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
