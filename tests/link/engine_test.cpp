// The link engine over a scripted port: connect sequence, line assembly,
// reading the local radio, sending the queue, tasks and failure dialogs.
#include <gtest/gtest.h>

#include "link/dump_line.h"
#include "link/port_settings.h"
#include "link_fixture.h"

namespace tessel::testing {
namespace {

using Lines = std::vector<std::string>;

void storePort(MemorySettingsStore& s, int autoConfig) {
  s.strings["ComPort"] = "1";
  s.strings["Baud rate"] = "19200";
  s.integers["Data Bits"] = 8;
  s.integers["Stop Bits"] = 1;
  s.strings["Parity"] = "None";
  s.integers["autoConfig"] = autoConfig;
  s.setExists(true);
}

// A model-0 radio's answers to a whole read.
std::map<std::string, Lines> model0Radio() {
  std::map<std::string, Lines> s;
  s["AT"] = {"OK"};
  s["+++"] = {"OK"};
  s["ATI"] = {"V2.0"};
  Lines page = emulatedPage1("1");
  page.push_back("OK");
  s["ATI1"] = page;
  s["ATI2"] = {"OK"};
  s["ATI3"] = {"OK"};
  for (int r : {100, 101, 102, 110, 111, 112, 113, 114})
    s["ATS" + std::to_string(r) + "?"] = {r == 111 ? "12:30" : std::to_string(r - 99), "OK"};
  s["ATH"] = {"OK"};
  return s;
}

TEST_F(LinkTest, NoRadioConnectSequenceEndsInUnableToContact) {
  for (PromptButton outcome : {pbAbort, pbRetry}) {
    SCOPED_TRACE(outcome == pbAbort ? "Abort" : "Retry");
    settings = MemorySettingsStore();  // not what the last engine saved
    storePort(settings, 16);
    serial.clearWrites();
    prompts.shown.clear();
    callbacks.queries.clear();
    make();
    long start = timer.nowMs();
    engine->StartTask(tkGetLocal, "Get Local", {{1, 0}});
    ASSERT_TRUE(timer.fire());
    ASSERT_TRUE(timer.fire());
    ASSERT_EQ(serial.writes.size(), 3u);
    EXPECT_TRUE(prompts.shown.empty());
    prompts.answers = {outcome};
    ASSERT_TRUE(timer.fire());

    const auto& w = serial.writes;
    EXPECT_EQ(w[0].bytes, "AT\r");
    EXPECT_EQ(w[0].timeMs, start);
    EXPECT_EQ(w[1].bytes, "+++\r");
    EXPECT_EQ(w[1].timeMs, start + 2500);
    EXPECT_EQ(w[2].bytes, "+++\r");
    EXPECT_EQ(w[2].timeMs, start + 5000);
    for (int i : {0, 1}) EXPECT_EQ(w[i].baud, 19200);
    EXPECT_EQ(w[2].baud, 9600);
    for (const auto& x : w) {
      EXPECT_EQ(x.parity, paNone);
      EXPECT_EQ(x.dataBits, d8bit);
      EXPECT_EQ(x.stopBits, st1bit);
    }
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Unable to Contact Radio, check power and cables");
    EXPECT_EQ(prompts.shown[0].icon, PromptIcon::Error);
    EXPECT_EQ(prompts.shown[0].buttons, pbAbort | pbRetry);
    EXPECT_EQ(timer.nowMs() - start, 7500);
    if (outcome == pbAbort) {
      EXPECT_EQ(engine->state(), psIdle);
      EXPECT_EQ(engine->task(), tkLocalOnly);
      EXPECT_EQ(engine->CurrentList(), nullptr);
      ASSERT_EQ(callbacks.of(qcCancel).size(), 1u);
      EXPECT_EQ(callbacks.of(qcCancel)[0].radio, 1);
    } else {
      EXPECT_EQ(engine->state(), psConfig16at);
      ASSERT_TRUE(timer.fire());
      EXPECT_EQ(serial.lines().back(), "AT");
    }
    engine.reset();
  }
}

TEST_F(LinkTest, LineAssemblyWaitsForBothLineEnds) {
  make();
  struct Case {
    const char* name;
    std::string bytes;
    Lines lines;
  } cases[] = {
      {"leading blank line", "\r\nOK\r\n", {" > OK"}},
      {"CR alone waits", "OK\r", {}},
      {"then the LF", "\n", {" > OK"}},
      {"lone LF before a line", "\nOK\r\n", {" > OK"}},
      {"LF CR", "OK\n\r", {" > OK"}},
      {"blank lines only", "\r\n\r\n\r\r\n\n\r", {}},
      {"extra CR", "OK\r\r\n", {" > OK"}},
      {"two lines in one batch", "V2.0\r\nOK\r\n", {" > V2.0", " > OK"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    terminal.setVisible(false);
    terminal.setVisible(true);
    int ticks = engine->tickCount();
    serial.receive(c.bytes);
    Lines got;
    for (const auto& l : terminal.lines()) got.push_back(l.substr(12));
    EXPECT_EQ(got, c.lines);
    EXPECT_EQ(engine->tickCount() - ticks, static_cast<int>(c.lines.size()));
    terminal.setVisible(false);
  }
  EXPECT_TRUE(engine->receiveBuffer().empty());
}

TEST_F(LinkTest, ReceiveBufferStaysBoundedWithoutLineEnds) {
  make();
  serial.receive(std::string(5000, 'A') + "BC");
  EXPECT_EQ(engine->receiveBuffer().size(), TcomPort::kRxBufferLimit);
  EXPECT_EQ(engine->receiveBuffer().substr(TcomPort::kRxBufferLimit - 3), "ABC");
  serial.receive("\r\n");
  EXPECT_TRUE(engine->receiveBuffer().empty());
}

TEST_F(LinkTest, GetLocalOfModel0RadioReadsPagesAndHighRegisters) {
  make();
  answer(model0Radio());
  std::map<std::string, std::string> panel2;  // status panel 2 as each line went out
  serial.responder = [this, &panel2, radio = serial.responder](const std::string& line) {
    panel2[line] = status.panelText(2);
    radio(line);
  };
  engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
  serial.pump();

  EXPECT_EQ(serial.lines(),
            (Lines{"AT", "ATH", "+++", "ATI", "ATI1", "ATI2", "ATI3", "ATS100?", "ATS101?",
                   "ATS102?", "ATS110?", "ATS111?", "ATS112?", "ATS113?", "ATS114?", "ATH"}));
  const auto& a = callbacks.applies;
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(a.front(), (RecordingCallbacks::Apply{-1, 1, "V2.0"}));
  auto has = [&](RecordingCallbacks::Apply x) {
    return std::find(a.begin(), a.end(), x) != a.end();
  };
  EXPECT_TRUE(has({1, 1, "1"}));
  EXPECT_TRUE(has({3, -1, "MSTR"}));
  EXPECT_TRUE(has({10, -1, "-151"}));
  EXPECT_TRUE(has({15, 12000, "12000"}));
  EXPECT_TRUE(has({30, 9027, "9027"}));
  EXPECT_TRUE(has({100, 1, "1"}));
  EXPECT_TRUE(has({111, 0, "12:30"}));
  EXPECT_TRUE(has({114, 15, "15"}));
  // Registers outside the map never pass for the identification line.
  EXPECT_EQ(std::count_if(a.begin(), a.end(), [](const auto& x) { return x.param == -1; }), 1);
  EXPECT_EQ(callbacks.count(qcMarkLocal), 1);
  ASSERT_EQ(callbacks.of(qcTaskDone).size(), 1u);
  EXPECT_EQ(callbacks.of(qcTaskDone)[0].radio, 0);
  EXPECT_EQ(engine->state(), psIdle);
  EXPECT_EQ(engine->task(), tkLocalOnly);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(panel2["AT"], "Poll");
  EXPECT_EQ(panel2["ATS100?"], "Getting S 100");
  EXPECT_EQ(panel2["ATS114?"], "Getting S 114");
  EXPECT_EQ(status.panelText(2), "Idle");
}

// A radio whose "OK" comes in a batch of its own after a value, and which
// leaves command mode on "ATH", as real ones do. A send started the moment
// a read ends must not take the late answers of the read for its own: the
// read's last "OK" for the hang-up's, the hang-up's for the connect's "AT".
TEST_F(LinkTest, LateAnswersOfAReadAreNotTakenByTheSendThatFollows) {
  make();
  callbacks.local = {0};
  const auto radio = model0Radio();
  bool commandMode = true;
  serial.responder = [&](const std::string& line) {
    if (line == "+++") commandMode = true;
    if (!commandMode) return;  // data mode: the line is the user's data
    if (line == "ATH") commandMode = false;
    auto it = radio.find(line);
    if (line.rfind("ATs", 0) == 0 || line == "AT&W") it = radio.find("AT");
    if (it == radio.end()) return;
    for (const auto& l : it->second) serial.queueReply(l + "\r\n");
  };
  engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
  serial.pump(1);  // "AT" answered: the hang-up and escape of the connect follow
  while (engine->task() == tkGetLocal && serial.pump(1) > 0) {
  }
  ASSERT_EQ(engine->task(), tkLocalOnly);
  // The read asked S114, took "15", and ended only on the "OK" after it.
  const Lines read = serial.lines();
  ASSERT_GE(read.size(), 2u);
  EXPECT_EQ(read[read.size() - 2], "ATS114?");
  EXPECT_EQ(read.back(), "ATH");
  EXPECT_TRUE(serial.hasPending()) << "the hang-up's answer is still on its way";

  serial.clearWrites();
  ASSERT_EQ(engine->StartSend("Set Radio", {{0, 1}}, {"ATs2=7", "AT&W", "AT&R"}),
            LinkTasks::SendStart::Started);
  EXPECT_TRUE(serial.writes.empty()) << "the connect waits for the hang-up's answer";
  serial.pump();
  // "AT" goes unanswered (the radio hung up); the escape brings it back.
  for (int i = 0; i < 6 && engine->queue().Count() > 0; ++i) {
    timer.fire();
    serial.pump();
  }
  EXPECT_EQ(serial.lines(), (Lines{"AT", "+++", "ATs2=7", "AT&W", "AT&R"}));
  EXPECT_EQ(engine->queue().Count(), 0);
}

// A register whose answer is slow is asked again on the tick, and then both
// answers come. The read goes on at once after an answer, so the second
// must not be taken for the register asked next.
TEST_F(LinkTest, ARegisterAnsweredTwiceDoesNotShiftTheNextOnes) {
  make();
  answer(model0Radio());
  int asked = 0;
  serial.responder = [&, radio = serial.responder](const std::string& line) {
    if (line != "ATS100?") return radio(line);
    // The first ask's answer is late: it comes with the second's.
    if (++asked == 2) {
      radio(line);
      radio(line);
    }
  };
  engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
  serial.pump();
  ASSERT_EQ(serial.lines().back(), "ATS100?");
  for (int i = 0; i < 6 && engine->task() == tkGetLocal; ++i) {
    timer.fire();
    serial.pump();
  }
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(engine->task(), tkLocalOnly);
  const auto& a = callbacks.applies;
  auto count = [&](RecordingCallbacks::Apply x) { return std::count(a.begin(), a.end(), x); };
  EXPECT_EQ(count({100, 1, "1"}), 1);
  EXPECT_EQ(count({101, 2, "2"}), 1);
  EXPECT_EQ(count({102, 3, "3"}), 1);
  EXPECT_EQ(count({101, 1, "1"}), 0) << "the second answer went to S101";
}

TEST_F(LinkTest, GetLocalOfModel2RadioStopsAfterPagesWithAtd) {
  make();
  auto radio = model0Radio();
  radio["ATI"] = {"1.14"};
  answer(radio);
  engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
  serial.pump();
  EXPECT_EQ(serial.lines(), (Lines{"AT", "ATH", "+++", "ATI", "ATI1", "ATI2", "ATI3", "ATD"}));
  EXPECT_EQ(callbacks.applies.front(), (RecordingCallbacks::Apply{-1, 2, "1.14"}));
  EXPECT_EQ(callbacks.count(qcTaskDone), 1);
}

TEST_F(LinkTest, Model1RadioEndsTheReadOnErrorToS100) {
  make();
  auto radio = model0Radio();
  radio["ATS100?"] = {"ERROR"};
  answer(radio);
  engine->StartTask(tkGetLocal, "Get Local", {{3, 0}});
  serial.pump();
  EXPECT_EQ(serial.lines(),
            (Lines{"AT", "ATH", "+++", "ATI", "ATI1", "ATI2", "ATI3", "ATS100?", "ATH"}));
  auto setRead = callbacks.of(qcSetRead);
  ASSERT_EQ(setRead.size(), 1u);
  EXPECT_EQ(setRead[0].radio, 3);
  EXPECT_TRUE(setRead[0].argument);
  EXPECT_EQ(callbacks.count(qcTaskDone), 1);
  EXPECT_EQ(engine->state(), psIdle);
}

// A model E refusing one of its own registers is no model 1: the read
// goes on to the last register and ends as any read does.
TEST_F(LinkTest, GetLocalGoesOnPastARefusedRegister) {
  make();
  auto radio = model0Radio();
  radio["ATS102?"] = {"ERROR"};
  answer(radio);
  engine->StartTask(tkGetLocal, "Get Local", {{3, 0}});
  serial.pump();
  EXPECT_EQ(serial.lines(),
            (Lines{"AT", "ATH", "+++", "ATI", "ATI1", "ATI2", "ATI3", "ATS100?", "ATS101?",
                   "ATS102?", "ATS110?", "ATS111?", "ATS112?", "ATS113?", "ATS114?", "ATH"}));
  EXPECT_EQ(callbacks.refused, std::vector<int>{102});
  EXPECT_EQ(callbacks.count(qcSetRead), 0) << "not marked as a model 1";
  EXPECT_EQ(callbacks.count(qcTaskDone), 1);
  EXPECT_EQ(engine->state(), psIdle);
}

TEST_F(LinkTest, SilentOrFailingIdentificationDoesNotHang) {
  make();
  answer({{"AT", {"OK"}}});  // the radio never answers "ATI"
  engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
  serial.pump();
  for (int i = 0; i < 3; ++i) timer.fire();
  EXPECT_EQ(engine->state(), psError);
  timer.fire();
  EXPECT_EQ(promptTexts(), Lines{"Unable to Contact Radio, check power and cables"});

  // Silence in the middle of the single register reads is the same loss.
  prompts.shown.clear();
  auto stops = model0Radio();
  stops.erase("ATS101?");
  answer(stops);
  engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
  serial.pump();
  // The "OK" after the last value is no answer to the next question: three
  // tries more, then the engine gives up.
  for (int i = 0; i < 4; ++i) timer.fire();
  EXPECT_TRUE(prompts.shown.empty());
  timer.fire();
  EXPECT_EQ(serial.lines().back(), "ATS101?");
  EXPECT_EQ(promptTexts(), Lines{"Unable to Contact Radio, check power and cables"});

  // An ERROR to a page ends the read: command mode left, task reported done.
  serial.clearWrites();
  callbacks.queries.clear();
  auto radio = model0Radio();
  radio["ATI2"] = {"ERROR"};
  answer(radio);
  engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
  serial.pump();
  EXPECT_EQ(serial.lines(), (Lines{"AT", "ATH", "+++", "ATI", "ATI1", "ATI2", "ATH"}));
  EXPECT_EQ(callbacks.count(qcTaskDone), 1);
  EXPECT_EQ(engine->state(), psIdle);
}

// Only the reply a question waits for answers it: a radio that answers a
// register query with a bare "OK", or with a value the 7-bit filter left
// empty, runs out of tries as a silent one does.
// An "OK" with no value before it answers nothing asked (it may be the late
// "OK" of a query given up): the query runs out of tries. A blank line
// before the "OK" is the radio's empty value: the read takes it and goes on.
TEST_F(LinkTest, RegisterQueryWithoutAValueRunsOutOfTriesUnlessItWasBlank) {
  struct Case {
    Lines reply;
    long asked;
    bool completes;
  } cases[] = {{{"OK"}, 4, false}, {{"OK", "OK"}, 4, false}, {{"", "OK"}, 1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply.size() + (c.completes ? 10 : 0));
    engine.reset();
    prompts.shown.clear();
    serial.clearWrites();
    callbacks.applies.clear();
    make();
    auto radio = model0Radio();
    radio["ATS100?"] = c.reply;
    answer(radio);
    engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
    serial.pump();
    for (int i = 0; i < 12; ++i) {
      timer.fire();
      serial.pump();
    }
    Lines sent = serial.lines();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "ATS100?"), c.asked);
    EXPECT_EQ(promptTexts().empty(), c.completes) << promptTexts().front();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "ATS114?"), c.completes ? 1 : 0);
    EXPECT_EQ(engine->state(), psIdle);
    const auto& a = callbacks.applies;
    EXPECT_EQ(std::find(a.begin(), a.end(), RecordingCallbacks::Apply{100, 0, ""}) != a.end(),
              c.completes);
  }
}

