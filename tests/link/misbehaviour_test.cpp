// Every task of the engine against radios that misbehave, as a table: each
// task with a well-behaved group first, then with each misbehaviour, then
// with the link to the radio dialled dropping at each point. No value may
// land on the wrong register or radio, no line may reach a radio it was
// not meant for, no settings line may go out before the previous one's
// "OK", every task ends within its tries, and nothing is reported done
// that was not.
#include <gtest/gtest.h>

#include <deque>

#include "link/dump_line.h"
#include "link/owed_exchanges.h"
#include "link_fixture.h"
#include "model/catalogue.h"

namespace tessel::testing {
namespace {

using Lines = std::vector<std::string>;

enum class Bad {
  None,
  Echo,          // every command echoed before its answer
  Doubled,       // every answer sent twice
  Late,          // one answer arrives after the next command went out
  Missing,       // one answer never comes
  Ring,          // "RING" and "BUSY" ahead of one answer
  LineNoise,     // a lone LF and NUL bytes ahead of one answer
  Noise,         // 300 bytes of noise ahead of one answer
  Refusal,       // "ERROR" instead of one answer
  TerminalLine,  // a line typed in the terminal while one answer is due
  Slow           // from one answer on, each comes just after the next tick
};

const char* nameOf(Bad bad) {
  static const char* const kNames[] = {"well-behaved", "echo",          "doubled",     "late",
                                       "missing",      "RING, BUSY",    "LF and NULs", "noise",
                                       "refusal",      "terminal line", "slow"};
  return kNames[static_cast<int>(bad)];
}

// A group of model-0 radios behind local radio 1. A register's value tells
// its register and radio (reg * 10 + radio), so a value taken for another
// register or radio shows. Answers go through an outbox of its own, so the
// test knows which answers the engine has received.
class Radios {
 public:
  struct Stored {
    Lines lines;  // settings lines taken, in order (a line sent again once)
    bool saved = false;
    bool resetUnsaved = false;  // "AT&R" before its "AT&W" was answered
    bool reset = false;
  };

  Radios(FakeSerialLink& serial, std::function<void(const std::string&)> typed)
      : serial_(serial), typed_(std::move(typed)) {}

  std::set<int> present{1, 2, 3};
  Bad bad = Bad::None;
  std::string target;  // the command whose answer misbehaves (the first one written)
  std::map<int, Stored> stored;
  Lines violations;

  void install() {
    serial_.responder = [this](const std::string& line) { written(line); };
  }
  // Delivers what the radios said, one batch at a time (a monitor polling
  // as fast as replies never runs out of them: at most a round's worth).
  // With pauseAtTarget, stops once the target was written, its answer not
  // yet delivered.
  void pump() {
    for (int n = 0; n < 200 && !outbox_.empty() && !paused(); ++n) {
      Batch b = outbox_.front();
      outbox_.pop_front();
      if (b.settingsOk) unansweredSettings_.clear();
      serial_.receive(b.bytes);
    }
  }
  bool quiet() const { return outbox_.empty(); }
  // The tick came: what a slow radio owed from before it is on its way now
  // (not the answers to what the tick itself sent).
  void ticked() {
    for (auto it = slow_.begin(); it != slow_.end();) {
      if (it->first < ticks_) {
        outbox_.push_back(it->second);
        it = slow_.erase(it);
      } else {
        ++it;
      }
    }
    ++ticks_;
  }
  bool pauseAtTarget = false;
  bool paused() const { return pauseAtTarget && hitDone_; }

  // The link to the first remote radio dialled drops once, after it took
  // dropAt lines (0: its dial is answered "NO CARRIER"), its last answer
  // given first or lost. Every line for a radio that reaches the local
  // radio after that and before a new dial went to the wrong radio.
  int dropAt = -1;
  bool dropAnswered = true;
  Lines wrongRadio;
  // Lines the first remote radio took on its first link (a good run's
  // count of the points where a link can drop).
  int firstVisit = 0;
  static std::string value(int radio, int reg) { return std::to_string(reg * 10 + radio); }

 private:
  struct Batch {
    std::string bytes;
    bool settingsOk = false;
  };

  static bool settingsLine(const std::string& l) {
    return l.rfind("ATs", 0) == 0 || l.rfind("ATS", 0) == 0 ? l.back() != '?' : l == "AT&W";
  }

