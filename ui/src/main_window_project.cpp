// Set Radio, New Radio and the project dialogs of the main window. The rules
// live below (RadioSender, MainWindowModel, pushRecentFile); this file only
// shows the dialogs and the outcome.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStatusBar>

#include "model/entry_rules.h"
#include "model/group_commands.h"
#include "model/panel.h"
#include "model/project.h"
#include "model/recent_files.h"
#include "model/send_builder.h"
#include "seams/prompts.h"
#include "seams/settings_store.h"
#include "ui/main_window.h"
#include "ui/parameter_panel.h"
#include "ui/status_bar_widget.h"

namespace tessel {

namespace {
constexpr int kNoticeMs = 8000;
}

void MainWindow::wireProjectCommands() {
  sendValues_ = std::make_unique<RegisterValues>(*model_);
  connect(panel_, &ParameterPanel::setRadioClicked, this, [this] { okClick(); });
  connect(panel_, &ParameterPanel::newRadioClicked, this, [this] { model_->newRadioClick(); });
  model_->onSetRadio = [this] { okClick(); };
  connect(action(QStringLiteral("projectNew")), &QAction::triggered, this,
          [this] { projectNewClick(); });
  connect(action(QStringLiteral("projectLoad")), &QAction::triggered, this,
          [this] { projectLoadClick(); });
}

void MainWindow::okClick() {
  if (!panel_->entryRules()) return;
  RadioSender sender(*model_, *panel_->entryRules(), *sendValues_);
  const SendOutcome out = sender.okClick();
  if (!out.notice.empty()) status_->showMessage(QString::fromLatin1(out.notice), kNoticeMs);
}

QString MainWindow::projectFolder() const {
  return QFileInfo(QString::fromLatin1(defaultProjectPath())).absolutePath();
}

void MainWindow::projectNewClick() {
  // The file first: a cancelled choice leaves the open project as it was,
  // and only a chosen one closes it.
  QFileDialog dialog(this, QStringLiteral("Project Name"), projectFolder(),
                     QLatin1String(kProjectFilter));
  dialog.setObjectName(QStringLiteral("projectNewDialog"));
  dialog.setAccessibleName(QStringLiteral("Project Name"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("vro"));
  // The replace question is the program's own, asked below.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString chosen = dialog.selectedFiles().first();
  const std::string file = chosen.toLatin1().toStdString();
  if (QFileInfo::exists(chosen) &&
      prompts_.show(PromptIcon::Warning, file + " already exists. Do you want to replace it?",
                    pbOk | pbCancel) != pbOk)
    return;
  projectCloseClick();
  // The default project was just stored by the close; it is not stored
  // again. The file is replaced by the model once no other program has it.
  model_->abandonProject();
  if (!model_->openChosenProject(file, true, defaultProjectPath())) return;
  action(QStringLiteral("projectClose"))->setEnabled(true);
  pushRecentFile(settings_, file);
  panel_->panelLoading = false;
  model_->firstFreeRadio(-1);
  panel_->setItemIndex(ctl::radioMode, 0);
}

void MainWindow::projectLoadClick() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QFileDialog dialog(this, QStringLiteral("Load Project"), projectFolder(),
                     QLatin1String(kProjectFilter));
  dialog.setObjectName(QStringLiteral("projectLoadDialog"));
  dialog.setAccessibleName(QStringLiteral("Load Project"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("vro"));
  const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  if (chosen) {
    const std::string file = dialog.selectedFiles().first().toLatin1().toStdString();
    // A file that is no project leaves the open one as it is.
    if (model_->refuseNonProject(file)) {
      QApplication::restoreOverrideCursor();
      return;
    }
    commands_->stopMonitor();
    model_->beforeReplace();
    if (model_->openChosenProject(file, false, defaultProjectPath())) {
      action(QStringLiteral("projectClose"))->setEnabled(true);
      pushRecentFile(settings_, file);
    } else {
      // A refused project leaves the one open before, which may be the user's.
      action(QStringLiteral("projectClose"))
          ->setEnabled(model_->project() && model_->project()->fileName() != defaultProjectPath());
    }
  }
  QApplication::restoreOverrideCursor();
}

}  // namespace tessel
