#include "ui/main_window.h"

#include "ui/command_gauge.h"

#include "ui/change_group_dialog.h"
#include "ui/compare_group_dialog.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <tuple>

#include "model/file_access.h"
#include "model/group_commands.h"
#include "model/project.h"
#include "model/window_settings.h"
#include "seams/prompts.h"
#include "seams/settings_store.h"
#include "ui/com_port_window.h"
#include "ui/parameter_panel.h"
#include "ui/pictures.h"
#include "ui/qt_seams.h"
#include "ui/signal_history_window.h"
#include "ui/splash_window.h"
#include "ui/status_bar_widget.h"
#include "ui/terminal_window.h"

namespace tessel {

namespace {
constexpr int kHintMs = 10000;

// The brand's picture across the top at its own proportions, cut off on a
// narrow window: it asks for no width of its own, so the panel decides the
// width of Manual mode.
class LogoStrip : public QWidget {
 public:
  LogoStrip(int height, QWidget* parent) : QWidget(parent) {
    setFixedHeight(std::max(height, 0));
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    if (height > 0) picture_ = picture("logo", QSize(height * 600 / 37, height));
  }
  QSize sizeHint() const override { return QSize(0, height()); }
  QSize minimumSizeHint() const override { return QSize(0, height()); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    if (picture_.isNull()) return;
    // Past the picture the strip goes on in its last colour.
    p.fillRect(rect(), picture_.toImage().pixelColor(picture_.width() - 1, height() / 2));
    p.drawPixmap(0, 0, picture_);
  }

 private:
  QPixmap picture_;
};
constexpr size_t kMaxFileName = 255;
const char* const kGetLocalCaption = "&Get Local Radio Parameters";

// Get Local reads for seconds: the panel shows the busy cursor while the
// engine's task is Get Local, however the task ends. The port opening or
// closing changes which commands the window offers.
class TaskCursor : public LinkObserver {
 public:
  TaskCursor(QWidget* panel, std::function<void()> portChanged)
      : panel_(panel), portChanged_(std::move(portChanged)) {}
  void taskChanged(TaskCode from, TaskCode to) override {
    if (to == tkGetLocal) {
      panel_->setCursor(Qt::WaitCursor);
    } else if (from == tkGetLocal) {
      panel_->unsetCursor();
    }
  }
  void statusChanged(const LinkStatus& status) override {
    if (status.port == port_) return;
    port_ = status.port;
    portChanged_();
  }
  void lineLost(const std::string&) override { portChanged_(); }

 private:
  QWidget* panel_;
  std::function<void()> portChanged_;
  std::string port_;
};
}  // namespace

MainWindow::MainWindow(const BrandProfile& profile, SettingsStore& settings, Prompts& prompts,
                       bool emulateEntry, QWidget* parent)
    : QMainWindow(parent),
      profile_(profile),
      settings_(settings),
      prompts_(prompts),
      projectWidth_(kProjectModeWidth),
      monitorWidth_(kMonitorModeWidth),
      splashPending_(profile.index == 1) {
  initUiResources();
  setObjectName(QStringLiteral("TopoConfig"));
  setWindowTitle(QLatin1String(profile.productName));
  setAccessibleName(QLatin1String(profile.productName));
  setWindowIcon(applicationIcon(profile.index));

  panel_ = new ParameterPanel(profile.models);
  model_ = std::make_unique<MainWindowModel>(*panel_, views_, prompts_, profile.models,
                                             profile.productName);
  panel_->setModel(model_.get());
  model_->onModeSwitch = [this](int mode) { layOutForMode(mode); };

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("client"));
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  logo_ = new LogoStrip(profile.logoHeight, central);
  logo_->setObjectName(QStringLiteral("logo"));
  logo_->setAccessibleName(QStringLiteral("logo"));
  if (profile.logoHeight <= 0) logo_->hide();
  column->addWidget(logo_);

  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  // The panel always gets the width its contents ask for; the list gives way.
  panel_->setSizePolicy(QSizePolicy::Fixed, panel_->sizePolicy().verticalPolicy());
  row->addWidget(panel_, 0, Qt::AlignTop);
  splitter_ = new QSplitter(Qt::Horizontal, central);
  splitter_->setObjectName(QStringLiteral("groupSplitter"));
  splitter_->setAccessibleName(QStringLiteral("Splitter"));
  splitter_->setChildrenCollapsible(false);
  splitter_->addWidget(views_.list());
  splitter_->addWidget(views_.tree());
  splitter_->setStretchFactor(0, 1);
  splitter_->setStretchFactor(1, 0);
  row->addWidget(splitter_, 1);
  column->addLayout(row, 1);
  setCentralWidget(central);
  connect(splitter_, &QSplitter::splitterMoved, this, [this] { splitterMoved(); });