  static bool forTheLink(const std::string& l) {
    return l == "AT" || l == "+++" || l == "ATH" || l.rfind("ATD", 0) == 0;
  }

  // Whether the link drops at this line (written while the radio before
  // was addressed); the line's answers are then dealt with. The radio
  // hangs up right after its answer: both come in one read.
  bool dropHere(const std::string& line, int before, const std::string& bytes, bool ok) {
    const bool dial = line.rfind("ATD", 0) == 0 && line.size() > 3;
    if (before != 1 && !dial && firstLink_ && !dropDone_) ++firstVisit;
    if (before != 1 && (dial || dialled_ == 1)) firstLink_ = false;
    if (dial) {
      sinceDial_ = 0;
      if (dialled_ == 1 || dropAt != 0 || dropDone_) return false;
      dropDone_ = afterDrop_ = true;
      dialled_ = 1;
      outbox_.push_back({"NO CARRIER\r\n"});
      return true;
    }
    if (before == 1) return false;
    if (dropAt <= 0 || dropDone_ || ++sinceDial_ < dropAt) return false;
    dropDone_ = afterDrop_ = true;
    dialled_ = 1;
    outbox_.push_back({(dropAnswered ? bytes : std::string()) + "NO CARRIER\r\n", ok});
    return true;
  }

  void written(const std::string& raw) {
    std::string line = raw;
    while (!line.empty() && line.back() == '\r') line.pop_back();
    if (afterDrop_ && !forTheLink(line)) wrongRadio.push_back(line);
    if (line.rfind("ATD", 0) == 0) afterDrop_ = false;
    const int before = dialled_;
    const bool settings = settingsLine(line) || line == "AT&R";
    if (settings && !unansweredSettings_.empty() && unansweredSettings_ != line)
      violations.push_back(line + " went out before the answer to " + unansweredSettings_);
    if (bad == Bad::Echo) outbox_.push_back({line + "\r\n"});
    const bool hit = !hitDone_ && line == target;
    if (hit) hitDone_ = true;
    Lines answer = answerTo(line);
    if (hit && bad == Bad::Refusal && !answer.empty()) answer = {"ERROR"};
    std::string bytes;
    for (const auto& l : answer) bytes += l + "\r\n";
    if (settingsLine(line) && !answer.empty()) unansweredSettings_ = line;
    const bool ok = settingsLine(line) && !answer.empty() && answer.back() == "OK";
    if (dropHere(line, before, bytes, ok && dropAnswered)) return;
    if (!held_.empty()) {  // the late answer comes after the next command went out
      outbox_.push_back({held_, heldOk_});
      held_.clear();
    }
    if (hit) {
      switch (bad) {
        case Bad::Late:
          held_ = bytes;
          heldOk_ = ok;
          return;
        case Bad::Missing:
          return;
        case Bad::Ring:
          outbox_.push_back({"RING\r\n"});
          outbox_.push_back({"BUSY\r\n"});
          break;
        case Bad::LineNoise:
          outbox_.push_back({"\n"});
          outbox_.push_back({std::string(3, '\0')});
          break;
        case Bad::Noise: {
          std::string noise;
          for (int i = 0; i < 300; ++i)
            noise += static_cast<char>(i % 7 == 0 ? 0x8f : 'A' + i % 26);
          outbox_.push_back({noise + "\r\n"});
          break;
        }
        default:
          break;
      }
    }
    if (bad == Bad::Slow && (hit || slowNow_)) {
      slowNow_ = true;
      if (!bytes.empty()) slow_.push_back({ticks_, {bytes, ok}});
      return;
    }
    if (!bytes.empty()) {
      outbox_.push_back({bytes, ok});
      if (bad == Bad::Doubled) outbox_.back().bytes += bytes;
    }
    // Typed after the command in hand went out: answered after it.
    if (hit && bad == Bad::TerminalLine) typed_("AT+TYPED");
  }