TEST_F(LinkTest, SendQueueToLocalRadioReleasesEachLineOnOk) {
  make();
  callbacks.local = {1};
  answer({{"AT", {"OK"}}, {"ATs1=12s0=1", {"OK"}}, {"AT&W", {"OK"}}});
  engine->Send(false, 0, "ATs1=12s0=1\r");
  engine->Send(false, 0, "AT&W\r");
  engine->Send(false, 0, "AT&R\r");
  EXPECT_TRUE(serial.writes.empty());
  engine->StartTask(tkSendValues, "Set Radio", {{1, 1}});
  serial.pump();
  ASSERT_EQ(serial.writes.size(), 4u);
  EXPECT_EQ(serial.writes[1].bytes, "ATs1=12s0=1\r\r");
  EXPECT_EQ(serial.writes[2].bytes, "AT&W\r\r");
  EXPECT_EQ(serial.writes[3].bytes, "AT&R\r\r");
  for (const auto& w : serial.writes) EXPECT_EQ(w.timeMs, 0) << "no tick waited for";
  EXPECT_EQ(engine->queue().Count(), 0);
  EXPECT_EQ(status.panel2OwnerDrawn(), true);

  // The radio's banner after the reset is no answer to anything.
  serial.receive("Vireo ready\r\n");
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(engine->state(), psSendQueue);
  timer.fire();
  EXPECT_EQ(promptTexts(), Lines{"Set Radio complete, radio reset"});
  EXPECT_EQ(prompts.shown[0].icon, PromptIcon::Information);
  EXPECT_EQ(engine->state(), psIdle);
}

