#pragma once

// The main window: the parameter panel on the left, the radio list and, in
// Monitor mode, the group tree behind a splitter; menus, the logo strip and
// the status bar. The rules it applies live in MainWindowModel and below;
// what it asks of the link engine goes through EngineHooks, so the wiring
// that knows the engine stays in one place.
#include <QApplication>
#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "link/link_observer.h"
#include "model/brand_profile.h"
#include "model/main_window_model.h"
#include "model/monitor_history.h"
#include "model/register_values.h"
#include "ui/group_views_widget.h"

class QLabel;
class QMenu;
class QSplitter;

namespace tessel {

class BlockedFrequencyDialog;
class ChangeGroupDialog;
class CompareGroupDialog;
class ComPortWindow;
class SignalHistoryWindow;
class ModelEDialog;
class GroupCommands;
class CommandGauge;
class ParameterPanel;
class Prompts;
class SettingsStore;
class SplashWindow;
class StatusBarWidget;
class TerminalWindow;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // What the window needs of the link engine.
  struct EngineHooks {
    std::function<int()> queueLength;
    std::function<void(bool on, const std::string& header)> setLogging;
    std::function<void(int ms)> setPollInterval;
    // Attaches other callbacks to the engine, or (null) the window's again.
    std::function<void(MainWindowCallbacks* callbacks)> attachCallbacks;
    std::function<bool()> portOpen;
    // Sends end without a box each (a run of sends reports them itself).
    std::function<void(bool on)> quietSends;
  };

  // The question asked when the window closes with lines still queued.
  static constexpr const char* kStillSending =
      "Still sending radio parameters. To close anyway click \"OK\", otherwise click \"Cancel\"";

