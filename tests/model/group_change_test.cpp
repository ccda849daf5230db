#include "model/group_change_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/catalogue.h"
#include "model/group_change_work.h"
#include "model/time_left.h"
#include "model_fixture.h"

using namespace tessel;

namespace {

// "id:model:mode:master", mode M, S or R.
RadioSettings radio(const std::string& text) {
  RadioSettings s;
  const size_t a = text.find(':'), b = text.find(':', a + 1), c = text.find(':', b + 1);
  s.radioID = std::stoi(text.substr(0, a));
  s.name = "R" + std::to_string(s.radioID);
  s.model = std::stoi(text.substr(a + 1, b - a - 1));
  const char mode = text[b + 1];
  s.radioMode = mode == 'M'   ? RadioMode::master
                : mode == 'R' ? RadioMode::repeater
                              : RadioMode::slave;
  s.masterID = std::stoi(text.substr(c + 1));
  s.group.groupID = 7;
  return s;
}

GroupSettings newValues() {
  GroupSettings g;
  g.groupID = 9;
  g.securityID = 4321;
  g.repeaters = YesNo::yes;
  return g;
}

// The steps as "phase:kind radio", kind S stage, C check, R reset, W write.
std::string order(const GroupPlan& plan) {
  std::string out;
  for (const GroupStep& s : plan.steps) {
    const char kind = "SCRWX"[static_cast<int>(s.kind)];
    out +=
        (out.empty() ? "" : " ") + std::to_string(s.phase) + ":" + kind + std::to_string(s.radio);
  }
  return out;
}

TEST(GroupChangePlan, StagesNearestFirstAndResetsFarthestFirstTheLocalRadioLast) {
  struct Case {
    const char* what;
    std::vector<std::string> radios;
    int local;
    std::string order;
    std::string tree;  // radio:depth in tree order
  };
  const std::vector<Case> cases = {
      {"a flat group",
       {"1:1:M:0", "2:1:S:1", "3:0:S:1"},
       -1,
       "1:S2 1:S3 1:S1 2:R2 2:R3 2:R1",
       "1:0 2:1 3:1"},
      {"a tree of repeaters: each radio reset before the repeater it is heard through",
       {"1:1:M:0", "2:1:S:1", "3:1:R:1", "4:2:S:3", "5:0:S:3", "6:1:R:3", "7:1:S:6", "8:1:S:9"},
       -1,
       "1:S2 1:S3 1:S8 1:C4 1:S5 1:S6 1:S7 1:S1 "
       "2:R7 2:W4 2:R5 2:R6 2:R2 2:R3 2:R8 2:R1",
       "1:0 2:1 3:1 4:2 5:2 6:2 7:3 8:1"},
      {"a model-2 local radio is written last; the first master is the local radio",
       {"2:1:S:5", "5:2:M:0", "9:1:M:0"},
       -1,
       "1:S2 1:S9 1:C5 2:R2 2:R9 2:W5",
       "5:0 2:1 9:1"},
      {"the local radio named; a master ID naming a slave or itself is no repeater",
       {"1:1:M:0", "2:1:S:3", "3:1:S:2", "4:1:R:4"},
       4,
       "1:S1 1:S2 1:S3 1:S4 2:R1 2:R2 2:R3 2:R4",
       "4:0 1:1 2:1 3:1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<RadioSettings> radios;
    for (const std::string& r : c.radios) radios.push_back(radio(r));
    const GroupPlan plan = planGroupChange(radios, newValues(), c.local);
    ASSERT_EQ(plan.error, "");
    EXPECT_EQ(order(plan), c.order);
    std::string tree;
    for (const PlanRadio& r : plan.radios)
      tree += (tree.empty() ? "" : " ") + std::to_string(r.id) + ":" + std::to_string(r.depth);
    EXPECT_EQ(tree, c.tree);
    // Every line is one the engine already sends, and only a reset resets.
    for (const GroupStep& s : plan.steps) {
      EXPECT_EQ(s.lines.front() == "ATD" + std::to_string(s.radio), !s.local);
      for (const std::string& line : s.lines) {
        EXPECT_EQ(line.rfind("AT", 0), 0u) << line;
        EXPECT_EQ(line.find('\r'), std::string::npos);
        EXPECT_NE(line == "AT&R", line != s.lines.back() || s.kind != GroupStep::Kind::Reset);
      }
      const bool writes = s.kind == GroupStep::Kind::Stage || s.kind == GroupStep::Kind::Write;
      EXPECT_EQ(s.lines.back() == "AT&W", writes);
    }
  }
}

TEST(GroupChangePlan, CircleOfRepeatersGivesNoPlan) {
  const GroupPlan plan =
      planGroupChange({radio("1:1:M:0"), radio("3:1:R:4"), radio("4:1:R:3")}, newValues());
  EXPECT_TRUE(plan.steps.empty());
  EXPECT_NE(plan.error.find("radios 3, 4"), std::string::npos) << plan.error;
}

TEST(GroupChangePlan, SharedLinesCarryEveryValueTheModelHolds) {
  GroupSettings g = newValues();
  g.rfband = 3;
  g.flushTime = 125;
  g.reTXBroadcasts = YesNo::no;
  g.blocked[1] = 9157;
  EXPECT_EQ(sharedLines(radio("2:1:S:1"), g),
            (std::vector<std::string>{"ATs0=9s2=4321s4=Y", "ATs5=Ns6=3s15=125", "ATs30=0s31=9157",
                                      "ATs32=0s33=0s34=0", "ATs35=0s36=0s37=0", "ATs38=0s39=0s40=0",
                                      "ATs41=0", "AT&W"}));
  // Model 2 holds repeaters, re-broadcast and RF band one register later.
  const std::vector<std::string> two = sharedLines(radio("2:2:S:1"), g);
  EXPECT_EQ(two.front(), "ATs0=9s2=4321s5=Y");
  EXPECT_EQ(two[1], "ATs6=Ns7=3s15=125");
}

class FakeTasks : public LinkTasks {
 public:
  TaskStart StartTask(TaskCode, const std::string&, const TpollArray&) override {
    return TaskStart::Started;
  }
  SendStart StartSend(const std::string&, const TpollArray& list,
                      const std::vector<std::string>& lines) override {
    if (refuse != SendStart::Started) return refuse;
    sent.push_back(std::to_string(list.front().radio) + ":" + lines.back());
    return SendStart::Started;
  }
  SendStart refuse = SendStart::Started;
  std::vector<std::string> sent;  // "radio:last line" per send
};

GroupChangeRun::SendLines sendThrough(FakeTasks& tasks) {
  return [&tasks](const std::string& title, const TpollArray& list,
                  const std::vector<std::string>& lines) {
    return tasks.StartSend(title, list, lines);
  };
}

// Ends the step under way: its radio confirmed lines lines, then the
// send ended as outcome.
void step(GroupChangeRun& run, TaskEnd outcome, int lines = 9) {
  for (int i = 0; i < lines; ++i) run.lineConfirmed();
  run.sendEnded(outcome);
}

void allDone(GroupChangeRun& run) {
  while (run.state() == GroupChangeRun::State::Running) step(run, TaskEnd::Done);
}

TEST(GroupChangeRun, StopsInPhaseOneAndRestoresOrRetries) {
  const std::vector<RadioSettings> radios = {radio("1:1:M:0"), radio("2:1:S:1"), radio("3:1:R:1"),
                                             radio("5:1:S:3")};
  const GroupPlan plan = planGroupChange(radios, newValues());
  ASSERT_EQ(order(plan), "1:S2 1:S3 1:S5 1:S1 2:R5 2:R2 2:R3 2:R1");

  {
    SCOPED_TRACE("every step goes through");
    FakeTasks tasks;
    GroupChangeRun run(plan, sendThrough(tasks), "Change Group Settings");
    ASSERT_TRUE(run.start());
    allDone(run);
    EXPECT_EQ(run.state(), GroupChangeRun::State::Applied);
    EXPECT_TRUE(run.missed().empty());
    EXPECT_EQ(tasks.sent, (std::vector<std::string>{"2:AT&W", "3:AT&W", "5:AT&W", "1:AT&W",
                                                    "5:AT&R", "2:AT&R", "3:AT&R", "1:AT&R"}));
  }
  // How radio 3's stage ends, and what the run makes of it: radio 2 is
  // staged either way; radio 3 only may be, once it answered its dial.
  struct Case {
    const char* what;
    TaskEnd outcome;
    int confirmed;  // lines radio 3 answered "OK", its dial first
    std::vector<std::string> restored;
    const char* said;
  };
  const Case cases[] = {
      {"silent repeater",
       TaskEnd::NoAnswer,
       0,
       {"2:AT&W"},
       "The radio 3 (R3) did not answer in phase 1: no radio runs the new values; 1 radio(s) "
       "hold them staged (AT&W answered OK): radio 2 (R2)."},
      {"its AT&W unanswered",
       TaskEnd::NoAnswer,
       3,
       {"2:AT&W", "3:AT&W"},
       "The radio 3 (R3) did not answer in phase 1: no radio runs the new values; 1 radio(s) "
       "hold them staged (AT&W answered OK): radio 2 (R2); staged or not known (AT&W not "
       "confirmed): radio 3 (R3)."},
      {"repeater refuses a line",
       TaskEnd::Refused,
       2,
       {"2:AT&W", "3:AT&W"},
       "The radio 3 (R3) refused a line in phase 1"},
      {"its link lost",
       TaskEnd::LinkLost,
       1,
       {"2:AT&W", "3:AT&W"},
       "The link to the radio 3 (R3) was lost in phase 1"},
      // The port's device gone is no word from the radio.
      {"the port's device gone",
       TaskEnd::LineLost,
       2,
       {"2:AT&W", "3:AT&W"},
       "The radio 3 (R3) did not answer in phase 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeTasks tasks;
    GroupChangeRun run(plan, sendThrough(tasks), "Change Group Settings");
    ASSERT_TRUE(run.start());
    step(run, TaskEnd::Done);           // radio 2 staged
    step(run, c.outcome, c.confirmed);  // radio 3 fails
    EXPECT_EQ(run.state(), GroupChangeRun::State::Stopped);
    EXPECT_EQ(run.failedRadio(), 3);
    EXPECT_EQ(run.phase(), 1);
    EXPECT_EQ(tasks.sent.size(), 2u) << "nothing sent after the failure";
    EXPECT_EQ(run.failureText().rfind(c.said, 0), 0u) << run.failureText();
    EXPECT_EQ(run.staged(), std::vector<int>{2});
    // Retried, radio 3 is sent again; failing again it stays as it was.
    ASSERT_TRUE(run.retry());
    EXPECT_EQ(tasks.sent.back(), "3:AT&W");
    step(run, c.outcome, c.confirmed);
    // Written back: the old values on the radios staged and those that may
    // be, with "AT&W" and no reset.
    tasks.sent.clear();
    ASSERT_TRUE(run.restore());
    allDone(run);
    EXPECT_EQ(run.state(), GroupChangeRun::State::Restored);
    EXPECT_EQ(tasks.sent, c.restored);
  }
  {
    SCOPED_TRACE("the restore writes the old values");
    const std::vector<GroupStep> back = restoreSteps(plan, {3, 2});
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].lines.front(), "ATD2");
    EXPECT_EQ(back[0].lines[1].rfind("ATs0=7s2=0", 0), 0u) << back[0].lines[1];
    EXPECT_EQ(back[1].lines.front(), "ATD3");
  }
  {
    SCOPED_TRACE("a send the engine refuses stops the run and says why");
    FakeTasks tasks;
    tasks.refuse = LinkTasks::SendStart::Busy;
    GroupChangeRun run(plan, sendThrough(tasks), "Change Group Settings");
    EXPECT_FALSE(run.start());
    EXPECT_EQ(run.state(), GroupChangeRun::State::Stopped);
    EXPECT_EQ(run.failure(), GroupChangeRun::Failure::Refusal);
    EXPECT_NE(run.failureText().find("busy"), std::string::npos);
  }
}

// A model-2 radio's check writes nothing: it is no staged radio. Cancelled
// at a radio that answered its dial, that radio may hold part of the values.
TEST(GroupChangeRun, OnlyRadiosThatSavedTheValuesCountAsStaged) {
  const GroupPlan plan = planGroupChange(
      {radio("1:1:M:0"), radio("2:1:S:1"), radio("3:2:S:1"), radio("4:1:S:1")}, newValues());
  ASSERT_EQ(order(plan), "1:S2 1:C3 1:S4 1:S1 2:R2 2:W3 2:R4 2:R1");
  FakeTasks tasks;
  GroupChangeRun run(plan, sendThrough(tasks), "Change Group Settings");
  run.start();
  step(run, TaskEnd::Done);
  step(run, TaskEnd::Done);
  for (int i = 0; i < 2; ++i) run.lineConfirmed();
  run.cancel();
  EXPECT_EQ(run.staged(), std::vector<int>{2});
  EXPECT_EQ(run.notKnown(), std::vector<int>{4});
  EXPECT_EQ(run.failureText(),
            "Cancelled at the radio 4 (R4) in phase 1: no radio runs the new values; 1 radio(s) "
            "hold them staged (AT&W answered OK): radio 2 (R2); staged or not known (AT&W not "
            "confirmed): radio 4 (R4).");
}

// Phase 2 goes on past a radio that does not answer its dial, loses its
// link or refuses its write, and ends with the local radio's reset; the
// radios gone past are named with what they hold.
TEST(GroupChangeRun, PhaseTwoRunsThroughToTheLocalReset) {
  const GroupPlan plan = planGroupChange(
      {radio("1:1:M:0"), radio("2:1:S:1"), radio("3:2:S:1"), radio("5:1:S:1")}, newValues());
  ASSERT_EQ(order(plan), "1:S2 1:C3 1:S5 1:S1 2:R2 2:W3 2:R5 2:R1");
  FakeTasks tasks;
  GroupChangeRun run(plan, sendThrough(tasks), "Change Group Settings");
  run.start();
  for (int i = 0; i < 4; ++i) step(run, TaskEnd::Done);
  ASSERT_TRUE(run.applying());
  step(run, TaskEnd::NoAnswer, 0);  // radio 2: its dial unanswered
  step(run, TaskEnd::Refused, 2);   // radio 3 refuses its write
  EXPECT_FALSE(run.restore());
  run.cancel();  // no cancel in phase 2
  EXPECT_EQ(run.state(), GroupChangeRun::State::Running);
  step(run, TaskEnd::LinkLost, 1);  // radio 5: link lost after its dial
  step(run, TaskEnd::Done);         // the local reset
  EXPECT_EQ(run.state(), GroupChangeRun::State::Applied);
  EXPECT_EQ(tasks.sent.back(), "1:AT&R");
  EXPECT_EQ(run.missedText(),
            (std::vector<std::string>{
                "radio 2 (R2) did not answer its dial in phase 2: it holds the new values saved "
                "and joins the group at its next restart.",
                "radio 3 (R3) refused a line in phase 2: it may still run the old values, out of "
                "reach of the group; set it by hand.",
                "radio 5 (R5) lost its link in phase 2: it holds the new values saved and joins "
                "the group at its next restart."}));
}

}  // namespace