// Counts the sends that ended done.
struct TaskRecorder : LinkObserver {
  void taskEnded(TaskCode task, const Outcome& outcome) override {
    if (task == tkSendValues && outcome.done()) ++completed;
  }
  int completed = 0;
};

// A message built from a task's caption shows no mnemonic mark; a run of
// sends that reports them itself gets no box per send, only their end.
TEST_F(LinkTest, ResetCompleteShowsTheCaptionWithoutItsAmpersand) {
  make();
  callbacks.local = {1};
  answer({{"AT", {"OK"}}, {"AT&R", {"OK"}}});
  engine->Send(false, 0, "AT&R\r");
  engine->StartTask(tkSendValues, "&Reset", {{1, 1}});
  serial.pump();
  timer.fire();
  EXPECT_EQ(promptTexts(), Lines{"Reset complete, radio reset"});
}

TEST_F(LinkTest, QuietSendsEndWithoutTheirBox) {
  make();
  engine->setQuietSends(true);
  callbacks.local = {1};
  answer({{"AT", {"OK"}}, {"AT&R", {"OK"}}});
  TaskRecorder ended;
  engine->addObserver(&ended);
  engine->Send(false, 0, "AT&R\r");
  engine->StartTask(tkSendValues, "&Reset", {{1, 1}});
  serial.pump();
  timer.fire();
  EXPECT_TRUE(promptTexts().empty());
  EXPECT_EQ(ended.completed, 1);
  EXPECT_EQ(engine->state(), psIdle);
  engine->removeObserver(&ended);
}

