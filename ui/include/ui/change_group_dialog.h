#pragma once

// Project > "Change Group Settings...": the group values of the panel (and
// the blocked frequencies dialog's) sent to every radio of the open project
// in an order that strands none. The dialog shows the values, the tree and
// the order first; Change runs it with progress per radio and phase. Cancel
// in phase 1 leaves every radio running as before; a radio that fails there
// may be retried or the old values written back. Phase 2 runs through to the
// local radio's reset; then the project takes the values and the group is
// read again.
#include <QDialog>
#include <functional>
#include <memory>

#include "model/group_change_run.h"
#include "model/group_change_work.h"
#include "model/group_compare.h"
#include "model/radio_commands.h"
#include "model/time_left.h"

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tessel {

class MainWindowModel;

class ChangeGroupDialog : public QDialog {
  Q_OBJECT
 public:
  struct Hooks {
    // Attaches other callbacks to the engine, or (null) the window's again.
    std::function<void(MainWindowCallbacks*)> attachCallbacks;
    std::function<void(int ms)> setPollInterval;
    std::function<void()> restorePollInterval;
    std::function<void(bool on)> quietSends;
  };

  ChangeGroupDialog(MainWindowModel& window, const BrandModels& models, Hooks hooks,
                    QWidget* parent = nullptr);
  ~ChangeGroupDialog() override;

  // Whether there is a change to run (a project with radios, a tree the
  // order follows from).
  bool ready() const;
  // Change: starts the steps.
  bool start();
  // Busy with the steps or with the read after them.
  bool running() const;
  bool reading() const;
  // Cancel: stops phase 1 (every radio runs as before) or the read.
  void cancel();
  bool retry();
  bool restore();
  // Phase 2 is under way: it runs through to the local radio's reset.
  bool applying() const;
  // then runs once phase 2 is over (a close of the program asked meanwhile).
  void whenPhaseTwoEnds(std::function<void()> then);

  const GroupPlan& plan() const;
  const GroupChangeRun* run() const;
  QLabel* progressLabel() const { return progress_; }
  QLabel* summaryLabel() const { return summary_; }
  QListWidget* results() const { return results_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  // Shows how the work stands after a step, and takes it on after phase 2
  // (the read again, or a close asked meanwhile).
  void afterStep();
  void readEnded();
  void update();

  MainWindowModel& window_;
  const BrandModels& models_;
  Hooks hooks_;
  std::unique_ptr<GroupChangeWork> work_;
  // The shared values are the project's: there is nothing to change.
  bool unchanged_ = false;
  std::function<void()> afterPhaseTwo_;
  QPlainTextEdit* planView_ = nullptr;
  QLabel* progress_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QListWidget* results_ = nullptr;
  QLabel* summary_ = nullptr;
  QPushButton* change_ = nullptr;
  QPushButton* retry_ = nullptr;
  QPushButton* writeBack_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace tessel