namespace {

// The time left from the pace so far: none before any work was measured or
// while stopped; counting down between updates; measured anew once the run
// runs again after a stop.
TEST(PaceEstimate, TimeLeftFollowsThePaceMeasuredSoFar) {
  PaceEstimate pace;
  EXPECT_FALSE(pace.leftMs(0));
  pace.update(0, 10, true, 1000);
  EXPECT_FALSE(pace.leftMs(1000)) << "nothing done yet";
  pace.update(2, 10, true, 3000);  // 1 s a unit, 8 to go
  EXPECT_EQ(pace.leftMs(3000), 8000);
  EXPECT_EQ(pace.leftMs(5000), 6000);
  EXPECT_EQ(pace.leftMs(20000), 0) << "never below nothing";
  pace.update(4, 10, false, 4000);
  EXPECT_FALSE(pace.leftMs(4000)) << "stopped";
  pace.update(4, 10, true, 60000);  // the wait while stopped is no pace
  pace.update(6, 10, true, 60400);  // 0.2 s a unit now
  EXPECT_EQ(pace.leftMs(60400), 800);
}

TEST(PaceEstimate, TimeLeftTexts) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, "about 1 s left"},
      {400, "about 1 s left"},
      {12000, "about 12 s left"},
      {59500, "about 1 min left"},
      {200000, "about 3 min 20 s left"},
      {7500000, "about 2 h 5 min left"},
  };
  for (const auto& [ms, text] : cases) EXPECT_EQ(timeLeftText(ms), text) << ms;
}

