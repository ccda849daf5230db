// The blocked frequency and model-E dialogs' rules, and the monitor history.
#include <gtest/gtest.h>

#include <sstream>

#include "model/blocked_frequencies.h"
#include "model/model_e_rules.h"
#include "model/monitor_history.h"
#include "model_fixture.h"

namespace tessel {
namespace {

TEST(BlockedFrequencyRules, LeavingAFieldChecksTheBandAndCompletes) {
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

TEST(MonitorHistoryStore, KeepsADayAtMostOldestFirstOut) {
  MonitorHistory h;
  int heard = 0;
  h.onAdded = [&](const MonitorSample&) { ++heard; };
  for (std::int64_t t = 0; t < 86400 + 10; ++t)
    h.add(t, static_cast<int>(t % 5), "-70", "12.5", "31");
  EXPECT_EQ(h.size(), MonitorHistory::kMaxSamples);
  EXPECT_EQ(h.samples().front().time, 10);
  EXPECT_EQ(heard, 86410);
  // A poll a day after the oldest drops everything older than a day.
  h.add(86400 + 5000, 1, "-60", "", "x");
  EXPECT_EQ(h.samples().front().time, 5001);
  const MonitorSample& last = h.samples().back();
  EXPECT_FLOAT_EQ(last.rssi, -60);
  EXPECT_TRUE(std::isnan(last.volts));
  EXPECT_TRUE(std::isnan(last.tempC));
  EXPECT_EQ(h.samplesOf(1).back().time, 86400 + 5000);
}

TEST(MonitorHistoryStore, CsvHasOneLinePerPollAndQuotesNames) {
  MonitorHistory h;
  h.add(1700000000, 7, "-71", "12.4", "30");
  h.add(1700000001, 8, "", "11.9", "-5");
  h.add(1700000002, 7, "-72", "12.3", "31");
  std::ostringstream out;
  writeMonitorCsv(out, h, [](int radio) {
    return radio == 7 ? std::string("Pump \"North\", 2") : std::string("Radio 008");
  });
  std::istringstream in(out.str());
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "time,radio_id,name,rssi,volts,temp_c");
  EXPECT_EQ(lines[1].substr(19), ",7,\"Pump \"\"North\"\", 2\",-71,12.4,30");
  EXPECT_EQ(lines[2].substr(19), ",8,Radio 008,,11.9,-5");
  EXPECT_TRUE(lines[1][4] == '-' && lines[1][10] == 'T') << lines[1];
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
  mainWindowActivated(window, false, false);
  EXPECT_EQ(panel.text(ctl::newRadio), kNewRadioCaption);
  mainWindowActivated(window, true, false);
  EXPECT_EQ(panel.text(ctl::newRadio), kSaveRadioCaption);
  window.setRadioChanged(false);
  mainWindowActivated(window, false, true);
  EXPECT_TRUE(window.radioChanged());
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

TEST_F(DialogsTest, APollKeepsWhatTheRadiosRowShows) {
  put("[Radio1]\nRadio Name=Pump\nRadio Mode=Master\n[Radio4]\nRadio Name=Tank\n");
  open(wmMonitor);
  Tradio* r = window.project()->radio(4);
  ASSERT_NE(r, nullptr);
  views.setSubItem(r->listItem, 1, "-68");
  views.setSubItem(r->listItem, 2, "12.1");
  views.setSubItem(r->listItem, 3, "27");
  MonitorHistory h;
  recordPoll(h, window, 4, 1000);
  recordPoll(h, window, 9, 1001);    // no such radio
  recordPoll(h, window, 300, 1002);  // no such slot
  ASSERT_EQ(h.size(), 1u);
  EXPECT_EQ(h.samples()[0].radio, 4);
  EXPECT_FLOAT_EQ(h.samples()[0].rssi, -68);
  EXPECT_FLOAT_EQ(h.samples()[0].volts, 12.1f);
  EXPECT_FLOAT_EQ(h.samples()[0].tempC, 27);
}

}  // namespace
}  // namespace tessel