  status_ = new StatusBarWidget(this);
  status_->setObjectName(QStringLiteral("comPortStatus"));
  status_->setAccessibleName(QStringLiteral("Status"));
  status_->setQueueLength([this] { return hooks.queueLength ? hooks.queueLength() : 0; });
  setStatusBar(status_);

  // The rules set the window's caption (the open project) and enable the
  // radio list through the panel.
  panel_->attachControl(ctl::caption, this);
  panel_->attachControl(ctl::activeGroup, views_.list());
  setWindowTitle(QLatin1String(profile.productName));

  connect(views_.list(), &QTreeWidget::itemPressed, this,
          [this](QTreeWidgetItem* item) { model_->chooseRadio(views_.rowOf(item)); });
  connect(views_.tree(), &QTreeWidget::itemPressed, this, [this](QTreeWidgetItem* item) {
    NodeId node = views_.nodeOf(item);
    if (node == kNoNode) return;
    item->setSelected(false);
    views_.setNodeImage(node, kImageNone);
  });

  taskObserver_ = std::make_unique<TaskCursor>(panel_, [this] { showCommandStates(); });
  model_->portOpen = [this] { return hooks.portOpen && hooks.portOpen(); };
  model_->onCommandsChanged = [this] { showCommandStates(); };
  buildMenus(emulateEntry);
  createDialogs();
  wireProjectCommands();
  buildViewCommands();
  setUpHistory();  // joins the list's menu made above
  // Hints stay up long enough to be read.
  for (QWidget* w : findChildren<QWidget*>())
    if (!w->toolTip().isEmpty()) w->setToolTipDuration(kHintMs);
}

MainWindow::~MainWindow() {
  // A compare still reading gives the engine back before the model goes.
  delete compareDialog_;
  compareDialog_ = nullptr;
  delete changeDialog_;
  changeDialog_ = nullptr;
  // The chart windows are children, deleted after the members they report
  // their end to.
  const auto charts = historyWindows_;
  for (const auto& entry : charts) delete entry.second;
  history_.onAdded = nullptr;
  // The rules go before the panel they work on.
  panel_->setModel(nullptr);
  model_->commands.removeListener(gauge_.get());
  gauge_.reset();
  commands_.reset();
  model_.reset();
}

QAction* MainWindow::addAction(QMenu* menu, const char* name, const char* caption) {
  QAction* a = menu->addAction(QLatin1String(caption));
  a->setObjectName(QLatin1String(name));
  actions_[QLatin1String(name)] = a;
  return a;
}

