// Reading radios one register at a time, the online monitor cycle and the
// group emulator.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "link/dump_line.h"
#include "link_fixture.h"
#include "model/catalogue.h"

namespace tessel::testing {
namespace {

using Lines = std::vector<std::string>;

// A group behind the local radio: "ATD<n>" reaches radio n when it exists;
// registers answer a value derived from the radio and the register.
class Group {
 public:
  Group(FakeSerialLink& serial, int local) : serial_(serial), local_(local), dialled_(local) {}
  void setLocal(int radio) { local_ = dialled_ = radio; }
  // A link an earlier run dialled and never hung up.
  void leaveDialled(int radio) { dialled_ = radio; }

  std::set<int> radios;
  std::set<int> silent;                  // radios that never answer a dial
  std::set<int> model1;                  // radios without the registers from S100 on
  std::set<int> model2;                  // "1.14" radios: no S16, S17 nor S100 on
  std::map<std::string, Lines> extra;    // fixed answers that win
  std::map<int, std::set<int>> refuses;  // radio -> registers it answers "ERROR"
  bool hangUpLeavesCommandMode = false;  // as a radio does after "ATH"
  bool okApart = false;                  // a value's "OK" arrives as a read of its own

  void install() {
    serial_.responder = [this](const std::string& line) { answer(line); };
  }

  static std::string value(int radio, int reg) { return std::to_string(reg * 10 + radio); }

 private:
  void reply(const Lines& lines) {
    std::string bytes;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (okApart && i > 0 && i + 1 == lines.size() && lines[i] == "OK") {
        serial_.queueReply(bytes);
        bytes.clear();
      }
      bytes += lines[i] + "\r\n";
    }
    serial_.queueReply(bytes);
  }
  void answer(const std::string& line) {
    if (online_) {
      // Back on line the radio hears only the escape.
      if (line != "+++") return;
      online_ = false;
      return reply({"OK"});
    }
    auto fixed = extra.find(line);
    if (fixed != extra.end()) return reply(fixed->second);
    if (line == "AT" || line == "+++" || line == "ATI2" || line == "ATI3") return reply({"OK"});
    if (line == "ATH") {
      dialled_ = local_;
      online_ = hangUpLeavesCommandMode;
      return reply({"OK"});
    }
    if (line == "ATI") return reply({model2.count(dialled_) ? "1.14" : "V2.0"});
    if (line == "ATD") {
      // A model 2 leaves command mode on a bare dial.
      online_ = true;
      dialled_ = local_;
      return reply({"OK"});
    }
    if (line == "ATI1") {
      Lines page = emulatedPage1(std::to_string(dialled_));
      page.push_back("OK");
      return reply(page);
    }
    if (line.rfind("ATD", 0) == 0) {
      int radio = std::stoi(line.substr(3));
      if (silent.count(radio)) return;
      if (!radios.count(radio)) return reply({"ERROR"});
      dialled_ = radio;
      return reply({"OK"});
    }
    if (line.rfind("ATS", 0) == 0 && line.back() == '?') {
      int reg = std::stoi(line.substr(3));
      if (refuses[dialled_].count(reg)) return reply({"ERROR"});
      if (reg > 99 && model1.count(dialled_)) return reply({"ERROR"});
      if ((reg == 16 || reg == 17 || reg > 99) && model2.count(dialled_)) return reply({"ERROR"});
      return reply({value(dialled_, reg), "OK"});
    }
  }

  FakeSerialLink& serial_;
  int local_;
  int dialled_;
  bool online_ = false;
};

class MonitorTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    make();
    engine->setPollInterval(1500);
    callbacks.local = {1};
    callbacks.master = {1};
    group.radios = {1, 2, 3};
    group.install();
  }
  void start(TpollArray list = {{1, 0}, {2, 0}, {3, 0}}) {
    engine->StartTask(tkMonitor, "Monitor", list);
    serial.pump();
  }
  // Runs ticks (each followed by the replies it caused) until the written
  // lines include want, at most limit ticks.
  bool runUntilSent(const std::string& want, int limit = 80) {
    for (int i = 0; i < limit; ++i) {
      Lines l = serial.lines();
      if (std::find(l.begin(), l.end(), want) != l.end()) return true;
      if (!timer.fire()) return false;
      serial.pump();
    }
    return false;
  }
  // Ticks until asked() counts one query, then one more tick asks it again
  // before its answer came; the answers stay queued.
  void askTwiceUnanswered(const std::function<long()>& asked) {
    for (int i = 0; i < 40 && asked() == 0; ++i) {
      ASSERT_TRUE(timer.fire());
      if (asked() == 0) serial.pump();
    }
    ASSERT_EQ(asked(), 1);
    ASSERT_TRUE(timer.fire());  // no answer yet: asked again
    ASSERT_EQ(asked(), 2);
  }
  Lines sentAfter(const std::string& marker) {
    Lines l = serial.lines();
    auto it = std::find(l.begin(), l.end(), marker);
    return it == l.end() ? Lines{} : Lines(it + 1, l.end());
  }

  Group group{serial, 1};
};