  Lines answerTo(const std::string& line) {
    if (line == "ATH") dialled_ = 1;  // the link, if any, drops
    if (line == "AT" || line == "+++" || line == "ATH" || line == "ATI2" || line == "ATI3")
      return {"OK"};
    if (line == "AT+TYPED") return {"ERROR"};
    if (line == "ATI") return {"V2.0"};
    if (line == "ATI1") {
      Lines page = emulatedPage1(std::to_string(dialled_));
      page.push_back("OK");
      return page;
    }
    if (line == "ATD") return {"OK"};
    if (line.rfind("ATD", 0) == 0) {
      const int radio = std::stoi(line.substr(3));
      if (!present.count(radio)) return {"ERROR"};
      dialled_ = radio;
      return {"OK"};
    }
    if (line.rfind("ATS", 0) == 0 && line.back() == '?')
      return {value(dialled_, std::stoi(line.substr(3))), "OK"};
    Stored& s = stored[dialled_];
    if (line == "AT&W") {
      s.saved = true;
      return {"OK"};
    }
    if (line == "AT&R") {
      s.resetUnsaved = !s.saved;
      s.reset = true;
      dialled_ = 1;
      return {};
    }
    if (line.rfind("ATs", 0) == 0) {
      if (s.lines.empty() || s.lines.back() != line) s.lines.push_back(line);
      return {"OK"};
    }
    return {"ERROR"};
  }

  FakeSerialLink& serial_;
  std::function<void(const std::string&)> typed_;
  std::deque<Batch> outbox_;
  std::string held_;
  std::vector<std::pair<int, Batch>> slow_;  // held at which tick
  int ticks_ = 0;
  bool slowNow_ = false;
  bool heldOk_ = false;
  bool hitDone_ = false;
  bool dropDone_ = false;
  bool afterDrop_ = false;
  bool firstLink_ = true;
  int sinceDial_ = 0;
  int dialled_ = 1;
  std::string unansweredSettings_;
};

// The main window's callbacks, also noting which radio the engine reads
// when a register's value is applied.
class CheckingCallbacks : public RecordingCallbacks {
 public:
  const TcomPort* engine = nullptr;
  std::set<std::string> values;  // "radio:param=text" of the values read singly
  Lines wrong;

  bool ApplyReply(int param, int value, const std::string& text) override {
    RecordingCallbacks::ApplyReply(param, value, text);
    if (!engine || engine->state() != psDiscoverSRegs || !engine->CurrentList()) return false;
    const int radio = engine->CurrentList()->CurrentNumber();
    values.insert(std::to_string(radio) + ":" + std::to_string(param) + "=" + text);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const int v = std::stoi(text);
    const int reg = v / 10;
    if (v % 10 != radio ||
        (parameterFor(reg, 0, true) != param && parameterFor(reg, 0, false) != param))
      wrong.push_back("S" + std::to_string(reg) + " of radio " + std::to_string(v % 10) +
                      " taken as parameter " + std::to_string(param) + " of radio " +
                      std::to_string(radio));
    return false;
  }
};

struct Ends : LinkObserver {
  std::vector<std::pair<TaskCode, TaskEnd>> ended;
  void taskEnded(TaskCode task, const Outcome& outcome) override {
    ended.push_back({task, outcome.ending});
  }
};

// SendRemoteFast: the remote send as fast as replies.
enum class Task {
  Connect,
  GetLocal,
  RemoteRead,
  SendLocal,
  SendRemote,
  SendRemoteFast,
  MonitorRound,
  Discovery
};

const char* nameOf(Task task) {
  static const char* const kNames[] = {"connect",       "get-local",
                                       "remote read",   "send local",
                                       "send remote",   "send remote as fast as replies",
                                       "monitor round", "discovery round"};
  return kNames[static_cast<int>(task)];
}

// What a run gave, to compare with the well-behaved group's.
struct Result {
  bool completed = false;
  bool failed = false;  // ended with a failure the user is told of
  std::set<std::string> values;
  std::map<int, Lines> stored;
  Lines prompts;
  Lines violations;
  Lines wrong;
  int firstVisit = 0;  // the lines the first remote radio took on its first link
};

// Where a link drops: after the remote radio took that many lines (0: in
// answer to its dial), its last answer given or lost.
struct Drop {
  int at = -1;
  bool answered = true;
};

class MisbehaviourTest : public LinkTest {
 protected:
  Result run(Task task, Bad bad, Drop drop = {}) {
    engine.reset();
    serial.clearWrites();
    prompts.shown.clear();
    prompts.answers = {pbAbort, pbAbort, pbAbort};
    CheckingCallbacks checking;
    checking.local = {1};
    checking.master = {1};
    if (task == Task::MonitorRound) checking.read = {1, 2, 3};
    engine = std::make_unique<TcomPort>(serial, timer, prompts, settings, view, &terminal);
    engine->AttachMainWindow(&status, &checking);
    checking.engine = engine.get();
    serial.setActive(true);
    Ends outcome;
    engine->addObserver(&outcome);
    // Discovery rounds as fast as replies, monitor rounds ticked at 1.0 s.
    engine->setPollInterval(task == Task::Discovery || task == Task::SendRemoteFast ? 0 : 1000);
    Radios radios(serial, [this](const std::string& line) { engine->Send(true, 0, line); });
    radios.bad = bad;
    radios.target = targetOf(task);
    radios.dropAt = drop.at;
    radios.dropAnswered = drop.answered;
    radios.install();

    start(task);
    // A slow radio costs each exchange a second ask and a tick more.
    // A dropped link is over within a round.
    const int ticks = (task == Task::MonitorRound || task == Task::Discovery) && drop.at < 0 ? 120
                      : bad == Bad::Slow                                                     ? 120
                                                                                             : 40;
    // Virtual time: the tick comes only when the line has been quiet for
    // its interval, that is when no answer is on its way.
    for (int i = 0; i < ticks; ++i) {
      radios.pump();
      if (done(task, outcome)) break;
      if (!radios.quiet()) continue;
      timer.fire();
      radios.ticked();
    }
    radios.pump();

    Result r;
    for (const auto& [code, how] : outcome.ended) {
      r.completed = r.completed || how == TaskEnd::Done;
      r.failed = r.failed || how != TaskEnd::Done;
    }
    if (task == Task::Connect) r.completed = reachedIdentification();
    if (task == Task::MonitorRound || task == Task::Discovery)
      r.completed = !checking.values.empty();
    for (const auto& shown : prompts.shown)
      r.failed = r.failed || shown.icon != PromptIcon::Information;
    r.values = checking.values;
    for (const auto& [radio, s] : radios.stored) {
      r.stored[radio] = s.lines;
      if (s.resetUnsaved) r.violations.push_back("AT&R before AT&W was answered");
      if (s.reset) r.stored[radio].push_back(s.saved ? "saved, reset" : "reset");
    }
    r.prompts = promptTexts();
    r.violations.insert(r.violations.end(), radios.violations.begin(), radios.violations.end());
    r.wrong = checking.wrong;
    r.firstVisit = radios.firstVisit;
    for (const std::string& line : radios.wrongRadio)
      r.violations.push_back(line + " went to the local radio after the link dropped");
    if (!done(task, outcome) && task != Task::MonitorRound && task != Task::Discovery)
      r.violations.push_back("the task did not end within its tries");
    engine->removeObserver(&outcome);
    engine.reset();
    return r;
  }