QAction* MainWindow::action(const QString& name) const {
  auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::buildMenus(bool emulateEntry) {
  QMenuBar* bar = menuBar();
  projectMenu_ = bar->addMenu(QStringLiteral("&Project"));
  projectMenu_->setObjectName(QStringLiteral("ProjectMenu"));
  projectMenu_->setAccessibleName(QStringLiteral("Project"));
  connect(addAction(projectMenu_, "configCom", "C&onfigure COM Port..."), &QAction::triggered, this,
          [this] {
            if (!comPort_) return;
            comPort_->show();
            comPort_->raise();
            comPort_->activateWindow();
          });
  connect(addAction(projectMenu_, "GetLocal", kGetLocalTitle.c_str()), &QAction::triggered, this,
          [this] { getLocalClick(); });
  QAction* close = addAction(projectMenu_, "projectClose", "&Close Project");
  close->setEnabled(false);
  connect(close, &QAction::triggered, this, [this] { projectCloseClick(); });
  addAction(projectMenu_, "projectLoad", "&Load Project...");
  addAction(projectMenu_, "projectNew", "&Create New Project...");
  QAction* changeGroup = addAction(projectMenu_, "changeGroup", "C&hange Group Settings...");
  connect(changeGroup, &QAction::triggered, this, [this] { changeGroupClick(); });
  // Shown with a project of the user's open (Manual mode has no group).
  changeGroup->setVisible(false);
  connect(projectMenu_, &QMenu::aboutToShow, this, [this] { showCommandStates(); });
  connect(addAction(projectMenu_, "projectExit", "&Exit"), &QAction::triggered, this, [this] {
    // Ends at once, without the settings save; unsaved group and radio
    // edits are offered first, and Cancel keeps the program open. A group
    // change's phase 2 is seen through first.
    if (waitForPhaseTwo([this] { action(QStringLiteral("projectExit"))->trigger(); })) return;
    if (!model_->beforeExit()) return;
    if (exitProgram) exitProgram();
  });
  QAction* emulate = addAction(projectMenu_, "EmulateGroup1", "Emulate Group");
  emulate->setVisible(emulateEntry);
  emulate->setEnabled(false);

  QMenu* online = bar->addMenu(QStringLiteral("&Online Monitor"));
  online->setObjectName(QStringLiteral("autoDiscover"));
  QMenu* monitor = online->addMenu(QStringLiteral("&Monitor..."));
  monitor->setObjectName(QStringLiteral("autoDiscovery"));
  addAction(monitor, "discoverThis", "&Existing Project")->setEnabled(false);
  addAction(monitor, "discoverNew", "&New Project")->setEnabled(false);
  // Enabled while a monitor or a discovery runs.
  addAction(online, "monitorStop", "Stop")->setEnabled(false);
  QAction* compare = addAction(online, "compareGroup", "&Compare Group with Project...");
  connect(compare, &QAction::triggered, this, [this] { compareGroupClick(); });
  connect(online, &QMenu::aboutToShow, this, [this] { showCommandStates(); });
  QMenu* poll = online->addMenu(QStringLiteral("Set Poll Interval..."));
  poll->setObjectName(QStringLiteral("SetPollInterval"));
  buildPollMenu(poll);

  buildViewMenu();

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("Help1"));
  QAction* log = addAction(help, "LogFile", "Log File");
  log->setCheckable(true);
  connect(log, &QAction::triggered, this, [this] { logFileClick(); });
  connect(addAction(help, "terminalWindow", "&Terminal..."), &QAction::triggered, this, [this] {
    if (!terminal_) return;
    terminal_->show();
    terminal_->raise();
  });
  connect(addAction(help, "About1", "About"), &QAction::triggered, this, [this] { aboutClick(); });
}

void MainWindow::buildViewMenu() {
  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  view->setObjectName(QStringLiteral("viewMenu"));
  view->setAccessibleName(QStringLiteral("View"));
  auto* views = new QActionGroup(view);
  for (auto [name, caption, shown] :
       {std::tuple{"viewBasic", "Basic", PanelView::Basic},
        std::tuple{"viewAdvanced", "Advanced", PanelView::Advanced}}) {
    QAction* a = addAction(view, name, caption);
    a->setCheckable(true);
    views->addAction(a);
    connect(a, &QAction::triggered, this, [this, v = shown] { model_->chooseView(v); });
  }
  connect(view, &QMenu::aboutToShow, this, [this] { showViewChecks(); });
}