// A group change's units: each step's lines and its link exchange. Half
// the units done in 10 s leaves about 10 s; writing the old values back is
// measured on its own.
TEST(GroupChangeTimeLeft, ReckonsByTheStepsLinesAndTheirAnswers) {
  const GroupPlan plan =
      planGroupChange({radio("1:1:M:0"), radio("2:1:S:1"), radio("3:1:S:1")}, newValues());
  ASSERT_EQ(order(plan), "1:S2 1:S3 1:S1 2:R2 2:R3 2:R1");
  int total = 0;
  for (const GroupStep& s : plan.steps) total += static_cast<int>(s.lines.size()) + 1;
  FakeTasks tasks;
  GroupChangeRun run(plan, sendThrough(tasks), "Change Group Settings");
  GroupChangeTimeLeft left(run);
  run.start();
  left.update(0);
  EXPECT_EQ(left.text(0), "");
  // Done units at t: the first step's link and lines, then half of all.
  int done = 1;
  for (size_t i = 0; i < plan.steps[0].lines.size(); ++i) {
    run.lineConfirmed();
    ++done;
  }
  run.sendEnded(TaskEnd::Done);  // the next step's link exchange
  ++done;
  while (done * 2 < total) {
    run.lineConfirmed();
    ++done;
  }
  left.update(10000);
  const int64_t expected = 10000LL * (total - done) / (done - 1);
  EXPECT_EQ(left.text(10000), timeLeftText(expected));
  // A stop ends the estimate; the old values written back are timed anew.
  run.sendEnded(TaskEnd::NoAnswer);
  left.update(11000);
  EXPECT_EQ(left.text(11000), "");
  ASSERT_TRUE(run.restore());
  left.update(50000);
  EXPECT_EQ(left.text(50000), "") << "nothing measured of the writing back yet";
  run.lineConfirmed();
  left.update(50500);
  EXPECT_NE(left.text(50500), "");
}

