// Commands that meet in the window over simulated radios: a compare given
// during Change Group Settings and during a monitor, and the window's
// controls after a command ends however it ends.
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

#include "model/group_commands.h"
#include "model/ini_file.h"
#include "model/radio_commands.h"
#include "ui/change_group_dialog.h"
#include "ui/compare_group_dialog.h"
#include "window_sim_fixture.h"

namespace tessel::testing {
namespace {

class WindowCommandsMeet : public WindowOnSimulatedRadios {
 protected:
  // The simulated group's project, open in Project mode.
  void openGroup() {
    ASSERT_NO_FATAL_FAILURE(openProject(saveGroup("group.vro")));
    ASSERT_EQ(panel().WindowMode, wmProject);
  }
  void showMenus() {
    for (const char* name : {"ProjectMenu", "autoDiscover"})
      emit window().findChild<QMenu*>(QLatin1String(name))->aboutToShow();
  }
  static QPushButton* button(QDialog* dialog, const char* name) {
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
      if (b->accessibleName() == QLatin1String(name)) return b;
    return nullptr;
  }
  bool comparing() { return window().compareDialog() && window().compareDialog()->running(); }
  std::string groupIDs() const {
    std::string s;
    for (const sim::SimRadio& r : group->radios()) s += r.running(0) + " ";
    return s;
  }
};

// Compare given while Change Group Settings runs is refused with the
// reason and the change goes on to every radio; given during a monitor it
// asks: No leaves the monitor polling and shown as running, Yes stops it
// (its layout and its Stop go) and the compare reads the group.
TEST_F(WindowCommandsMeet, CompareIsRefusedDuringAGroupChangeAndAsksDuringAMonitor) {
  ASSERT_NO_FATAL_FAILURE(openGroup());
  panel().setText(ctl::groupID, "9");
  showMenus();
  ASSERT_TRUE(action("changeGroup")->isEnabled());
  action("changeGroup")->trigger();
  ChangeGroupDialog* change = window().changeDialog();
  ASSERT_NE(change, nullptr);
  button(change, "Change")->click();
  ASSERT_TRUE(runUntil([&] { return change->run() && change->run()->position() >= 1; }, 30000));
  // Between two of its steps as well as during one.
  action("compareGroup")->trigger();
  EXPECT_FALSE(comparing());
  ASSERT_FALSE(prompts.shown.empty());
  EXPECT_EQ(prompts.texts().back(), refusalText(Command::GroupChange, Command::Compare));
  EXPECT_TRUE(change->running());
  ASSERT_TRUE(runUntil([&] { return !change->running(); }, 60000))
      << change->progressLabel()->text().toStdString();
  EXPECT_EQ(groupIDs(), "9 9 9 9 9 ");
  change->close();
  prompts.shown.clear();

  action("discoverThis")->trigger();
  ASSERT_EQ(panel().WindowMode, wmMonitor);
  ASSERT_TRUE(runUntil([&] { return everyRadioPolled(1); }, 30000));
  showMenus();
  EXPECT_TRUE(action("monitorStop")->isEnabled());
  EXPECT_TRUE(panel().enabled(ctl::advanced));

  prompts.answers = {pbNo};
  action("compareGroup")->trigger();
  ASSERT_EQ(prompts.texts(),
            (std::vector<std::string>{stopQuestion(Command::Monitor, Command::Compare)}));
  EXPECT_FALSE(comparing());
  EXPECT_EQ(panel().WindowMode, wmMonitor);
  EXPECT_TRUE(action("monitorStop")->isEnabled());
  const int polled = traffic.polls[3];
  ASSERT_TRUE(runUntil([&] { return traffic.polls[3] > polled; }, 30000)) << "the monitor stopped";

  prompts.answers = {pbYes};
  action("compareGroup")->trigger();
  EXPECT_TRUE(comparing());
  EXPECT_EQ(panel().WindowMode, wmProject);
  EXPECT_FALSE(window().views().monitorColumns());
  EXPECT_FALSE(action("monitorStop")->isEnabled());
  ASSERT_TRUE(runUntil([&] { return !comparing(); }, 30000));
  EXPECT_EQ(window().compareDialog()->table()->rowCount(), 0) << "every radio answered";
  EXPECT_EQ(prompts.shown.size(), 2u) << prompts.texts().back();
}

// However a command ends, the controls follow: a monitor whose line goes
// away leaves nothing enabled that stops it and the next monitor asks
// nothing; after a stopped monitor or discovery Change Group Settings is
// offered again.
TEST_F(WindowCommandsMeet, ControlsFollowEveryEndOfACommand) {
  ASSERT_NO_FATAL_FAILURE(openGroup());
  for (const char* how : {"stopped discovery", "stopped monitor"}) {
    SCOPED_TRACE(how);
    if (std::string(how) == "stopped discovery") {
      answerFileDialog(QString::fromStdString(dir + "/found"));
      action("discoverNew")->trigger();
    } else {
      action("file1")->trigger();
      action("discoverThis")->trigger();
    }
    ASSERT_EQ(panel().WindowMode, wmMonitor);
    const int polled = traffic.polls[1];
    ASSERT_TRUE(runUntil([&] { return traffic.polls[1] > polled; }, 30000));
    showMenus();
    action("monitorStop")->trigger();
    showMenus();
    EXPECT_EQ(panel().WindowMode, wmProject);
    EXPECT_FALSE(action("monitorStop")->isEnabled());
    EXPECT_TRUE(action("changeGroup")->isVisible());
    EXPECT_TRUE(action("changeGroup")->isEnabled());
  }
  EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().front();

  action("discoverThis")->trigger();
  ASSERT_TRUE(runUntil([&] { return traffic.polls[2] >= 1; }, 30000));
  // The far end goes away mid-monitor.
  pty->stop();
  server.join();
  pty.reset();
  ASSERT_TRUE(runUntil([&] { return !prompts.shown.empty(); }, 10000)) << "no word of the loss";
  EXPECT_EQ(panel().WindowMode, wmProject);
  EXPECT_FALSE(action("monitorStop")->isEnabled());
  EXPECT_FALSE(window().model().commands.busy());
  prompts.shown.clear();
  action("discoverThis")->trigger();
  for (const std::string& text : prompts.texts())
    EXPECT_EQ(text.find("Stop the"), std::string::npos) << text;
}

}  // namespace
}  // namespace tessel::testing