void MainWindow::showViewChecks() {
  const bool basic = model_->shownView() == PanelView::Basic;
  action(QStringLiteral("viewBasic"))->setChecked(basic);
  action(QStringLiteral("viewAdvanced"))->setChecked(!basic);
}

void MainWindow::setWindows(TerminalWindow* terminal, ComPortWindow* comPort,
                            SplashWindow* splash) {
  terminal_ = terminal;
  comPort_ = comPort;
  splash_ = splash;
}

std::string MainWindow::defaultProjectPath() const {
  return dataDir_ + "/Manual Configuration.vro";
}

void MainWindow::start(const std::string& dataDir) {
  dataDir_ = dataDir;
  StartSettings s = loadStartSettings(settings_, dataDir);
  model_->setPanelView(panelViewFromFormMode(s.advancedCaption));
  for (size_t i = 0; i < s.recentFiles.size(); ++i) {
    const QString path = qt(s.recentFiles[i]);
    // The caption shows "&" as typed; the path itself travels in the data.
    QString caption = path;
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    const QString name = QStringLiteral("file%1").arg(i + 1);
    QAction* a = projectMenu_->addAction(caption);
    a->setObjectName(name);
    a->setData(path);
    a->setShortcut(QKeySequence(QStringLiteral("Ctrl+%1").arg(i + 1)));
    actions_[name] = a;
    connect(a, &QAction::triggered, this, [this, a] { openRecent(a); });
  }
  views_.columnWidths = s.columnWidths;

  model_->openProject(defaultProjectPath());
  model_->defaultsClick();
  panel_->setItemIndex(ctl::radioMode, 0);
  model_->switchMode(panel_->WindowMode);
  // The engine takes up the interval chosen last time.
  for (const auto& [name, a] : actions_)
    if (name.startsWith(QLatin1String("poll")) && a->isChecked()) pollIntervalClick(a);
}

bool MainWindow::openProjectAtStart(const std::string& path) {
  std::string error;
  if (!canReadProject(path, error)) {
    prompts_.show(PromptIcon::Error, "The project could not be opened: " + error, pbOk);
    return false;
  }
  if (model_->refuseNonProject(path)) return false;
  // Another program with the project open keeps it; the default one stays.
  if (!model_->openOwnProject(path, error)) {
    prompts_.show(PromptIcon::Error, "The project could not be opened: " + error, pbOk);
    return false;
  }
  action(QStringLiteral("projectClose"))->setEnabled(true);
  model_->loadProjectRadios();
  model_->switchMode(wmProject);
  return true;
}

void MainWindow::getLocalClick() {
  commands_->getLocalRadio();
}

void MainWindow::aboutClick() {
  QMessageBox box(QMessageBox::NoIcon, QLatin1String(profile_.productName), qt(aboutText(profile_)),
                  QMessageBox::Ok, this);
  box.setAccessibleName(QStringLiteral("About"));
  box.exec();
}

void MainWindow::logFileClick() {
  const bool on = action(QStringLiteral("LogFile"))->isChecked();
  if (hooks.setLogging) hooks.setLogging(on, std::string(profile_.productName) + kRevisionText);
}

void MainWindow::openRecent(QAction* entry) {
  const std::string path = latin1(entry->data().toString()).substr(0, kMaxFileName);
  if (model_->refuseNonProject(path)) return;
  commands_->stopMonitor();
  model_->beforeReplace();
  model_->openChosenProject(path, false, defaultProjectPath());
  // A refused project leaves the one open before, which may be the user's.
  action(QStringLiteral("projectClose"))
      ->setEnabled(model_->project() && model_->project()->fileName() != defaultProjectPath());
}

void MainWindow::projectCloseClick() {
  commands_->stopMonitor();
  model_->beforeReplace();
  model_->closeProject();
  model_->openProject(defaultProjectPath());
  model_->defaultsClick();
  model_->switchMode(wmManual);
  action(QStringLiteral("projectClose"))->setEnabled(false);
  // A new discovery may follow once the discovered project is closed.
  action(QStringLiteral("discoverNew"))->setEnabled(true);
  panel_->setText(ctl::newRadio, kNewRadioCaption);
  model_->enableGroupParameters(true);
  model_->enableRadioParameters(true);
}

