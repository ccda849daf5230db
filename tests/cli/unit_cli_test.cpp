#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/cli_args.h"
#include "cli/cli_loop.h"
#include "cli/cli_session.h"
#include "cli/conf_settings.h"
#include "cli/group_set.h"
#include "model/brand.h"
#include "model/panel.h"
#include "model/radio_codec.h"

using namespace tessel;
using namespace tessel::cli;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(CliArgs, ParsesCommandsOptionsAndPositionals) {
  ParsedArgs a;
  std::string error;
  ASSERT_TRUE(parseArgs(
      {"monitor", "g.vro", "--interval", "0.5", "/dev/pts/3", "--cycles=2", "--log"}, a, error))
      << error;
  EXPECT_EQ(a.command, "monitor");
  EXPECT_EQ(a.positionals, (std::vector<std::string>{"g.vro", "/dev/pts/3"}));
  EXPECT_EQ(a.value("--interval"), "0.5");
  EXPECT_EQ(a.value("--cycles"), "2");
  EXPECT_TRUE(a.has("--log"));
  EXPECT_FALSE(a.has("--trace"));

  ASSERT_TRUE(parseArgs({"get-local", "--help"}, a, error));
  EXPECT_TRUE(a.help);
  ASSERT_TRUE(parseArgs({"--help"}, a, error));
  EXPECT_TRUE(a.help);

  struct Bad {
    std::vector<std::string> args;
  } bad[] = {{{}},
             {{"bogus"}},
             {{"get-local"}},
             {{"get-local", "a", "b"}},
             {{"get-local", "a", "--baud"}},
             {{"get-local", "a", "--log=yes"}},
             {{"sim", "--interval", "1"}},
             {{"demo", "x"}}};
  for (const Bad& b : bad)
    EXPECT_FALSE(parseArgs(b.args, a, error)) << ::testing::PrintToString(b.args);
}

// group-set's values, each checked as the panel checks it; --behind of the
// simulator repeats.
TEST(CliArgs, GroupSetValuesAndRepeatedBehind) {
  struct Case {
    std::vector<std::string> options;
    bool ok;
    std::string changed;  // the group's values after, "" when refused
  };
  const std::vector<Case> cases = {
      {{"--group-id", "09", "--retx", "no", "--repeaters", "YES"}, true, "9,0,1,1200,0,1,920.0"},
      {{"--flush-time", "12.5", "--blocked", "915.7, 902.5"}, true, "7,0,1,12.5,1,0,915.7 902.5"},
      {{"--flush-time", "6553", "--blocked", "none"}, true, "7,0,1,6553,1,0,"},
      {{"--flush-time", "6552.9"}, true, "7,0,1,6552.9,1,0,920.0"},
      {{"--security-id", "65534", "--rf-band", "3"}, true, "7,65534,3,1200,1,0,920.0"},
      {{}, false, ""},
      {{"--group-id", "0"}, false, ""},
      {{"--group-id", "64"}, false, ""},
      {{"--security-id", "65535"}, false, ""},
      {{"--rf-band", "0"}, false, ""},
      {{"--rf-band", "5"}, false, ""},
      {{"--rf-band", "4"}, true, "7,0,4,1200,1,0,920.0"},
      {{"--flush-time", "6553.1"}, false, ""},
      {{"--flush-time", "1.25"}, false, ""},
      {{"--repeaters", "maybe"}, false, ""},
      {{"--blocked", "901.0"}, false, ""},
      {{"--blocked", "915.75"}, false, ""},
      {{"--blocked", "915,916,917,918,919,920,921,922,923,924,925,926,927"}, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.options));
    std::vector<std::string> argv = {"group-set", "p.vro", "/dev/null"};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    ParsedArgs a;
    std::string error;
    ASSERT_TRUE(parseArgs(argv, a, error)) << error;
    GroupSetRequest r;
    const bool ok = parseGroupSet(a, r, error);
    if (!c.ok) {
      EXPECT_FALSE(ok);
      continue;
    }
    ASSERT_TRUE(ok) << error;
    GroupSettings old;
    old.groupID = 7;
    old.blocked[3] = 9200;
    const GroupSettings g = r.applied(old);
    std::string blocked;
    for (long f : g.blocked)
      if (f != 0) blocked += (blocked.empty() ? "" : " ") + codec::blockedText(f);
    EXPECT_EQ(std::to_string(g.groupID) + "," + std::to_string(g.securityID) + "," +
                  std::to_string(g.rfband) + "," + codec::flushTimeText(g.flushTime) + "," +
                  std::to_string(itemOf(g.repeaters)) + "," +
                  std::to_string(itemOf(g.reTXBroadcasts)) + "," + blocked,
              c.changed);
  }
  ParsedArgs a;
  std::string error;
  ASSERT_TRUE(parseArgs({"sim", "--behind", "5:3", "--behind=7:6,8:6"}, a, error)) << error;
  EXPECT_EQ(a.value("--behind"), "5:3,7:6,8:6");
}

