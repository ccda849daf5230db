// The engine's message boxes (nothing runs inside them, stale answers are
// dropped), its observers, and the pieces split out of it: line assembly
// and the status bar's texts.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/line_assembler.h"
#include "link/link_observer.h"
#include "link/prompt_gate.h"
#include "link_fixture.h"

namespace tessel::testing {
namespace {

using Lines = std::vector<std::string>;

// Every event, as text, in the order it came.
class EventLog : public LinkObserver {
 public:
  void stateChanged(PortState from, PortState to) override {
    add(std::string("state ") + stateName(from) + ">" + stateName(to));
  }
  void lineSent(const std::string& line) override { add("sent " + line); }
  void lineReceived(const std::string& line) override { add("received " + line); }
  void dialling(int radio) override { add("dialling " + std::to_string(radio)); }
  void radioPolled(int radio) override { add("polled " + std::to_string(radio)); }
  void taskEnded(TaskCode task, const Outcome& outcome) override {
    add("ended " + std::to_string(static_cast<int>(task)) + " " +
        (outcome.ending == TaskEnd::Done        ? "completed"
         : outcome.ending == TaskEnd::Cancelled ? "cancelled"
                                                : "failed"));
  }
  void queueLengthChanged(int count) override { add("queue " + std::to_string(count)); }
  void statusChanged(const LinkStatus&) override { ++statuses; }