int MainWindow::panelRight() const {
  return panel_->geometry().right() + 1;
}

void MainWindow::fixToPanelWidth(bool lowest) {
  // Manual mode: the window is as wide as the panel, no wider or narrower,
  // and (after a mode switch) no higher than its contents need.
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  centralWidget()->layout()->activate();
  const int w = sizeHint().width();
  setFixedWidth(w);
  // A minimum of our own replaces the layout's, so the height that keeps
  // the buttons in view is set here too.
  const int h = minimumSizeHint().height();
  setMinimumHeight(h);
  resize(w, lowest ? h : std::max(height(), h));
}

void MainWindow::layOutForMode(int mode) {
  layingOut_ = true;
  panel_->layOut(mode);
  const bool project = mode == wmProject;
  const bool monitor = mode == wmMonitor;
  splitter_->setVisible(project || monitor);
  views_.tree()->setVisible(monitor);
  showDiscoveryProgress();
  centralWidget()->layout()->activate();

  if (!project && !monitor) {
    if (!isMaximized()) fixToPanelWidth(true);
  } else {
    // The layout keeps the panel and a usable list visible.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    centralWidget()->layout()->activate();
    ModeGeometryInput in;
    in.mode = mode;
    in.maximised = isMaximized();
    in.currentWidth = width();
    in.clientWidth = centralWidget()->width();
    in.rememberedProjectWidth = projectWidth_;
    in.rememberedMonitorWidth = monitorWidth_;
    in.rememberedGroupTreeWidth = treeWidth_;
    const ModeGeometry g = modeGeometry(settings_, in);
    if (g.width > 0 || g.height > 0) {
      QSize size(g.width > 0 ? g.width : width(), g.height > 0 ? g.height : height());
      // A first monitor (no splitter stored) shows the list's every column
      // and the tree beside the panel; the width the layout once had in
      // mind is too narrow for today's fonts.
      if (monitor && g.splitterLeft <= 0 && !isMaximized())
        size.setWidth(std::max(size.width(), firstMonitorWidth()));
      // A stored size from a larger screen (or a damaged value) must not
      // put the window's edges out of reach.
      if (QScreen* screen = this->screen()) size = size.boundedTo(screen->availableSize());
      resize(size);
    }
    if (monitor) {
      centralWidget()->layout()->activate();  // the splitter's width after the resize
      int tree = g.groupTreeWidth > 0 ? g.groupTreeWidth : treeWidth_;
      int total = splitter_->width();
      if (g.splitterLeft > 0 && g.groupTreeWidth <= 0) tree = width() - g.splitterLeft;
      if (tree <= 0) tree = std::min(firstTreeWidth(), std::max(150, total / 3));
      splitter_->setSizes({std::max(100, total - tree), tree});
      // What the tree was given, whether or not the window has been laid
      // out on the screen yet.
      treeWidth_ = tree;
    }
  }
  layingOut_ = false;
  showViewChecks();
  if (onModeSwitched) onModeSwitched(mode);
}

void MainWindow::showCommandStates() {
  // Before the menus exist there is nothing to show.
  QAction* stop = action(QStringLiteral("monitorStop"));
  if (!stop) return;
  const CommandControls c = model_->commandControls();
  stop->setEnabled(c.stop);
  action(QStringLiteral("compareGroup"))->setEnabled(c.compare);
  QAction* change = action(QStringLiteral("changeGroup"));
  change->setVisible(c.changeGroupShown);
  change->setEnabled(c.changeGroup);
}

