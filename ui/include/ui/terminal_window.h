#pragma once

// The traffic terminal: every line the engine writes (" < ") and reads
// (" > ") while the window is shown, and an input box whose line goes to
// the radio.
#include <QWidget>
#include <functional>

#include "link/terminal_sink.h"

class QLineEdit;
class QPlainTextEdit;

namespace tessel {

class SettingsStore;

class TerminalWindow : public QWidget, public TerminalSink {
  Q_OBJECT
 public:
  // Older lines are dropped beyond this many, so monitoring a large group
  // for hours keeps the window responsive.
  static constexpr int kMaxLines = 10000;

  // Sized from "termWidth" / "termHeight" (default 729 x 358).
  explicit TerminalWindow(SettingsStore* settings, QWidget* parent = nullptr);

  // Called with the typed text when Enter is pressed (the engine adds the
  // carriage return).
  std::function<void(const std::string&)> onSend;

  void addLine(const std::string& text) override;

  QPlainTextEdit* screen() const { return screen_; }
  QLineEdit* input() const { return input_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  SettingsStore* settings_;
  QPlainTextEdit* screen_;
  QLineEdit* input_;
  // The screen shows the newest line as each one comes.
  bool following_ = true;
};

}  // namespace tessel
