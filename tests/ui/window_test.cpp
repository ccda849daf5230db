// The main window as the program starts it: profile, menus, settings read
// at start and written at close, modes, recent projects, the status bar's
// gauge and the accessible names of every control.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QSplitterHandle>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "model/group_commands.h"
#include "model/ini_file.h"
#include "model/project.h"
#include "ui/com_port_window.h"
#include "ui/splash_window.h"
#include "ui/status_bar_widget.h"
#include "ui/terminal_window.h"
#include "window_fixture.h"

namespace tessel::testing {
namespace {

// The visible entries of a menu, by caption.
QStringList captions(const QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions())
    if (a->isVisible() && !a->isSeparator()) out << a->text();
  return out;
}

TEST_F(WindowTest, FirstStartWithNoSettings) {
  start();
  // The caption names the product and the open project.
  EXPECT_EQ(window().windowTitle().toStdString(), "Tessel: " + dir + "/Manual Configuration.vro");
  EXPECT_EQ(settings.strings["logs"], dir + "/");
  EXPECT_EQ(panel().text(ctl::advanced), "Advanced");
  EXPECT_EQ(panel().WindowMode, wmManual);
  EXPECT_EQ(captions(window().projectMenu()),
            (QStringList{"C&onfigure COM Port...", "&Get Local Radio Parameters", "&Close Project",
                         "&Load Project...", "&Create New Project...", "&Exit"}));
  EXPECT_FALSE(action("projectClose")->isEnabled());
  EXPECT_FALSE(action("EmulateGroup1")->isVisible());
  EXPECT_EQ(action("file1"), nullptr);
  for (int w : window().views().columnWidths) EXPECT_EQ(w, -1);
  // The default project lives in the data folder.
  ASSERT_NE(window().model().project(), nullptr);
  EXPECT_EQ(window().model().project()->fileName(), dir + "/Manual Configuration.vro");
  // Manual mode: the window's width is fixed to the panel; no list, no tree.
  EXPECT_EQ(window().minimumWidth(), window().maximumWidth());
  EXPECT_FALSE(window().splitter()->isVisibleTo(&window()));
  EXPECT_FALSE(window().logoStrip()->isVisibleTo(&window()));
  // Everything under the buttons fits: the window is at least as high as
  // its contents need.
  EXPECT_GE(window().height(), window().minimumSizeHint().height());
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(WindowTest, MenusOfTheOtherEntries) {
  start(0, true);
  EXPECT_TRUE(action("EmulateGroup1")->isVisible());
  EXPECT_TRUE(action("EmulateGroup1")->isEnabled());
  EXPECT_EQ(action("autoDiscovery"), nullptr);
  EXPECT_EQ(action("discoverThis")->text(), "&Existing Project");
  EXPECT_EQ(action("discoverNew")->text(), "&New Project");
  EXPECT_EQ(action("LogFile")->text(), "Log File");
  EXPECT_TRUE(action("LogFile")->isCheckable());
  EXPECT_EQ(action("terminalWindow")->text(), "&Terminal...");
  EXPECT_EQ(action("About1")->text(), "About");
  EXPECT_TRUE(action("poll1000")->isChecked());
  action("poll2500")->trigger();
  EXPECT_EQ(wiring->engine().pollInterval(), 2500);
}

TEST_F(WindowTest, SecondBrandHasItsNamesLogoAndSplashOnce) {
  start(1);
  EXPECT_TRUE(window().windowTitle().startsWith(QLatin1String("LUMA-LINK: ")));
  EXPECT_TRUE(window().logoStrip()->isVisibleTo(&window()));
  EXPECT_EQ(window().logoStrip()->height(), 37);
  EXPECT_EQ(panel().items(ctl::radioType), (std::vector<std::string>{"LUMA-MB", "LUMA-M"}));
  window().show();
  QApplication::setActiveWindow(&window());
  ASSERT_TRUE(pumpUntil([&] { return wiring->splash().isVisible(); }, 1000));
  EXPECT_EQ(wiring->splash().size(), QSize(458, 349));
  // It goes by itself after its interval (shortened here).
  wiring->splash().hide();
  wiring->splash().timer().setInterval(20);
  wiring->splash().show();
  EXPECT_TRUE(pumpUntil([&] { return !wiring->splash().isVisible(); }, 1000));
  // Activated again: no second splash.
  QApplication::setActiveWindow(nullptr);
  QApplication::setActiveWindow(&window());
  pumpUntil([] { return false; }, 100);
  EXPECT_FALSE(wiring->splash().isVisible());
}

TEST_F(WindowTest, TheLogoStripLeavesManualModeAsWideAsThePanel) {
  start(0);
  window().show();
  const int plain = window().width();
  wiring.reset();
  start(1);
  window().show();
  EXPECT_EQ(window().width(), plain);
  EXPECT_EQ(window().minimumWidth(), window().maximumWidth());
}

TEST_F(WindowTest, ALargerFontWidensTheFixedManualWindow) {
  start();
  window().show();
  const int before = window().width();
  QFont large = window().font();
  large.setPointSize(large.pointSize() + 8);
  window().setFont(large);
  pumpUntil([] { return false; }, 50);
  EXPECT_GT(window().width(), before);
  EXPECT_EQ(window().minimumWidth(), window().maximumWidth());
  EXPECT_GE(window().width(), window().panel()->minimumSizeHint().width());
  EXPECT_GE(window().height(), window().minimumSizeHint().height());
}

TEST_F(WindowTest, ALargerFontInProjectModeLeavesThePanelItsWidth) {
  const std::string path = dir + "/g.vro";
  std::ofstream(path) << "[Project]\nGroup ID=9\n[Radio3]\nRadio Name=Pump\n";
  settings.strings["file1"] = path;
  settings.strings["formMode"] = "&Basic";
  start();
  window().show();
  action("file1")->trigger();
  QFont large = window().font();
  large.setPointSize(large.pointSize() + 8);
  window().setFont(large);
  pumpUntil([] { return false; }, 50);
  EXPECT_GE(window().panel()->width(), window().panel()->sizeHint().width());
  EXPECT_GE(window().views().list()->width(), window().views().list()->minimumWidth());
}

TEST_F(WindowTest, FirstBrandShowsNoSplash) {
  start(0);
  window().show();
  QApplication::setActiveWindow(&window());
  pumpUntil([] { return false; }, 100);
  EXPECT_FALSE(wiring->splash().isVisible());
}

TEST_F(WindowTest, StoredSettingsAreRestored) {
  settings.strings = {{"formMode", "&Basic"},
                      {"file1", dir + "/one.vro"},
                      {"file2", dir + "/R&D group.vro"},
                      {"file3", dir + "/three.vro"},
                      {"file4", dir + "/four.vro"}};
  settings.integers["gpName"] = 70;
  start();
  EXPECT_EQ(panel().text(ctl::advanced), "&Basic");
  for (int w : window().views().columnWidths) EXPECT_EQ(w, 70);
  const QStringList entries = captions(window().projectMenu());
  ASSERT_EQ(entries.size(), 10);
  EXPECT_EQ(entries.mid(6), (QStringList{QString::fromStdString(dir + "/one.vro"),
                                         QString::fromStdString(dir + "/R&&D group.vro"),
                                         QString::fromStdString(dir + "/three.vro"),
                                         QString::fromStdString(dir + "/four.vro")}));
  for (int n = 1; n <= 4; ++n) {
    QAction* a = window().action(QStringLiteral("file%1").arg(n));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->shortcut(), QKeySequence(QStringLiteral("Ctrl+%1").arg(n)));
    EXPECT_TRUE(a->isEnabled());
    EXPECT_FALSE(a->isChecked());
  }
}

TEST_F(WindowTest, AnEmptyRecentFileEndsTheList) {
  settings.strings = {{"file1", dir + "/one.vro"}, {"file2", ""}, {"file3", dir + "/three.vro"}};
  start();
  EXPECT_NE(action("file1"), nullptr);
  EXPECT_EQ(action("file2"), nullptr);
  EXPECT_EQ(action("file3"), nullptr);
}

TEST_F(WindowTest, ARecentProjectWithAnAmpersandOpensInProjectModeAndClosesBack) {
  const std::string path = dir + "/R&D group.vro";
  std::ofstream(path) << "[Project]\nGroup ID=9\n"
                         "[Radio3]\nRadio Name=Pump\nRadio Mode=Master\n";
  settings.strings["file1"] = path;
  settings.integers = {{"projectW", 760}, {"projectH", 560}};
  start();
  window().show();
  action("file1")->trigger();
  ASSERT_NE(window().model().project(), nullptr);
  EXPECT_EQ(window().model().project()->fileName(), path);
  EXPECT_EQ(window().windowTitle().toStdString(), "Tessel: " + path);
  EXPECT_EQ(panel().WindowMode, wmProject);
  EXPECT_TRUE(action("projectClose")->isEnabled());
  EXPECT_EQ(panel().text(ctl::groupID), "9");
  EXPECT_EQ(window().views().rowCount(), 1);
  EXPECT_TRUE(window().splitter()->isVisibleTo(&window()));
  EXPECT_FALSE(window().views().tree()->isVisibleTo(&window()));
  EXPECT_EQ(window().width(), 760);
  EXPECT_EQ(window().height(), 560);
  EXPECT_LT(window().minimumWidth(), window().maximumWidth()) << "Project mode resizes freely";
  // While the engine works the list is disabled with the radio parameters.
  window().model().enableRadioParameters(false);
  EXPECT_FALSE(window().views().list()->isEnabled());
  window().model().enableRadioParameters(true);
  EXPECT_TRUE(window().views().list()->isEnabled());

  action("projectClose")->trigger();
  EXPECT_EQ(panel().WindowMode, wmManual);
  EXPECT_FALSE(action("projectClose")->isEnabled());
  EXPECT_EQ(window().model().project()->fileName(), dir + "/Manual Configuration.vro");
  EXPECT_EQ(window().minimumWidth(), window().maximumWidth());
}

TEST_F(WindowTest, AStoredSizeLargerThanTheScreenIsCutToIt) {
  const std::string path = dir + "/g.vro";
  std::ofstream(path) << "[Project]\nGroup ID=9\n";
  settings.strings["file1"] = path;
  settings.integers = {{"projectW", 100000}, {"projectH", 90000}};
  start();
  window().show();
  action("file1")->trigger();
  const QSize screen = window().screen()->availableSize();
  EXPECT_LE(window().width(), screen.width());
  EXPECT_LE(window().height(), screen.height());
  EXPECT_GT(window().width(), 575);
}

TEST_F(WindowTest, ProjectModeWithoutStoredSizeIsAtLeastTheFallbackWidth) {
  const std::string path = dir + "/g.vro";
  std::ofstream(path) << "[Project]\nGroup ID=9\n";
  settings.strings["file1"] = path;
  start();
  window().show();
  action("file1")->trigger();
  EXPECT_GE(window().width(), 575);
  // A resize in Project mode is remembered for the next switch.
  window().resize(900, window().height());
  EXPECT_EQ(window().rememberedProjectWidth(), 900);
}

TEST_F(WindowTest, ClosingSavesTheWindowSettings) {
  start();
  window().show();
  wiring->terminal().resize(500, 300);
  window().views().columnWidths = {1, 2, 3, 4, 5, 66};
  window().model().setPanelView(PanelView::Monitor);
  settings.strings.erase("formMode");
  EXPECT_TRUE(window().close());
  EXPECT_EQ(settings.strings["formMode"], "&Basic");
  EXPECT_EQ(settings.integers["projectW"], window().width());
  EXPECT_EQ(settings.integers["projectH"], window().height());
  EXPECT_EQ(settings.integers["termWidth"], 500);
  EXPECT_EQ(settings.integers["termHeight"], 300);
  EXPECT_EQ(settings.integers.count("discoveryAG"), 1u);
  EXPECT_EQ(settings.integers["gpName"], 66);
  EXPECT_EQ(settings.integers.count("discoveryW"), 0u);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(WindowTest, ClosingWithLinesQueuedAsksFirst) {
  start();
  window().show();
  wiring->engine().Send(false, 0, "ATS1=4");
  prompts.answers = {pbCancel};
  EXPECT_FALSE(window().close());
  ASSERT_EQ(prompts.texts(), std::vector<std::string>{MainWindow::kStillSending});
  EXPECT_EQ(prompts.shown[0].icon, PromptIcon::Warning);
  EXPECT_EQ(prompts.shown[0].buttons, static_cast<PromptButtons>(pbOk | pbCancel));
  EXPECT_EQ(settings.integers.count("projectW"), 0u) << "nothing saved on Cancel";
  prompts.answers = {pbOk};
  EXPECT_TRUE(window().close());
  EXPECT_EQ(settings.integers.count("projectW"), 1u);
}

TEST_F(WindowTest, ExitEndsAtOnceWithoutTheQuestionOrTheSave) {
  start();
  window().show();
  wiring->engine().Send(false, 0, "ATS1=4");
  QTimer::singleShot(0, [&] { action("projectExit")->trigger(); });
  // Ends a loop that Exit failed to end; gone with the test.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
  guard.start(2000);
  EXPECT_EQ(QCoreApplication::exec(), 0) << "the event loop did not end with Exit";
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(settings.integers.count("projectW"), 0u);
}

// Exit and the close box ask one question about unsaved radio edits;
// Cancel keeps the program open and the edits in place.
TEST_F(WindowTest, ExitAndTheCloseBoxAskAboutRadioEditsAndCancelKeepsThem) {
  const std::string path = dir + "/group.vro";
  std::ofstream(path) << "[Radio3]\nRadio Name=Pump\nRadio Mode=Master\nRetries=10\n";
  settings.strings["file1"] = path;
  start();
  window().show();
  action("file1")->trigger();
  int exits = 0;
  window().exitProgram = [&] { ++exits; };
  panel().setText(ctl::retries, "42");
  window().model().setRadioChanged(true);
  prompts.answers = {pbCancel, pbCancel};
  action("projectExit")->trigger();
  EXPECT_FALSE(window().close());
  const std::string question = "Radio configuration changes made, save them?";
  EXPECT_EQ(prompts.texts(), (std::vector<std::string>{question, question}));
  for (const auto& shown : prompts.shown)
    EXPECT_EQ(shown.buttons, static_cast<PromptButtons>(pbYes | pbNo | pbCancel));
  EXPECT_EQ(exits, 0);
  EXPECT_EQ(settings.integers.count("projectW"), 0u);
  EXPECT_EQ(panel().text(ctl::retries), "42");
  EXPECT_TRUE(window().model().radioChanged());
  EXPECT_EQ(IniFile(path).readString("Radio3", "Retries", ""), "10");

  prompts.answers = {pbYes};
  action("projectExit")->trigger();
  EXPECT_EQ(exits, 1);
  EXPECT_EQ(IniFile(path).readString("Radio3", "Retries", ""), "42");

  // A group parameter edit is asked about too; nothing else is.
  panel().setText(ctl::groupID, "12");
  prompts.shown.clear();
  prompts.answers = {pbCancel};
  action("projectExit")->trigger();
  EXPECT_EQ(exits, 1);
  prompts.answers = {pbYes};
  action("projectExit")->trigger();
  EXPECT_EQ(exits, 2);
  EXPECT_EQ(prompts.texts(),
            std::vector<std::string>(2, "Group parameter changes made, save them?"));
  EXPECT_EQ(IniFile(path).readString("Project", "Group ID", ""), "12");
  prompts.shown.clear();
  action("projectExit")->trigger();
  EXPECT_EQ(exits, 3);
  EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().front();
}

// The View menu reaches the Basic and Advanced fields in every mode; the
// Basic/Advanced button keeps its place (none in Project mode, "Cancel"
// while monitoring).
TEST_F(WindowTest, TheViewMenuSwitchesBasicAndAdvancedInEveryMode) {
  const std::string path = dir + "/group.vro";
  std::ofstream(path) << "[Radio1]\nRadio Name=Pump\nRadio Mode=Master\n";
  settings.strings["file1"] = path;
  start();
  window().show();
  EXPECT_EQ(action("viewBasic")->text(), "Basic");
  EXPECT_EQ(action("viewAdvanced")->text(), "Advanced");
  for (int mode : {wmManual, wmProject, wmMonitor}) {
    SCOPED_TRACE(mode);
    if (mode == wmProject) action("file1")->trigger();
    if (mode == wmMonitor) window().groupCommands().monitorLayout();
    ASSERT_EQ(panel().WindowMode, mode);
    action("viewAdvanced")->trigger();
    EXPECT_TRUE(panel().visible(ctl::retries));
    EXPECT_TRUE(action("viewAdvanced")->isChecked());
    action("viewBasic")->trigger();
    EXPECT_FALSE(panel().visible(ctl::retries));
    EXPECT_TRUE(action("viewBasic")->isChecked());
    EXPECT_FALSE(action("viewAdvanced")->isChecked());
    EXPECT_EQ(panel().visible(ctl::advanced), mode != wmProject);
  }
  EXPECT_EQ(panel().text(ctl::advanced), "Cancel");
}

TEST_F(WindowTest, AboutNamesTheProductAndTheRevision) {
  start();
  QString text, title;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    text = box->text();
    title = box->windowTitle();
    box->accept();
  });
  action("About1")->trigger();
  EXPECT_EQ(text, "Tessel,  revision 1.00 on 2003/12/12 at 13:19");
  EXPECT_EQ(title, "Tessel");
}

