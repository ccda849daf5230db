// The COM port dialog's logic: auto-configuration, settings kept per user,
// the port scan, the status bar and the traffic log.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <tuple>

#include <unistd.h>

#include "link/log_writer.h"
#include "link_fixture.h"

namespace tessel::testing {
namespace {

using Lines = std::vector<std::string>;
using Setting = std::tuple<int32_t, eParity, eDataBits, eStopBits>;

Setting settingOf(const FakeSerialLink::Write& w) {
  return {w.baud, w.parity, w.dataBits, w.stopBits};
}

TEST_F(LinkTest, SearchButtonActsOnTheSearchNotOnItsCaption) {
  make();
  // A caption the window drew differently decides nothing: the click
  // starts the search, and the next one cancels it.
  view.setAutoConfigureCaption("Cancel");
  engine->autoConfigureClick();
  EXPECT_EQ(engine->task(), tkAutoConfigure);
  EXPECT_TRUE(engine->comPortDialog().searchRunning());
  EXPECT_EQ(view.autoConfigureCaption(), "Cancel");
  view.setAutoConfigureCaption("&Auto Configure");
  engine->autoConfigureClick();
  EXPECT_EQ(engine->task(), tkLocalOnly);
  EXPECT_EQ(engine->state(), psIdle);
  EXPECT_FALSE(engine->comPortDialog().searchRunning());
  EXPECT_EQ(view.autoConfigureCaption(), "&Auto Configure");

  // Connecting at the line as set: at 19200 8N1 through the fixed sequence
  // that starts with "AT" (and sets that line); at another rate, or with
  // another line at 19200, with "+++" at the line as set.
  const struct {
    const char* baud;
    int parityIndex;
    const char* first;
  } connects[] = {{"19200", 2, "AT"}, {"  9600", 2, "+++"}, {"19200", 1, "+++"}};
  for (const auto& c : connects) {
    SCOPED_TRACE(std::string(c.baud) + " parity " + std::to_string(c.parityIndex));
    serial.clearWrites();
    view.setBaudRateText(c.baud);
    engine->baudRateChange();
    view.setParityIndex(c.parityIndex);
    engine->parityClick();
    engine->clearSettingsCode();  // connect at the line as set
    engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
    ASSERT_FALSE(serial.writes.empty());
    EXPECT_EQ(serial.lines().front(), c.first);
    EXPECT_EQ(serial.Parity(), c.parityIndex == 1 ? paOdd : paNone);
    engine->StartTask(tkLocalOnly, "", {});
  }
}

// A search would cut a monitor or a read short: it is refused with a word.
TEST_F(LinkTest, AutoConfigureDuringAMonitorOrAReadIsRefused) {
  make();
  for (TaskCode task : {tkMonitor, tkGetLocal}) {
    engine->StartTask(task, "t", {{1, 0}});
    prompts.shown.clear();
    engine->autoConfigureClick();
    EXPECT_EQ(engine->task(), task);
    EXPECT_FALSE(engine->comPortDialog().searchRunning());
    EXPECT_EQ(view.autoConfigureCaption(), "&Auto Configure");
    EXPECT_EQ(promptTexts(),
              Lines{"The link is busy with another task: Auto Configure did not start."});
    engine->StartTask(tkLocalOnly, "", {});
  }
}

TEST_F(LinkTest, AutoConfigurationTriesFortyEightSettingsThenGivesUp) {
  make();
  engine->autoConfigureClick();
  EXPECT_EQ(view.autoConfigureCaption(), "Cancel");
  EXPECT_FALSE(view.isEnabled(cpBaudRate));
  EXPECT_FALSE(view.isEnabled(cpPortNumber));
  EXPECT_EQ(status.panelText(1), "COM configure");
  // Each tick enables the line settings of an open port again; the port
  // number stays with the search.
  timer.fire();
  EXPECT_TRUE(view.isEnabled(cpBaudRate));
  EXPECT_FALSE(view.isEnabled(cpPortNumber));
  for (int i = 0; i < 60 && engine->state() != psError; ++i) timer.fire();
  ASSERT_EQ(engine->state(), psError);
  EXPECT_EQ(view.autoConfigureCaption(), "&Auto Configure");
  EXPECT_TRUE(view.isEnabled(cpPortNumber));

  // After the fixed connect sequence ("AT", "+++", "+++"), one "+++" per code.
  const auto& w = serial.writes;
  ASSERT_EQ(w.size(), 3u + 48u);
  std::set<Setting> tried;
  for (size_t i = 3; i < w.size(); ++i) {
    EXPECT_EQ(w[i].bytes, "+++\r");
    EXPECT_EQ(w[i].stopBits, st1bit);
    tried.insert(settingOf(w[i]));
  }
  EXPECT_EQ(tried.size(), 48u);
  EXPECT_EQ(settingOf(w[3]), Setting(38400, paNone, d8bit, st1bit));
  EXPECT_EQ(settingOf(w.back()), Setting(300, paEven, d7bit, st1bit));
  // The search says it found nothing, and the engine rests.
  timer.fire();
  EXPECT_EQ(promptTexts(), Lines{"Auto Configure: no radio answered on any setting. Unable to "
                                 "Contact Radio, check power and cables"});
  EXPECT_EQ(engine->state(), psIdle);
  EXPECT_EQ(engine->task(), tkLocalOnly);
}

TEST_F(LinkTest, AutoConfigurationStopsAtTheFirstAnswer) {
  make();
  // The radio listens at 2400 baud, even parity, 7 data bits.
  serial.responder = [this](const std::string& line) {
    if (serial.Baudrate() != 2400 || serial.Parity() != paEven || serial.DataBits() != d7bit)
      return;
    if (line == "+++" || line == "ATI2" || line == "ATI3") serial.queueReply("OK\r\n");
    if (line == "ATI") serial.queueReply("V2.0\r\n");
    if (line == "ATI1") serial.queueReply("OK\r\n");
    if (line == "ATS100?") serial.queueReply("ERROR\r\n");
  };
  engine->autoConfigureClick();
  for (int i = 0; i < 60 && !serial.hasPending(); ++i) timer.fire();
  serial.pump();
  EXPECT_EQ(serial.lines().back(), "ATH");
  EXPECT_EQ(view.autoConfigureCaption(), "&Auto Configure");
  EXPECT_EQ(engine->task(), tkLocalOnly);
  EXPECT_EQ(engine->state(), psIdle);
  EXPECT_TRUE(serial.Active());
  EXPECT_EQ(serial.Baudrate(), 2400);
  EXPECT_EQ(serial.Parity(), paEven);
  EXPECT_EQ(serial.DataBits(), d7bit);
  EXPECT_EQ(view.baudRateText(), "  2400");
  // The search ends naming the settings it found.
  EXPECT_EQ(promptTexts(),
            Lines{"Auto Configure found the radio at 2400 baud, 7 data bits, even parity, 1 stop "
                  "bit."});
  timer.fire();
  EXPECT_EQ(prompts.shown.size(), 1u);
  engine.reset();
  EXPECT_EQ(settings.integers["autoConfig"], (7 - 3) << 4 | 2 << 2 | 2);
}

TEST_F(LinkTest, FinishDuringASearchEndsItAndGivesTheControlsBack) {
  make();
  view.setVisible(true);
  engine->autoConfigureClick();
  for (int i = 0; i < 5; ++i) timer.fire();
  ASSERT_EQ(engine->state(), psConfigAuto);
  engine->OkClick();
  EXPECT_FALSE(view.isVisible());
  EXPECT_EQ(view.autoConfigureCaption(), "&Auto Configure");
  EXPECT_TRUE(view.isEnabled(cpPortNumber));
  EXPECT_EQ(engine->task(), tkLocalOnly);
  EXPECT_EQ(engine->state(), psIdle);
  // No code of the abandoned search is applied any more.
  serial.clearWrites();
  int applied = engine->appliedCode();
  for (int i = 0; i < 3; ++i) timer.fire();
  EXPECT_TRUE(serial.writes.empty());
  EXPECT_EQ(engine->appliedCode(), applied);
}

// "Finish" and hiding the dialog belong to the port settings: a task that is
// not the search carries on, on the port it had, without a reopen (which
// would drop DTR under the radio).
TEST_F(LinkTest, FinishDuringATaskLeavesThePortAndTheTaskAlone) {
  struct Case {
    const char* name;
    TaskCode task;
    bool hideOnly;  // the dialog hidden by its frame instead of "Finish"
  };
  for (const Case& c : {Case{"read", tkGetLocal, false}, Case{"send", tkSendValues, false},
                        Case{"monitor", tkMonitor, false}, Case{"read, hidden", tkGetLocal, true},
                        Case{"send, hidden", tkSendValues, true}}) {
    SCOPED_TRACE(c.name);
    engine.reset();
    serial = FakeSerialLink();
    serial.clock = [this] { return timer.nowMs(); };
    prompts.shown.clear();
    make();
    callbacks.local = {1};
    callbacks.master = {1};
    answer({{"AT", {"OK"}}, {"ATI", {"V2.0"}}});
    if (c.task == tkSendValues) {
      engine->Send(false, 0, "ATs2=7\r");
      engine->Send(false, 0, "ATs4=N\r");
    }
    engine->StartTask(c.task, "task", {{1, 0}});
    serial.pump();
    const PortState state = engine->state();
    ASSERT_NE(state, psIdle);
    const int opens = serial.openAttempts;
    const int queued = engine->queue().Count();
    view.setVisible(true);
    if (c.hideOnly) {
      view.setVisible(false);
      engine->FormHide();
    } else {
      engine->OkClick();
    }
    EXPECT_FALSE(view.isVisible());
    EXPECT_EQ(serial.openAttempts, opens) << "an open port was reopened";
    EXPECT_TRUE(serial.Active());
    EXPECT_EQ(engine->state(), state);
    EXPECT_EQ(engine->task(), c.task);
    EXPECT_EQ(engine->queue().Count(), queued);
  }
}

TEST_F(LinkTest, FinishOpensAClosedPort) {
  make(false);
  ASSERT_FALSE(serial.Active());
  view.setVisible(true);
  engine->OkClick();
  EXPECT_TRUE(serial.Active());
  EXPECT_FALSE(view.isVisible());
}

TEST_F(LinkTest, AutoConfiguredRadioThatFallsSilentIsReportedLost) {
  make();
  // Found at 38400 8N1, then silent from the first single register on.
  serial.responder = [this](const std::string& line) {
    if (serial.Baudrate() != 38400) return;
    if (line == "+++" || line == "ATI1" || line == "ATI2" || line == "ATI3")
      serial.queueReply("OK\r\n");
    if (line == "ATI") serial.queueReply("V2.0\r\n");
  };
  engine->autoConfigureClick();
  for (int i = 0; i < 10 && !serial.hasPending(); ++i) timer.fire();
  serial.pump();
  ASSERT_EQ(serial.lines().back(), "ATS100?");
  for (int i = 0; i < 6 && prompts.shown.empty(); ++i) timer.fire();
  EXPECT_EQ(promptTexts(), Lines{"Unable to Contact Radio, check power and cables"});
  EXPECT_EQ(view.autoConfigureCaption(), "&Auto Configure");
  EXPECT_TRUE(view.isEnabled(cpPortNumber));
  EXPECT_EQ(engine->task(), tkLocalOnly);
  EXPECT_EQ(engine->state(), psIdle);
}

TEST_F(LinkTest, SettingsLoadAndSave) {
  settings.strings["ComPort"] = "3";
  settings.strings["Baud rate"] = "  4800";
  settings.integers["Data Bits"] = 7;
  settings.integers["Stop Bits"] = 2;
  settings.strings["Parity"] = "Mark";
  settings.integers["autoConfig"] = 32;
  settings.setExists(true);
  make(false);
  EXPECT_EQ(view.portNumberText(), "3");
  EXPECT_EQ(serial.Port(), 3);
  EXPECT_EQ(serial.Baudrate(), 4800);
  EXPECT_EQ(view.parityIndex(), 1) << "anything but None and Even reads as Odd";
  EXPECT_EQ(serial.Parity(), paOdd);
  EXPECT_EQ(serial.DataBits(), d7bit);
  EXPECT_EQ(serial.StopBits(), st2bit);
  EXPECT_EQ(engine->nextCode(), 32);
  EXPECT_EQ(engine->appliedCode(), -1);

  view.setParityIndex(2);
  engine->parityClick();
  engine.reset();
  EXPECT_EQ(settings.strings["ComPort"], "3");
  EXPECT_EQ(settings.strings["Baud rate"], "  4800");
  EXPECT_EQ(settings.integers["Data Bits"], 7);
  EXPECT_EQ(settings.integers["Stop Bits"], 2);
  EXPECT_EQ(settings.strings["Parity"], "None");
  EXPECT_EQ(settings.integers["autoConfig"], -1);
}

TEST_F(LinkTest, SettingsLoadingStopsAtTheFirstGapAndRejectsForeignCodes) {
  for (int stored : {12, 128, -5, 1000}) {
    settings = MemorySettingsStore();
    settings.strings["ComPort"] = "2";
    settings.strings["Baud rate"] = "38400";
    settings.integers["Data Bits"] = 8;
    settings.integers["Stop Bits"] = 1;
    settings.strings["Parity"] = "Even";
    settings.integers["autoConfig"] = stored;
    settings.setExists(true);
    make(false);
    EXPECT_EQ(engine->nextCode(), 0) << stored;
    EXPECT_EQ(serial.Parity(), paEven);
    engine.reset();
  }
  settings = MemorySettingsStore();
  settings.strings["ComPort"] = "2";
  settings.strings["Baud rate"] = "  1200";
  settings.strings["Parity"] = "Even";  // never reached: "Data Bits" is missing
  settings.setExists(true);
  make(false);
  EXPECT_EQ(serial.Baudrate(), 1200);
  EXPECT_EQ(view.parityIndex(), 2);
  engine.reset();

  // An empty port number means the defaults: port 1, 9600 8N1.
  settings = MemorySettingsStore();
  settings.strings["ComPort"] = "";
  settings.setExists(true);
  make(false);
  EXPECT_EQ(view.portNumberText(), "1");
  EXPECT_EQ(serial.Port(), 1);
  EXPECT_EQ(serial.Baudrate(), 9600);
  EXPECT_EQ(engine->nextCode(), 32);
}

TEST_F(LinkTest, StatusPanelsShowPortAndState) {
  make(false);
  engine->defaultsClick();
  EXPECT_EQ(status.panelText(0), "Active COM1:9600, 8,n,1");
  EXPECT_EQ(status.panelWidth(0), 400);
  EXPECT_EQ(status.panelWidth(1), 200);
  EXPECT_EQ(status.panelText(2), "Idle");
  // Defaults after the settings were changed by hand sets them again.
  view.setBaudRateText("  4800");
  engine->baudRateChange();
  view.setParityIndex(0);
  engine->parityClick();
  EXPECT_EQ(status.panelText(0), "Active COM1:4800, 8,e,1");
  engine->defaultsClick();
  EXPECT_EQ(status.panelText(0), "Active COM1:9600, 8,n,1");

  view.setBaudRateText("12345");
  engine->baudRateChange();
  EXPECT_FALSE(serial.Active());
  EXPECT_EQ(status.panelText(0).rfind("Inactive COM1:", 0), 0u);
  EXPECT_TRUE(view.isEnabled(cpFinish));  // always the way out
  EXPECT_TRUE(view.isEnabled(cpDefaults));

  engine->AttachMainWindow(nullptr, nullptr);
  int repaints = status.repaintCount();
  engine->defaultsClick();
  EXPECT_EQ(status.repaintCount(), repaints) << "nothing drawn without a status bar";
}

TEST_F(LinkTest, PortNumberZeroListsThePortsThatOpen) {
  make(false);
  serial.unavailable = {1, 2, 4};
  view.setPortNumberText("0");
  engine->comPortNumberChange();
  EXPECT_EQ(view.portNumberItems(), (Lines{"3", "5", "6", "7", "8", "9"}));
  EXPECT_EQ(view.portNumberText(), "3");
  EXPECT_EQ(serial.Port(), 3);
  EXPECT_TRUE(serial.Active());

  // No port to open: it stays closed and no tick reopens the last one.
  for (const char* text : {"12", "9999", "COM2", ""}) {
    timer.start();
    view.setPortNumberText(text);
    engine->comPortNumberChange();
    EXPECT_FALSE(serial.Active()) << text;
    EXPECT_FALSE(timer.isActive()) << text;
    EXPECT_EQ(serial.Port(), 3) << text;
  }
  engine->comPortNumberExit();
  EXPECT_EQ(promptTexts(), Lines{"COM Port needs a value."});

  // Defaults moves to port 1 as well as to its line settings.
  serial.unavailable.clear();
  engine->defaultsClick();
  EXPECT_EQ(view.portNumberText(), "1");
  EXPECT_EQ(serial.Port(), 1);
  EXPECT_TRUE(serial.Active());
}

TEST_F(LinkTest, LogRecordsSendsAndStatesWithStampsTicksAndKinds) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("tessel-link-log-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  settings.strings["LogPath"] = dir.string();
  LogWriter log(&settings, "/nonexistent");
  engine = std::make_unique<TcomPort>(serial, timer, prompts, settings, view, &terminal, &log);
  serial.setActive(true);
  engine->setLogging(true);
  engine->StartTask(tkGetLocal, "Get Local", {{0, 0}});
  // Line ends inside a record are written as escapes: one record, one line.
  serial.receive("V2.0\n2001/01/01 00:00:00.0000 i 1 forged\r\n");
  engine->Send(false, 0, "ATs1=2\r");
  serial.receive(std::string(5000, 'x'));
  engine->setLogging(false);
  engine->Send(true, 0, "ATI");  // not logged any more

  ASSERT_FALSE(log.currentFile().empty());
  EXPECT_EQ(fs::path(log.currentFile()).parent_path(), dir);
  std::ifstream in(log.currentFile());
  Lines lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  std::regex format(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.\d{4} [ieP] \d+ .+)");
  for (const auto& l : lines) EXPECT_TRUE(std::regex_match(l, format)) << l;
  auto text = [&](size_t i) { return lines.at(i).substr(lines.at(i).find(' ', 27) + 1); };
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0].substr(25, 1), "i");
  EXPECT_EQ(text(0), engine->logHeader());
  EXPECT_EQ(text(1), "> State:psConfigManual, ");
  EXPECT_EQ(text(2), "> State:psConfig16at, ");
  EXPECT_EQ(text(3), "Send(): AT");
  EXPECT_EQ(lines[3].substr(25, 1), "P");
  EXPECT_EQ(text(4), "> State:psConfig16plus, V2.0\\n2001/01/01 00:00:00.0000 i 1 forged");
  EXPECT_EQ(text(5), "Send(): ATs1=2\\r");
  EXPECT_EQ(lines[6].substr(25, 1), "e");  // the receive buffer overflowed once
  fs::remove_all(dir);
}