  void add(const std::string& e) { events.push_back(e); }
  bool has(const std::string& e) const {
    return std::find(events.begin(), events.end(), e) != events.end();
  }
  Lines events;
  int statuses = 0;
};

class EngineBoxTest : public LinkTest {
 protected:
  // A read of a radio that never answers, ticked until its "Unable to
  // Contact Radio" box has been shown.
  void runIntoNoRadio() {
    make();
    engine->StartTask(tkGetLocal, "Get Local", {{1, 0}});
    for (int i = 0; i < 10 && prompts.shown.empty(); ++i) timer.fire();
    ASSERT_EQ(promptTexts(), Lines{"Unable to Contact Radio, check power and cables"});
  }
  // What a handler would have changed had it run inside the box.
  struct Snapshot {
    size_t writes;
    PortState state;
    int ticks;
    std::string buffer;
  };
  Snapshot snapshot() const {
    return {serial.writes.size(), engine->state(), engine->tickCount(), engine->receiveBuffer()};
  }
  void expectUntouched(const Snapshot& before) {
    EXPECT_TRUE(engine->promptOpen());
    EXPECT_EQ(serial.writes.size(), before.writes);
    EXPECT_EQ(engine->state(), before.state);
    EXPECT_EQ(engine->tickCount(), before.ticks);
    EXPECT_EQ(engine->receiveBuffer(), before.buffer) << "the bytes wait in the port";
  }
};

TEST_F(EngineBoxTest, NoHandlerRunsInsideABoxAndAnUnchangedEngineTakesTheAnswer) {
  bool inside = false;
  prompts.whileOpen = [&] {
    if (inside) return;
    inside = true;
    const Snapshot before = snapshot();
    ASSERT_EQ(before.state, psError);
    serial.receive("noise\r\n");  // discarded in psError, so nothing changes
    expectUntouched(before);
  };
  prompts.answers = {pbAbort};
  runIntoNoRadio();
  ASSERT_TRUE(inside);
  EXPECT_FALSE(engine->promptOpen());
  EXPECT_EQ(promptTexts(), Lines{"Unable to Contact Radio, check power and cables"});
  // The line was handled once the box closed, and the answer still applied.
  EXPECT_TRUE(engine->receiveBuffer().empty());
  EXPECT_EQ(engine->state(), psIdle);
  EXPECT_EQ(engine->task(), tkLocalOnly);
  EXPECT_EQ(callbacks.count(qcCancel), 1);
}

TEST_F(EngineBoxTest, ATaskStartedInsideABoxMakesItsAnswerStale) {
  prompts.whileOpen = [&] {
    prompts.whileOpen = nullptr;
    const size_t writes = serial.writes.size();
    engine->StartTask(tkGetLocal, "Get Local again", {{1, 0}});
    EXPECT_EQ(serial.writes.size(), writes) << "its first tick waits for the box";
  };
  prompts.answers = {pbAbort};
  runIntoNoRadio();
  EXPECT_EQ(engine->task(), tkGetLocal) << "Abort belonged to the read before";
  EXPECT_EQ(engine->taskText(), "Get Local again");
  EXPECT_EQ(callbacks.count(qcCancel), 0);
  EXPECT_EQ(serial.lines().back(), "+++") << "the new read's tick ran after the box";
}

TEST_F(EngineBoxTest, UnavailablePortBoxAnswerIsDroppedWhenAReadStartedMeanwhile) {
  make(false);
  serial.unavailable = {1};
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(timer.fire());
  prompts.whileOpen = [&] {
    prompts.whileOpen = nullptr;
    serial.unavailable.clear();
    serial.setActive(true);
    engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
  };
  prompts.answers = {pbAbort};
  timer.fire();
  EXPECT_EQ(promptTexts(), Lines{"Unable to activate COM port, is it available?"});
  EXPECT_EQ(engine->task(), tkGetLocal) << "Abort must not end the read started meanwhile";
  EXPECT_TRUE(timer.isActive());
}

TEST_F(LinkTest, TheDialogsBoxHoldsTicksToo) {
  make();
  view.setPortNumberText("");
  int inside = -1;
  prompts.whileOpen = [&] {
    inside = engine->tickCount();
    engine->msgTimerTimer();
    EXPECT_EQ(engine->tickCount(), inside);
  };
  engine->comPortNumberExit();
  EXPECT_EQ(promptTexts(), Lines{"COM Port needs a value."});
  EXPECT_EQ(engine->tickCount(), inside + 1) << "the tick ran once the box was closed";
}

TEST_F(LinkTest, TickAndLineInsideASendBoxRunAfterItInTheOrderTheyCame) {
  make();
  callbacks.local = {1};
  callbacks.master = {1};
  engine->StartTask(tkMonitor, "Monitor", {{1, 0}});
  answer({{"AT", {"OK"}}});
  engine->Send(false, 0, "ATs2=7\r");
  engine->StartTask(tkSendValues, "Set Radio", {{1, 0}});
  serial.pump();
  // The monitor's "AT" went unanswered (no radio answered yet) and is owed
  // ahead of the send's: the answer that comes is taken as its, and the
  // send's connect goes on with the escape a tick later.
  timer.fire();
  serial.pump();
  serial.responder = nullptr;
  for (int i = 0; i < 3; ++i) timer.fire();
  ASSERT_TRUE(prompts.shown.empty());
  bool inside = false;
  prompts.whileOpen = [&] {
    if (inside) return;
    inside = true;
    const size_t writes = serial.writes.size();
    const int ticks = engine->tickCount();
    serial.receive("OK\r\n");
    engine->msgTimerTimer();
    EXPECT_EQ(serial.writes.size(), writes);
    EXPECT_EQ(engine->tickCount(), ticks);
    EXPECT_EQ(engine->state(), psSendQueue);
    EXPECT_EQ(engine->queue().Count(), 1);
  };
  prompts.answers = {pbAbort};
  timer.fire();
  // The radio's OK completed the send after the box; the Abort was stale.
  EXPECT_EQ(promptTexts(),
            (Lines{"Too many errors in sending to radio, try increasing poll interval",
                   "Set Radio complete, radio reset"}));
  EXPECT_EQ(callbacks.count(qcRenumbered), 1);
  EXPECT_EQ(engine->task(), tkMonitor);
  EXPECT_EQ(engine->queue().Count(), 0);
  EXPECT_EQ(engine->tryCount(), 1) << "the waiting tick sent the monitor's connect";
}

TEST_F(LinkTest, ObserversHearTheReadInOrderAndStopWhenRemoved) {
  make();
  EventLog first, second;
  engine->addObserver(&first);
  engine->addObserver(&second);
  engine->addObserver(&first);  // once is enough
  answer({{"AT", {"OK"}},
          {"ATI", {"1.14 model 2"}},
          {"ATI1", {"OK"}},
          {"ATI2", {"OK"}},
          {"ATI3", {"OK"}}});
  engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
  serial.pump();
  EXPECT_EQ(first.events, second.events);
  EXPECT_EQ(first.events.front(), "state psIdle>psConfigManual");
  EXPECT_TRUE(first.has("sent AT"));
  EXPECT_TRUE(first.has("received 1.14 model 2"));
  EXPECT_TRUE(first.has("state psLocalATI>psLocalATIx"));
  ASSERT_GE(first.events.size(), 2u);
  // A model 2 leaves with "ATD", written once the answers that ended the
  // read were all handled.
  EXPECT_EQ(first.events[first.events.size() - 2], "ended 1 completed");
  EXPECT_EQ(first.events.back(), "sent ATD");
  EXPECT_EQ(std::count(first.events.begin(), first.events.end(), "sent ATI1"), 1);
  EXPECT_GT(first.statuses, 0);

  engine->removeObserver(&second);
  const size_t heard = second.events.size();
  engine->Send(true, 0, "AT");
  EXPECT_EQ(second.events.size(), heard);
  EXPECT_EQ(first.events.back(), "sent AT");

  engine->AttachMainWindow(nullptr, &callbacks);
  const int statuses = first.statuses;
  engine->Send(false, 0, "ATs1=2\r");
  EXPECT_EQ(first.events.back(), "queue 1");
  EXPECT_EQ(first.statuses, statuses) << "no status texts without a status bar";
}

TEST_F(LinkTest, MonitorRoundIsHeardAsDiallingAndPolls) {
  make();
  callbacks.local = {1};
  callbacks.master = {1};
  callbacks.read = {1, 2};  // both read before: short polls
  EventLog log;
  engine->addObserver(&log);
  engine->setPollInterval(1000);
  answer({{"AT", {"OK"}},
          {"ATI", {"V2.0"}},
          {"ATI1", {"OK"}},
          {"ATI2", {"OK"}},
          {"ATI3", {"OK"}},
          {"ATD2", {"OK"}},
          {"ATS1?", {"2", "OK"}},
          {"ATS8?", {"1", "OK"}},
          {"ATS10?", {"-80", "OK"}},
          {"ATS12?", {"5", "OK"}},
          {"ATS16?", {"12", "OK"}},
          {"ATS17?", {"30", "OK"}},
          {"ATS100?", {"1", "OK"}},
          {"ATS101?", {"1", "OK"}},
          {"ATS102?", {"1", "OK"}}});
  engine->StartTask(tkMonitor, "Monitor", {{1, 0}, {2, 0}});
  serial.pump();
  for (int i = 0; i < 60 && !log.has("polled 2"); ++i) {
    timer.fire();
    serial.pump();
  }
  auto at = [&](const std::string& e) {
    return std::find(log.events.begin(), log.events.end(), e) - log.events.begin();
  };
  // The local radio's read counts as its poll; then radio 2 is dialled.
  ASSERT_TRUE(log.has("polled 1"));
  ASSERT_TRUE(log.has("polled 2"));
  EXPECT_LT(at("polled 1"), at("dialling 2"));
  EXPECT_EQ(at("dialling 2") + 1, at("sent ATD2"));
  EXPECT_LT(at("sent ATD2"), at("polled 2"));
}

TEST(PromptGate, HeldEventsRunOnceEachAfterTheBoxEvenWhenOneShowsABox) {
  PromptScript prompts;
  Lines ran;
  PromptGate* gate = nullptr;
  PromptGate g(prompts, [&](PromptGate::Event e) {
    ran.push_back(e == PromptGate::Event::Tick ? "tick" : "received");
    if (ran.size() == 1) gate->show(PromptIcon::Warning, "second", pbOk);
  });
  gate = &g;
  EXPECT_FALSE(g.hold(PromptGate::Event::Tick)) << "no box: the event runs at once";
  prompts.whileOpen = [&] {
    EXPECT_TRUE(g.isOpen());
    if (prompts.shown.size() == 1) {
      EXPECT_TRUE(g.hold(PromptGate::Event::Received));
      EXPECT_TRUE(g.hold(PromptGate::Event::Tick));
      EXPECT_TRUE(g.hold(PromptGate::Event::Received));  // held once
    } else {
      EXPECT_TRUE(g.hold(PromptGate::Event::Received));  // inside the second box
      EXPECT_TRUE(ran.size() == 1);
    }
  };
  EXPECT_EQ(g.show(PromptIcon::Error, "first", pbAbort | pbRetry), pbAbort);
  EXPECT_FALSE(g.isOpen());
  EXPECT_EQ(prompts.texts(), (Lines{"first", "second"}));
  EXPECT_EQ(ran, (Lines{"received", "tick", "received"}));
}

TEST(LineAssembler, FramesRepliesAndCommandsAndTellsOverflowOnce) {
  struct Case {
    const char* bytes;
    bool command;
    Lines lines;
    const char* left;
  };
  const Case cases[] = {
      {"OK\r\n", false, {"OK"}, ""},
      {"OK\n\r", false, {"OK"}, ""},
      {"\r\nOK\r\n", false, {"OK"}, ""},
      {"OK\r", false, {}, "OK\r"},
      {"\r\n\r\n", false, {}, ""},  // blank lines are no reply
      {"a\rb\r\n", false, {"a\rb"}, ""},
      {"AT\r", true, {"AT"}, ""},
      {"AT\r\nATI\r\n", true, {"AT", "ATI"}, ""},
      {"AT\nATI", true, {"AT"}, "ATI"},
      {"\r\n\n", true, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    LineAssembler a;
    Lines got;
    std::string line;
    for (const char* p = c.bytes; *p; ++p)
      if (a.feed(*p, c.command, line)) got.push_back(line);
    EXPECT_EQ(got, c.lines);
    EXPECT_EQ(a.buffer(), c.left);
  }
  int told = 0;
  LineAssembler a([&] { ++told; });
  std::string line;
  for (size_t i = 0; i < 2 * LineAssembler::kBufferLimit; ++i) a.feed('x', false, line);
  EXPECT_EQ(a.buffer().size(), LineAssembler::kBufferLimit);
  EXPECT_EQ(told, 1);
  a.feed('\r', false, line);
  EXPECT_TRUE(a.feed('\n', false, line));
  for (size_t i = 0; i <= LineAssembler::kBufferLimit; ++i) a.feed('y', false, line);
  EXPECT_EQ(told, 2) << "told again for the next run of text";
}

// NUL is line noise: it neither parts a CR from its LF nor sticks to the
// next command.
TEST(LineAssembler, DropsNulBytes) {
  using namespace std::string_literals;
  struct Case {
    std::string bytes;
    bool command;
    Lines lines;
  };
  const Case cases[] = {
      {"O\0K\r\0\n"s, false, {"OK"}},
      {"\0\0\r\0\n-1\0"
       "5\0"
       "1\r\n"s,
       false,
       {"-151"}},
      {"AT\r\0ATI\r"s, true, {"AT", "ATI"}},
      {"AT\r\0\nATI1\r\n"s, true, {"AT", "ATI1"}},
      {"\0\r\0"s, true, {}},
  };
  for (const Case& c : cases) {
    LineAssembler a;
    Lines got;
    std::string line;
    for (char ch : c.bytes)
      if (a.feed(ch, c.command, line)) got.push_back(line);
    EXPECT_EQ(got, c.lines) << c.bytes.size();
    EXPECT_EQ(a.buffer(), "");
  }
}

TEST(LinkStatusTexts, PanelsFollowStateAndTask) {
  struct Case {
    PortState state;
    TaskCode task;
    int reg;
    std::optional<std::string> panel1;
    std::optional<bool> ownerDrawn;
    std::optional<std::string> panel2;
  };
  const Case cases[] = {
      {psIdle, tkLocalOnly, 0, "Local Only", false, "Idle"},
      {psConfigManual, tkAutoConfigure, 0, "COM configure", false, "Poll"},
      {psAutoDiscoverX, tkMonitor, 0, "Radio 7", false, "Dialling"},
      {psDiscoverSRegs, tkGetRemote, 102, "Getting Values", false, "Getting S 102"},
      {psDiscoverSRegs, tkMonitor, -1, "Radio 7", false, "Getting ATI info"},
      {psDiscoverSRegs, tkGetLocal, -1000, std::nullopt, std::nullopt, "Getting Values"},
      {psSendQueue, tkSendValues, 0, "Sending Values", true, std::nullopt},
      {psSentATH, tkEmulate, 0, std::nullopt, std::nullopt, "Disconnecting"},
      {psEmulate, tkEmulate, 0, std::nullopt, std::nullopt, "Emulating group"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(stateName(c.state));
    LinkStatus s =
        describeStatus(c.state, c.task, "Active COM1:9600, 8,n,1", "7", [&] { return c.reg; });
    EXPECT_EQ(s.port, "Active COM1:9600, 8,n,1");
    EXPECT_EQ(s.task, c.panel1);
    EXPECT_EQ(s.ownerDrawn, c.ownerDrawn);
    EXPECT_EQ(s.state, c.panel2);
  }
}

}  // namespace
}  // namespace tessel::testing
