// The project commands in the window: the file dialogs, the recent list
// they update, and the question before unsaved radio edits are dropped.
#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <fstream>

#include "model/project.h"
#include "model/radio.h"
#include "window_fixture.h"

namespace tessel::testing {
namespace {

TEST_F(WindowTest, CancellingNewLeavesTheDefaultProjectInManualMode) {
  const std::string path = dir + "/group.vro";
  std::ofstream(path) << "[Radio3]\nRadio Name=Pump\nRadio Mode=Master\n";
  settings.strings["file1"] = path;
  start();
  action("file1")->trigger();
  ASSERT_EQ(panel().WindowMode, wmProject);
  answerFileDialog(QString());
  action("projectNew")->trigger();
  EXPECT_EQ(panel().WindowMode, wmManual);
  ASSERT_NE(window().model().project(), nullptr);
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