TEST_F(MonitorTest, CycleReadsNewRadiosFullyAndPollsReadOnes) {
  start();
  ASSERT_TRUE(runUntilSent("ATD2"));
  // The local radio was read from its pages and S100 on, one row per tick.
  Lines local = serial.lines();
  EXPECT_EQ(Lines(local.begin(), local.begin() + 8),
            (Lines{"AT", "ATH", "+++", "ATI", "ATI1", "ATI2", "ATI3", "ATS100?"}));
  EXPECT_TRUE(callbacks.read.count(1));
  EXPECT_EQ(timer.interval(), 1500);

  ASSERT_TRUE(runUntilSent("ATD3"));
  Lines full = sentAfter("ATD2");
  full.pop_back();  // "ATD3"
  ASSERT_FALSE(full.empty());
  EXPECT_EQ(full.front(), "ATI");
  EXPECT_EQ(std::count(full.begin(), full.end(), "ATS1?"), 1);
  for (const char* never : {"ATS30?", "ATS41?", "ATS12?"})
    EXPECT_EQ(std::count(full.begin(), full.end(), never), 0) << never;
  EXPECT_EQ(full.back(), "ATS114?");
  EXPECT_TRUE(callbacks.read.count(2));
  const auto& a = callbacks.applies;
  EXPECT_NE(std::find(a.begin(), a.end(), RecordingCallbacks::Apply{10, 102, Group::value(2, 10)}),
            a.end());

  // The next round polls radio 2 through the short map.
  ASSERT_TRUE(runUntilSent("ATD1"));
  serial.clearWrites();
  ASSERT_TRUE(runUntilSent("ATD3"));
  Lines poll = sentAfter("ATD2");
  EXPECT_EQ(poll, (Lines{"ATS1?", "ATS8?", "ATS10?", "ATS12?", "ATS16?", "ATS17?", "ATD3"}));
  EXPECT_EQ(status.panelText(1), "Radio 3");
}

// On a slow line a query is sent again before its answer comes, and then
// both answers arrive: the second is no answer to the register asked next.
TEST_F(MonitorTest, AQuerySentTwiceIsTakenOnceNotForTheNextRegister) {
  start();
  ASSERT_TRUE(runUntilSent("ATD2"));
  auto asked = [this] {
    Lines l = serial.lines();
    return std::count(l.begin(), l.end(), "ATS1?");
  };
  ASSERT_NO_FATAL_FAILURE(askTwiceUnanswered(asked));
  serial.pump();  // both answers arrive
  ASSERT_TRUE(timer.fire());
  serial.pump();
  const std::string s1 = Group::value(2, 1);
  const auto& a = callbacks.applies;
  EXPECT_EQ(std::count_if(a.begin(), a.end(), [&](const auto& x) { return x.text == s1; }), 1);
  EXPECT_EQ(asked(), 2) << "S1 is not asked a third time";
}

// The same on a model-1 radio: both of its refusals of a model-0 register
// come in, and the second is no refusal of the dial that follows.
TEST_F(MonitorTest, ARefusalSentTwiceDoesNotEndTheMonitor) {
  group.model1 = {2};
  start({{1, 0}, {2, 0}, {3, 0}, {4, 0}});  // no radio 4: its dial is refused
  ASSERT_TRUE(runUntilSent("ATD2"));
  auto asked = [this] {
    Lines l = sentAfter("ATD2");
    return std::count(l.begin(), l.end(), "ATS100?");
  };
  ASSERT_NO_FATAL_FAILURE(askTwiceUnanswered(asked));
  serial.pump();  // both refusals arrive
  EXPECT_EQ(engine->task(), tkMonitor);
  EXPECT_TRUE(runUntilSent("ATD3"));
  EXPECT_EQ(engine->task(), tkMonitor);
  EXPECT_TRUE(prompts.shown.empty());
  // A dial's own refusal still ends the monitor.
  ASSERT_TRUE(runUntilSent("ATD4"));
  serial.pump();
  EXPECT_EQ(engine->task(), tkLocalOnly);
}

TEST_F(MonitorTest, Model1LocalRadioIsMarkedReadAndTheCycleDialsTheFirstRadio) {
  group.model1 = {1};
  start();
  serial.pump();
  EXPECT_EQ(serial.lines().back(), "ATS100?");
  EXPECT_EQ(engine->state(), psAutoDiscover0);
  ASSERT_NE(engine->CurrentList(), nullptr);
  EXPECT_EQ(engine->CurrentList()->CurrentModel(), 1);
  EXPECT_TRUE(callbacks.read.count(1));
  timer.fire();
  EXPECT_EQ(serial.lines().back(), "ATD1");
  EXPECT_EQ(engine->state(), psAutoDiscoverX);
}

