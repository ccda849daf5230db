// The main window's side of the monitor history: the recorder the engine
// reports polls to, the chart windows and the CSV export.
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTreeWidget>
#include <ctime>
#include <fstream>

#include "model/group_commands.h"
#include "model/project.h"
#include "model/radio.h"
#include "seams/prompts.h"
#include "ui/command_gauge.h"
#include "ui/main_window.h"
#include "ui/parameter_panel.h"
#include "ui/signal_history_window.h"

namespace tessel {

namespace {

class HistoryRecorder : public LinkObserver {
 public:
  HistoryRecorder(MonitorHistory& history, MainWindowModel& window)
      : history_(history), window_(window) {}
  void radioPolled(int radio) override {
    if (window_.panel.WindowMode != wmMonitor) return;
    recordPoll(history_, window_, radio, static_cast<std::int64_t>(std::time(nullptr)));
  }

 private:
  MonitorHistory& history_;
  MainWindowModel& window_;
};

}  // namespace

void MainWindow::setUpHistory() {
  historyRecorder_ = std::make_unique<HistoryRecorder>(history_, *model_);
  gauge_ = std::make_unique<CommandGauge>(*commands_, [this] { showDiscoveryProgress(); });
  model_->commands.addListener(gauge_.get());
  history_.onAdded = [this](const PollReading& s) {
    auto it = historyWindows_.find(s.radio);
    if (it != historyWindows_.end()) it->second->add(s);
  };

  if (QMenu* online = menuBar()->findChild<QMenu*>(QStringLiteral("autoDiscover"))) {
    QAction* exportLog = addAction(online, "exportMonitorLog", "Export Monitor Log...");
    connect(exportLog, &QAction::triggered, this, [this] {
      const QString path =
          QFileDialog::getSaveFileName(this, QStringLiteral("Export Monitor Log"), QString(),
                                       QStringLiteral("CSV files (*.csv);;All files (*)"));
      if (!path.isEmpty()) exportMonitorLog(path.toLocal8Bit().toStdString());
    });
  }

  createListMenu();
  // A double-click on a monitored row shows its history.
  connect(views_.list(), &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    if (panel_->WindowMode != wmMonitor) return;
    if (Tradio* r = views_.rowRadio(views_.rowOf(item))) openSignalHistory(r->slotID);
  });
}

void MainWindow::createListMenu() {
  // "Signal History..." joins the radio commands of the list's menu; it
  // charts the radio under the mouse when the menu opened.
  QAction* history = addAction(listMenu_, "signalHistory", "Signal History...");
  connect(history, &QAction::triggered, this, [this] {
    if (menuRadio_ >= 0) openSignalHistory(menuRadio_);
  });
}

SignalHistoryWindow* MainWindow::openSignalHistory(int radio) {
  auto it = historyWindows_.find(radio);
  if (it == historyWindows_.end()) {
    QString name;
    if (Tproject* p = model_->project()) {
      if (Tradio* r = p->radio(radio)) name = QString::fromLatin1(r->settings.name.c_str());
    }
    auto* w = new SignalHistoryWindow(history_, radio, name, this);
    w->setAttribute(Qt::WA_DeleteOnClose);
    connect(w, &QObject::destroyed, this, [this, radio] { historyWindows_.erase(radio); });
    it = historyWindows_.emplace(radio, w).first;
  }
  it->second->show();
  it->second->raise();
  it->second->activateWindow();
  return it->second;
}

bool MainWindow::exportMonitorLog(const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) {
    Tproject* p = model_->project();
    writeMonitorCsv(out, history_, [p](int radio) {
      const Tradio* r = p ? p->radio(radio) : nullptr;
      return r ? r->settings.name : std::string();
    });
    out.flush();
  }
  if (!out) {
    prompts_.show(PromptIcon::Error, "Cannot write the monitor log " + path, pbOk);
    return false;
  }
  return true;
}

}  // namespace tessel