TEST_F(LinkTest, GetLocalDuringASendLeavesTheSendAlone) {
  make();
  answer({{"AT", {"OK"}}, {"ATs2=7", {"OK"}}, {"ATs4=N", {"OK"}}});
  engine->Send(false, 0, "ATs2=7\r");
  engine->Send(false, 0, "ATs4=N\r");
  engine->StartTask(tkSendValues, "Set Radio", {{4, 1}});
  serial.pump();  // a remote radio: the second line waits for the tick
  ASSERT_EQ(engine->queue().Count(), 1);
  serial.clearWrites();
  engine->StartTask(tkGetLocal, "&Get Local Radio Parameters", {{0, 0}});
  EXPECT_TRUE(serial.writes.empty());
  EXPECT_EQ(engine->task(), tkSendValues);
  EXPECT_EQ(engine->taskText(), "Set Radio");
  timer.fire();
  serial.pump();
  timer.fire();
  EXPECT_EQ(serial.lines(), Lines{"ATs4=N\r"});
  EXPECT_EQ(promptTexts(), Lines{"Set Radio complete, radio reset"});
  EXPECT_TRUE(callbacks.of(qcTaskDone).empty());
}

// A send to a remote radio dials it with its first line: cancelled halfway,
// the link is hung up; completed, the radio's reset has ended it.
TEST_F(LinkTest, CancelledSendToARemoteRadioHangsUp) {
  make();
  answer({{"AT", {"OK"}}, {"ATD5", {"OK"}}, {"AT&W", {"OK"}}});
  engine->Send(false, 0, "ATD5\r");
  engine->Send(false, 0, "ATS1=2\r");
  engine->StartTask(tkSendValues, "Set Radio", {{5, 1}});
  serial.pump();
  ASSERT_EQ(serial.lines().back(), "ATD5\r");
  EXPECT_TRUE(engine->linkDialled());
  engine->StartTask(tkLocalOnly, "", {});
  EXPECT_EQ(serial.lines().back(), "ATH");
  EXPECT_EQ(engine->queue().Count(), 0);  // the stopped send's "ATS1=2" is dropped

  serial.clearWrites();
  engine->Send(false, 0, "ATD5\r");
  engine->Send(false, 0, "AT&W\r");
  engine->Send(false, 0, "AT&R\r");
  engine->StartTask(tkSendValues, "Set Radio", {{5, 1}});
  serial.pump();
  for (int i = 0; i < 4 && engine->queue().Count() > 0; ++i) {
    timer.fire();
    serial.pump();
  }
  EXPECT_EQ(serial.lines().back(), "AT&R\r");
  EXPECT_FALSE(engine->linkDialled());
  timer.fire();
  serial.clearWrites();
  engine->StartTask(tkLocalOnly, "", {});
  EXPECT_TRUE(serial.lines().empty());
}