TEST_F(MonitorTest, Model2LocalMasterIsMarkedReadAndTheCycleDialsTheFirstRadio) {
  group.model2 = {1};
  start({{1, 2}, {2, 0}, {3, 0}});
  // The pages carry every register of a model 2: nothing is asked singly,
  // and the radio stays in command mode for the dial.
  EXPECT_EQ(serial.lines(), (Lines{"AT", "ATH", "+++", "ATI", "ATI1", "ATI2", "ATI3"}));
  EXPECT_EQ(engine->state(), psAutoDiscover0);
  EXPECT_EQ(engine->task(), tkMonitor);
  EXPECT_EQ(engine->CurrentList()->CurrentModel(), 2);
  EXPECT_TRUE(callbacks.read.count(1));
  EXPECT_EQ(callbacks.count(qcTaskDone), 1);
  timer.fire();
  EXPECT_EQ(serial.lines().back(), "ATD1");
  EXPECT_EQ(engine->state(), psAutoDiscoverX);
  serial.pump();
  EXPECT_EQ(engine->state(), psDiscoverSRegs);
  Lines sent = serial.lines();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "ATD"), 0);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MonitorTest, IdentifiedModelGoesToTheLocalRadioNotTheFirstOfTheList) {
  group.setLocal(3);
  group.model2 = {3};
  callbacks.local = {3};
  callbacks.master = {3};
  start({{1, 1}, {2, 1}, {3, 2}});
  ASSERT_EQ(engine->state(), psAutoDiscover0);
  EXPECT_EQ(engine->CurrentList()->CurrentNumber(), 3);
  EXPECT_EQ(engine->CurrentList()->Entries(), (TpollArray{{1, 1}, {2, 1}, {3, 2}}));
}

TEST_F(MonitorTest, Model2RadiosArePolledWithoutTheRegistersTheyLack) {
  group.model2 = {1, 3};
  start({{1, 2}, {2, 0}, {3, 2}});
  // What goes out from now until the dial of the next radio, that dial
  // included.
  auto upTo = [this](const std::string& dial) {
    serial.clearWrites();
    return runUntilSent(dial) ? serial.lines() : Lines{};
  };
  ASSERT_TRUE(runUntilSent("ATD2"));
  ASSERT_FALSE(upTo("ATD3").empty());
  // Radio 3 is read in full through its own map.
  Lines full = upTo("ATD1");
  ASSERT_FALSE(full.empty());
  EXPECT_EQ(full.front(), "ATI");
  EXPECT_EQ(std::count(full.begin(), full.end(), "ATS12?"), 1);
  EXPECT_EQ(std::count(full.begin(), full.end(), "ATS16?"), 0);

  // The next round polls every radio to the end of the short map.
  callbacks.queries.clear();
  EXPECT_EQ(upTo("ATD2"), (Lines{"ATS1?", "ATS8?", "ATS10?", "ATS12?", "ATD2"}));
  EXPECT_EQ(upTo("ATD3"),
            (Lines{"ATS1?", "ATS8?", "ATS10?", "ATS12?", "ATS16?", "ATS17?", "ATD3"}));
  EXPECT_EQ(upTo("ATD1"), (Lines{"ATS1?", "ATS8?", "ATS10?", "ATS12?", "ATD1"}));
  std::set<int> polled;
  for (const auto& q : callbacks.of(qcSetRead))
    if (q.argument) polled.insert(q.radio);
  EXPECT_EQ(polled, (std::set<int>{1, 2, 3}));
  EXPECT_EQ(engine->CurrentList()->CurrentModel(), 2) << "a poll leaves the model alone";
}

// A radio taken for a model 1 that refuses the volts register of its poll
// (a model 2) was polled all the same: the poll goes on past the refusal and
// the window gets its poll's end.
TEST_F(MonitorTest, ARadioRefusingARegisterOfItsPollIsStillPolled) {
  group.model2 = {3};
  callbacks.read = {1, 2, 3};
  start({{1, 1}, {2, 1}, {3, 1}});
  ASSERT_TRUE(runUntilSent("ATD3"));
  callbacks.queries.clear();
  serial.clearWrites();
  ASSERT_TRUE(runUntilSent("ATD1"));
  const Lines sent = serial.lines();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "ATS16?"), 1);
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "ATS17?"), 1);
  std::vector<int> polled;
  for (const auto& q : callbacks.of(qcSetRead))
    if (q.argument) polled.push_back(q.radio);
  EXPECT_EQ(polled, std::vector<int>{3});
}