void MainWindow::showDiscoveryProgress() {
  const bool monitoring = commands_ && commands_->monitoring() && model_->commands.running() &&
                          model_->commands.current() == Command::Monitor && gauge_;
  if (commands_ && commands_->discovering()) {
    const DiscoveryProgress& p = commands_->progress;
    status_->showProgress(p.value(), kDiscoverEntries, qt(p.text()));
  } else if (monitoring && gauge_->monitor.command == Command::Monitor) {
    // "Monitor: radio 3 of 12, round 2"; before the first dial, the local
    // radio is being reached.
    const CommandProgress& p = gauge_->monitor;
    const std::string text = p.radio < 0 ? "Monitor: reaching the local radio"
                                         : "Monitor: radio " + std::to_string(p.index) + " of " +
                                               std::to_string(p.count) + ", round " +
                                               std::to_string(p.round);
    status_->showProgress(p.index, p.count, qt(text));
  } else {
    status_->hideProgress();
  }
}

int MainWindow::firstTreeWidth() const {
  const QFontMetrics fm(views_.tree()->font());
  return fm.horizontalAdvance(QStringLiteral("Radio 000 and more")) + 60;
}

int MainWindow::firstMonitorWidth() const {
  QTreeWidget* list = views_.list();
  const int listWidth = list->header()->length() + 2 * list->frameWidth() +
                        list->verticalScrollBar()->sizeHint().width();
  const QMargins m = centralWidget()->layout()->contentsMargins();
  return m.left() + panel_->sizeHint().width() + 4 + listWidth + splitter_->handleWidth() +
         firstTreeWidth() + m.right() + (width() - centralWidget()->width());
}

void MainWindow::splitterMoved() {
  settings_.writeInteger("SplitterPos", panelRight() + splitter_->sizes().value(0));
  treeWidth_ = splitter_->sizes().value(1);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (closing_ || layingOut_) return;
  if (panel_->WindowMode == wmProject) projectWidth_ = width();
  if (panel_->WindowMode == wmMonitor) monitorWidth_ = width();
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // A larger font or another style changes the panel's width, to which
  // Manual mode fixes the window.
  if ((event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) &&
      panel_->WindowMode == wmManual && !layingOut_ && !isMaximized()) {
    fixToPanelWidth(false);
    // The children take up the new font after this window does; fit again
    // once they have.
    QTimer::singleShot(0, this, [this] {
      if (panel_->WindowMode == wmManual && !isMaximized()) fixToPanelWidth(false);
    });
  }
  if (event->type() != QEvent::ActivationChange || !isActiveWindow()) return;
  if (splashPending_) {
    splashPending_ = false;
    if (splash_) splash_->show();
  }
  dialogsActivated();
}

void MainWindow::saveSettings() {
  closing_ = true;
  if (model_->project() && !model_->project()->fileName().empty()) model_->closeProject();
  CloseSettings v;
  v.advancedCaption = advancedCaption(model_->panelView());
  v.windowWidth = width();
  v.windowHeight = height();
  if (terminal_) {
    v.terminalWidth = terminal_->width();
    v.terminalHeight = terminal_->height();
  }
  v.groupTreeWidth = treeWidth_;
  v.columnWidths = views_.columnWidths;
  saveCloseSettings(settings_, v);
}

bool MainWindow::waitForPhaseTwo(std::function<void()> then) {
  if (!changeDialog_ || !changeDialog_->applying()) return false;
  // Stopping now would strand the radios reset so far.
  changeDialog_->whenPhaseTwoEnds(std::move(then));
  changeDialog_->raise();
  statusBar()->showMessage(QStringLiteral(
      "Change Group Settings is in phase 2: the program closes once the local radio is reset."));
  return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (waitForPhaseTwo([this] { close(); })) {
    event->ignore();
    return;
  }
  if (hooks.queueLength && hooks.queueLength() > 0 &&
      prompts_.show(PromptIcon::Warning, kStillSending, pbOk | pbCancel) != pbOk) {
    event->ignore();
    return;
  }
  if (!model_->beforeReplace(true)) {
    event->ignore();
    return;
  }
  saveSettings();
  event->accept();
  emit closed();
}

}  // namespace tessel
