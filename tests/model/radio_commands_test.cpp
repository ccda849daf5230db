// The commands both front ends start: what reaches the engine, what a
// refusal leaves, and the progress and ends the engine's events turn into.
#include "model/radio_commands.h"

#include "model_fixture.h"

namespace tessel {
namespace {

const char* nameOf(Command c) {
  switch (c) {
    case Command::GetLocal:
      return "GetLocal";
    case Command::GetRadio:
      return "GetRadio";
    case Command::SetRadio:
      return "SetRadio";
    case Command::Reset:
      return "Reset";
    case Command::Discover:
      return "Discover";
    case Command::Monitor:
      return "Monitor";
    case Command::Emulate:
      return "Emulate";
    case Command::Compare:
      return "Compare";
    case Command::GroupChange:
      return "GroupChange";
    case Command::AutoConfigure:
      return "AutoConfigure";
  }
  return "?";
}

// Every event as a line of text, in the order it came.
class EventLog : public CommandListener {
 public:
  void commandProgress(const CommandProgress& p) override {
    add(std::string(nameOf(p.command)) + " radio " + std::to_string(p.radio) + " " +
        std::to_string(p.index) + "/" + std::to_string(p.count) + " round " +
        std::to_string(p.round));
  }
  void radioRead(Command c, int radio, bool complete) override {
    add(std::string(nameOf(c)) + " read " + std::to_string(radio) +
        (complete ? "" : " (given up)"));
  }
  void commandEnded(Command c, const Outcome& o) override {
    add(std::string(nameOf(c)) +
        (o.ending == TaskEnd::Done        ? " done"
         : o.ending == TaskEnd::Cancelled ? " cancelled"
                                          : " failed") +
        (o.message.empty() ? "" : ": " + o.message));
  }
  std::vector<std::string> take() {
    std::vector<std::string> out;
    out.swap(events);
    return out;
  }

 private:
  void add(const std::string& e) { events.push_back(e); }
  std::vector<std::string> events;
};

using Events = std::vector<std::string>;

class RadioCommandsTest : public ModelTest {
 protected:
  RadioCommandsTest() : commands(window.commands) { commands.addListener(&log); }
  ~RadioCommandsTest() override { commands.removeListener(&log); }