TEST_F(WindowTest, LogFileSwitchesTheEnginesLogWithTheHeader) {
  start();
  action("LogFile")->trigger();
  EXPECT_TRUE(action("LogFile")->isChecked());
  EXPECT_TRUE(wiring->engine().logging());
  EXPECT_EQ(wiring->engine().logHeader(), "Tessel revision 1.00 on 2003/12/12 at 13:19");
  action("LogFile")->trigger();
  EXPECT_FALSE(action("LogFile")->isChecked());
  EXPECT_FALSE(wiring->engine().logging());
}

TEST_F(WindowTest, TerminalAndComPortOpenWithoutBlocking) {
  start();
  action("terminalWindow")->trigger();
  EXPECT_TRUE(wiring->terminal().isVisible());
  EXPECT_FALSE(wiring->terminal().isModal());
  action("configCom")->trigger();
  EXPECT_TRUE(wiring->comPort().isVisible());
  EXPECT_FALSE(wiring->comPort().isModal());
  EXPECT_TRUE(wiring->comPort().windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(WindowTest, GaugeIsTwoPixelsPerQueuedLineInGreen) {
  start();
  window().resize(600, window().height());
  window().show();
  for (int i = 0; i < 30; ++i) wiring->engine().Send(false, 0, "ATS1=4");
  StatusBarWidget* bar = window().statusBarWidget();
  bar->setPanel2OwnerDrawn(true);
  StatusPanel* gauge = bar->panel(2);
  ASSERT_GT(gauge->width(), 70);
  EXPECT_EQ(gauge->gaugeWidth(), 60);
  const QImage image = gauge->grab().toImage();
  const int y = image.height() / 2;
  const QColor green(0, 255, 0);
  EXPECT_EQ(image.pixelColor(1, y), green);
  EXPECT_EQ(image.pixelColor(60, y), green);
  EXPECT_NE(image.pixelColor(62, y), green);
  // As text again once the values are sent.
  bar->setPanel2OwnerDrawn(false);
  bar->setPanelText(2, "Idle");
  EXPECT_NE(gauge->grab().toImage().pixelColor(1, y), green);
}

TEST_F(WindowTest, EveryControlHasAnAccessibleName) {
  start();
  window().show();
  wiring->terminal().show();
  wiring->comPort().show();
  for (QWidget* top : {static_cast<QWidget*>(&window()), static_cast<QWidget*>(&wiring->terminal()),
                       static_cast<QWidget*>(&wiring->comPort())}) {
    for (QWidget* w : top->findChildren<QWidget*>()) {
      const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                           qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractItemView*>(w) ||
                           qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QGroupBox*>(w);
      // A combo box's own edit field and list are parts of the named box.
      const bool part =
          qobject_cast<QComboBox*>(w->parentWidget()) ||
          (w->parentWidget() && w->parentWidget()->inherits("QComboBoxPrivateContainer"));
      // Qt's own helpers (the menu bar's overflow button, the headers of a
      // list) belong to the widget that carries the name.
      const bool internal =
          w->objectName().startsWith(QLatin1String("qt_")) || qobject_cast<QHeaderView*>(w);
      if (!control || part || internal) continue;
      EXPECT_FALSE(w->accessibleName().isEmpty())
          << top->objectName().toStdString() << ": " << w->metaObject()->className() << " "
          << w->objectName().toStdString();
    }
  }
}

}  // namespace
}  // namespace tessel::testing