// A read that gave up leaves nothing of its link clearing behind: the
// search that follows identifies the radio it finds straight away.
TEST_F(LinkTest, SearchAfterAFailedReadIdentifiesAtOnce) {
  make();
  engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
  prompts.answers = {pbAbort};
  for (int i = 0; i < 4 && prompts.shown.empty(); ++i) timer.fire();
  ASSERT_EQ(promptTexts(), Lines{"Unable to Contact Radio, check power and cables"});
  ASSERT_EQ(engine->state(), psIdle);
  answer(model0Radio());
  serial.clearWrites();
  engine->StartTask(tkAutoConfigure, "Auto Configure", {{0, 0}});
  serial.pump();
  Lines sent = serial.lines();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(Lines(sent.begin(), sent.begin() + 2), (Lines{"AT", "ATI"}));
}

TEST_F(LinkTest, NonOkReplyAbortsTheSend) {
  struct Case {
    std::string line, reply, message;
  } cases[] = {
      {"ATs100=1\r", "IGNORED",
       "ERROR from radio on sending ATs100=1\r" + std::string("  Check Radio Model")},
      {"ATs3=S\r", "what?", "ERROR from radio on sending ATs3=S\r"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    settings = MemorySettingsStore();
    make();
    prompts.shown.clear();
    answer({{"AT", {"OK"}}, {c.line.substr(0, c.line.size() - 1), {c.reply}}});
    engine->Send(false, 0, c.line);
    engine->Send(false, 0, "AT&W\r");
    engine->StartTask(tkSendValues, "Set Radio", {{4, 1}});
    serial.pump();
    EXPECT_EQ(promptTexts(), Lines{c.message});
    EXPECT_EQ(engine->queue().Count(), 0);
    EXPECT_EQ(engine->state(), psIdle);
    engine.reset();
  }
}

TEST_F(LinkTest, UnansweredLinesGiveTooManyErrors) {
  make();
  answer({{"AT", {"OK"}}});
  engine->Send(false, 0, "ATs2=7\r");
  engine->StartTask(tkSendValues, "Set Radio", {{4, 1}});
  serial.pump();
  for (int i = 0; i < 3; ++i) timer.fire();
  EXPECT_EQ(serial.lines().size(), 5u);  // "AT" and four tries
  EXPECT_TRUE(prompts.shown.empty());
  prompts.answers = {pbRetry};
  timer.fire();
  EXPECT_EQ(promptTexts(),
            Lines{"Too many errors in sending to radio, try increasing poll interval"});
  EXPECT_EQ(engine->tryCount(), 0);
  timer.fire();
  EXPECT_EQ(serial.lines().size(), 6u);  // sent again after Retry
  for (int i = 0; i < 4; ++i) timer.fire();
  EXPECT_EQ(prompts.shown.size(), 2u);  // Abort this time
  EXPECT_EQ(engine->queue().Count(), 0);
  EXPECT_EQ(engine->state(), psIdle);
  timer.fire();
  EXPECT_EQ(prompts.shown.size(), 2u) << "no completion message after Abort";
}

TEST_F(LinkTest, PromptOutcomeIsDroppedWhenRepliesMovedTheEngineOn) {
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
  for (int i = 0; i < 3; ++i) timer.fire();
  ASSERT_TRUE(prompts.shown.empty());
  // While the box is open the radio answers after all: the send completes.
  bool once = true;
  prompts.whileOpen = [&] {
    if (!once) return;
    once = false;
    serial.receive("OK\r\n");
  };
  serial.responder = nullptr;
  prompts.answers = {pbAbort};
  timer.fire();
  EXPECT_EQ(promptTexts(),
            (Lines{"Too many errors in sending to radio, try increasing poll interval",
                   "Set Radio complete, radio reset"}));
  EXPECT_EQ(callbacks.count(qcRenumbered), 1);
  EXPECT_EQ(engine->task(), tkMonitor);
  EXPECT_EQ(engine->state(), psConfigManual);
}

TEST_F(LinkTest, TaskEntryRules) {
  make(false);
  engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
  EXPECT_TRUE(serial.writes.empty()) << "port closed: ignored";
  EXPECT_EQ(engine->task(), tkLocalOnly);

  serial.setActive(true);
  engine->StartTask(tkMonitor, "Monitor", {{1, 0}, {2, 0}});
  const TradioNumber* monitored = engine->CurrentList();
  ASSERT_NE(monitored, nullptr);
  EXPECT_EQ(engine->MonitorList(), monitored);
  engine->StartTask(tkGetRemote, "Get Radio", {{2, 0}});
  EXPECT_EQ(engine->CurrentList(), monitored) << "ignored while monitoring";
  EXPECT_EQ(engine->task(), tkMonitor);

  // A send while monitoring runs, then monitoring resumes.
  answer({{"AT", {"OK"}}, {"ATs2=7", {"OK"}}});
  engine->Send(false, 0, "ATs2=7\r");
  engine->StartTask(tkSendValues, "Set Radio", {{2, 0}});
  serial.pump();
  // The monitor's "AT" went unanswered (no radio answered yet) and is owed
  // ahead of the send's: the answer that comes is taken as its, and the
  // send's connect goes on with the escape a tick later.
  timer.fire();
  serial.pump();
  EXPECT_NE(engine->CurrentList(), monitored);
  timer.fire();
  EXPECT_EQ(engine->task(), tkMonitor);
  EXPECT_EQ(engine->state(), psConfigManual);
  EXPECT_EQ(engine->CurrentList(), engine->MonitorList());
  EXPECT_EQ(callbacks.count(qcRenumbered), 1);

  // A new poll list changes nothing else.
  PortState before = engine->state();
  engine->StartTask(tkUpdatePollList, "update PollList", {{7, 1}});
  EXPECT_EQ(engine->CurrentList()->CurrentNumber(), 7);
  EXPECT_EQ(engine->state(), before);
  engine->StartTask(tkLocalOnly, "", {});
  EXPECT_EQ(engine->CurrentList(), nullptr);
  EXPECT_EQ(engine->MonitorList(), nullptr);
  EXPECT_EQ(status.panelText(1), "Local Only");
}

// A device that goes away in the middle of a read is named in the box, with
// the reason the serial link gave; Abort ends the read, cancelled, once.
TEST_F(LinkTest, DeviceGoneMidReadIsNamedWithItsReason) {
  struct Ends : LinkObserver {
    void taskEnded(TaskCode task, const Outcome& outcome) override {
      ends.push_back({task, outcome.ending, outcome.message});
    }
    struct End {
      TaskCode task;
      TaskEnd outcome;
      std::string message;
    };
    std::vector<End> ends;
  } ends;
  make();
  engine->addObserver(&ends);
  answer({{"AT", {"OK"}}});
  engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
  serial.pump();
  serial.lineLost = "/dev/ttyUSB0: Input/output error";
  serial.unavailable = {1};
  serial.setActive(false);
  prompts.answers = {pbAbort};
  for (int i = 0; i < 4; ++i) timer.fire();
  EXPECT_EQ(promptTexts(), Lines{"The device went away (/dev/ttyUSB0: Input/output error). "
                                 "Unable to activate COM port, is it available?"});
  EXPECT_EQ(engine->task(), tkLocalOnly);
  ASSERT_EQ(ends.ends.size(), 1u);
  EXPECT_EQ(ends.ends[0].task, tkGetLocal);
  EXPECT_EQ(ends.ends[0].outcome, TaskEnd::Cancelled);
  EXPECT_EQ(ends.ends[0].message, promptTexts()[0]);
  engine->removeObserver(&ends);
}

TEST_F(LinkTest, SendFraming) {
  make();
  EXPECT_TRUE(engine->Send(true, 0, "AT&R"));
  EXPECT_FALSE(engine->Send(true, 2, "ATI"));
  EXPECT_EQ(engine->tryCount(), 3);
  std::string longLine(300, 'x');
  engine->Send(true, 0, longLine);
  EXPECT_EQ(serial.writes.back().bytes, longLine + "\r");
  EXPECT_EQ(engine->LastSent(), longLine.substr(0, 255));
  size_t writes = serial.writes.size();
  EXPECT_FALSE(engine->Send(true, 0, "go &&& now"));
  EXPECT_EQ(serial.writes.size(), writes);
  EXPECT_EQ(engine->queue().Count(), 0);
  EXPECT_EQ(engine->state(), psEmulate);
  EXPECT_EQ(status.panelText(2), "Emulating group");
}

TEST_F(LinkTest, UnopenablePortAsksAbortOrRetry) {
  make(false);
  serial.unavailable = {1};
  // No search can start on a closed port, so the button does not offer to
  // cancel one.
  engine->autoConfigureClick();
  EXPECT_EQ(view.autoConfigureCaption(), "&Auto Configure");
  EXPECT_TRUE(view.isEnabled(cpPortNumber));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(timer.fire());
  EXPECT_TRUE(prompts.shown.empty());
  prompts.answers = {pbAbort};
  timer.fire();
  EXPECT_EQ(promptTexts(), Lines{"Unable to activate COM port, is it available?"});
  EXPECT_FALSE(timer.isActive());
  EXPECT_EQ(status.panelText(0).rfind("Inactive COM", 0), 0u);
}

}  // namespace
}  // namespace tessel::testing