TEST(CliArgs, ValueConversions) {
  struct Seconds {
    const char* text;
    bool ok;
    int ms;
  } seconds[] = {{"1", true, 1000},  {"0.05", true, 50},  {".5", true, 500}, {"2.125", true, 2125},
                 {"1.", true, 1000}, {"0.001", false, 0}, {"61", false, 0},  {"1.2345", false, 0},
                 {"-1", false, 0},   {"", false, 0},      {".", false, 0},   {"1e3", false, 0}};
  for (const Seconds& s : seconds) {
    int ms = 0;
    EXPECT_EQ(parseSeconds(s.text, 10, 60'000, ms), s.ok) << s.text;
    if (s.ok) {
      EXPECT_EQ(ms, s.ms) << s.text;
    }
  }
  std::vector<int> models;
  EXPECT_TRUE(parseModels("0,1,2", models));
  EXPECT_EQ(models, (std::vector<int>{0, 1, 2}));
  for (const char* bad : {"", "3", "0,", ",1", "0,,1", "a", "99999999999"})
    EXPECT_FALSE(parseModels(bad, models)) << bad;
  int n = 0;
  EXPECT_FALSE(parseCount("99999999999", 0, 10, n));  // no overflow

  ParsedArgs a;
  std::string error;
  LineOverrides line;
  ASSERT_TRUE(parseArgs({"get-local", "COM1", "--baud", "19200", "--parity", "Even", "--data-bits",
                         "7", "--stop-bits", "2"},
                        a, error));
  ASSERT_TRUE(parseLineOverrides(a, line, error)) << error;
  EXPECT_EQ(line.baud, 19200);
  EXPECT_EQ(line.parity, 0);
  EXPECT_EQ(line.dataBits, 7);
  EXPECT_EQ(line.stopBits, 2);
  for (auto opt : std::vector<std::pair<const char*, const char*>>{
           {"--baud", "14400"}, {"--parity", "mark"}, {"--data-bits", "9"}, {"--stop-bits", "0"}}) {
    ASSERT_TRUE(parseArgs({"get-local", "COM1", opt.first, opt.second}, a, error));
    EXPECT_FALSE(parseLineOverrides(a, line, error)) << opt.first << " " << opt.second;
  }
}

TEST(ConfSettings, ReadsTheWindowedProgramsFileAndNeverWritesIt) {
  char tmpl[] = "/tmp/conf_settings_XXXXXX";
  std::string dir = ::mkdtemp(tmpl);
  std::string path = dir + "/Tessel.conf";
  const std::string text =
      "[General]\n"
      "ComPort=3\n"
      "Baud%20rate=\"  9600\"\n"
      "Data%20Bits=7\n"
      "Parity=Even\n"
      "COM2=/dev/ttyUSB7\n"
      "autoConfig=notanumber\n"
      "Empty=\n";
  std::ofstream(path) << text;
  {
    ConfSettings s(path);
    EXPECT_TRUE(s.exists());
    std::string v;
    int n = 0;
    ASSERT_TRUE(s.readString("Baud rate", v));
    EXPECT_EQ(v, "  9600");  // the quotes keep the blanks the selector shows
    ASSERT_TRUE(s.readInteger("Data Bits", n));
    EXPECT_EQ(n, 7);
    ASSERT_TRUE(s.readString("COM2", v));
    EXPECT_EQ(v, "/dev/ttyUSB7");
    EXPECT_FALSE(s.readInteger("autoConfig", n));
    EXPECT_TRUE(s.readString("Empty", v));
    EXPECT_EQ(v, "");
    EXPECT_FALSE(s.readString("Stop Bits", v));
    EXPECT_TRUE(s.writeInteger("Stop Bits", 2));
    ASSERT_TRUE(s.readInteger("Stop Bits", n));
    EXPECT_EQ(n, 2);
  }
  std::ifstream in(path);
  std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(after, text);

  ConfSettings missing(dir + "/none.conf");
  EXPECT_FALSE(missing.exists());
  std::string v;
  EXPECT_FALSE(missing.readString("ComPort", v));

  ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  EXPECT_EQ(ConfSettings::defaultPath("Corvane", "Tessel"), dir + "/Corvane/Tessel.conf");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(ConfSettings::escapeKey("Baud rate/x"), "Baud%20rate\\x");
  fs::remove_all(dir);
}

TEST(CliLoop, TimersRunOnTheLoopThread) {
  CliLoop loop;
  auto timer = loop.createTimer();
  std::thread::id ranOn;
  int ticks = 0;
  timer->setHandler([&] {
    ranOn = std::this_thread::get_id();
    if (++ticks == 3) loop.quit();
  });
  timer->setInterval(10);
  // Before the start: the ticks are due from it, and a pause before the
  // clock was read would bring them due sooner after it.
  auto t0 = std::chrono::steady_clock::now();
  timer->start();
  EXPECT_TRUE(loop.run(2000ms));
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 25ms);
}

TEST(CliLoop, ATimeScaleBringsTicksSoonerButKeepsTheInterval) {
  std::atomic<int64_t> nowMs{0};
  CliLoop loop([&] { return CliLoop::Clock::time_point(std::chrono::milliseconds(nowMs.load())); });
  loop.setTimeScale(10);
  auto timer = loop.createTimer();
  int ticks = 0;
  timer->setHandler([&] { ++ticks; });
  timer->setInterval(2500);
  timer->start();
  EXPECT_EQ(timer->interval(), 2500);  // the engine reads back what it set
  nowMs = 249;
  loop.timeMoved();
  loop.run(30ms);
  EXPECT_EQ(ticks, 0);
  nowMs = 250;
  loop.timeMoved();
  loop.run(100ms);
  EXPECT_EQ(ticks, 1);
}

TEST(CliLoop, StoppedOrRestartedTimerDropsItsQueuedTick) {
  // The timers count on a hand-moved clock, so the machine's load cannot
  // make a tick early or late.
  std::atomic<int64_t> nowMs{0};
  CliLoop loop([&] { return CliLoop::Clock::time_point(std::chrono::milliseconds(nowMs.load())); });
  auto advance = [&](int64_t ms) {
    nowMs += ms;
    loop.timeMoved();
  };
  auto timer = loop.createTimer();
  int ticks = 0;
  timer->setHandler([&] { ++ticks; });
  timer->setInterval(5);
  timer->start();
  advance(30);  // a tick is queued but the loop has not run
  timer->stop();
  EXPECT_FALSE(timer->isActive());
  EXPECT_FALSE(loop.run(50ms));  // ends on its time limit
  EXPECT_EQ(ticks, 0);

  timer->setInterval(60);
  timer->start();
  advance(40);
  timer->start();  // restarting counts the interval again from now
  advance(59);
  loop.run(40ms);
  EXPECT_EQ(ticks, 0);
  advance(1);
  loop.run(100ms);
  EXPECT_EQ(ticks, 1);
}

TEST(CliPrompts, AnswersWithTheRefusalOnOffer) {
  struct Case {
    PromptButtons buttons;
    PromptButton answer;
  } cases[] = {{pbAbort | pbRetry, pbAbort},
               {pbOk | pbCancel, pbCancel},
               {pbYes | pbNo, pbNo},
               {pbOk, pbOk},
               {pbNone, pbOk}};
  for (const Case& c : cases) EXPECT_EQ(CliPrompts::answerFor(c.buttons), c.answer);
  std::ostringstream err;
  CliPrompts prompts(err);
  int shown = 0;
  prompts.onShown = [&] { ++shown; };
  EXPECT_EQ(prompts.show(PromptIcon::Error, "Unable to Contact Radio, check power and cables",
                         pbAbort | pbRetry),
            pbAbort);
  EXPECT_TRUE(prompts.failed());
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(err.str(), "tessel-cli: Unable to Contact Radio, check power and cables\n");
  // A notice is answered and is no failure: what it tells, the end of the
  // command tells (its status comes from that end, not from the box).
  std::ostringstream quiet;
  CliPrompts notices(quiet);
  EXPECT_EQ(notices.show(PromptIcon::Information, "Set Radio complete, radio reset", pbOk), pbOk);
  EXPECT_FALSE(notices.failed());
  EXPECT_EQ(quiet.str(), "");
}

TEST(SettingsReport, UsesTheProjectFilesKeysAndTexts) {
  const BrandModels& models = brandModels(0);
  RadioSettings s;
  s.group.groupID = 12;
  s.group.reTXBroadcasts = YesNo::no;
  s.group.repeaters = YesNo::yes;
  s.group.blocked[0] = 9157;
  s.radioMode = RadioMode::repeater;
  s.roaming = Roaming::masterID;
  s.protocol = AutoRouting::df1;
  s.bufferMode = BufferMode::packet;
  s.baudRate = 300;
  s.dataBits = 7;
  s.stopBits = 2;
  s.parity = Parity::odd;
  s.handShaking = Handshake::hardware;
  s.model = 1;
  auto report = Session::settingsReport(s, models);
  std::map<std::string, std::string> kv(report.begin(), report.end());
  EXPECT_EQ(report.front().first, "Group ID");
  EXPECT_EQ(kv["ReTXBroadcasts"], "No");
  EXPECT_EQ(kv["Repeaters"], "Yes");
  EXPECT_EQ(kv["s30"], "915.7");
  EXPECT_EQ(kv["Radio Mode"], "Repeater");
  EXPECT_EQ(kv["Roaming"], "No");
  EXPECT_EQ(kv["Auto-Routing"], "Allen Bradley DF1");
  EXPECT_EQ(kv["Buffer Mode"], "Packet");
  EXPECT_EQ(kv["Baud rate"], "300");
  EXPECT_EQ(kv["Data Bits"], "7");
  EXPECT_EQ(kv["Stop Bits"], "2");
  EXPECT_EQ(kv["Parity"], "Odd");
  EXPECT_EQ(kv["Handshaking"], "Yes");
  EXPECT_EQ(kv["Radio Model"], "Vireo Version 2");
  EXPECT_EQ(kv.count("Emulation Mode"), 0u);  // model-E keys only for model 0
  // The group's keys come first, then the radio's.
  auto pos = [&](const std::string& k) {
    for (size_t i = 0; i < report.size(); ++i)
      if (report[i].first == k) return i;
    return report.size();
  };
  EXPECT_LT(pos("s41"), pos("Radio ID"));

  s.model = 0;
  s.emulationMode = 3;
  report = Session::settingsReport(s, models);
  kv = std::map<std::string, std::string>(report.begin(), report.end());
  EXPECT_EQ(kv["Emulation Mode"], "Allen Bradley PLC");
}