TEST(LogWriter, OneFilePerWeekdayNamedForItAndSwitchedAtMidnight) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("tessel-weekday-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  // Local time, so the test holds in any time zone: 6 December 2026 was a Sunday.
  auto at = [](int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&t));
  };
  const char* const names[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                               "Thursday", "Friday", "Saturday"};
  for (int i = 0; i < 7; ++i) {
    const auto when = at(6 + i, 12, 0);
    LogWriter log(nullptr, dir.string(), [when] { return when; });
    ASSERT_TRUE(log.write('i', 1, "x"));
    EXPECT_EQ(log.currentFile(), (dir / (std::string(names[i]) + ".log")).string());
  }
  // One writer running over midnight moves on to the next day's file.
  std::chrono::system_clock::time_point now = at(7, 23, 59);
  LogWriter log(nullptr, dir.string(), [&now] { return now; });
  ASSERT_TRUE(log.write('i', 1, "late"));
  EXPECT_EQ(fs::path(log.currentFile()).filename(), "Monday.log");
  now = at(8, 0, 1);
  ASSERT_TRUE(log.write('i', 2, "early"));
  EXPECT_EQ(fs::path(log.currentFile()).filename(), "Tuesday.log");
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) files += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 7u) << "no other file than the seven weekdays'";
  fs::remove_all(dir);
}