  static std::string targetOf(Task task) {
    switch (task) {
      case Task::Connect:
        return "AT";
      case Task::GetLocal:
      case Task::RemoteRead:
      case Task::Discovery:
        return "ATS101?";
      case Task::SendLocal:
        return "ATs4=N";
      case Task::SendRemote:
      case Task::SendRemoteFast:
        return "AT&W";
      case Task::MonitorRound:
        return "ATS8?";
    }
    return "";
  }

  void start(Task task) {
    switch (task) {
      case Task::Connect:
      case Task::GetLocal:
        engine->StartTask(tkGetLocal, "Get Local", {{1, 0}});
        break;
      case Task::RemoteRead:
        engine->StartTask(tkGetRemote, "Get Radio", {{2, 0}});
        break;
      case Task::SendLocal:
        engine->StartSend("Set Radio", {{1, 0}}, {"ATs2=7s3=M", "ATs4=N", "AT&W", "AT&R"});
        break;
      case Task::SendRemote:
      case Task::SendRemoteFast:
        engine->StartSend("Set Radio", {{2, 0}}, {"ATD2", "ATs2=7", "ATs4=N", "AT&W", "AT&R"});
        break;
      case Task::MonitorRound:
      case Task::Discovery:
        engine->StartTask(tkMonitor, "Monitor", {{1, 0}, {2, 0}, {3, 0}});
        break;
    }
  }

  bool done(Task task, const Ends& outcome) const {
    if (task == Task::Connect) return reachedIdentification() || !outcome.ended.empty();
    if (task == Task::MonitorRound || task == Task::Discovery) return false;
    return !outcome.ended.empty() && engine->state() == psIdle;
  }