// A radio refusing one register is read on to its end: the window hears
// each refusal, a model E refusing one of its own registers stays a model E
// (only a refused first model-E register makes a model 1), and the local
// radio's refusal after its pages does not start the round over.
TEST_F(MonitorTest, ARefusedRegisterIsToldAndTheReadGoesOn) {
  group.refuses[1] = {110};
  group.refuses[2] = {1, 13, 102};
  start();
  ASSERT_TRUE(runUntilSent("ATD3"));
  Lines local = sentAfter("ATI3");
  local.resize(std::find(local.begin(), local.end(), "ATD2") - local.begin());
  EXPECT_EQ(local, (Lines{"ATS100?", "ATS101?", "ATS102?", "ATS110?", "ATS111?", "ATS112?",
                          "ATS113?", "ATS114?"}));
  Lines dialled = sentAfter("ATD2");
  dialled.pop_back();  // "ATD3"
  for (const char* asked : {"ATS1?", "ATS0?", "ATS13?", "ATS15?", "ATS102?", "ATS110?", "ATS114?"})
    EXPECT_EQ(std::count(dialled.begin(), dialled.end(), asked), 1) << asked;
  EXPECT_EQ(callbacks.refused, (std::vector<int>{110, 1, 13, 102}));
  EXPECT_TRUE(callbacks.read.count(1) && callbacks.read.count(2));
  ASSERT_TRUE(runUntilSent("ATD1"));
  EXPECT_EQ(engine->CurrentList()->Entries()[1].model, 0) << "radio 2 stays a model E";
  EXPECT_EQ(engine->task(), tkMonitor);
}

TEST_F(MonitorTest, UnansweredDialsMoveOnOneRadioPerTick) {
  group.silent = {1, 2, 3};
  start();
  ASSERT_TRUE(runUntilSent("ATD2"));
  for (int i = 0; i < 4; ++i) {
    timer.fire();
    serial.pump();
  }
  Lines dials = sentAfter("ATS114?");
  EXPECT_EQ(dials, (Lines{"ATD2", "ATD2", "ATD2", "ATD2", "ATD3"}));
  // The round comes to radio 1, the local master, dialled like the others;
  // when that goes unanswered too the local master is reported lost.
  timer.fire();
  EXPECT_EQ(serial.lines().back(), "ATD1");
  EXPECT_TRUE(prompts.shown.empty());
  serial.clearWrites();
  timer.fire();
  EXPECT_TRUE(serial.lines().empty());
  EXPECT_EQ(promptTexts(), Lines{"Unable to Contact Local Master, check power and cables"});
  EXPECT_EQ(callbacks.count(qcCancel), 1);
}

