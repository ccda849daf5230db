// How fast a send's lines go to a remote radio, through the timer seam: a
// line per tick by default; as fast as replies (poll interval 0) each line
// as soon as the last one was answered, every other rule of the send kept.
#include <gtest/gtest.h>

#include <algorithm>

#include "link_fixture.h"

namespace tessel::testing {
namespace {

using Lines = std::vector<std::string>;

const Lines kRemoteSend = {"ATD5", "ATs1=5s0=7", "ATs2=1234", "AT&W", "AT&R"};

class SendPacing : public LinkTest {
 protected:
  // A fresh engine on fresh settings (the last one saved its line settings).
  void remake() {
    engine.reset();
    settings = MemorySettingsStore{};
    serial.clearWrites();
    prompts.shown.clear();
    make();
  }
  // Ticks the timer whenever the line is quiet, as the real timer would,
  // until the engine rests (or a box was shown).
  void runOut(int ticks = 40) {
    for (int i = 0; i < ticks; ++i) {
      serial.pump();
      if (engine->state() == psIdle || !prompts.shown.empty()) return;
      timer.fire();
    }
  }
  // When each of lines was written (the last write of it).
  std::vector<long> timesOf(const Lines& lines) const {
    std::vector<long> times;
    for (const std::string& line : lines) {
      long at = -1;
      for (const auto& w : serial.writes) {
        std::string t = w.bytes;
        while (!t.empty() && t.back() == '\r') t.pop_back();
        if (t == line) at = w.timeMs;
      }
      times.push_back(at);
    }
    return times;
  }
  // Answers a send's lines "OK" (the reset none), as a radio does.
  void answerTheSend() {
    answer({{"AT", {"OK"}},
            {"ATD5", {"OK"}},
            {"ATs1=5s0=7", {"OK"}},
            {"ATs2=1234", {"OK"}},
            {"AT&W", {"OK"}}});
  }
};

// Default pacing: each line after the dial waits for the tick after the
// last "OK", and the send ends a tick after its reset. As fast as replies,
// the whole send and its end come at once; the tick stays at 2.5 s, the
// time a line is given to be answered.
TEST_F(SendPacing, ARemoteRadioTakesALinePerTickOrAsSoonAsItAnswered) {
  struct Case {
    int pollInterval;
    long spacing;
  };
  for (const Case c : {Case{1000, TcomPort::kTaskInterval}, Case{0, 0}}) {
    SCOPED_TRACE(c.pollInterval ? "a line per tick" : "as fast as replies");
    remake();
    engine->setPollInterval(c.pollInterval);
    answerTheSend();
    ASSERT_EQ(engine->StartSend("Set Radio", {{5, 0}}, kRemoteSend), LinkTasks::SendStart::Started);
    const long start = timer.nowMs();
    // The status bar says how the lines go while the send runs.
    EXPECT_EQ(status.gaugeCaption(), c.pollInterval ? "Per 2.5 s" : "Per reply");
    EXPECT_EQ(status.gaugeHint(),
              c.pollInterval ? "Sending a line per 2.5 s" : "Sending as fast as replies");
    runOut();
    EXPECT_EQ(status.gaugeCaption(), "");
    const std::vector<long> times = timesOf(kRemoteSend);
    ASSERT_EQ(times.size(), kRemoteSend.size());
    EXPECT_EQ(times[0], start) << "the dial goes with the connect's answer";
    for (size_t i = 1; i < times.size(); ++i)
      EXPECT_EQ(times[i] - times[i - 1], c.spacing) << kRemoteSend[i];
    EXPECT_EQ(timer.nowMs() - times.back(), c.spacing) << "the end after the reset";
    EXPECT_EQ(timer.interval(), TcomPort::kTaskInterval);
    EXPECT_EQ(promptTexts(), Lines{"Set Radio complete, radio reset"});
    EXPECT_EQ(engine->state(), psIdle);
    // One line at a time, each written once, the reset after the save.
    Lines sent;
    for (const std::string& l : serial.lines())
      if (std::find(kRemoteSend.begin(), kRemoteSend.end(), l.substr(0, l.find('\r'))) !=
          kRemoteSend.end())
        sent.push_back(l.substr(0, l.find('\r')));
    EXPECT_EQ(sent, kRemoteSend);
    engine.reset();
  }
}

// As fast as replies, a line the radio does not answer is asked again only
// at the tick, with its try counted; the fourth unanswered try ends the send
// with the try message, and the lines after it are never sent.
TEST_F(SendPacing, AsFastAsRepliesAnUnansweredLineWaitsForTheTickAndItsTries) {
  make();
  engine->setPollInterval(0);
  answer({{"AT", {"OK"}}, {"ATD5", {"OK"}}, {"ATs1=5s0=7", {"OK"}}});
  prompts.answers = {pbAbort};
  ASSERT_EQ(engine->StartSend("Set Radio", {{5, 0}}, kRemoteSend), LinkTasks::SendStart::Started);
  runOut();
  std::vector<long> tries;
  for (const auto& w : serial.writes)
    if (w.bytes.rfind("ATs2=1234", 0) == 0) tries.push_back(w.timeMs);
  EXPECT_EQ(tries, (std::vector<long>{0, 2500, 5000, 7500}));
  EXPECT_EQ(promptTexts(),
            Lines{"Too many errors in sending to radio, try increasing poll interval"});
  const Lines sent = serial.lines();
  EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                          [](const std::string& l) { return l.rfind("AT&", 0) == 0; }),
            0)
      << "neither AT&W nor AT&R";
  EXPECT_EQ(engine->queue().Count(), 0);
}

