// A send's lines reach the queue only with the task that works them off.
#include <gtest/gtest.h>

#include "link_fixture.h"

namespace tessel::testing {
namespace {

using Lines = std::vector<std::string>;
using SendStart = LinkTasks::SendStart;
using TaskStart = LinkTasks::TaskStart;

TEST_F(LinkTest, ASendRefusedByAClosedPortLeavesNothingForTheNextRadio) {
  make(false);
  EXPECT_EQ(engine->StartSend("Set Radio", {{4, 1}}, {"ATs2=7\r", "AT&W\r", "AT&R\r"}),
            SendStart::PortClosed);
  EXPECT_EQ(engine->queue().Count(), 0);
  // The port opens and another radio is set: only its own lines go out.
  serial.setActive(true);
  callbacks.local = {1};
  answer({{"AT", {"OK"}}, {"ATs1=9", {"OK"}}, {"AT&W", {"OK"}}});
  EXPECT_EQ(engine->StartSend("Set Radio", {{1, 1}}, {"ATs1=9\r", "AT&W\r", "AT&R\r"}),
            SendStart::Started);
  serial.pump();
  EXPECT_EQ(serial.lines(), (Lines{"AT", "ATs1=9\r", "AT&W\r", "AT&R\r"}));
}

TEST_F(LinkTest, ASendDuringAReadOrASendIsRefusedAndQueuesNothing) {
  make();
  engine->StartTask(tkGetLocal, "&Get Local Radio Parameters", {{0, 0}});
  ASSERT_EQ(engine->task(), tkGetLocal);
  EXPECT_EQ(engine->StartSend("Set Radio", {{4, 1}}, {"ATs2=7\r", "AT&W\r"}), SendStart::Busy);
  EXPECT_EQ(engine->queue().Count(), 0);
  EXPECT_EQ(engine->task(), tkGetLocal);

  settings = MemorySettingsStore();
  make();
  answer({{"AT", {"OK"}}, {"ATs2=7", {"OK"}}});
  ASSERT_EQ(engine->StartSend("Set Radio", {{4, 1}}, {"ATs2=7\r", "ATs4=N\r"}), SendStart::Started);
  serial.pump();
  const int waiting = engine->queue().Count();
  EXPECT_EQ(engine->StartSend("Set Radio", {{5, 1}}, {"ATs9=1\r"}), SendStart::Busy);
  EXPECT_EQ(engine->queue().Count(), waiting);
}

TEST_F(LinkTest, ASendWhileIdleStartsTheTaskWithItsTitle) {
  make();
  EXPECT_FALSE(engine->busy());
  EXPECT_EQ(engine->StartSend("Set Radio", {{4, 1}}, {"ATs2=7\r"}), SendStart::Started);
  EXPECT_EQ(engine->task(), tkSendValues);
  EXPECT_EQ(engine->taskText(), "Set Radio");
  EXPECT_TRUE(engine->busy());
}

// Every task says whether it was taken, so the window can tell why nothing
// happens and prepare nothing for a task that never runs.
TEST_F(LinkTest, EveryTaskAnswersStartedPortClosedOrBusy) {
  make(false);
  for (TaskCode code :
       {tkGetLocal, tkGetRemote, tkMonitor, tkSendValues, tkEmulate, tkAutoConfigure}) {
    EXPECT_EQ(engine->StartTask(code, "t", {{1, 1}}), TaskStart::PortClosed)
        << static_cast<int>(code);
    EXPECT_EQ(engine->task(), tkLocalOnly);
    EXPECT_EQ(engine->state(), psIdle);
  }

  serial.setActive(true);
  EXPECT_EQ(engine->StartTask(tkEmulate, "Emulate Group", {{1, 1}}), TaskStart::Started);
  EXPECT_EQ(engine->state(), psEmulate);
  EXPECT_EQ(engine->StartTask(tkLocalOnly, "", {}), TaskStart::Started);
  EXPECT_EQ(engine->StartTask(tkMonitor, "&Online Monitor", {{1, 1}, {2, 1}}), TaskStart::Started);
  // A monitor keeps its radios to itself; the Get Radio Parameters read waits.
  EXPECT_EQ(engine->StartTask(tkGetRemote, "Get Radio Parameters", {{2, 2}}), TaskStart::Busy);
  EXPECT_EQ(engine->task(), tkMonitor);
  EXPECT_EQ(engine->StartTask(tkLocalOnly, "", {}), TaskStart::Started);

  answer({{"AT", {"OK"}}});
  ASSERT_EQ(engine->StartSend("&Reset", {}, {"ATD2", "AT&R"}), SendStart::Started);
  serial.pump();
  // The monitor's "AT" went unanswered (no radio answered yet) and is owed
  // ahead of the send's: the answer that comes is taken as its, and the
  // send's connect goes on with the escape a tick later.
  timer.fire();
  serial.pump();
  ASSERT_EQ(engine->state(), psSendQueue);
  EXPECT_EQ(engine->StartTask(tkGetLocal, "&Get Local Radio Parameters", {{0, 0}}),
            TaskStart::Busy);
  EXPECT_EQ(engine->StartTask(tkGetRemote, "Get Radio Parameters", {{2, 2}}), TaskStart::Busy);
  EXPECT_EQ(engine->task(), tkSendValues);
}

}  // namespace
}  // namespace tessel::testing