namespace tessel::testing {
namespace {

// How a send ends, as one value: what happened, the radio, the line it
// refused, the words, and whether the engine's own box said them.
TEST_F(LinkTest, ASendEndsWithWhatHappenedTheRadioAndTheLineRefused) {
  struct Case {
    const char* name;
    std::map<std::string, std::vector<std::string>> replies;
    std::vector<std::string> lines;
    int radio;
    bool quiet;
    Outcome expected;
  } cases[] = {
      {"done",
       {{"AT", {"OK"}}, {"ATs2=7", {"OK"}}},
       {"ATs2=7\r", "AT&R\r"},
       1,
       false,
       Outcome{TaskEnd::Done, "Set Radio complete, radio reset", 1, "", true}},
      {"refused",
       {{"AT", {"OK"}}, {"ATs2=7", {"ERROR"}}},
       {"ATs2=7\r", "AT&R\r"},
       1,
       false,
       Outcome{TaskEnd::Refused, "ERROR from radio on sending ATs2=7\r", 1, "ATs2=7", true}},
      {"refused, the run tells",
       {{"AT", {"OK"}}, {"ATs2=7", {"ERROR"}}},
       {"ATs2=7\r"},
       1,
       true,
       Outcome{TaskEnd::Refused, "ERROR from radio on sending ATs2=7\r", 1, "ATs2=7", false}},
      {"link lost",
       {{"AT", {"OK"}}, {"ATD5", {"OK"}}, {"ATS1=2", {"NO CARRIER"}}},
       {"ATD5\r", "ATS1=2\r", "AT&W\r"},
       5,
       false,
       Outcome{TaskEnd::LinkLost, "", 5, "", true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    struct Ends : LinkObserver {
      void taskEnded(TaskCode, const Outcome& outcome) override { ends.push_back(outcome); }
      std::vector<Outcome> ends;
    } ends;
    make();
    callbacks.local = {1};
    engine->setQuietSends(c.quiet);
    engine->setPollInterval(0);
    engine->addObserver(&ends);
    answer(c.replies);
    for (const std::string& line : c.lines) engine->Send(false, 0, line);
    engine->StartTask(tkSendValues, "Set Radio", {{c.radio, 1}});
    for (int i = 0; i < 6 && ends.ends.empty(); ++i) {
      serial.pump();
      timer.fire();
    }
    ASSERT_EQ(ends.ends.size(), 1u);
    const Outcome& got = ends.ends[0];
    EXPECT_EQ(endingName(got.ending), std::string(endingName(c.expected.ending)));
    EXPECT_EQ(got.radio, c.expected.radio);
    EXPECT_EQ(got.refusedLine, c.expected.refusedLine);
    if (!c.expected.message.empty()) EXPECT_EQ(got.message, c.expected.message);
    EXPECT_FALSE(got.message.empty());
    EXPECT_EQ(got.shown, c.expected.shown);
    // What the end says, the box says: one text.
    if (got.shown) EXPECT_EQ(promptTexts(), Lines{got.message});
    engine->removeObserver(&ends);
    engine.reset();
    prompts.shown.clear();
    serial.clearWrites();
  }
}

}  // namespace
}  // namespace tessel::testing
