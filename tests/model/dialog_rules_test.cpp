// The blocked frequency and model-E dialogs' rules, and the monitor history.
#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <sstream>

#include "comma_locale.h"
#include "model/blocked_frequencies.h"
#include "model/catalogue.h"
#include "model/group_commands.h"
#include "model/model_e_rules.h"
#include "model/monitor_history.h"
#include "model_fixture.h"

namespace tessel {
namespace {

void leavingAFieldChecksTheBandAndCompletes() {
  struct Case {
    const char* in;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"", "", ""},
      {"915", "915.0", ""},
      {"915.", "915.0", ""},
      {"915.7", "915.7", ""},
      {"902.2", "902.2", ""},
      {"927.7", "927.7", ""},
      {"902.1", "", "902.1 not in Range of 902.2 to 927.7 MHz"},
      {"927.8", "", "927.8 not in Range of 902.2 to 927.7 MHz"},
      {"928", "", "928 not in Range of 902.2 to 927.7 MHz"},
      {"abc", "", "abc not in Range of 902.2 to 927.7 MHz"},
      {".", "", ". not in Range of 902.2 to 927.7 MHz"},
      {"9.1.5", "", "9.1.5 not in Range of 902.2 to 927.7 MHz"},
      {"0915.0", "0915.0", ""},
  };
  for (const Case& c : cases) {
    const BlockedExit e = blockedExit(c.in);
    EXPECT_EQ(e.text, c.text) << c.in;
    EXPECT_EQ(e.message, c.message) << c.in;
  }
}

TEST(BlockedFrequencyRules, LeavingAFieldChecksTheBandAndCompletes) {
  leavingAFieldChecksTheBandAndCompletes();
}

// The window runs under the desktop's locale: where the decimal mark is a
// comma, a frequency still reads with its point.
TEST(BlockedFrequencyRules, TheBandCheckReadsThePointUnderACommaLocale) {
  testing::CommaLocale comma;
  ASSERT_TRUE(comma.active()) << "no locale with a decimal comma (package \"locales\")";
  leavingAFieldChecksTheBandAndCompletes();
  EXPECT_EQ(blockedRangeMessage("902.5"), "");
  EXPECT_EQ(MhzToRegister("915.5"), "9155");
}

TEST(BlockedFrequencyRules, KeysAllowOnePointAndOneDecimal) {
  struct Case {
    const char* text;
    int caret;
    bool selection;
    char key;
    bool taken;
  };
  const Case cases[] = {
      {"", 0, false, '9', true},       {"", 0, false, 'a', false},
      {"915", 3, false, '.', true},    {"915.7", 5, false, '.', false},
      {"915.", 4, false, '7', true},   {"915.7", 5, false, '1', false},
      {"915.7", 4, true, '1', true},   {"915.7", 2, false, '1', true},
      {"915.7", 5, false, '\b', true}, {"915.7", 4, false, '1', false},
      {"915", 3, false, '-', false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(blockedKeyAccepted(c.text, c.caret, c.selection, c.key), c.taken)
        << c.text << " caret " << c.caret << " key " << c.key;
  }
}

TEST(BlockedFrequencyRules, PastedTextKeepsWhatTypingWouldHaveKept) {
  EXPECT_EQ(blockedTyped("915.7"), "915.7");
  EXPECT_EQ(blockedTyped("9a1b5"), "915");
  EXPECT_EQ(blockedTyped("915.75"), "915.7");
  EXPECT_EQ(blockedTyped("9.1.5"), "9.1");
  EXPECT_EQ(blockedTyped("abc"), "");
}

class DialogsTest : public ModelTest {};

TEST_F(DialogsTest, BlockedOkCommitsCancelRestoresCloseKeeps) {
  ScriptedPrompts& p = prompts;
  BlockedFrequencies d(panel, p);
  panel.blockedValues[0] = "915.7";
  d.show();
  EXPECT_EQ(d.fields[0], "915.7");
  EXPECT_FALSE(d.modified);

  d.enter(1);
  EXPECT_TRUE(d.key(1, 0, false, '9'));
  EXPECT_TRUE(d.modified);
  d.fields[1] = "920";
  // The field being edited is checked before the values are taken.
  d.ok(1);
  EXPECT_EQ(panel.blockedValues[1], "920.0");

  d.show();
  d.fields[0] = "";
  d.fields[2] = "903.3";
  d.cancel();
  EXPECT_EQ(panel.blockedValues[0], "915.7");
  EXPECT_EQ(panel.blockedValues[1], "920.0");
  EXPECT_EQ(panel.blockedValues[2], "");
  EXPECT_EQ(d.fields[2], "");

  // An out-of-range entry is committed empty, after its message.
  d.show();
  d.fields[3] = "950";
  d.ok(3);
  EXPECT_EQ(panel.blockedValues[3], "");
  ASSERT_EQ(p.texts().size(), 1u);
  EXPECT_EQ(p.texts()[0], "950 not in Range of 902.2 to 927.7 MHz");

  // The close box commits nothing; the next show has the values again.
  d.show();
  d.fields[0] = "910.0";
  d.close();
  EXPECT_EQ(panel.blockedValues[0], "915.7");
  d.show();
  EXPECT_EQ(d.fields[0], "915.7");
}

TEST_F(DialogsTest, BlockedEscapeRestoresAndRefusedKeysStillModify) {
  BlockedFrequencies d(panel, prompts);
  panel.blockedValues[4] = "915.7";
  d.show();
  d.enter(4);
  d.fields[4] = "91";
  EXPECT_FALSE(d.key(4, 2, false, '\x1b'));
  EXPECT_EQ(d.fields[4], "915.7");
  EXPECT_FALSE(d.modified);
  EXPECT_FALSE(d.key(4, 5, false, 'x'));
  EXPECT_TRUE(d.modified);

  d.pasted(4, " 916.25 ");
  EXPECT_EQ(d.fields[4], "916.2");
  // Letters give the range message instead of vanishing.
  d.pasted(4, "91x6.25");
  EXPECT_EQ(d.fields[4], "");
  EXPECT_EQ(prompts.texts(),
            std::vector<std::string>{"91x6.25 not in Range of 902.2 to 927.7 MHz"});
}

TEST(ModelERangeMessages, TextOutOfRangeIsReportedAndSetToTheBound) {
  struct Case {
    const std::string& control;
    const char* text;
    const char* message;
    const char* fix;
  };
  const Case cases[] = {
      {ctl::onTimer, "300", "Radio ON Time:300 is too high. Range is 0-255", "255"},
      {ctl::onTimer, "255", "", ""},
      {ctl::onTimer, "000", "", "0"},
      {ctl::onTimer, "", "", ""},
      {ctl::plcAddress, "256", "PLC Address:256 is too high. Range is 0-255", "255"},
      {ctl::offTimer, "63556", "", ""},
      {ctl::offTimer, "63557", "Radio OFF Time:63557 is too high. Range is 0-63556", "63556"},
      {ctl::offTimer, "99999999999", "Radio OFF Time:99999999999 is too high. Range is 0-63556",
       "63556"},
  };
  for (const Case& c : cases) {
    const ModelENumberField* f = modelENumberField(c.control);
    ASSERT_NE(f, nullptr);
    std::string fix;
    EXPECT_EQ(modelERangeMessage(*f, c.text, fix), c.message) << c.text;
    EXPECT_EQ(fix, c.fix) << c.text;
  }
  EXPECT_EQ(modelENumberField(ctl::startTime), nullptr);
}

TEST_F(DialogsTest, ModelEEachCheckSeesTheTextBeforeTheKey) {
  ModelERules rules(window);
  rules.defaultsClick();
  panel.setItemIndex(ctl::sleepMode, 2);
  rules.selectorChanged(ctl::sleepMode);
  panel.setText(ctl::onTimer, "");
  rules.enter(ctl::onTimer);
  // Typing 3, 0, 0: each check sees the text before its key.
  std::string typed;
  for (char c : std::string("300")) {
    EXPECT_TRUE(rules.key(ctl::onTimer, c));
    typed += c;
    panel.setText(ctl::onTimer, typed);
  }
  EXPECT_TRUE(prompts.texts().empty());
  EXPECT_FALSE(rules.key(ctl::onTimer, '1'));
  ASSERT_EQ(prompts.texts().size(), 1u);
  EXPECT_EQ(prompts.texts()[0], "Radio ON Time:300 is too high. Range is 0-255");
  EXPECT_EQ(panel.text(ctl::onTimer), "255");
  EXPECT_EQ(panel.focus(), ctl::onTimer);
  // Letters are refused; Escape brings back the text the field had.
  EXPECT_FALSE(rules.key(ctl::onTimer, 'a'));
  EXPECT_FALSE(rules.key(ctl::onTimer, '\x1b'));
  EXPECT_EQ(panel.text(ctl::onTimer), "");
}

TEST_F(DialogsTest, ModelELeavingAFieldNeedsAValueInRange) {
  ModelERules rules(window);
  struct Case {
    const std::string& control;
    const char* text;
    bool leaves;
    const char* message;
  };
  const Case cases[] = {
      {ctl::plcAddress, "", false, "PLC Address needs a value."},
      {ctl::onTimer, "", false, "Radio ON Time needs a value."},
      {ctl::offTimer, "", false, "Radio OFF Time needs a value."},
      {ctl::offTimer, "70000", false, "Radio OFF Time:70000 is too high. Range is 0-63556"},
      {ctl::plcAddress, "17", true, ""},
  };
  for (const Case& c : cases) {
    prompts.shown.clear();
    panel.setText(c.control, c.text);
    EXPECT_EQ(rules.exit(c.control), c.leaves) << c.text;
    EXPECT_EQ(prompts.texts().empty() ? "" : prompts.texts()[0], std::string(c.message));
  }
}

TEST_F(DialogsTest, ModelEPastedTextIsCheckedLikeTypedText) {
  ModelERules rules(window);
  rules.pasted(ctl::plcAddress, "4a00");
  EXPECT_EQ(panel.text(ctl::plcAddress), "255");
  ASSERT_EQ(prompts.texts().size(), 1u);
  EXPECT_EQ(prompts.texts()[0], "PLC Address:400 is too high. Range is 0-255");
  EXPECT_TRUE(rules.modified);
}

TEST_F(DialogsTest, ModelEDependenciesBetweenControls) {
  ModelERules rules(window);
  rules.defaultsClick();
  struct Case {
    int emulation;
    int sleep;
    bool plc, start, on, off;
  };
  const Case cases[] = {
      {0, 0, false, false, false, false},
      {1, 1, false, false, true, false},
      {2, 2, true, true, true, true},
      {3, 0, true, false, false, false},
  };
  for (const Case& c : cases) {
    rules.modified = false;
    panel.setItemIndex(ctl::emulationMode, c.emulation);
    rules.selectorChanged(ctl::emulationMode);
    EXPECT_TRUE(rules.modified);
    panel.setItemIndex(ctl::sleepMode, c.sleep);
    rules.selectorChanged(ctl::sleepMode);
    EXPECT_EQ(panel.enabled(ctl::plcAddress), c.plc) << c.emulation;
    EXPECT_EQ(panel.enabled(ctl::startTime), c.start) << c.sleep;
    EXPECT_EQ(panel.enabled(ctl::onTimer), c.on) << c.sleep;
    EXPECT_EQ(panel.enabled(ctl::offTimer), c.off) << c.sleep;
  }
  panel.setChecked(ctl::usePCClock, false);
  rules.selectorChanged(ctl::usePCClock);
  EXPECT_TRUE(panel.enabled(ctl::setCurrentTime));
  rules.currentTimeClick();
  EXPECT_EQ(panel.text(ctl::currentTime), "13:19");
}

TEST_F(DialogsTest, ModelEDefaultsAndShow) {
  ModelERules rules(window);
  panel.setText(ctl::plcAddress, "9");
  panel.setChecked(ctl::usePCClock, false);
  panel.setText(ctl::currentTime, "  :  ");
  rules.defaultsClick();
  EXPECT_EQ(panel.text(ctl::emulationMode), "No Emulation (Radio Only)");
  EXPECT_EQ(panel.text(ctl::plcAddress), "0");
  EXPECT_EQ(panel.text(ctl::mainSerialPort), "232");
  EXPECT_EQ(panel.text(ctl::sleepMode), "Off");
  EXPECT_EQ(panel.text(ctl::startTime), "06:00");
  EXPECT_EQ(panel.text(ctl::onTimer), "10");
  EXPECT_EQ(panel.text(ctl::offTimer), "100");
  EXPECT_TRUE(panel.checked(ctl::usePCClock));
  panel.setChecked(ctl::usePCClock, false);
  rules.show();
  EXPECT_FALSE(rules.modified);
  EXPECT_TRUE(panel.checked(ctl::usePCClock));
  EXPECT_FALSE(panel.enabled(ctl::setCurrentTime));
  EXPECT_EQ(panel.text(ctl::currentTime), "13:19");
  // A time already there stays.
  panel.setText(ctl::currentTime, "08:15");
  rules.show();
  EXPECT_EQ(panel.text(ctl::currentTime), "08:15");
}

// A poll of radio at time with these readings (none where absent).
PollReading reading(std::int64_t time, int radio, std::optional<std::int16_t> rssi,
                    std::optional<std::int16_t> volts, std::optional<std::int16_t> tempC) {
  PollReading r;
  r.time = time;
  r.radio = static_cast<std::uint8_t>(radio);
  r.rssi = rssi;
  r.volts = volts;
  r.tempC = tempC;
  return r;
}

TEST(MonitorHistoryStore, KeepsADayAtMostOldestFirstOut) {
  MonitorHistory h;
  int heard = 0;
  h.onAdded = [&](const PollReading&) { ++heard; };
  for (std::int64_t t = 0; t < 86400 + 10; ++t)
    h.add(reading(t, static_cast<int>(t % 5), -70, 125, 31));
  EXPECT_EQ(h.size(), MonitorHistory::kMaxSamples);
  EXPECT_EQ(h.samples().front().time, 10);
  EXPECT_EQ(heard, 86410);
  // A poll a day after the oldest drops everything older than a day.
  h.add(reading(86400 + 5000, 1, -60, std::nullopt, std::nullopt));
  EXPECT_EQ(h.samples().front().time, 5001);
  EXPECT_EQ(h.samplesOf(1).back().time, 86400 + 5000);
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

TEST_F(DialogsTest, BlockedMhzLoadsTheProjectsFrequenciesOnlyTheFirstTime) {
  put("[Project]\ns30=915.7\ns31=\n");
  open(wmProject);
  panel.blockedValues[0] = "903.0";
  blockedClick(window);
  EXPECT_TRUE(window.project()->blockedChanged);
  EXPECT_EQ(panel.blockedValues[0], "915.7");
  panel.blockedValues[0] = "920.0";
  blockedClick(window);
  EXPECT_EQ(panel.blockedValues[0], "920.0");
}

TEST_F(DialogsTest, EditsInADialogMakeNewRadioReadSaveRadioOnActivation) {
  window.setRadioChanged(false);
  bool blocked = false, modelE = false;
  mainWindowActivated(window, blocked, modelE);
  EXPECT_EQ(panel.text(ctl::newRadio), kNewRadioCaption);
  blocked = true;
  mainWindowActivated(window, blocked, modelE);
  EXPECT_EQ(panel.text(ctl::newRadio), kSaveRadioCaption);
  window.setRadioChanged(false);
  modelE = true;
  mainWindowActivated(window, blocked, modelE);
  EXPECT_TRUE(window.radioChanged());
  // Carried over once: after a save the next activation leaves it.
  window.setRadioChanged(false);
  mainWindowActivated(window, blocked, modelE);
  EXPECT_FALSE(window.radioChanged());
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

// A compare's reads are for its own table: they add no rows to the monitor
// log, and the monitor's polls after it do again.
TEST_F(DialogsTest, ACompareAddsNoPollsToTheHistory) {
  put("[Radio1]\nRadio Name=Pump\nRadio Mode=Master\n");
  open(wmMonitor);
  MonitorHistory h;
  ASSERT_EQ(window.commands.compare(kOnlineMonitorTitle, {{1, 0}}), CommandStart::Started);
  recordPoll(h, window, 1, 1700000000);
  EXPECT_EQ(h.size(), 0u);
  window.commands.stop(kOnlineMonitorTitle, {});  // as the compare's Close does
  ASSERT_EQ(window.commands.monitor(kOnlineMonitorTitle, {{1, 0}}), CommandStart::Started);
  recordPoll(h, window, 1, 1700000001);
  EXPECT_EQ(h.size(), 1u);
}

TEST_F(DialogsTest, PollReadingsReachTheListTheHistoryAndTheCsvMissingOnesEmpty) {
  // Names a spreadsheet would split, trim or cut short; radio 9 is a model
  // that has no supply volts or temperature.
  put(
      std::string("[Radio1]\nRadio Name=Pump\nRadio Mode=Master\n[Radio4]\nRadio Name=Tank "
                  "\"North\", 2\n[Radio7]\nRadio Name=Well\tB\n[Radio9]\nRadio Name=Old\n"
                  "Radio Model=Vireo Version 1\n"));
  open(wmMonitor);
  const struct {
    int radio;
    const char *rssi, *volts, *temp;  // nullptr: the radio gave no reply
    const char* cells;                // the row's RSSI, V and degree cells
  } polls[] = {
      {4, "-68", "121", "27", "-68|121|27"},
      {4, " -075 ", "007", "-0", "-75|7|0"},  // blanks and leading zeros are the number's
      {7, "RING", "", "999999", "||"},        // a stray line, an empty one, out of range
      {7, "-256", "1000", "-100", "||"},      // just outside each range
      {7, "0", "0", "199", "0|0|199"},        // the edges are readings
      {7, "-7x", "+5", "12.5", "||"},         // no whole decimal number
      // A poll given up after the RSSI: the row keeps showing the volts and
      // degrees it had until replies replace them; the poll has none.
      {4, "-90", nullptr, nullptr, "-90|7|0"},
      {9, "-55", nullptr, nullptr, "-55||"},  // the model has no more to give
  };
  MonitorHistory h;
  std::int64_t t = 1700000000;
  for (const auto& p : polls) {
    SCOPED_TRACE(p.radio);
    values.beginReplies();
    reply(1, std::to_string(p.radio));
    if (p.rssi) reply(10, p.rssi);
    if (p.volts) reply(16, p.volts);
    if (p.temp) reply(17, p.temp);
    const RowId row = window.project()->radio(p.radio)->listItem;
    EXPECT_EQ(views.subItem(row, 1) + "|" + views.subItem(row, 2) + "|" + views.subItem(row, 3),
              p.cells);
    recordPoll(h, window, p.radio, t++);
  }
  recordPoll(h, window, 200, t);  // no such radio
  recordPoll(h, window, 300, t);  // no such slot
  ASSERT_EQ(h.size(), std::size(polls));
  EXPECT_TRUE(h.samples()[6].modelHasTempC);
  EXPECT_FALSE(h.samples()[7].modelHasVolts);
  EXPECT_FALSE(h.samples()[7].modelHasTempC);
  EXPECT_TRUE(h.samples()[7].modelHasRssi);

  // A radio given up halfway still has what it gave once the next radio is
  // dialled (tessel-cli monitor prints it then); a dial it never answered
  // gives it nothing, not its last poll's readings.
  values.beginReplies();
  reply(1, "7");
  reply(10, "-61");
  values.beginReplies();
  PollReading halfway = window.pollReadings.of(7, 5);
  EXPECT_EQ(halfway.time, 5);
  EXPECT_EQ(halfway.rssi, std::optional<std::int16_t>(-61));
  EXPECT_FALSE(halfway.volts || halfway.tempC);
  values.beginReplies();
  EXPECT_FALSE(window.pollReadings.of(7, 6).rssi) << "a dial of 7 that brought nothing";
  reply(1, "4");
  EXPECT_FALSE(window.pollReadings.of(4, 7).rssi) << "4's poll has only begun";

  std::ostringstream out;
  writeMonitorCsv(out, h,
                  [this](int radio) { return window.project()->radio(radio)->settings.name; });
  std::istringstream in(out.str());
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), std::size(polls) + 1);
  EXPECT_EQ(lines[0], "time,radio_id,name,rssi,volts,temp_c");
  const char* const tails[] = {
      ",4,\"Tank \"\"North\"\", 2\",-68,121,27",
      ",4,\"Tank \"\"North\"\", 2\",-75,7,0",
      ",7,\"Well\tB\",,,",
      ",7,\"Well\tB\",,,",
      ",7,\"Well\tB\",0,0,199",
      ",7,\"Well\tB\",,,",
      ",4,\"Tank \"\"North\"\", 2\",-90,,",
      ",9,Old,-55,,",
  };
  for (size_t i = 0; i < std::size(tails); ++i) {
    EXPECT_EQ(lines[i + 1].substr(19), tails[i]);
    EXPECT_TRUE(lines[i + 1][4] == '-' && lines[i + 1][10] == 'T') << lines[i + 1];
  }
  // The same one writer quotes every name a reader would split or trim.
  using namespace std::string_literals;
  const std::pair<std::string, std::string> fields[] = {
      {"Radio 007", "Radio 007"},
      {"", ""},
      {"line\r\nbreak", "\"line\r\nbreak\""},
      {"Ra\0dio"s, "Radio"},
      {"\0,\0"s, "\",\""},
      {" padded ", "\" padded \""},
  };
  for (const auto& [name, field] : fields) EXPECT_EQ(csvField(name), field) << name;
}

}  // namespace
}  // namespace tessel
