// The main window's side of the blocked frequency and model-E dialogs.
#include "model/model_e_rules.h"
#include "ui/blocked_frequency_dialog.h"
#include "ui/main_window.h"
#include "ui/model_e_dialog.h"
#include "ui/parameter_panel.h"

namespace tessel {

void MainWindow::createDialogs() {
  blockedDialog_ = new BlockedFrequencyDialog(*panel_, prompts_, this);
  modelEDialog_ = new ModelEDialog(*panel_, *model_, profile_, this);
  connect(panel_, &ParameterPanel::blockedClicked, this, [this] {
    blockedClick(*model_);
    blockedDialog_->open();
  });
  connect(panel_, &ParameterPanel::setupClicked, this, [this] { modelEDialog_->open(); });
}

void MainWindow::dialogsActivated() {
  if (!blockedDialog_ || !modelEDialog_) return;
  mainWindowActivated(*model_, blockedDialog_->rules().modified, modelEDialog_->rules().modified);
}

}  // namespace tessel