TEST(LogWriter, ReplacesLastWeeksFileOfTheSameWeekday) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("tessel-week-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  auto now = std::chrono::system_clock::now();
  auto count = [](const std::string& file) {
    std::ifstream in(file);
    int n = 0;
    for (std::string l; std::getline(in, l);) ++n;
    return n;
  };
  {
    LogWriter today(nullptr, dir.string(), [now] { return now; });
    ASSERT_TRUE(today.write('i', 1, "one"));
    ASSERT_TRUE(today.write('i', 2, "two"));
  }
  std::string file;
  {
    LogWriter sameDay(nullptr, dir.string(), [now] { return now; });
    ASSERT_TRUE(sameDay.write('i', 3, "three"));
    file = sameDay.currentFile();
  }
  EXPECT_EQ(count(file), 3) << "the same day appends";
  {
    LogWriter nextWeek(nullptr, dir.string(), [now] { return now + std::chrono::hours(24 * 7); });
    ASSERT_TRUE(nextWeek.write('i', 1, "new week"));
    EXPECT_EQ(nextWeek.currentFile(), file);
  }
  EXPECT_EQ(count(file), 1) << "a week later the file starts again";

  LogWriter nowhere(nullptr, "/proc/no/such/dir");
  EXPECT_FALSE(nowhere.write('i', 1, "x"));
  EXPECT_FALSE(nowhere.lastError().empty());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tessel::testing

namespace tessel::testing {
namespace {

// A line given as one value reaches the port and the controls as the
// controls' own handlers would put it there, and reads back the same;
// every settings code is such a line.
TEST_F(LinkTest, ALineGivenAsAValueIsWhatTheControlsAndThePortHold) {
  make();
  ComPortDialog& dialog = engine->comPortDialog();
  const LineSettings lines[] = {{9600, paNone, d8bit, st1bit},
                                {2400, paEven, d7bit, st2bit},
                                {38400, paOdd, d8bit, st2bit},
                                {300, paEven, d7bit, st1bit}};
  for (const LineSettings& line : lines) {
    SCOPED_TRACE(line.baud);
    dialog.setLine(line);
    EXPECT_EQ(serial.Baudrate(), line.baud);
    EXPECT_EQ(serial.Parity(), line.parity);
    EXPECT_EQ(serial.DataBits(), line.dataBits);
    EXPECT_EQ(serial.StopBits(), line.stopBits);
    EXPECT_TRUE(dialog.line() == line);
    EXPECT_EQ(std::stoi(view.baudRateText()), line.baud);
    // The handlers, clicked on the controls as shown, change nothing.
    engine->baudRateChange();
    engine->parityClick();
    engine->dataBitsClick();
    engine->stopBitsClick();
    EXPECT_TRUE(dialog.line() == line);
    EXPECT_EQ(serial.Parity(), line.parity);
  }
  for (int code = 0; code < kSearchEnd; ++code) {
    if (!isSettingsCode(code)) continue;
    dialog.applyCode(code);
    EXPECT_TRUE(dialog.selectionIs(code)) << code;
    EXPECT_TRUE(dialog.line() == lineOfCode(code)) << code;
  }
  // A rate the port does not know closes it, as one typed into the box does.
  dialog.setLine({14400, paNone, d8bit, st1bit});
  EXPECT_EQ(dialog.selectedBaud(), 0);
  EXPECT_FALSE(serial.Active());
}

}  // namespace
}  // namespace tessel::testing
