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
                                {"2.0 seconds", 2000},
                                {"2.5 Seconds", 2500},
                                {"3.0 Seconds", 3000},
                                {"3.5 Seconds", 3500},
                                {"4.0 Seconds", 4000},
                                {"As Fast as Replies", 0},
                                // Not an item of the menu: no interval at all.
                                {"2.0 Seconds", -1},
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
    commands.queueLine = [this](const std::string& line) { queued.push_back(line); };
    commands.getLocal = [this] { ++getLocals; };
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
  int getLocals = 0;
  std::vector<std::string> queued;
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
  EXPECT_TRUE(queued.empty());
  EXPECT_TRUE(tasks.tasks.empty());
}

TEST_F(GroupCommandsTest, DeleteWhileMonitoringResumesTheMonitor) {
  openThree();
  ASSERT_TRUE(commands.monitorExisting());
  tasks.tasks.clear();
  commands.deleteRadio();
  // Ending the monitor starts the local task, then the monitor starts again
  // on the radios that are left.
  ASSERT_FALSE(tasks.tasks.empty());
  const StartedTask& last = tasks.tasks.back();
  EXPECT_EQ(last.code, tkMonitor);
  EXPECT_EQ(last.list.size(), 2u);
  EXPECT_EQ(panel.WindowMode, wmMonitor);
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
  tasks.tasks.clear();
  commands.createProject = [] { return false; };
  EXPECT_FALSE(commands.discoverNew());
  EXPECT_TRUE(tasks.tasks.empty());
}

TEST_F(GroupCommandsTest, RadioCommandsNeedACurrentRadio) {
  commands.getRadioParameters();
  commands.resetRadio();
  EXPECT_TRUE(tasks.tasks.empty());
  EXPECT_TRUE(queued.empty());

  openThree();
  window.chooseRadio(views.rowAt(1));
  panel.currentRadio->pollOnly = true;
  commands.getRadioParameters();
  ASSERT_EQ(tasks.tasks.size(), 1u);
  EXPECT_EQ(tasks.tasks[0].code, tkGetRemote);
  ASSERT_EQ(tasks.tasks[0].list.size(), 1u);
  EXPECT_EQ(tasks.tasks[0].list[0].radio, 2);
  EXPECT_FALSE(panel.currentRadio->pollOnly);

  // A radio that answered as the local one is read as such.
  panel.currentRadio->responded = true;
  commands.getRadioParameters();
  EXPECT_EQ(getLocals, 1);
  EXPECT_EQ(tasks.tasks.size(), 1u);

  commands.resetRadio();
  EXPECT_EQ(queued, (std::vector<std::string>{"ATD2", "AT&R"}));
  EXPECT_EQ(tasks.tasks.back().code, tkSendValues);
  EXPECT_TRUE(tasks.tasks.back().list.empty());
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