  // The connect is done once the radio told who it is and its first page
  // was asked.
  bool reachedIdentification() const {
    const Lines sent = serial.lines();
    return std::find(sent.begin(), sent.end(), "ATI1") != sent.end();
  }
};

// A send started while a monitor's poll waits for its answer: the poll's
// answer must not pass for the connect's, and each line waits for its own
// "OK". Polling at 1.0 s and as fast as replies, to the local radio and to
// a remote one.
TEST_F(MisbehaviourTest, ASendStartedDuringAPollTakesNoneOfThePollsAnswers) {
  for (bool fast : {false, true}) {
    for (int radio : {1, 2}) {
      SCOPED_TRACE(std::string(fast ? "fast" : "1.0 s") + " to radio " + std::to_string(radio));
      engine.reset();
      prompts.shown.clear();
      CheckingCallbacks checking;
      checking.local = checking.master = {1};
      checking.read = {1, 2, 3};
      engine = std::make_unique<TcomPort>(serial, timer, prompts, settings, view, &terminal);
      engine->AttachMainWindow(&status, &checking);
      checking.engine = engine.get();
      serial.setActive(true);
      engine->setPollInterval(fast ? 0 : 1000);
      Radios radios(serial, {});
      radios.target = "ATS8?";
      radios.pauseAtTarget = true;
      radios.install();
      engine->StartTask(tkMonitor, "Monitor", {{1, 0}, {2, 0}, {3, 0}});
      for (int i = 0; i < 40 && !radios.paused(); ++i) {
        radios.pump();
        if (radios.quiet() && !radios.paused()) timer.fire();
      }
      ASSERT_TRUE(radios.paused());
      Lines lines = {"ATs2=7s3=M", "ATs4=N", "AT&W", "AT&R"};
      if (radio != 1) lines.insert(lines.begin(), "ATD" + std::to_string(radio));
      ASSERT_EQ(engine->StartSend("Set Radio", {{radio, 0}}, lines), LinkTasks::SendStart::Started);
      radios.pauseAtTarget = false;
      for (int i = 0; i < 40 && engine->task() != tkMonitor; ++i) {
        radios.pump();
        if (radios.quiet()) timer.fire();
      }
      EXPECT_TRUE(radios.violations.empty()) << radios.violations.front();
      EXPECT_TRUE(checking.wrong.empty()) << checking.wrong.front();
      EXPECT_EQ(promptTexts(), Lines{"Set Radio complete, radio reset"});
      EXPECT_EQ(radios.stored[radio].lines, (Lines{"ATs2=7s3=M", "ATs4=N"}));
      EXPECT_TRUE(radios.stored[radio].saved && !radios.stored[radio].resetUnsaved);
      EXPECT_EQ(engine->task(), tkMonitor) << "monitoring goes on after the send";
    }
  }
}

// A task started while a line that was no task's still owes its answer (a
// hang-up, a line typed in the terminal) sends its first command after that
// answer, not after whatever line comes first.
TEST_F(LinkTest, ATaskWaitsForTheAnswerToALineTypedBeforeIt) {
  make();
  engine->Send(true, 0, "ATH");
  serial.clearWrites();
  engine->StartTask(tkGetLocal, "Get Local", {{1, 0}});
  for (const char* stray : {"ATH\r\n", "RING\r\n", "\n"}) {
    serial.receive(stray);
    EXPECT_TRUE(serial.writes.empty()) << stray;
  }
  serial.receive("OK\r\n");
  EXPECT_EQ(serial.lines(), Lines{"AT"});
}

TEST_F(MisbehaviourTest, EveryTaskAgainstEveryMisbehaviour) {
  const Task tasks[] = {Task::Connect,      Task::GetLocal,   Task::RemoteRead,
                        Task::SendLocal,    Task::SendRemote, Task::SendRemoteFast,
                        Task::MonitorRound, Task::Discovery};
  const Bad bads[] = {Bad::Echo,      Bad::Doubled, Bad::Late,    Bad::Missing,      Bad::Ring,
                      Bad::LineNoise, Bad::Noise,   Bad::Refusal, Bad::TerminalLine, Bad::Slow};
  int cells = 0;
  for (Task task : tasks) {
    const Result good = run(task, Bad::None);
    SCOPED_TRACE(nameOf(task));
    ASSERT_TRUE(good.completed);
    ASSERT_FALSE(good.failed) << (good.prompts.empty() ? "" : good.prompts.front());
    ASSERT_TRUE(good.violations.empty()) << good.violations.front();
    ASSERT_TRUE(good.wrong.empty()) << good.wrong.front();
    for (Bad bad : bads) {
      SCOPED_TRACE(nameOf(bad));
      ++cells;
      const Result r = run(task, bad);
      EXPECT_TRUE(r.wrong.empty()) << r.wrong.front();
      EXPECT_TRUE(r.violations.empty()) << r.violations.front();
      EXPECT_TRUE(r.completed || r.failed) << "neither done nor failed";
      // Every value taken is one the radio holds in that register.
      for (const std::string& v : r.values) EXPECT_TRUE(good.values.count(v)) << v;
      // Nothing is reported done that was not. (A monitor's rounds never
      // end: a slow radio's are only slower.)
      const bool rounds = task == Task::MonitorRound || task == Task::Discovery;
      if (r.completed && bad != Bad::Refusal && !(rounds && bad == Bad::Slow)) {
        EXPECT_EQ(r.values, good.values);
        EXPECT_EQ(r.stored, good.stored);
      }
      const bool exact = bad == Bad::Echo || bad == Bad::Doubled || bad == Bad::Late ||
                         bad == Bad::Missing || bad == Bad::Ring || bad == Bad::LineNoise ||
                         bad == Bad::TerminalLine;
      if (exact) {
        EXPECT_TRUE(r.completed);
        EXPECT_EQ(r.prompts, good.prompts);
      }
      if (bad == Bad::Refusal &&
          (task == Task::SendLocal || task == Task::SendRemote || task == Task::SendRemoteFast)) {
        EXPECT_EQ(r.prompts, Lines{"ERROR from radio on sending " + targetOf(task)});
      }
    }
  }
  EXPECT_EQ(cells, 8 * 10);
}

// The link to the radio dialled drops at every point of every task that
// dials: in answer to the dial, then after each line the radio took, its
// answer given before "NO CARRIER" or lost. No line meant for that radio
// reaches the local one, nothing the local radio says passes for the
// remote's, and a read or send that lost its radio ends naming it.
TEST_F(MisbehaviourTest, ALinkThatDropsAtAnyPointSendsNothingToTheWrongRadio) {
  const Task tasks[] = {Task::RemoteRead, Task::SendRemote, Task::SendRemoteFast,
                        Task::MonitorRound, Task::Discovery};
  int cells = 0;
  for (Task task : tasks) {
    SCOPED_TRACE(nameOf(task));
    const Result good = run(task, Bad::None);
    ASSERT_GT(good.firstVisit, 0);
    const bool rounds = task == Task::MonitorRound || task == Task::Discovery;
    for (bool answered : {true, false}) {
      for (int at = 0; at <= good.firstVisit; ++at) {
        if (at == 0 && !answered) continue;
        SCOPED_TRACE("drop after line " + std::to_string(at) +
                     (answered ? ", answered" : ", its answer lost"));
        ++cells;
        const Result r = run(task, Bad::None, {at, answered});
        EXPECT_TRUE(r.violations.empty()) << r.violations.front();
        EXPECT_TRUE(r.wrong.empty()) << r.wrong.front();
        EXPECT_TRUE(r.completed || r.failed) << "neither done nor failed";
        for (const std::string& v : r.values) EXPECT_TRUE(good.values.count(v)) << v;
        EXPECT_EQ(r.stored.count(1), 0u) << "the local radio took settings";
        // A send stops at the drop: radio 2 holds the lines before it.
        const Lines sent = r.stored.count(2) ? r.stored.at(2) : Lines{};
        const Lines all = good.stored.count(2) ? good.stored.at(2) : Lines{};
        EXPECT_TRUE(sent.size() <= all.size() && std::equal(sent.begin(), sent.end(), all.begin()))
            << sent.size();
        if (r.failed && !rounds) {
          ASSERT_FALSE(r.prompts.empty());
          EXPECT_NE(r.prompts.back().find("radio 2"), std::string::npos) << r.prompts.back();
        }
        if (rounds) {
          // The round goes on with the next radio.
          EXPECT_TRUE(r.prompts.empty()) << r.prompts.front();
          EXPECT_TRUE(std::any_of(r.values.begin(), r.values.end(),
                                  [](const std::string& v) { return v.rfind("3:", 0) == 0; }));
        }
      }
    }
  }
  EXPECT_GT(cells, 60);
}

}  // namespace
}  // namespace tessel::testing