// The monitor needs its local radio to be a master; one that refuses its
// first page tells nothing of itself, and is told so rather than taken for
// a slave.
TEST_F(MonitorTest, LocalRadioMustBeAMasterAndInTheList) {
  const char* const notMaster =
      "Monitoring requires the local radio be a master. Local radio is not a master.";
  struct Case {
    const char* name;
    std::set<int> local, master;
    const char* refused;  // the page answered "ERROR"
    const char* said;
  } cases[] = {
      {"local slave", {1}, {}, "ATI2", notMaster},
      {"no local radio", {}, {1}, "ATI2", notMaster},
      {"first page refused",
       {},
       {1},
       "ATI1",
       "The local radio answered ERROR to ATI1: it does not tell which radio it is, so the group "
       "cannot be monitored."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    prompts.shown.clear();
    callbacks.local = c.local;
    callbacks.master = c.master;
    group.extra.clear();
    group.extra[c.refused] = {"ERROR"};  // straight to the search for the local radio
    start();
    timer.fire();
    EXPECT_EQ(promptTexts(), Lines{c.said});
    EXPECT_EQ(engine->task(), tkLocalOnly);
    EXPECT_EQ(engine->state(), psIdle);
    EXPECT_EQ(engine->MonitorList(), nullptr);
  }
}

TEST_F(MonitorTest, DumpOfAnUnknownRadioNumberIsIgnored) {
  group.extra["ATI1"] = {emulatedPage1("9")[3], "OK"};
  start({{1, 0}, {2, 0}});
  EXPECT_EQ(engine->CurrentList()->CurrentNumber(), 1);
  EXPECT_TRUE(callbacks.of(qcSetRead).empty());

  group.extra["ATI1"] = {emulatedPage1("2")[3], "OK"};
  start({{1, 0}, {2, 0}});
  EXPECT_EQ(engine->CurrentList()->CurrentNumber(), 2);
  ASSERT_FALSE(callbacks.of(qcSetRead).empty());
  EXPECT_EQ(callbacks.of(qcSetRead)[0].radio, 2);
  EXPECT_FALSE(callbacks.of(qcSetRead)[0].argument);
}

TEST_F(MonitorTest, StrayLineWhileDiallingResynchronisesAndMonitoringGoesOn) {
  group.silent = {2};
  group.hangUpLeavesCommandMode = true;
  start();
  ASSERT_TRUE(runUntilSent("ATD2"));
  group.silent.clear();
  serial.receive("what?\r\n");  // neither OK nor ERROR to the dial
  EXPECT_EQ(serial.lines().back(), "ATH");
  EXPECT_EQ(engine->state(), psSentATH);
  serial.pump();
  for (int i = 0; i < 40 && engine->task() != tkMonitor; ++i) {
    timer.fire();
    serial.pump();
  }
  EXPECT_EQ(engine->task(), tkMonitor);
  EXPECT_TRUE(prompts.shown.empty());
  serial.clearWrites();
  EXPECT_TRUE(runUntilSent("ATD2")) << "the cycle dials the group again";
}

// A page the radio ignores sends a bare "ATD"; its "ERROR" hangs up and,
// for a master, says so. An "ERROR" to the hang-up after a stray line dials
// again; its tick starts the connect over.
TEST_F(MonitorTest, TheSentATDAndSentATHPages) {
  group.extra["ATI1"] = {"COMMAND IGNORED"};
  group.extra["ATD"] = {"ERROR"};
  engine->StartTask(tkGetLocal, "Get Local", {{1, 0}});
  serial.pump();
  Lines sent = serial.lines();
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(Lines(sent.end() - 3, sent.end()), (Lines{"ATI1", "ATD", "ATH"}));
  // The read ends there, once, and the window stops waiting for it.
  EXPECT_EQ(engine->state(), psIdle);
  EXPECT_EQ(engine->task(), tkLocalOnly);
  EXPECT_EQ(callbacks.count(qcTaskDone), 1);
  EXPECT_EQ(promptTexts(),
            Lines{"Error response from ATD command. Please check that this radio is a master"});
  // Not a master: the hang-up, without a word.
  callbacks.master.clear();
  prompts.shown.clear();
  engine->StartTask(tkGetLocal, "Get Local", {{1, 0}});
  serial.pump();
  EXPECT_EQ(serial.lines().back(), "ATH");
  EXPECT_TRUE(prompts.shown.empty());
  engine->StartTask(tkLocalOnly, "", {});
  group.extra.clear();
  callbacks.master = {1};
  group.silent = {2};
  group.hangUpLeavesCommandMode = true;
  start();
  ASSERT_TRUE(runUntilSent("ATD2"));
  serial.receive("what?\r\n");
  ASSERT_EQ(engine->state(), psSentATH);
  serial.clearWrites();
  serial.receive("ERROR\r\n");
  EXPECT_EQ(serial.lines(), Lines{"ATD"});
  EXPECT_EQ(engine->state(), psSentATD);

  engine->StartTask(tkLocalOnly, "", {});
  start();
  ASSERT_TRUE(runUntilSent("ATD2"));
  serial.receive("what?\r\n");
  ASSERT_EQ(engine->state(), psSentATH);
  timer.fire();
  EXPECT_EQ(engine->state(), psConfig16at);
}

TEST_F(MonitorTest, GetRemoteReadsOneRadioAndReturnsToMonitoring) {
  start();
  ASSERT_TRUE(runUntilSent("ATD2"));
  engine->StartTask(tkLocalOnly, "", {});
  serial.pump();
  serial.clearWrites();
  std::string atiStatus;
  serial.responder = [this, &atiStatus, group = serial.responder](const std::string& line) {
    if (line == "ATI") atiStatus = status.panelText(2);
    group(line);
  };
  engine->StartTask(tkGetRemote, "Get Radio", {{3, 0}});
  serial.pump();
  EXPECT_EQ(engine->state(), psAutoDiscoverX);
  EXPECT_EQ(status.panelText(1), "Getting Values");
  ASSERT_TRUE(runUntilSent("ATS114?"));
  EXPECT_EQ(atiStatus, "Getting ATI info");
  timer.fire();
  EXPECT_EQ(engine->state(), psIdle);
  EXPECT_EQ(serial.lines().front(), "AT");
  EXPECT_EQ(sentAfter("+++").front(), "ATD3");
}

// Ending a task that dialled a radio brings the link back to the local
// radio, as the monitor does between radios, so the next read is answered
// by it at once.
TEST_F(MonitorTest, EndingADialledTaskReturnsToTheLocalRadioOnce) {
  start();
  ASSERT_TRUE(runUntilSent("ATD2"));
  serial.pump();
  ASSERT_TRUE(engine->linkDialled());
  serial.clearWrites();
  engine->StartTask(tkLocalOnly, "", {});
  EXPECT_EQ(serial.lines(), Lines{"ATD1"});
  EXPECT_FALSE(engine->linkDialled());
  serial.pump();
  engine->StartTask(tkLocalOnly, "", {});
  EXPECT_EQ(serial.lines(), Lines{"ATD1"}) << "nothing is dialled any more";

  // The next read reaches the local radio without waiting for a tick.
  serial.clearWrites();
  const long before = timer.nowMs();
  engine->StartTask(tkGetLocal, "Get Local", {{1, 0}});
  serial.pump();
  Lines sent = serial.lines();
  ASSERT_GE(sent.size(), 5u);
  EXPECT_EQ(Lines(sent.begin(), sent.begin() + 5), (Lines{"AT", "ATH", "+++", "ATI", "ATI1"}));
  EXPECT_EQ(timer.nowMs(), before);

  // Playing the radios after a monitor returns to the local radio first too.
  start();
  ASSERT_TRUE(runUntilSent("ATD3"));
  serial.pump();
  serial.clearWrites();
  engine->StartTask(tkEmulate, "Emulate Group", {{1, 0}});
  EXPECT_EQ(serial.lines(), Lines{"ATD1"});
}

// A program killed while dialled leaves the link up: the next read must
// still identify the local radio, whether or not the hang-up takes the
// radio out of command mode.
TEST_F(MonitorTest, ReadAfterALinkLeftUpIdentifiesTheLocalRadio) {
  for (bool leavesCommandMode : {false, true}) {
    SCOPED_TRACE(leavesCommandMode);
    Group left{serial, 1};
    left.radios = {1, 2, 3};
    left.hangUpLeavesCommandMode = leavesCommandMode;
    left.leaveDialled(3);
    left.install();
    callbacks.applies.clear();
    serial.clearWrites();
    engine->StartTask(tkGetLocal, "Get Local", {{1, 0}});
    serial.pump();
    for (int i = 0; i < 20 && engine->state() != psIdle; ++i) {
      timer.fire();
      serial.pump();
    }
    EXPECT_EQ(engine->state(), psIdle);
    const auto& a = callbacks.applies;
    auto radioID = std::find_if(a.begin(), a.end(), [](const auto& x) { return x.param == 1; });
    ASSERT_NE(radioID, a.end());
    EXPECT_EQ(radioID->text, "1");
    Lines sent = serial.lines();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(Lines(sent.begin() + 1, sent.begin() + 4), (Lines{"ATH", "+++", "ATI"}));
  }
}

TEST_F(MonitorTest, GetRemoteOfTheLocalRadioReadsItWithoutDialling) {
  engine->StartTask(tkGetRemote, "Get Radio", {{1, 0}});
  serial.pump();
  for (int i = 0; i < 20 && engine->state() != psIdle; ++i) {
    timer.fire();
    serial.pump();
  }
  Lines sent = serial.lines();
  ASSERT_GE(sent.size(), 8u);
  EXPECT_EQ(Lines(sent.begin(), sent.begin() + 8),
            (Lines{"AT", "ATH", "+++", "ATI", "ATI1", "ATI2", "ATI3", "ATS100?"}));
  EXPECT_EQ(sent.back(), "ATS114?");
  EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                          [](const std::string& l) { return l.rfind("ATD", 0) == 0; }),
            0);
  EXPECT_EQ(engine->state(), psIdle);
  EXPECT_TRUE(prompts.shown.empty());
}

