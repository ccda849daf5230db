#include "model/group_commands.h"

#include "model_fixture.h"

namespace tessel {
namespace {

struct IntervalCase {
  const char* caption;
  int ms;
};

TEST(PollInterval, CaptionsTranslateToMilliseconds) {
  const IntervalCase cases[] = {{"1.0 Seconds", 1000},
                                {"1.5 Seconds", 1500},
                                {"2.0 Seconds", 2000},
                                {"2.5 Seconds", 2500},
                                {"3.0 Seconds", 3000},
                                {"3.5 Seconds", 3500},
                                {"4.0 Seconds", 4000},
                                {"As Fast as Replies", 0},
                                // Not an item of the menu: no interval at all.
                                {"2.0 seconds", -1},
                                {"5.0 Seconds", -1},
                                {"", -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(pollIntervalFromCaption(c.caption), c.ms) << c.caption;
    if (c.ms >= 0) {
      EXPECT_EQ(pollIntervalCaption(c.ms), c.caption);
    }
  }
  ASSERT_EQ(pollIntervalCaptions().size(), 8u);
  EXPECT_EQ(pollIntervalCaptions().back(), kAsFastAsReplies);
  // A stored value that no item has falls back to the first.
  EXPECT_EQ(pollIntervalCaption(1234), "1.0 Seconds");
}

class GroupCommandsTest : public ModelTest {
 protected:
  GroupCommandsTest() : commands(window) {
    commands.closeProject = [this] {
      ++closes;
      window.closeProject();
    };
    commands.showNotice = [this](const std::string& text) { notices.push_back(text); };
  }

  // Three radios in list order 1, 2, 3; radio 1 current.
  void openThree() {
    put("[Radio1]\nRadio Name=one\n[Radio2]\nRadio Name=two\n[Radio3]\nRadio Name=three\n");
    open(wmProject);
    window.chooseRadio(views.rowAt(0));
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (int i = 0; i < views.rowCount(); ++i) out.push_back(views.caption(views.rowAt(i)));
    return out;
  }

  GroupCommands commands;
  int closes = 0;
  std::vector<std::string> notices;
};

TEST_F(GroupCommandsTest, DeleteChoosesTheNextRowFromTheRowsThatRemain) {
  openThree();
  // Middle row: the one below takes its place.
  window.chooseRadio(views.rowAt(1));
  commands.deleteRadio();
  EXPECT_EQ(names(), (std::vector<std::string>{"one", "three"}));
  ASSERT_NE(panel.currentRadio, nullptr);
  EXPECT_EQ(panel.currentRadio->slotID, 3);
  EXPECT_EQ(views.stateImage(views.rowAt(1)), 1);
  EXPECT_EQ(window.selectedRow, views.rowAt(1));
  EXPECT_EQ(key("Radio2", "Radio Name"), "<absent>");
  // Bottom row: the row above.
  commands.deleteRadio();
  ASSERT_NE(panel.currentRadio, nullptr);
  EXPECT_EQ(panel.currentRadio->slotID, 1);
  EXPECT_EQ(panel.text(ctl::radioName), "one");
  EXPECT_EQ(closes, 0);
  EXPECT_TRUE(panel.entriesValid);
}

TEST_F(GroupCommandsTest, DeleteWithNoRowUnderTheMouseActsOnTheCurrentRadiosRow) {
  openThree();
  window.chooseRadio(views.rowAt(2));
  // A press below the last row: no selected row, radio 3 stays current.
  window.chooseRadio(kNoRow);
  ASSERT_EQ(window.selectedRow, kNoRow);
  commands.deleteRadio();
  EXPECT_EQ(names(), (std::vector<std::string>{"one", "two"}));
  ASSERT_NE(panel.currentRadio, nullptr);
  // The neighbour is a live row, never the one just destroyed.
  EXPECT_EQ(panel.currentRadio->slotID, 2);
  EXPECT_EQ(views.rowRadio(window.selectedRow), panel.currentRadio);
}

TEST_F(GroupCommandsTest, DeletingTheOnlyRadioWithChangesClosesWithoutSavingIt) {
  put("[Radio5]\nRadio Name=five\n");
  open(wmProject);
  window.chooseRadio(views.rowAt(0));
  window.setRadioChanged(true);
  ASSERT_EQ(panel.text(ctl::newRadio), kSaveRadioCaption);
  commands.closeProject = [this] {
    ++closes;
    // The window's Close Project asks only while "Save Radio" is shown.
    EXPECT_EQ(panel.text(ctl::newRadio), kNewRadioCaption);
    window.closeProject();
  };
  commands.deleteRadio();
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(panel.entriesValid);
  EXPECT_EQ(panel.currentRadio, nullptr);
  EXPECT_EQ(get().find("Radio5"), std::string::npos) << get();
}

// Delete and Reset cannot be undone: each asks first, No being the default.
TEST_F(GroupCommandsTest, DeleteAndResetAskFirstNamingTheRadio) {
  openThree();
  window.chooseRadio(views.rowAt(1));
  prompts.answers = {pbNo, pbNo};
  commands.deleteRadio();
  commands.resetRadio();
  EXPECT_EQ(prompts.texts(),
            (std::vector<std::string>{
                "Delete radio 2 (two)? This removes the radio's section from the project.",
                "Reset radio 2 (two)? The radio restarts."}));
  for (const auto& shown : prompts.shown)
    EXPECT_EQ(shown.buttons, pbYes | pbNo | pbRefusalIsDefault);
  EXPECT_EQ(names(), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(key("Radio2", "Radio Name"), "two");
  EXPECT_TRUE(tasks.sent.empty());
  EXPECT_TRUE(tasks.tasks.empty());
}

// Deleting a radio while monitoring touches only that radio: the monitor
// goes on over the radios left, and the other nodes stay in the tree.
TEST_F(GroupCommandsTest, DeleteWhileMonitoringTouchesOnlyThatRadio) {
  openThree();
  ASSERT_TRUE(commands.monitorExisting());
  for (const char* id : {"1", "2", "3"}) {
    reply(1, id);
    reply(3, id[0] == '1' ? "M" : "S");
    reply(7, "N");
    reply(8, "1");
  }
  const NodeId master = window.project()->radio(1)->treeNode;
  const NodeId three = window.project()->radio(3)->treeNode;
  ASSERT_EQ(views.children(master).size(), 2u);
  tasks.tasks.clear();

  window.chooseRadio(views.rowAt(1));
  commands.deleteRadio();
  EXPECT_EQ(views.children(master), std::vector<NodeId>{three});
  ASSERT_EQ(tasks.tasks.size(), 1u);
  EXPECT_EQ(tasks.tasks[0].code, tkUpdatePollList);
  EXPECT_EQ(tasks.tasks[0].list.size(), 2u);
  EXPECT_EQ(panel.WindowMode, wmMonitor);
  EXPECT_TRUE(views.monitorColumns());

  // The master goes; its slave stays in the tree.
  window.chooseRadio(views.rowAt(0));
  commands.deleteRadio();
  EXPECT_TRUE(views.nodeExists(three));
  EXPECT_EQ(views.nodeParent(three), kNoNode);
}

TEST_F(GroupCommandsTest, ExistingProjectOnTheDefaultProjectStopsWhenNoneIsLoaded) {
  path = dir + "/Manual Configuration.vro";
  put("[Radio1]\nRadio Name=one\n");
  open(wmManual);
  int loads = 0;
  commands.loadProject = [&] {
    ++loads;
    return false;  // the user cancelled the Load dialog
  };
  EXPECT_FALSE(commands.monitorExisting());
  EXPECT_EQ(loads, 1);
  EXPECT_TRUE(tasks.tasks.empty());
  EXPECT_EQ(panel.WindowMode, wmManual);
  EXPECT_NE(window.panelView(), PanelView::Monitor);
}

TEST_F(GroupCommandsTest, ExistingProjectMonitorsThePollListInTheMonitorLayout) {
  openThree();
  EXPECT_TRUE(commands.monitorExisting());
  ASSERT_EQ(tasks.tasks.size(), 1u);
  EXPECT_EQ(tasks.tasks[0].code, tkMonitor);
  EXPECT_EQ(tasks.tasks[0].text, "&Online Monitor");
  EXPECT_EQ(tasks.tasks[0].list.size(), 3u);
  EXPECT_TRUE(views.monitorColumns());
  EXPECT_EQ(panel.WindowMode, wmMonitor);
  EXPECT_TRUE(panel.enabled(ctl::advanced));
}

TEST_F(GroupCommandsTest, NewProjectDialsEveryRadioID) {
  commands.createProject = [this] {
    window.openProject(dir + "/new.vro");
    return true;
  };
  EXPECT_TRUE(commands.discoverNew());
  ASSERT_EQ(tasks.tasks.size(), 1u);
  const TpollArray& list = tasks.tasks[0].list;
  ASSERT_EQ(list.size(), 255u);
  for (int n = 0; n < 255; ++n) {
    EXPECT_EQ(list[n].radio, n);
    EXPECT_EQ(list[n].model, 0);
  }
  // A cancelled Create New Project starts nothing.
  commands.stopMonitor();
  tasks.tasks.clear();
  commands.createProject = [] { return false; };
  EXPECT_FALSE(commands.discoverNew());
  EXPECT_TRUE(tasks.tasks.empty());
}

TEST_F(GroupCommandsTest, RadioCommandsNeedACurrentRadio) {
  commands.getRadioParameters();
  commands.resetRadio();
  EXPECT_TRUE(tasks.tasks.empty());
  EXPECT_TRUE(tasks.sent.empty());

  openThree();
  window.chooseRadio(views.rowAt(1));
  panel.currentRadio->pollOnly = true;
  commands.getRadioParameters();
  ASSERT_EQ(tasks.tasks.size(), 1u);
  EXPECT_EQ(tasks.tasks[0].code, tkGetRemote);
  ASSERT_EQ(tasks.tasks[0].list.size(), 1u);
  EXPECT_EQ(tasks.tasks[0].list[0].radio, 2);
  EXPECT_FALSE(panel.currentRadio->pollOnly);
  window.commands.taskEnded(tkGetRemote, Outcome{});

  // A radio that answered as the local one is read as such.
  panel.currentRadio->responded = true;
  commands.getRadioParameters();
  ASSERT_EQ(tasks.tasks.size(), 2u);
  EXPECT_EQ(tasks.tasks[1].code, tkGetLocal);
  window.commands.taskEnded(tkGetLocal, Outcome{});

  commands.resetRadio();
  EXPECT_EQ(tasks.sent, (std::vector<std::string>{"ATD2", "AT&R"}));
  EXPECT_EQ(tasks.tasks.back().code, tkSendValues);
  EXPECT_TRUE(tasks.tasks.back().list.empty());
}

// A command the engine does not take says why, in a message and in the
// status bar, and leaves nothing prepared for a task that never runs.
TEST_F(GroupCommandsTest, RefusedCommandsSayWhyAndPrepareNothing) {
  openThree();
  window.chooseRadio(views.rowAt(1));
  panel.currentRadio->pollOnly = true;
  commands.createProject = [] { return true; };
  using TS = LinkTasks::TaskStart;

  tasks.answer = TS::Busy;
  commands.getRadioParameters();
  EXPECT_TRUE(panel.currentRadio->pollOnly);
  EXPECT_EQ(prompts.texts().back(),
            "The link is busy with another task: Get Radio Parameters did not start.");
  prompts.shown.clear();

  tasks.answer = TS::PortClosed;
  commands.getLocalRadio();
  EXPECT_FALSE(panel.panelLoading);
  commands.resetRadio();
  EXPECT_TRUE(tasks.sent.empty());
  EXPECT_FALSE(commands.monitorExisting());
  EXPECT_FALSE(commands.discoverNew());
  EXPECT_EQ(panel.WindowMode, wmProject);
  EXPECT_FALSE(views.monitorColumns());
  EXPECT_FALSE(commands.discovering());
  commands.emulateGroup();
  std::vector<std::string> closed{
      "The COM port is not open: Get Local Radio Parameters did not start.",
      "The COM port is not open: Reset did not start.",
      "The COM port is not open: Online Monitor did not start.",
      "The COM port is not open: Online Monitor did not start.",
      "The COM port is not open: Emulate Group did not start."};
  EXPECT_EQ(std::vector<std::string>(notices.begin() + 1, notices.end()), closed);
  // Reset asks before it tries the link.
  closed.insert(closed.begin() + 1, "Reset radio 2 (two)? The radio restarts.");
  EXPECT_EQ(prompts.texts(), closed);

  tasks.answer = TS::Started;
  commands.getLocalRadio();
  EXPECT_TRUE(panel.panelLoading);
  EXPECT_EQ(tasks.tasks.back().code, tkGetLocal);
  window.commands.taskEnded(tkGetLocal, Outcome{});

  // A project without radios has nothing to monitor, and says so.
  put("[Project]\nGroup ID=7\n");
  open(wmProject);
  const size_t started = tasks.tasks.size();
  EXPECT_FALSE(commands.monitorExisting());
  EXPECT_EQ(tasks.tasks.size(), started);
  EXPECT_EQ(prompts.texts().back(), kNoRadiosToMonitor);
  EXPECT_EQ(panel.WindowMode, wmProject);
}

// A command given while a discovery runs asks first; No leaves it running,
// Yes stops it (and its layout) before the command's own task starts.
TEST_F(GroupCommandsTest, CommandsDuringADiscoveryAskBeforeStoppingIt) {
  commands.createProject = [this] {
    put("");
    open(wmProject);
    return true;
  };
  ASSERT_TRUE(commands.discoverNew());
  ASSERT_TRUE(commands.discovering());
  const size_t started = tasks.tasks.size();

  prompts.answers = {pbNo, pbNo, pbNo, pbNo};
  commands.getLocalRadio();
  commands.emulateGroup();
  EXPECT_FALSE(commands.discoverNew());
  EXPECT_FALSE(commands.monitorExisting());
  EXPECT_EQ(tasks.tasks.size(), started);
  EXPECT_EQ(prompts.texts(),
            (std::vector<std::string>{stopQuestion(Command::Discover, Command::GetLocal),
                                      stopQuestion(Command::Discover, Command::Emulate),
                                      stopQuestion(Command::Discover, Command::Discover),
                                      stopQuestion(Command::Discover, Command::Monitor)}));
  EXPECT_TRUE(commands.discovering());
  EXPECT_EQ(panel.WindowMode, wmMonitor);

  prompts.answers = {pbYes};
  commands.getLocalRadio();
  EXPECT_EQ(prompts.texts().back(),
            "Stop the discovery? Get Local Radio Parameters cannot run beside it.");
  ASSERT_EQ(tasks.tasks.size(), started + 2);
  EXPECT_EQ(tasks.tasks[started].code, tkLocalOnly);  // the discovery ends first
  EXPECT_EQ(tasks.tasks[started + 1].code, tkGetLocal);
  EXPECT_FALSE(commands.discovering());
  EXPECT_EQ(panel.WindowMode, wmProject);
  EXPECT_FALSE(views.monitorColumns());
}

TEST(DiscoveryProgressText, CountsTheIDDialledAndTheRadiosFound) {
  DiscoveryProgress p;
  p.start();
  EXPECT_EQ(p.value(), 0);
  EXPECT_EQ(p.text(), "Discovery: reaching the local radio, 0 radios found");
  p.found(0);
  p.dialling(1);
  EXPECT_EQ(p.text(), "Discovery: ID 1 of 255, 1 radio found");
  p.found(9);
  p.found(9);  // polled again in the next round
  p.dialling(254);
  EXPECT_EQ(p.value(), 255);
  EXPECT_EQ(p.text(), "Discovery: ID 254 of 255, 2 radios found");
  p.start();
  EXPECT_EQ(p.foundCount(), 0);
}

}  // namespace
}  // namespace tessel

#include "model/signal_quality.h"

namespace tessel {
namespace {

TEST(SignalQualityMark, RssiReadingsMapToTheirBand) {
  const struct {
    std::optional<int> dBm;
    SignalQuality quality;
  } cases[] = {{-48, SignalQuality::Good}, {-70, SignalQuality::Good},
               {-71, SignalQuality::Fair}, {-85, SignalQuality::Fair},
               {-86, SignalQuality::Poor}, {-255, SignalQuality::Poor},
               {0, SignalQuality::Good},   {std::nullopt, SignalQuality::Unknown}};
  for (const auto& c : cases) EXPECT_EQ(rssiQuality(c.dBm), c.quality) << c.dBm.value_or(1);
  EXPECT_STREQ(qualityName(SignalQuality::Fair), "fair");
  EXPECT_STREQ(qualityName(SignalQuality::Unknown), "");
}

}  // namespace
}  // namespace tessel
