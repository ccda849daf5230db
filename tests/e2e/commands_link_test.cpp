// The commands both front ends give, over the link engine and simulated
// radios in process: which radio each line reaches when one command stops
// another.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_serial_link.h"
#include "fake_tick_timer.h"
#include "link/com_port_view.h"
#include "link/command_feed.h"
#include "link/status_bar.h"
#include "link/tcom_port.h"
#include "link/terminal_sink.h"
#include "memory_settings_store.h"
#include "model/brand.h"
#include "model/catalogue.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/project.h"
#include "model/register_values.h"
#include "prompt_script.h"
#include "sim/sim_project.h"

namespace tessel::testing {
namespace {

using Lines = std::vector<std::string>;

// Five simulated radios (radio 1 the local master) behind the fake port:
// each line written reaches the radio the simulator has addressed.
class CommandsOnSimulatedRadios : public ::testing::Test {
 protected:
  CommandsOnSimulatedRadios()
      : panel({"Vireo E", "Vireo Version 2", "Vireo Version 1"}),
        window(panel, views, prompts, kBrandModels0, "Tessel"),
        values(window),
        feed(window.commands) {}

  void SetUp() override {
    sim::SimSetup setup;
    std::string error;
    ASSERT_TRUE(sim::defaultSetup(5, {0, 1}, setup, error)) << error;
    group = std::make_unique<sim::SimRadioGroup>(std::move(setup.radios), setup.local);
    group->setCommandMode(true);
    char tmpl[] = "/tmp/commands_link_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir = tmpl;
    ASSERT_TRUE(sim::saveProject(dir + "/group.vro", *group, {}, error)) << error;
    serial.clock = [this] { return timer.nowMs(); };
    serial.responder = [this](const std::string& line) {
      const size_t to = group->addressedIndex();
      reached[group->radios()[to].radioID()].push_back(line);
      serial.queueReply(group->feed(line + "\r", timer.nowMs()));
    };
    engine = std::make_unique<TcomPort>(serial, timer, prompts, settings, view, &terminal);
    engine->addObserver(&feed);
    engine->AttachMainWindow(&status, &values);
    window.tasks = engine.get();
    serial.setActive(true);
    window.openProject(dir + "/group.vro");
    window.loadProjectRadios();
  }
  void TearDown() override {
    engine->removeObserver(&feed);
    engine.reset();
    window.closeProject();
    std::system(("rm -rf '" + dir + "'").c_str());
  }

  // Answers and ticks until done, as the line and the timer would.
  bool runUntil(const std::function<bool()>& done, int ticks = 60) {
    for (int i = 0; i < ticks && !done(); ++i) {
      serial.pump();
      if (!done()) timer.fire();
    }
    serial.pump();
    return done();
  }

  MemoryPanel panel;
  MemoryGroupViews views;
  PromptScript prompts;
  MainWindowModel window;
  RegisterValues values;
  CommandFeed feed;
  FakeTickTimer timer;
  FakeSerialLink serial;
  MemorySettingsStore settings;
  MemoryComPortView view;
  MemoryStatusBar status{800};
  MemoryTerminal terminal;
  std::unique_ptr<TcomPort> engine;
  std::unique_ptr<sim::SimRadioGroup> group;
  std::map<int, Lines> reached;  // radio ID -> the lines it took
  std::string dir;
};

// Stopped while a monitor polls radio 2, or while a send to radio 2 is
// half-way, the link goes back to the local radio before anything else is
// sent: the Set Radio of radio 1 that follows reaches radio 1 alone, even
// though the window, back in Project mode, takes any radio for the local one.
TEST_F(CommandsOnSimulatedRadios, StopThenSetRadioReachesTheLocalRadioOnly) {
  for (const char* stopped : {"a monitor polling radio 2", "a send to radio 2"}) {
    SCOPED_TRACE(stopped);
    const bool monitor = stopped[2] == 'm';
    window.switchMode(wmMonitor);
    if (monitor) {
      ASSERT_EQ(window.commands.monitor("Monitor", window.project()->BuildPollList(true)),
                CommandStart::Started);
    } else {
      ASSERT_EQ(window.commands.setRadio("Set Radio", {{2, 1}}, {"ATD2", "ATs13=41", "ATs14=9"}),
                CommandStart::Started);
    }
    ASSERT_TRUE(runUntil([&] {
      return group->addressedIndex() == 1 && !reached[2].empty() &&
             reached[2].back().rfind(monitor ? "ATS" : "ATs13", 0) == 0;
    }));
    window.switchMode(wmProject);
    window.commands.stop("Cancel", {{1, 0}});
    EXPECT_FALSE(window.commands.running());
    const size_t before = reached[2].size();
    ASSERT_EQ(window.commands.setRadio("Set Radio", {{1, 0}}, {"ATs13=77", "AT&W", "AT&R"}),
              CommandStart::Started);
    ASSERT_TRUE(runUntil([&] { return engine->state() == psIdle && !window.commands.running(); }));
    EXPECT_EQ(group->radios()[0].saved(13), "77");
    EXPECT_EQ(Lines(reached[2].begin() + static_cast<long>(before), reached[2].end()), Lines{})
        << "radio 2 took lines after the stop";
    EXPECT_NE(group->radios()[1].saved(13), "77");
    EXPECT_EQ(group->radios()[1].saved(param::radioMode), "S");
    reached.clear();
    prompts.shown.clear();
  }
}

}  // namespace
}  // namespace tessel::testing