namespace tessel {
namespace {

// Which received line answers what, by its whole text: a line that only
// contains "OK" is no "OK", an echo or a modem's own code answers nothing,
// and a value must have a value's form.
TEST(OwedExchanges, MatchLinesByTheirWholeText) {
  using M = OwedExchanges::Match;
  struct Step {
    const char* line;
    M match;
    ReplyClass rc;  // of a delivered answer
  };
  struct Case {
    const char* name;
    std::vector<std::string> sent;
    std::vector<Step> steps;
  } cases[] = {
      {"a stray line before a refused save",
       {"AT&W"},
       {{"LINK BROKEN", M::Dropped, rcText}, {"ERROR", M::Answer, rcError}}},
      {"blanks at the ends", {"ATs2=7\r"}, {{" OK ", M::Answer, rcOK}, {"OK", M::Dropped, rcText}}},
      {"an echo, noise, then the value",
       {"ATS8?"},
       {{"ATS8?", M::Dropped, rcText},
        {"RING", M::Dropped, rcText},
        {"LINK 0K", M::Dropped, rcText},
        {"-80", M::Answer, rcText},
        {"7", M::Dropped, rcText},
        {"OK", M::Answer, rcOK}}},
      {"an OK without a value", {"ATS8?"}, {{"OK", M::Dropped, rcText}, {"5", M::Dropped, rcText}}},
      {"a page refused", {"ATI1"}, {{"COMMAND IGNORED", M::Answer, rcIgnored}}},
      {"a word that only ends alike", {"ATI1"}, {{"UNIGNORED", M::Answer, rcText}}},
      {"a reset owes nothing", {"AT&R"}, {{"Vireo ready", M::Dropped, rcText}}},
      {"answers come in order",
       {"ATS1?", "AT"},
       {{"1", M::Answer, rcText}, {"OK", M::Answer, rcOK}, {"OK", M::Answer, rcOK}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OwedExchanges owed;
    for (const std::string& line : c.sent)
      owed.sent(line, true, false, [](const std::string& v) {
        return v.find(' ') == v.npos && v.size() < 6 && v != "RING";
      });
    for (const Step& s : c.steps) {
      Answer a;
      ASSERT_EQ(owed.match(s.line, a), s.match) << s.line;
      if (s.match == M::Answer) {
        EXPECT_EQ(a.rc, s.rc) << s.line;
      }
    }
  }
}

// A command asked again owes two answers: the first is the task's, the
// second is dropped, and until it comes (or its time is up) the next
// command waits. A task that ended leaves its answers to no one.
TEST(OwedExchanges, AskedAgainOwesTwoAnswersAndOrphansAnswerNoOne) {
  OwedExchanges owed;
  Answer a;
  owed.sent("ATS1?", true);
  owed.tick();
  owed.sent("ATS1?", true, true);
  owed.tickDone();
  EXPECT_EQ(owed.match("11", a), OwedExchanges::Match::Answer);
  EXPECT_EQ(owed.match("OK", a), OwedExchanges::Match::Answer);
  EXPECT_TRUE(owed.holding());
  EXPECT_FALSE(owed.settled());
  EXPECT_EQ(owed.match("11", a), OwedExchanges::Match::Dropped);
  EXPECT_EQ(owed.match("OK", a), OwedExchanges::Match::Dropped);
  EXPECT_TRUE(owed.empty());

  // The second answer never comes: two ticks later it is given up.
  owed.sent("ATS1?", true);
  owed.tick();
  owed.sent("ATS1?", true, true);
  owed.tickDone();
  owed.match("11", a);
  owed.match("OK", a);
  owed.tick();
  owed.tickDone();
  EXPECT_TRUE(owed.holding());
  owed.tick();
  owed.tickDone();
  EXPECT_TRUE(owed.empty());

  owed.sent("ATH", false);
  EXPECT_TRUE(owed.ownerlessOwed());
  owed.sent("ATS2?", true);
  owed.orphan();
  EXPECT_EQ(owed.match("OK", a), OwedExchanges::Match::Dropped);
  EXPECT_EQ(owed.match("22", a), OwedExchanges::Match::Dropped);
  EXPECT_EQ(owed.match("OK", a), OwedExchanges::Match::Dropped);
  EXPECT_TRUE(owed.empty());
}

}  // namespace
}  // namespace tessel
