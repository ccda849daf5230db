// The project commands in the window: the file dialogs, the recent list
// they update, and the question before unsaved radio edits are dropped.
#include <QApplication>
#include <QFileDialog>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>
#include <iterator>

#include "model/ini_file.h"

#include "model/group_commands.h"
#include "model/project.h"
#include "model/radio.h"
#include "ui/signal_history_window.h"
#include "window_fixture.h"

namespace tessel::testing {
namespace {

// Create New Project and Monitor > New Project ask for the file first: a
// cancelled choice leaves the project that was open, in its mode.
TEST_F(WindowTest, CancellingNewLeavesTheOpenProjectAsItWas) {
  const std::string path = dir + "/group.vro";
  std::ofstream(path) << "[Radio3]\nRadio Name=Pump\nRadio Mode=Master\n";
  settings.strings["file1"] = path;
  start();
  action("file1")->trigger();
  ASSERT_EQ(panel().WindowMode, wmProject);
  for (const char* command : {"projectNew", "discoverNew"}) {
    SCOPED_TRACE(command);
    answerFileDialog(QString());
    action(command)->trigger();
    EXPECT_EQ(panel().WindowMode, wmProject);
    ASSERT_NE(window().model().project(), nullptr);
    EXPECT_EQ(window().model().project()->fileName(), path);
    EXPECT_TRUE(action("projectClose")->isEnabled());
    EXPECT_EQ(panel().text(ctl::radioName), "Pump");
  }
  // From the default project, nothing changes either.
  action("projectClose")->trigger();
  answerFileDialog(QString());
  action("projectNew")->trigger();
  EXPECT_EQ(panel().WindowMode, wmManual);
  EXPECT_EQ(window().model().project()->fileName(), window().defaultProjectPath());
  EXPECT_FALSE(action("projectClose")->isEnabled());
}

TEST_F(WindowTest, NewProjectTakesTheChosenNameFirstInTheRecentListWithAMasterRadio) {
  settings.strings["file1"] = "/old/a.vro";
  start();
  const QString chosen = QString::fromStdString(dir + "/fresh");
  answerFileDialog(chosen);
  action("projectNew")->trigger();
  const std::string file = dir + "/fresh.vro";  // the default suffix
  ASSERT_NE(window().model().project(), nullptr);
  EXPECT_EQ(window().model().project()->fileName(), file);
  EXPECT_EQ(panel().WindowMode, wmProject);
  EXPECT_EQ(settings.strings["file1"], file);
  EXPECT_EQ(settings.strings["file2"], "/old/a.vro");
  ASSERT_NE(panel().currentRadio, nullptr);
  EXPECT_EQ(panel().currentRadio->slotID, 0);
  EXPECT_EQ(panel().text(ctl::radioMode), "Master");
  // The menu keeps the entries it was built with.
  EXPECT_EQ(action("file2"), nullptr);
}

TEST_F(WindowTest, LoadAndRecentFilesAskBeforeDroppingRadioEdits) {
  const std::string path = dir + "/group.vro";
  std::ofstream(path) << "[Radio3]\nRadio Name=Pump\nRadio Mode=Master\nRetries=10\n";
  settings.strings["file1"] = path;
  start();
  action("file1")->trigger();
  panel().setText(ctl::retries, "42");
  window().model().setRadioChanged(true);
  prompts.answers = {pbYes};
  answerFileDialog(QString::fromStdString(path));
  action("projectLoad")->trigger();
  EXPECT_EQ(prompts.texts(),
            std::vector<std::string>{"Radio configuration changes made, save them?"});
  EXPECT_EQ(window().model().project()->fileName(), path);
  EXPECT_EQ(panel().text(ctl::retries), "42");
}

// No edit, no question: coming back to the window, clicking rows (the one
// shown again too) and double-clicking a monitored row leave the project
// file as it was, and the double-click opens the row's Signal History.
TEST_F(WindowTest, WithoutAnEditNoClickAsksToSaveAndADoubleClickOpensTheHistory) {
  const std::string path = dir + "/group.vro";
  std::ofstream(path) << "[Radio1]\nRadio Name=Pump\nRadio Mode=Master\nMaster ID=1\n"
                      << "[Radio2]\nRadio Name=Tank\nRadio Mode=Slave\n";
  settings.strings["file1"] = path;
  start();
  window().show();
  action("file1")->trigger();
  auto contents = [&] {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string before = contents();
  QApplication::setActiveWindow(&window());
  QEvent activation(QEvent::ActivationChange);
  QApplication::sendEvent(&window(), &activation);
  EXPECT_EQ(panel().text(ctl::newRadio), kNewRadioCaption);

  QTreeWidget* list = window().views().list();
  auto rowCentre = [list](int row) {
    return list->visualItemRect(list->topLevelItem(row)).center();
  };
  for (int row : {1, 1, 0}) QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(row));
  window().groupCommands().monitorLayout();
  QCoreApplication::processEvents();
  // A double-click: the press of its first click, then the double-click.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(1));
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowCentre(1));
  EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().front();
  EXPECT_EQ(contents(), before);
  const auto charts = window().findChildren<SignalHistoryWindow*>();
  ASSERT_EQ(charts.size(), 1);
  EXPECT_EQ(charts[0]->radio(), 2);
  EXPECT_TRUE(charts[0]->isVisible());
}

// The replace question of Create New Project: Cancel keeps the file, OK
// replaces it with a new, empty project.
TEST_F(WindowTest, CreateNewProjectOverAnExistingFileAsksBeforeReplacingIt) {
  const std::string path = dir + "/old.vro";
  std::ofstream(path) << "[Radio7]\nRadio Name=Kept\n";
  start();
  prompts.answers = {pbCancel};
  answerFileDialog(QString::fromStdString(path));
  action("projectNew")->trigger();
  EXPECT_EQ(prompts.texts(), std::vector<std::string>{path + " already exists. Do you want to "
                                                             "replace it?"});
  EXPECT_EQ(prompts.shown[0].buttons, static_cast<PromptButtons>(pbOk | pbCancel));
  EXPECT_EQ(window().model().project()->fileName(), window().defaultProjectPath());
  EXPECT_EQ(IniFile(path).readString("Radio7", "Radio Name", ""), "Kept");

  prompts.answers = {pbOk};
  answerFileDialog(QString::fromStdString(path));
  action("projectNew")->trigger();
  EXPECT_EQ(window().model().project()->fileName(), path);
  EXPECT_EQ(panel().WindowMode, wmProject);
  EXPECT_FALSE(IniFile(path).sectionExists("Radio7"));
  ASSERT_NE(panel().currentRadio, nullptr);
  EXPECT_EQ(panel().currentRadio->slotID, 0);
}

TEST_F(WindowTest, AProjectWithoutAMasterOpensWithNoRadioShownAsCurrent) {
  const std::string path = dir + "/slaves.vro";
  std::ofstream(path) << "[Radio3]\nRadio Name=Pump\nRadio Mode=Slave\n"
                         "[Radio5]\nRadio Name=Well\nRadio Mode=Slave\n";
  settings.strings["file1"] = path;
  start();
  action("file1")->trigger();
  EXPECT_EQ(panel().WindowMode, wmProject);
  ASSERT_EQ(window().views().rowCount(), 2);
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(window().views().stateImage(window().views().rowAt(i)), 0) << i;
}

}  // namespace
}  // namespace tessel::testing
