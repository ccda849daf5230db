// The main window's handlers for the radio list, the group tree and the
// Online Monitor menu. The rules are GroupCommands'; here they are wired to
// menus and the hooks to the window's other commands.
#include <QActionGroup>
#include <QKeyEvent>
#include <QMenu>
#include <QTreeWidget>

#include "link/tcom_port.h"
#include "model/blocked_frequencies.h"
#include "model/group_commands.h"
#include "model/project.h"
#include "model/radio.h"
#include "seams/settings_store.h"
#include "ui/main_window.h"

#include "ui/change_group_dialog.h"
#include "ui/compare_group_dialog.h"
#include "ui/parameter_panel.h"
#include "ui/qt_seams.h"
#include "ui/status_bar_widget.h"

namespace tessel {

namespace {
// The poll interval last chosen, in ms (0: as fast as replies).
const char* const kPollIntervalKey = "PollInterval";
constexpr int kNoticeMs = 8000;

// Escape pressed in a widget runs a command.
class EscapeKey : public QObject {
 public:
  EscapeKey(QObject* parent, std::function<void()> command)
      : QObject(parent), command_(std::move(command)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      command_();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> command_;
};
}  // namespace

void MainWindow::buildPollMenu(QMenu* poll) {
  poll->setToolTipsVisible(true);
  auto* polls = new QActionGroup(poll);
  int stored = 1000;
  if (!settings_.readInteger(kPollIntervalKey, stored) ||
      pollIntervalFromCaption(pollIntervalCaption(stored)) != stored)
    stored = 1000;
  for (const std::string& caption : pollIntervalCaptions()) {
    const int ms = pollIntervalFromCaption(caption);
    QAction* a = poll->addAction(QString::fromLatin1(caption.c_str()));
    a->setObjectName(ms > 0 ? QStringLiteral("poll%1").arg(ms) : QStringLiteral("pollFast"));
    actions_[a->objectName()] = a;
    a->setCheckable(true);
    a->setChecked(ms == stored);
    a->setData(ms);
    // Which pacing each item sets, the send's too.
    const QString hint = QString::fromStdString(pollIntervalHint(ms, TcomPort::kTaskInterval));
    a->setToolTip(hint);
    a->setStatusTip(hint);
    polls->addAction(a);
    connect(a, &QAction::triggered, this, [this, a] { pollIntervalClick(a); });
  }
}

void MainWindow::pollIntervalClick(QAction* item) {
  item->setChecked(true);
  const int ms = item->data().toInt();
  settings_.writeInteger(kPollIntervalKey, ms);
  if (hooks.setPollInterval) hooks.setPollInterval(ms);
}

void MainWindow::buildViewCommands() {
  commands_ = std::make_unique<GroupCommands>(*model_);
  commands_->closeProject = [this] { projectCloseClick(); };
  commands_->showNotice = [this](const std::string& text) {
    status_->showMessage(qt(text), kNoticeMs);
  };
  commands_->loadProject = [this] {
    QAction* load = action(QStringLiteral("projectLoad"));
    if (!load || !load->isEnabled()) return false;
    const int before = model_->projectSerial();
    load->trigger();
    return model_->projectSerial() != before;
  };
  commands_->createProject = [this] {
    QAction* create = action(QStringLiteral("projectNew"));
    if (!create || !create->isEnabled()) return false;
    const int before = model_->projectSerial();
    create->trigger();
    // A new project is open when one was opened and it can be closed; a
    // cancelled choice leaves the one open before, which is no new one.
    return model_->projectSerial() != before && action(QStringLiteral("projectClose"))->isEnabled();
  };

  QAction* existing = action(QStringLiteral("discoverThis"));
  existing->setEnabled(true);
  connect(existing, &QAction::triggered, this, [this] { monitorExistingClick(); });
  QAction* discover = action(QStringLiteral("discoverNew"));
  discover->setEnabled(true);
  connect(discover, &QAction::triggered, this, [this] { discoverNewClick(); });
  connect(action(QStringLiteral("monitorStop")), &QAction::triggered, this,
          [this] { commands_->stopMonitor(); });
  QAction* emulate = action(QStringLiteral("EmulateGroup1"));
  emulate->setEnabled(true);
  connect(emulate, &QAction::triggered, this, [this] { commands_->emulateGroup(); });

  QTreeWidget* list = views_.list();
  listMenu_ = new QMenu(list);
  listMenu_->setObjectName(QStringLiteral("activeGroupMenu"));
  listMenu_->setAccessibleName(QStringLiteral("Radio list menu"));
  connect(addAction(listMenu_, "Delete1", "&Delete"), &QAction::triggered, this,
          [this] { commands_->deleteRadio(); });
  connect(addAction(listMenu_, "getRemote", "Get Radio Parameters"), &QAction::triggered, this,
          [this] { commands_->getRadioParameters(); });
  // Set Parameters is the Set Radio button's command.
  connect(addAction(listMenu_, "setRemote", "Set Parameters"), &QAction::triggered, panel_,
          &ParameterPanel::setRadioClicked);
  connect(addAction(listMenu_, "ResetRadio", "&Reset"), &QAction::triggered, this,
          [this] { commands_->resetRadio(); });
  // Escape in the list stops a monitor, as Online Monitor > Stop does.
  list->installEventFilter(new EscapeKey(list, [this] { commands_->stopMonitor(); }));
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    prepareListMenu(pos);
    listMenu_->popup(views_.list()->viewport()->mapToGlobal(pos));
  });
}