// ---------------------------------------------------------------- emulator

class EmulatorTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    make();
    callbacks.master = {3};
    callbacks.existing = {3, 5};
    callbacks.values[{3, 0}] = "9";
    callbacks.values[{3, 10}] = "-99";
    callbacks.values[{3, -1}] = "ERROR";
    callbacks.values[{5, 0}] = "9";
    callbacks.values[{3, 12}] = "";  // an empty field
  }
  // The bytes written in answer to one command line.
  std::string ask(const std::string& bytes) {
    serial.clearWrites();
    serial.receive(bytes);
    std::string out;
    for (const auto& w : serial.writes) out += w.bytes;
    return out;
  }
};

TEST_F(EmulatorTest, AnswersEveryCommandClass) {
  engine->StartTask(tkEmulate, "Emulate Group", {{3, 0}, {5, 2}});
  EXPECT_EQ(engine->state(), psEmulate);
  std::string page;
  for (const auto& l : emulatedPage1("3")) page += l + "\r\n";
  struct Case {
    const char* command;
    std::string answer;
  } cases[] = {
      {"ATI\r\n", "V2.0\r\n"},  // the first master, radio 3, model 0
      {"ATI1\r", page + "OK\r\n"},
      {"ATI2\r", "OK\r\n"},
      {"ATI3\r", "OK\r\n"},
      {"ATD\r", "OK\r\n"},
      {"AT&W\r", "OK\r\n"},
      {"ATI7\r", "ERROR\r\n"},
      {"ATS0?\r", "9\r\nOK\r\n"},
      {"ats10?\r", "-99\r\nOK\r\n"},
      {"ATS12?\r", "0\r\nOK\r\n"},
      {"ATS9?\r", "ERROR\r\n"},  // not in the map: the main window says ERROR
      {"ATS2?\r", ""},           // unknown to the main window: no answer
      {"ATSX?\r", "ERROR\r\n"},
      {"ATS99999999999?\r", "ERROR\r\n"},
      {"ATD5\r", "OK\r\n"},
      {"ATI\r", "1.14\r\n"},  // radio 5 is a model 2
      {"ATD99999999999\r", "ERROR\r\n"},
      {"ATDX\r", "ERROR\r\n"},
      {"AT&R\r", ""},
      {"ATD7\r", ""},  // no such radio
      {"AT\n", "OK\r\n"},
      {"+++\r", "OK\r\n"},
      {"OK\r", ""},
      {"hello\r", ""},
      {"\r\n\r\n", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ask(c.command), c.answer) << c.command;
  ASSERT_EQ(callbacks.of(qcRenumbered).size(), 1u);
  EXPECT_EQ(callbacks.of(qcRenumbered)[0].radio, 5);
  EXPECT_EQ(engine->emulatedRadio(), -1) << "AT and +++ forget the dialled radio";
  EXPECT_TRUE(timer.fire());
  EXPECT_EQ(engine->state(), psEmulate) << "ticks leave the emulator alone";
}

TEST_F(EmulatorTest, SettingRegistersReportsEachPair) {
  engine->StartTask(tkEmulate, "Emulate Group", {{3, 0}});
  using A = RecordingCallbacks::Apply;
  struct Case {
    const char* command;
    std::string answer;
    std::vector<A> applies;
  } cases[] = {
      {"ATs1=7s2=100\r", "OK\r\n", {{1, 7, "7"}, {2, 100, "100"}}},
      {"ATs3=Ss4=Y\r", "OK\r\n", {{3, 0, "S"}, {4, 0, "Y"}}},
      // Only values within the register's range are taken; one outside it
      // refuses the whole line, as a value of the wrong form does.
      {"ATS13=-5\r", "ERROR\r\n", {}},
      {"ATS0=63S13=255\r", "OK\r\n", {{0, 63, "63"}, {13, 255, "255"}}},
      {"ATS0=4294967296\r", "ERROR\r\n", {}},
      {"ATS2=-1\r", "ERROR\r\n", {}},
      {"ATS1=7S0=64\r", "ERROR\r\n", {}},
      {"ATS20=9601\r", "ERROR\r\n", {}},
      {"ATSX=1S0=4\r", "ERROR\r\n", {{0, 4, "4"}}},
      // An "=" with no "S" before it since the last pair belongs to the
      // value, which no register holds: the line changes nothing.
      {"ATS3=M=X\r", "ERROR\r\n", {}},
      {"ATS1=5=S2=6\r", "ERROR\r\n", {}},
      // Only the form the register holds is taken.
      {"ATS2=[Radio7]\r", "ERROR\r\n", {}},
      {"ATS1=7S2=X1\r", "ERROR\r\n", {}},
      {"ATS3=Q\r", "ERROR\r\n", {}},
      {"ATS4=YES\r", "ERROR\r\n", {}},
      {"ATS3=1\r", "ERROR\r\n", {}},
      {"ATS2=\r", "ERROR\r\n", {}},
      {"ATS2=-\r", "ERROR\r\n", {}},
      {"ATS1=2S=3\r", "ERROR\r\n", {{1, 2, "2"}}},
      {"ATS9=1\r", "OK\r\n", {}},  // no parameter: nothing to report
  };
  for (const auto& c : cases) {
    callbacks.applies.clear();
    EXPECT_EQ(ask(c.command), c.answer) << c.command;
    EXPECT_EQ(callbacks.applies, c.applies) << c.command;
  }
}

TEST(EmulatorValues, TakesOnlyTheFormTheRegisterHolds) {
  struct Case {
    int param;
    const char* value;
    bool fits;
  } cases[] = {
      {param::securityID, "1234", true},
      {param::securityID, "[RADIO7]", false},
      {param::securityID, "12 34", false},
      {param::securityID, "", false},
      {param::rssi, "-151", true},
      {param::rssi, "--1", false},
      {param::radioMode, "M", true},
      {param::radioMode, "R", true},
      {param::radioMode, "X", false},
      {param::radioMode, "MS", false},
      {param::radioMode, "0", false},
      {param::reTXBroadcasts, "N", true},
      {param::reTXBroadcasts, "NO", false},
      {param::parity, "O", true},
      {param::parity, "Y", false},
      {param::handShaking, "H", true},
      {param::handShaking, "1", true},
      {param::bufferMode, "P", true},
      {param::bufferMode, "0", true},
      {param::bufferMode, "H", false},
      {param::currentTime, "12:30", true},
      {param::currentTime, "24:00", false},
      {param::startTime, "06:60", false},
      {param::groupID, "0", false},
      {param::groupID, "63", true},
      {param::retries, "256", false},
      {param::securityID, "65535", false},
      {param::rfband, "5", false},
      {param::baudRate, "19200", true},
      {param::baudRate, "19201", false},
      {param::blockedFreq1, "0", true},
      {param::blockedFreq1, "9157", true},
      {param::blockedFreq1, "899", false},
      {param::handShaking, "2", false},
      {param::rssi, "999999", false},
      {param::supplyVolts, "-1", false},
      {param::startTime, "7:45", false},
      {param::startTime, "12:3X", false},
      {-1, "5", true},
      {-1, "65536", false},
      {-1, "A", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TgroupEmulator::valueFits(c.param, c.value), c.fits) << c.param << " " << c.value;
}

TEST_F(EmulatorTest, AnswersOnlyForRadiosOfItsList) {
  callbacks.master = {9};
  engine->StartTask(tkEmulate, "Emulate Group", {{3, 0}});
  EXPECT_EQ(ask("ATI\r"), "");
  EXPECT_EQ(ask("ATS0?\r"), "");
  engine->StartTask(tkEmulate, "Emulate Group", {});
  EXPECT_EQ(ask("ATI1\r"), "");
  EXPECT_EQ(ask("AT\r"), "OK\r\n");
}

TEST_F(EmulatorTest, TerminalLineWithAmpersandsSwitchesToTheEmulator) {
  engine->Send(true, 0, "&&&");
  EXPECT_EQ(engine->state(), psEmulate);
  EXPECT_EQ(ask("AT\r"), "OK\r\n");
  EXPECT_EQ(ask("ATI2\r"), "OK\r\n");
}

}  // namespace
}  // namespace tessel::testing