// Between the sends of a group change (a remote radio's values and AT&W,
// no reset), the link is hung up. Its "OK" took the local radio out of
// command mode: as fast as replies the escape follows at once; by default
// the connect's "AT" goes unanswered and the escape comes at the tick.
TEST_F(SendPacing, TheNextRadioFollowsAHangUpAtTheRepliesSpeed) {
  for (const int interval : {1000, 0}) {
    SCOPED_TRACE(interval ? "a line per tick" : "as fast as replies");
    remake();
    engine->setPollInterval(interval);
    engine->setQuietSends(true);
    bool commandMode = true;
    serial.responder = [&](const std::string& line) {
      if (line == "+++") commandMode = true;
      if (!commandMode) return;
      if (line == "ATH") commandMode = false;  // the hang-up leaves command mode
      serial.queueReply("OK\r\n");
    };
    for (const char* radio : {"5", "6"}) {
      const std::string dial = std::string("ATD") + radio;
      ASSERT_EQ(engine->StartSend("Change", {{std::stoi(radio), 0}}, {dial, "ATs0=9", "AT&W"}),
                LinkTasks::SendStart::Started);
      runOut();
      ASSERT_EQ(engine->state(), psIdle);
    }
    const Lines sent = serial.lines();
    const auto hangUp = std::find(sent.begin(), sent.end(), "ATH");
    ASSERT_NE(hangUp, sent.end());
    EXPECT_EQ(Lines(hangUp, sent.end()),
              interval ? (Lines{"ATH", "AT", "+++", "ATD6", "ATs0=9", "AT&W", "ATH"})
                       : (Lines{"ATH", "+++", "ATD6", "ATs0=9", "AT&W", "ATH"}));
    const long hungUpAt = serial.writes[static_cast<size_t>(hangUp - sent.begin())].timeMs;
    EXPECT_EQ(timesOf({"ATD6"})[0] - hungUpAt, interval ? TcomPort::kTaskInterval : 0);
    engine.reset();
  }
}

// A send given way to by the monitor: it ends a tick after its reset and
// the monitor takes the link back a tick later; as fast as replies both
// come at once, the local radio read again at the replies' speed before
// the rounds go on.
TEST_F(SendPacing, TheMonitorResumesAtOnceAfterASendAsFastAsReplies) {
  for (const int interval : {1000, 0}) {
    SCOPED_TRACE(interval ? "1.0 s" : "as fast as replies");
    remake();
    callbacks.local = callbacks.master = {1};
    engine->setPollInterval(interval);
    answerTheSend();
    engine->StartTask(tkMonitor, "Monitor", {{1, 0}, {5, 0}});
    serial.pump();
    ASSERT_EQ(engine->StartSend("Set Radio", {{5, 0}}, kRemoteSend), LinkTasks::SendStart::Started);
    for (int i = 0; i < 40 && engine->task() != tkMonitor; ++i) {
      serial.pump();
      if (engine->task() != tkMonitor) timer.fire();
    }
    ASSERT_EQ(engine->task(), tkMonitor);
    if (interval) timer.fire();
    const Lines sent = serial.lines();
    const size_t reset =
        static_cast<size_t>(std::find(sent.begin(), sent.end(), "AT&R") - sent.begin());
    ASSERT_LT(reset + 1, sent.size());
    EXPECT_EQ(sent[reset + 1], "AT") << "the connect";
    EXPECT_EQ(serial.writes[reset + 1].timeMs - serial.writes[reset].timeMs,
              interval ? 2 * TcomPort::kTaskInterval : 0);
    engine.reset();
  }
}

}  // namespace
}  // namespace tessel::testing
