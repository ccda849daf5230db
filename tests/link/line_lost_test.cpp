// An adapter pulled while the port is open or a task runs: one message, the
// task ends as a failure, the port shows closed and nothing ticks; plugged
// back in, the next task opens it again.
#include <gtest/gtest.h>

#include "link/link_observer.h"
#include "link_fixture.h"

namespace tessel::testing {
namespace {

using Lines = std::vector<std::string>;

const char* const kLost = "/dev/ttyUSB0 went away: Input/output error";

class LostEvents : public LinkObserver {
 public:
  void taskEnded(TaskCode task, const Outcome& outcome) override {
    ended.push_back({task, outcome.ending});
    endMessages.push_back(outcome.message);
  }
  void lineLost(const std::string& message) override { lost.push_back(message); }
  std::vector<std::pair<TaskCode, TaskEnd>> ended;
  Lines endMessages;
  Lines lost;
};

class LineLostTest : public LinkTest {
 protected:
  void start() {
    make();
    engine->addObserver(&events);
  }
  void TearDown() override {
    if (engine) engine->removeObserver(&events);
  }
  LostEvents events;
};

TEST_F(LineLostTest, PulledDuringEachKindOfWorkEndsItOnce) {
  struct Case {
    const char* name;
    TaskCode task;  // tkLocalOnly: the port is open, nothing runs
    bool endsTask;
  };
  const Case cases[] = {
      {"idle", tkLocalOnly, false}, {"read", tkGetLocal, true},        {"monitor", tkMonitor, true},
      {"send", tkSendValues, true}, {"search", tkAutoConfigure, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    engine.reset();
    prompts.shown.clear();
    events = LostEvents{};
    serial.plug();
    start();
    answer({{"AT", {"OK"}}});
    if (c.task == tkSendValues) engine->Send(false, 0, "ATs2=7\r");
    if (c.task == tkAutoConfigure)
      engine->autoConfigureClick();
    else if (c.task != tkLocalOnly)
      engine->StartTask(c.task, "work", {{1, 0}});
    serial.pump();
    ASSERT_EQ(engine->task() != tkLocalOnly, c.endsTask);

    serial.pull(kLost);

    EXPECT_EQ(promptTexts(), Lines{kLost});
    EXPECT_EQ(events.lost, Lines{kLost});
    if (c.endsTask) {
      ASSERT_EQ(events.ended.size(), 1u);
      EXPECT_EQ(events.ended[0].first, c.task);
      EXPECT_EQ(events.ended[0].second, TaskEnd::LineLost);
      // The end says why, as the box does.
      EXPECT_EQ(events.endMessages, Lines{kLost});
    } else {
      EXPECT_TRUE(events.ended.empty());
    }
    EXPECT_EQ(engine->state(), psIdle);
    EXPECT_EQ(engine->task(), tkLocalOnly);
    EXPECT_EQ(engine->queue().Count(), 0);
    EXPECT_FALSE(engine->linkDialled());
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(status.panelText(0).rfind("Inactive COM", 0), 0u);
    EXPECT_EQ(view.autoConfigureCaption(), "&Auto Configure");
    EXPECT_FALSE(view.isEnabled(cpAutoConfigure));
  }
}

TEST_F(LineLostTest, TickHeldByAnOpenBoxDoesNotRetryOrAskAgain) {
  start();
  // The radio refuses a sent line: its box is up, a tick is held behind it,
  // and the cable is pulled meanwhile.
  answer({{"AT", {"OK"}}, {"ATs2=7", {"ERROR"}}});
  engine->Send(false, 0, "ATs2=7\r");
  engine->StartTask(tkSendValues, "Set Radio", {{0, 0}});
  prompts.whileOpen = [this] {
    prompts.whileOpen = nullptr;
    engine->msgTimerTimer();  // a tick delivered meanwhile
    serial.pull(kLost);
  };
  const int opens = serial.openAttempts;
  serial.pump();
  // At most one tick more, which finds nothing to do.
  timer.fire();
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].text, kLost);
  EXPECT_EQ(serial.openAttempts, opens);
  EXPECT_FALSE(timer.isActive());
  EXPECT_EQ(engine->task(), tkLocalOnly);
}

TEST_F(LineLostTest, NextTaskReopensTheRepluggedPort) {
  start();
  answer({{"AT", {"OK"}}});
  engine->StartTask(tkGetLocal, "Get Local", {{1, 0}});
  serial.pull(kLost);
  serial.clearWrites();

  // Still unplugged: the reason is shown, no task starts, nothing ticks.
  serial.lastError = "/dev/ttyUSB0: No such file or directory";
  engine->StartTask(tkGetLocal, "Get Local", {{1, 0}});
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_NE(prompts.shown[1].text.find("/dev/ttyUSB0: No such file or directory"),
            std::string::npos);
  EXPECT_EQ(engine->task(), tkLocalOnly);
  EXPECT_TRUE(serial.writes.empty());
  EXPECT_FALSE(timer.isActive());

  // Plugged back in: the task opens the port and talks at once.
  serial.plug();
  engine->StartTask(tkGetLocal, "Get Local", {{1, 0}});
  EXPECT_TRUE(serial.Active());
  EXPECT_EQ(engine->task(), tkGetLocal);
  ASSERT_FALSE(serial.lines().empty());
  EXPECT_EQ(serial.lines()[0], "AT");
  EXPECT_TRUE(timer.isActive());
  EXPECT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(status.panelText(0).rfind("Active COM", 0), 0u);
}

TEST_F(LineLostTest, PollListUpdateDoesNotOpenTheLostPort) {
  start();
  serial.pull(kLost);
  serial.plug();
  const int opens = serial.openAttempts;
  engine->StartTask(tkUpdatePollList, "", {{1, 0}});
  engine->StartTask(tkLocalOnly, "", {{1, 0}});
  EXPECT_EQ(serial.openAttempts, opens);
  EXPECT_FALSE(serial.Active());
  EXPECT_EQ(prompts.shown.size(), 1u);
}

}  // namespace
}  // namespace tessel::testing