void MainWindow::prepareListMenu(const QPoint& pos) {
  // A press below the last row selects no row; the commands then act on the
  // current radio.
  QTreeWidgetItem* item = views_.list()->itemAt(pos);
  if (!item) model_->selectedRow = kNoRow;
  Tradio* radio = item ? views_.rowRadio(views_.rowOf(item)) : nullptr;
  menuRadio_ = radio ? radio->slotID : -1;
  // Set Parameters is Set Radio: offered when the button is.
  if (QAction* set = action(QStringLiteral("setRemote"))) set->setEnabled(panel_->enabled(ctl::ok));
  if (QAction* history = action(QStringLiteral("signalHistory"))) history->setEnabled(radio);
}

void MainWindow::monitorExistingClick() {
  commands_->monitorExisting();
}

void MainWindow::discoverNewClick() {
  if (!commands_->discoverNew()) return;
  action(QStringLiteral("discoverThis"))->setEnabled(true);
  action(QStringLiteral("discoverNew"))->setEnabled(false);
}

void MainWindow::restorePollInterval() {
  // The interval checked in Set Poll Interval, which a group dialog's read
  // set to as fast as the replies come.
  for (const auto& [name, a] : actions_)
    if (name.startsWith(QLatin1String("poll")) && a->isChecked()) pollIntervalClick(a);
}

void MainWindow::compareGroupClick() {
  if (!model_->project() || panel_->WindowMode == wmManual) return;
  if (compareDialog_ && compareDialog_->running()) {
    compareDialog_->raise();
    return;
  }
  // What runs is met before the dialog opens.
  if (!commands_->admitted(kOnlineMonitorTitle, Command::Compare)) return;
  delete compareDialog_;
  CompareGroupDialog::Hooks h;
  h.attachReader = hooks.attachCallbacks;
  h.setPollInterval = hooks.setPollInterval;
  h.restorePollInterval = [this] { restorePollInterval(); };
  h.send = [this] { okClick(); };
  compareDialog_ = new CompareGroupDialog(*model_, profile_.models, std::move(h), this);
  compareDialog_->show();
  compareDialog_->start();
}

void MainWindow::changeGroupClick() {
  if (!model_->project() || panel_->WindowMode == wmManual) return;
  if (changeDialog_ && changeDialog_->running()) {
    changeDialog_->raise();
    return;
  }
  if (!commands_->admitted("C&hange Group Settings", Command::GroupChange)) return;
  // The blocked frequencies go to every radio: one outside the band would
  // be refused halfway through the group.
  const std::string blocked = blockedListMessage(panel_->blockedValues);
  if (!blocked.empty()) {
    prompts_.show(
        PromptIcon::Error,
        blocked + ". Change Group Settings did not start: mend it under Blocked MHz first.", pbOk);
    return;
  }
  delete changeDialog_;
  ChangeGroupDialog::Hooks h;
  h.attachCallbacks = hooks.attachCallbacks;
  h.setPollInterval = hooks.setPollInterval;
  h.restorePollInterval = [this] { restorePollInterval(); };
  h.quietSends = hooks.quietSends;
  changeDialog_ = new ChangeGroupDialog(*model_, profile_.models, std::move(h), this);
  changeDialog_->show();
}

}  // namespace tessel