namespace tessel::testing {
namespace {

// The bench: one radio on the cable, a project of five open. Get Local
// shows the radio it read (the panel moves to it, its section takes the
// values) and asks nothing after; Set Radio of another radio's record asks
// first, naming both; and after the project closes, the question about
// values never read names the radio the port now holds, with what differs
// from what it was sent.
TEST_F(WindowCommandsMeet, TheRadioOnThePortIsNamedBeforeAnotherRecordGoesIntoIt) {
  const std::string path = dir + "/bench.vro";
  std::string error;
  ASSERT_TRUE(sim::saveProject(path, *group, {}, error)) << error;
  {
    IniFile ini(path);
    ASSERT_TRUE(ini.writeString("Radio1", "Retries", "20"));
  }
  settings.strings["file1"] = path;
  startOnSim();
  window().show();
  ASSERT_TRUE(runUntil([&] { return wiring->serial().Active(); }, 3000));
  action("file1")->trigger();
  MainWindowModel& model = window().model();
  GroupViews& views = window().views();
  model.chooseRadio(views.rowAt(3));
  ASSERT_EQ(panel().text(ctl::radioName), "Radio 004");
  auto idle = [&] { return !model.commands.busy() && wiring->engine().task() == tkLocalOnly; };

  action("GetLocal")->trigger();
  ASSERT_TRUE(runUntil(idle, 20000));
  EXPECT_EQ(panel().text(ctl::radioName), "Radio 001");
  EXPECT_EQ(panel().text(ctl::retries), "50");
  ASSERT_NE(panel().currentRadio, nullptr);
  EXPECT_EQ(panel().currentRadio->slotID, 1);
  EXPECT_EQ(model.project()->readKey("Radio1", "Retries", ""), "50");
  EXPECT_EQ(model.project()->readKey("Radio4", "Radio Name", ""), "Radio 004");
  model.chooseRadio(views.rowAt(1));
  model.chooseRadio(views.rowAt(0));
  EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().front();

  const sim::SimRadio& local = group->radios()[group->localIndex()];
  model.chooseRadio(views.rowAt(1));
  prompts.answers = {pbNo};
  window().okClick();
  ASSERT_EQ(prompts.texts(),
            std::vector<std::string>{"The radio on COM1 was read as radio 1, Radio 001, Master. "
                                     "Write Radio 002's settings into it?"});
  EXPECT_EQ(prompts.shown.back().buttons & pbRefusalIsDefault, pbRefusalIsDefault);
  EXPECT_FALSE(model.commands.busy());
  prompts.answers = {pbYes};
  window().okClick();
  ASSERT_TRUE(runUntil(idle, 20000));
  EXPECT_EQ(local.saved(1), "2") << "the radio on the port took Radio 002's settings";
  prompts.shown.clear();

  action("projectClose")->trigger();
  ASSERT_EQ(panel().WindowMode, wmManual);
  panel().setText(ctl::groupID, "7");
  panel().setItemIndex(ctl::radioMode, item::master);
  prompts.answers = {pbCancel};
  window().okClick();
  ASSERT_EQ(prompts.shown.size(), 1u);
  const std::string asked = prompts.texts().front();
  EXPECT_NE(asked.find("not read from radio 2, Radio 002, Slave"), std::string::npos) << asked;
  EXPECT_NE(asked.find("Radio ID 2 to 1, Radio Mode Slave to Master"), std::string::npos) << asked;
  EXPECT_FALSE(model.commands.busy());
}

}  // namespace
}  // namespace tessel::testing
