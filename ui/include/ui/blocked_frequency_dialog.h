#pragma once

// The blocked frequency dialog: twelve fields over BlockedFrequencies, which
// holds the rules. Created once, not modal, on top of the main window.
#include <QDialog>
#include <array>

#include "model/blocked_frequencies.h"
#include "ui/qt_seams.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tessel {

class BlockedFrequencyDialog : public QDialog {
  Q_OBJECT
 public:
  BlockedFrequencyDialog(Panel& panel, Prompts& prompts, QWidget* parent = nullptr);

  // Shows the committed values, centred on the screen.
  void open();
  BlockedFrequencies& rules() { return rules_; }
  QLineEdit* field(int i) const { return fields_.at(i); }

  void okClick();
  void cancelClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  int indexOf(const QObject* o) const;
  void showFields();
  void runPendingExit();

  OwnedPrompts prompts_;
  BlockedFrequencies rules_;
  std::array<QLabel*, kBlockedCount> labels_{};
  std::array<QLineEdit*, kBlockedCount> fields_{};
  QPushButton* ok_;
  QPushButton* cancel_;
  // The field whose exit check is still to run, -1 for none.
  int exitPending_ = -1;
  // The field entered last.
  int entered_ = -1;
  // The last key went to the field through the key rule; a change that
  // comes without one is a paste or a drop.
  bool typing_ = false;
};

}  // namespace tessel