  RadioCommands& commands;
  EventLog log;
};

// A monitor of three radios: rounds open when the engine comes back to an
// earlier radio of its list, a radio dialled again after no answer stays in
// its round, a radio that answered and then went quiet is read as far as it
// got, a send in between leaves the rounds running, and Stop ends them.
TEST_F(RadioCommandsTest, AMonitorReportsRadiosRoundsASendInBetweenAndItsStop) {
  const TpollArray list{{1, 1}, {2, 1}, {3, 2}};
  ASSERT_EQ(commands.monitor("&Online Monitor", list), CommandStart::Started);
  ASSERT_EQ(tasks.tasks.size(), 1u);
  EXPECT_EQ(tasks.tasks[0].code, tkMonitor);
  EXPECT_EQ(tasks.tasks[0].list, list);
  commands.taskChanged(tkMonitor);
  EXPECT_EQ(log.take(), Events{"Monitor radio -1 0/3 round 0"});

  commands.dialling(1);
  commands.answered();
  commands.radioPolled(1);
  // The monitor's own read of its local radio ends as a task while the
  // rounds go on.
  commands.taskEnded(tkMonitor, Outcome{});
  commands.dialling(2);
  commands.answered();
  commands.dialling(3);
  commands.dialling(3);
  commands.answered();
  commands.radioPolled(3);
  commands.dialling(1);
  EXPECT_EQ(log.take(), (Events{"Monitor radio 1 1/3 round 1", "Monitor read 1",
                                "Monitor radio 2 2/3 round 1", "Monitor read 2 (given up)",
                                "Monitor radio 3 3/3 round 1", "Monitor radio 3 3/3 round 1",
                                "Monitor read 3", "Monitor radio 1 1/3 round 2"}));

  ASSERT_EQ(commands.setRadio("Set Radio", {{2, 1}}, {"ATS13=4"}), CommandStart::Started);
  EXPECT_EQ(tasks.sent, Events{"ATS13=4"});
  commands.taskChanged(tkSendValues);
  commands.taskChanged(tkMonitor);
  commands.taskEnded(tkSendValues, Outcome{});
  EXPECT_TRUE(commands.running());
  EXPECT_EQ(commands.current(), Command::Monitor);
  commands.dialling(2);
  EXPECT_EQ(log.take(), (Events{"SetRadio radio 2 1/1 round 0", "SetRadio done",
                                "Monitor radio 2 2/3 round 2"}));

  commands.stop("Cancel", {{1, 1}});
  EXPECT_EQ(tasks.tasks.back().code, tkLocalOnly);
  EXPECT_FALSE(commands.running());
  EXPECT_EQ(log.take(), Events{"Monitor cancelled"});
  // Nothing runs: the engine's late events report nothing.
  commands.dialling(3);
  commands.radioPolled(3);
  EXPECT_TRUE(log.take().empty());

  // A local radio read without a dial is reached when it is polled.
  ASSERT_EQ(commands.monitor("&Online Monitor", list), CommandStart::Started);
  commands.taskChanged(tkMonitor);
  log.take();
  commands.radioPolled(1);
  commands.dialling(2);
  EXPECT_EQ(log.take(), (Events{"Monitor radio 1 1/3 round 1", "Monitor read 1",
                                "Monitor radio 2 2/3 round 1"}));
}

// A radio deleted (or renumbered) during a round changes the list the
// engine dials: the round goes on where it was.
TEST_F(RadioCommandsTest, ANewPollListKeepsTheRound) {
  ASSERT_EQ(commands.monitor("&Online Monitor", {{1, 1}, {2, 1}, {3, 1}, {4, 1}}),
            CommandStart::Started);
  commands.dialling(1);
  commands.dialling(2);
  commands.dialling(3);
  // Radios 1 and 2 go while radio 3 is read.
  commands.updateList({{3, 1}, {4, 1}});
  EXPECT_EQ(tasks.tasks.back().code, tkUpdatePollList);
  commands.dialling(4);
  // Radio 4 goes while it is read.
  commands.updateList({{3, 1}, {5, 1}});
  commands.dialling(5);
  commands.dialling(3);
  const Events events = log.take();
  EXPECT_EQ(events, (Events{"Monitor radio -1 0/4 round 0", "Monitor radio 1 1/4 round 1",
                            "Monitor radio 2 2/4 round 1", "Monitor radio 3 3/4 round 1",
                            "Monitor radio 4 2/2 round 1", "Monitor radio 5 2/2 round 1",
                            "Monitor radio 3 1/2 round 2"}));
}

// Starts command as its front end would.
CommandStart give(RadioCommands& commands, Command command) {
  const TpollArray list{{1, 1}, {2, 1}};
  switch (command) {
    case Command::GetLocal:
      return commands.getLocal("&Get Local Radio Parameters", {{1, 1}});
    case Command::GetRadio:
      return commands.getRadio("Get Radio Parameters", {2, 1});
    case Command::SetRadio:
      return commands.setRadio("Set Radio", {{2, 1}}, {"ATS13=4"});
    case Command::Reset:
      return commands.reset("&Reset", 2);
    case Command::Discover:
      return commands.discover("&Online Monitor");
    case Command::Monitor:
      return commands.monitor("&Online Monitor", list);
    case Command::Emulate:
      return commands.emulate("Emulate Group", list);
    case Command::Compare:
      return commands.compare("&Online Monitor", list);
    case Command::GroupChange:
      return commands.beginSession(Command::GroupChange);
    case Command::AutoConfigure:
      return commands.autoConfigure([] { return true; });
  }
  return CommandStart::Busy;
}

// Every command given while each other one runs: refused with a reason
// naming both, asked about (No lets what runs go on, Yes stops it first),
// or run in between with what ran going on after it. Change Group
// Settings holds the link between its sends, and its own sends meet
// nothing.
TEST_F(RadioCommandsTest, EveryCommandMeetsEveryOtherAsTheTableSays) {
  // R refuse, A ask, Q run in between; rows running, columns given, both
  // in the order of Command.
  const char* const expected[kCommandCount] = {
      "RRRRRRRRRR",  // GetLocal
      "RRRRRRRRRR",  // GetRadio
      "RRRRRRRRRR",  // SetRadio
      "RRRRRRRRRR",  // Reset
      "AAQQAAAAAA",  // Discover
      "AAQQAAAAAA",  // Monitor
      "AAAAAAAAAA",  // Emulate
      "RRRRRRRRRR",  // Compare
      "RRRRRRRRRR",  // GroupChange
      "RRRRRRRRRR",  // AutoConfigure
  };
  const Command group = Command::GroupChange;
  for (int r = 0; r < kCommandCount; ++r) {
    for (int g = 0; g < kCommandCount; ++g) {
      const Command running = static_cast<Command>(r), given = static_cast<Command>(g);
      SCOPED_TRACE(std::string(nameOf(running)) + " running, " + nameOf(given) + " given");
      ASSERT_EQ(give(commands, running), CommandStart::Started);
      ASSERT_EQ(commands.holder(), running);
      log.take();
      prompts.shown.clear();
      const size_t tasksBefore = tasks.tasks.size();
      switch (expected[r][g]) {
        case 'R':
          EXPECT_EQ(meeting(running, given), Meeting::Refuse);
          EXPECT_EQ(give(commands, given), CommandStart::Refused);
          EXPECT_EQ(commands.whyNot("x", CommandStart::Refused), refusalText(running, given));
          EXPECT_NE(refusalText(running, given).find(commandName(given)), std::string::npos);
          EXPECT_EQ(tasks.tasks.size(), tasksBefore);
          EXPECT_TRUE(prompts.shown.empty());
          EXPECT_TRUE(log.take().empty());
          break;
        case 'A':
          EXPECT_EQ(meeting(running, given), Meeting::Ask);
          prompts.answers = {pbNo};
          EXPECT_EQ(give(commands, given), CommandStart::Declined);
          EXPECT_EQ(commands.whyNot("x", CommandStart::Declined), "");
          EXPECT_EQ(tasks.tasks.size(), tasksBefore);
          EXPECT_EQ(commands.holder(), running);
          EXPECT_TRUE(log.take().empty());
          prompts.answers = {pbYes};
          EXPECT_EQ(give(commands, given), CommandStart::Started);
          EXPECT_EQ(prompts.texts(), std::vector<std::string>(2, stopQuestion(running, given)));
          // What ran ends first, the engine back at its local radio.
          ASSERT_GE(tasks.tasks.size(), tasksBefore + 1);
          EXPECT_EQ(tasks.tasks[tasksBefore].code, tkLocalOnly);
          EXPECT_EQ(log.take().front(), std::string(nameOf(running)) + " cancelled");
          EXPECT_EQ(commands.holder(), given);
          break;
        case 'Q':
          EXPECT_EQ(meeting(running, given), Meeting::Queue);
          EXPECT_EQ(give(commands, given), CommandStart::Started);
          EXPECT_EQ(commands.holder(), given);
          EXPECT_TRUE(prompts.shown.empty());
          // The send's end gives the link back to the rounds.
          commands.taskChanged(tkMonitor);
          commands.taskEnded(tkSendValues, Outcome{});
          EXPECT_TRUE(commands.running());
          EXPECT_EQ(commands.holder(), running);
          break;
        default:
          ADD_FAILURE() << expected[r][g];
      }
      // Change Group Settings' own sends and read meet nothing.
      if (running == group && given == Command::SetRadio) {
        EXPECT_EQ(commands.setRadio("Change Group Settings", {{2, 1}}, {"ATS0=4"}, group),
                  CommandStart::Started);
        commands.taskEnded(tkSendValues, Outcome{});
        EXPECT_EQ(commands.compare("&Online Monitor", {{1, 1}}, group), CommandStart::Started);
        EXPECT_EQ(commands.holder(), group);
      }
      commands.stop("", {});
      commands.endSession(group);
      commands.taskChanged(tkLocalOnly);
      EXPECT_FALSE(commands.busy());
    }
  }
}

// An engine that does not take a task changes nothing; a search ends when
// the engine leaves it.
TEST_F(RadioCommandsTest, AnEnginesRefusalLeavesNothingRunning) {
  tasks.answer = LinkTasks::TaskStart::Busy;
  EXPECT_EQ(commands.getLocal("&Get Local Radio Parameters"), CommandStart::Busy);
  EXPECT_EQ(commands.whyNot("&Get Local Radio Parameters", CommandStart::Busy),
            "The link is busy with another task: Get Local Radio Parameters did not start.");
  EXPECT_FALSE(panel.panelLoading);
  EXPECT_FALSE(commands.busy());
  EXPECT_EQ(commands.autoConfigure([] { return false; }), CommandStart::Busy);
  EXPECT_FALSE(commands.busy());
  window.tasks = nullptr;
  EXPECT_EQ(commands.reset("&Reset", 4), CommandStart::PortClosed);
  EXPECT_TRUE(log.take().empty());

  window.tasks = &tasks;
  tasks.answer = LinkTasks::TaskStart::Started;
  ASSERT_EQ(commands.autoConfigure([] { return true; }), CommandStart::Started);
  commands.taskChanged(tkAutoConfigure);
  commands.taskChanged(tkLocalOnly);
  EXPECT_FALSE(commands.busy());
  EXPECT_EQ(log.take(), (Events{"AutoConfigure radio 0 1/1 round 0", "AutoConfigure done"}));
}

// How a read or a send ends, with what the engine told the user; a task
// started elsewhere still ends as its command.
TEST_F(RadioCommandsTest, EndsCarryTheEnginesMessage) {
  ASSERT_EQ(commands.getLocal("&Get Local Radio Parameters"), CommandStart::Started);
  EXPECT_TRUE(panel.panelLoading);
  EXPECT_EQ(tasks.tasks.back().list, (TpollArray{{0, 0}}));
  commands.taskEnded(tkGetLocal, Outcome{TaskEnd::Refused, "Unable to Contact Radio"});
  ASSERT_EQ(commands.getRadio("Get Radio Parameters", {5, 2}), CommandStart::Started);
  EXPECT_EQ(tasks.tasks.back().code, tkGetRemote);
  // Another task's end is none of the read's.
  commands.taskEnded(tkSendValues, Outcome{});
  commands.taskEnded(tkGetRemote, Outcome{});
  commands.taskEnded(tkSendValues, Outcome{TaskEnd::Cancelled, "Too many errors"});
  ASSERT_EQ(commands.reset("&Reset", 4), CommandStart::Started);
  EXPECT_EQ(tasks.sent, (Events{"ATD4", "AT&R"}));
  commands.taskChanged(tkLocalOnly);
  commands.taskEnded(tkSendValues, Outcome{TaskEnd::Refused, "ERROR from radio on sending AT&R"});
  EXPECT_EQ(log.take(),
            (Events{"GetLocal radio 0 1/1 round 0", "GetLocal failed: Unable to Contact Radio",
                    "GetRadio radio 5 1/1 round 0", "GetRadio done",
                    "SetRadio cancelled: Too many errors", "Reset radio 4 1/1 round 0",
                    "Reset failed: ERROR from radio on sending AT&R"}));
}

}  // namespace
}  // namespace tessel