// The whole change as both front ends drive it: a phase-2 step that got no
// end in time is gone past once, and the end the stop gives its send is no
// end of the step after it; then phase 2 runs through and the link is held
// for the read again until finish().
class GroupChangeWorkTest : public ModelTest {};

TEST_F(GroupChangeWorkTest, APhaseTwoStepThatTimedOutIsGonePastOnce) {
  const GroupPlan plan =
      planGroupChange({radio("1:1:M:0"), radio("2:1:S:1"), radio("3:1:S:1")}, newValues());
  GroupChangeWork work(window, kBrandModels0, plan, {});
  int told = 0;
  work.onChange = [&] { ++told; };
  ASSERT_TRUE(work.start());
  while (work.sending() && work.run()->phase() == 1)
    window.commands.taskEnded(tkSendValues, Outcome{});
  ASSERT_TRUE(work.applying());
  const int at = work.run()->position();
  work.sendTimedOut();
  EXPECT_EQ(work.run()->position(), at + 1);
  ASSERT_EQ(work.run()->missed().size(), 1u);
  EXPECT_EQ(work.run()->missed()[0].failure, GroupChangeRun::Failure::NoAnswer);
  EXPECT_TRUE(work.sending());
  while (work.sending()) window.commands.taskEnded(tkSendValues, Outcome{});
  EXPECT_TRUE(work.applied());
  EXPECT_EQ(work.run()->missed().size(), 1u);
  EXPECT_GT(told, 0);
  // Held for the read again: another command meets the change.
  EXPECT_TRUE(window.commands.busy());
  work.finish();
  EXPECT_FALSE(window.commands.busy());
}

}  // namespace