  MainWindow(const BrandProfile& profile, SettingsStore& settings, Prompts& prompts,
             bool emulateEntry, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The other windows, created after this one.
  void setWindows(TerminalWindow* terminal, ComPortWindow* comPort, SplashWindow* splash);
  EngineHooks hooks;
  // Project > Exit's end of the program (tests put their own).
  std::function<void()> exitProgram = [] { QApplication::exit(0); };
  // Runs after every mode switch has laid the window out (the wiring
  // attaches the engine here).
  std::function<void(int mode)> onModeSwitched;

  // The rest of the window's creation: the settings read at start (and
  // "logs" written), the default project in dataDir, Defaults, Radio Mode
  // "Master", and the first mode switch (Manual).
  void start(const std::string& dataDir);
  // A project named when the program was started (a .vro opened from the
  // file manager) opens as a recent project does. One that cannot be read
  // is named in a message with the reason, and the default project stays.
  bool openProjectAtStart(const std::string& path);

  const BrandProfile& profile() const { return profile_; }
  MainWindowModel& model() { return *model_; }
  ParameterPanel* panel() const { return panel_; }
  QtGroupViews& views() { return views_; }
  StatusBarWidget* statusBarWidget() const { return status_; }
  QSplitter* splitter() const { return splitter_; }
  QWidget* logoStrip() const { return logo_; }
  // A menu entry by its name ("GetLocal", "file1", "LogFile", ...).
  QAction* action(const QString& name) const;
  QMenu* projectMenu() const { return projectMenu_; }
  std::string defaultProjectPath() const;
  int rememberedProjectWidth() const { return projectWidth_; }
  int rememberedMonitorWidth() const { return monitorWidth_; }
  int groupTreeWidth() const { return treeWidth_; }

  // Menu commands.
  void getLocalClick();
  void aboutClick();
  void logFileClick();
  void openRecent(QAction* entry);
  void projectCloseClick();
  // The radio list's and the Online Monitor's commands.
  GroupCommands& groupCommands() { return *commands_; }
  void monitorExistingClick();
  void discoverNewClick();
  void pollIntervalClick(QAction* item);
  // The poll interval the menu has checked, to the engine again.
  void restorePollInterval();
  // The status bar's gauge and text while a discovery runs; hidden otherwise.
  void showDiscoveryProgress();
  // The command entries as the commands that run, the mode and the port
  // allow them (after every command's start and end, mode switch and port
  // change).
  void showCommandStates();
  // Online Monitor > "Compare Group with Project...": the dialog, reading.
  void compareGroupClick();
  CompareGroupDialog* compareDialog() const { return compareDialog_; }
  // Project > "Change Group Settings...": the dialog with the order, waiting
  // for Change.
  void changeGroupClick();
  ChangeGroupDialog* changeDialog() const { return changeDialog_; }
  // While a group change is in phase 2, a close or Exit waits for its end
  // (then runs then): true when it waits.
  bool waitForPhaseTwo(std::function<void()> then);
  // The list's context menu at pos (viewport coordinates) as it would pop up.
  QMenu* listMenu() const { return listMenu_; }
  void prepareListMenu(const QPoint& pos);
  // Writes the settings kept at close (and stores a project with a name).
  void saveSettings();
  // Set Radio, New Radio and the project dialogs (main_window_project.cpp).
  void okClick();
  void projectNewClick();
  void projectLoadClick();
  // The folder the project dialogs start in: the default project's.
  QString projectFolder() const;
  static constexpr const char* kProjectFilter = "Vireo Projects (*.vro)";

  // The blocked frequency and model-E dialogs, created once with the window.
  BlockedFrequencyDialog* blockedDialog() const { return blockedDialog_; }
  ModelEDialog* modelEDialog() const { return modelEDialog_; }

  // The monitor history: what every poll showed, for a day.
  MonitorHistory& monitorHistory() { return history_; }
  // Hears the engine's finished polls (the wiring attaches it).
  LinkObserver* historyRecorder() const { return historyRecorder_.get(); }
  // Hears the engine's task changes: the busy cursor over the panel while
  // Get Local reads (the wiring attaches it).
  LinkObserver* taskObserver() const { return taskObserver_.get(); }
  // The chart window of a radio (opened, or raised when open).
  SignalHistoryWindow* openSignalHistory(int radio);
  // Writes the history as CSV; false (after a message) when it cannot.
  bool exportMonitorLog(const std::string& path);

 signals:
  // The window closed (after its settings were saved): the program ends.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void createDialogs();
  // The window became active: edits made in the dialogs show on New Radio.
  void dialogsActivated();
  BlockedFrequencyDialog* blockedDialog_ = nullptr;
  ModelEDialog* modelEDialog_ = nullptr;
  void setUpHistory();
  void createListMenu();
  MonitorHistory history_;
  std::unique_ptr<LinkObserver> historyRecorder_;
  std::unique_ptr<CommandGauge> gauge_;
  std::unique_ptr<LinkObserver> taskObserver_;
  void buildViewMenu();
  // The View menu's checks follow the panel's view.
  void showViewChecks();
  std::map<int, SignalHistoryWindow*> historyWindows_;
  CompareGroupDialog* compareDialog_ = nullptr;
  ChangeGroupDialog* changeDialog_ = nullptr;
  // The radio under the mouse when the list's menu opened, or -1.
  int menuRadio_ = -1;

  void buildMenus(bool emulateEntry);
  void buildPollMenu(QMenu* poll);
  void buildViewCommands();
  QAction* addAction(QMenu* menu, const char* name, const char* caption);
  void layOutForMode(int mode);
  void fixToPanelWidth(bool lowest);
  void splitterMoved();
  // Wide enough for the panel, every column of the monitor's list and the
  // group tree's names.
  int firstMonitorWidth() const;
  int firstTreeWidth() const;
  int panelRight() const;
  void wireProjectCommands();

  const BrandProfile& profile_;
  SettingsStore& settings_;
  Prompts& prompts_;
  QtGroupViews views_;
  ParameterPanel* panel_;
  std::unique_ptr<MainWindowModel> model_;
  StatusBarWidget* status_;
  QWidget* logo_;
  QSplitter* splitter_;
  QMenu* projectMenu_ = nullptr;
  std::map<QString, QAction*> actions_;
  std::unique_ptr<GroupCommands> commands_;
  QMenu* listMenu_ = nullptr;
  TerminalWindow* terminal_ = nullptr;
  ComPortWindow* comPort_ = nullptr;
  SplashWindow* splash_ = nullptr;
  std::string dataDir_;
  int projectWidth_;
  int monitorWidth_;
  int treeWidth_ = 0;
  bool splashPending_;
  bool closing_ = false;
  bool layingOut_ = false;
  // The register texts a send reads; apart from the engine's, which keep
  // the state of a read.
  std::unique_ptr<RegisterValues> sendValues_;
};

}  // namespace tessel