namespace tessel::testing {
namespace {

// Ticks one monitor round takes: from one "ATD3" written to the next.
int ticksPerRound(FakeSerialLink& serial, FakeTickTimer& timer) {
  serial.clearWrites();
  int ticks = 0, start = -1;
  for (int i = 0; i < 200; ++i) {
    Lines l = serial.lines();
    const auto dials = std::count(l.begin(), l.end(), "ATD3");
    if (dials >= 1 && start < 0) start = ticks;
    if (dials >= 2) return ticks - start;
    if (!timer.fire()) return -1;
    ++ticks;
    serial.pump();
  }
  return -1;
}

TEST_F(MonitorTest, AsFastAsRepliesAsksEachRegisterOnTheAnswerAndKeepsTheTickAsTimeOut) {
  // A round of the ticked monitor first, to compare against.
  start();
  ASSERT_TRUE(runUntilSent("ATD3"));
  ASSERT_TRUE(runUntilSent("ATD1"));
  const int ticked = ticksPerRound(serial, timer);
  ASSERT_GT(ticked, 0);

  engine->setPollInterval(0);
  EXPECT_TRUE(engine->fastPolls());
  const int fast = ticksPerRound(serial, timer);
  ASSERT_GE(fast, 0);
  // Each poll's registers, and the dial of the next radio, go out on the
  // answers, not one per tick.
  EXPECT_LE(fast, 1) << ticked;
  EXPECT_GT(ticked, fast + 8);
  EXPECT_EQ(timer.interval(), 1000);
  Lines poll = sentAfter("ATD2");
  poll.resize(6);
  EXPECT_EQ(poll, (Lines{"ATS1?", "ATS8?", "ATS10?", "ATS12?", "ATS16?", "ATS17?"}));

  // A radio that stops answering still times out and the round goes on.
  group.silent = {3};
  serial.clearWrites();
  EXPECT_TRUE(runUntilSent("ATD2"));
}

// Polling as fast as replies, the "OK" after a poll's last value comes
// after the engine has moved on. Taken for the next dial's answer, it would
// skip the dial and poll the radio still linked under the next one's number.
TEST_F(MonitorTest, AsFastAsRepliesDialsEveryRadioBeforePollingIt) {
  group.okApart = true;
  engine->setPollInterval(0);
  start();
  ASSERT_TRUE(runUntilSent("ATD3"));
  serial.clearWrites();
  for (int i = 0; i < 30; ++i) {
    timer.fire();
    serial.pump();
  }
  // Every radio of the list is dialled in turn, none skipped, and each
  // dial is followed by that radio's poll (ending in "ATS17?").
  std::vector<int> dials;
  int polls = 0;
  bool polled = true;
  for (const std::string& line : serial.lines()) {
    if (line.rfind("ATD", 0) == 0) {
      EXPECT_TRUE(polled) << "no poll after the dial of radio " << dials.back();
      dials.push_back(std::stoi(line.substr(3)));
      polled = false;
    }
    if (line == "ATS17?") polled = true, ++polls;
  }
  ASSERT_GE(dials.size(), 4u);
  for (size_t i = 1; i < dials.size(); ++i)
    EXPECT_EQ(dials[i], dials[i - 1] % 3 + 1) << "after radio " << dials[i - 1];
  EXPECT_GE(polls, 3);
  // What each radio reported is its own: radio 3's supply volts are 163.
  const auto& a = callbacks.applies;
  EXPECT_NE(std::find(a.begin(), a.end(), RecordingCallbacks::Apply{16, 163, "163"}), a.end());
}

}  // namespace
}  // namespace tessel::testing