namespace tessel::testing {
namespace {

TEST_F(WindowTest, MonitorModeWithoutStoredSizesIsAtLeast750WideWithTheTree) {
  start();
  window().show();
  window().views().setMonitorColumns(true);  // as the monitor's layout does
  window().model().switchMode(wmMonitor);
  EXPECT_EQ(panel().WindowMode, wmMonitor);
  EXPECT_GE(window().width(), 750);
  EXPECT_TRUE(window().views().tree()->isVisibleTo(&window()));
  EXPECT_TRUE(window().views().list()->isVisibleTo(&window()));
  // Wide enough that the list shows every column beside the panel, as far
  // as the screen allows.
  QTreeWidget* list = window().views().list();
  EXPECT_TRUE(list->viewport()->width() >= list->header()->length() ||
              window().width() >= window().screen()->availableSize().width())
      << window().width() << " wide, the list " << list->viewport()->width() << " for "
      << list->header()->length();
  EXPECT_EQ(panel().text(ctl::advanced), "Cancel");
  // The splitter, moved by the user, is remembered at once.
  QSplitterHandle* handle = window().splitter()->handle(1);
  ASSERT_NE(handle, nullptr);
  const int before = window().splitter()->sizes().value(1);
  QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(2, 5));
  QTest::mouseMove(handle, QPoint(-38, 5));
  QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(-38, 5));
  ASSERT_NE(window().splitter()->sizes().value(1), before);
  ASSERT_EQ(settings.integers.count("SplitterPos"), 1u);
  EXPECT_EQ(settings.integers["SplitterPos"],
            window().panel()->geometry().right() + 1 + window().splitter()->sizes().value(0));
  EXPECT_EQ(window().groupTreeWidth(), window().splitter()->sizes().value(1));
  // A resize in Monitor mode is remembered for it, not for Project mode.
  const int projectWidth = window().rememberedProjectWidth();
  window().resize(780, window().height());
  EXPECT_EQ(window().rememberedMonitorWidth(), 780);
  EXPECT_EQ(window().rememberedProjectWidth(), projectWidth);
}

TEST_F(WindowTest, MonitorModeTakesItsStoredSizes) {
  settings.integers = {
      {"SplitterPos", 560}, {"discoveryW", 790}, {"discoveryH", 580}, {"discoveryAG", 220}};
  start();
  window().show();
  window().model().switchMode(wmMonitor);
  EXPECT_EQ(window().width(), 790);
  EXPECT_EQ(window().height(), 580);
  EXPECT_EQ(window().splitter()->sizes().value(1), 220);
  EXPECT_EQ(window().groupTreeWidth(), 220);
  // Saved at close as the group tree's width.
  EXPECT_TRUE(window().close());
  EXPECT_EQ(settings.integers["discoveryAG"], 220);
}

}  // namespace
}  // namespace tessel::testing
