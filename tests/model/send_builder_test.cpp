// Set Radio below the GUI: the batching of assignments into AT lines, the
// rows each radio type is sent, the checks that guard a send and the way
// the lines reach the engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "model/entry_rules.h"
#include "model/send_builder.h"
#include "model_fixture.h"

namespace tessel {
namespace {

using Lines = std::vector<std::string>;

// Takes or refuses sends as told and keeps what it was given; a send taken
// is over at once, so the next one meets nothing.
class SendRecorder : public TaskRecorder {
 public:
  SendStart StartSend(const std::string& title, const TpollArray& list,
                      const std::vector<std::string>& lines) override {
    ++calls;
    if (answer != SendStart::Started) return answer;
    this->title = title;
    this->list = list;
    queued.insert(queued.end(), lines.begin(), lines.end());
    if (commands) commands->taskEnded(tkSendValues, Outcome{});
    return answer;
  }
  RadioCommands* commands = nullptr;
  SendStart answer = SendStart::Started;
  int calls = 0;
  std::string title;
  TpollArray list;
  Lines queued;
};

Lines batch(const std::vector<std::pair<bool, std::string>>& steps) {
  AtLineBatcher b;
  for (const auto& s : steps) b.batchAtCommand(s.first, s.second);
  Lines out = b.lines();
  out.push_back("pending:" + b.pendingAtLine());
  return out;
}

TEST(AtLineBatcher, PacksFragmentsAsTheRulesSay) {
  struct Case {
    const char* what;
    std::vector<std::pair<bool, std::string>> steps;
    Lines expected;
  };
  const Case cases[] = {
      {"two fragments share a line, the third would make 19",
       {{false, "s1=12"}, {false, "s0=1"}, {false, "s2=65534"}},
       {"ATs1=12s0=1\r", "pending:ATs2=65534"}},
      {"a fragment that fills the line to exactly 18 is appended",
       {{false, "s1=12"}, {false, "s0=1"}, {false, "s2=6553"}},
       {"pending:ATs1=12s0=1s2=6553"}},
      {"standalone flushes the pending line first",
       {{false, "s1=12"}, {true, "&W"}, {true, "&R"}},
       {"ATs1=12\r", "AT&W\r", "AT&R\r", "pending:AT"}},
      {"standalone with nothing pending queues only itself",
       {{true, "D12"}, {false, "s3=2"}},
       {"ATD12\r", "pending:ATs3=2"}},
      {"spaces go, as in the padded baud rate list",
       {{false, "s20=    300"}, {true, "&W"}},
       {"ATs20=300\r", "AT&W\r", "pending:AT"}},
      {"only the first point goes",
       {{false, "s30=12.5"}, {false, "s31=1.2.3"}, {true, "&W"}},
       {"ATs30=125s31=12.3\r", "AT&W\r", "pending:AT"}},
      {"a long fragment makes a longer line of its own",
       {{false, "s1=1"}, {false, "s99=12345678901234"}, {true, "&W"}},
       {"ATs1=1\r", "ATs99=12345678901234\r", "AT&W\r", "pending:AT"}},
  };
  for (const Case& c : cases) EXPECT_EQ(batch(c.steps), c.expected) << c.what;
}

TEST(AtLineBatcher, CutsAStandaloneCommandAt255) {
  AtLineBatcher b;
  b.batchAtCommand(true, std::string(400, 'x'));
  ASSERT_EQ(b.lines().size(), 1u);
  EXPECT_EQ(b.lines()[0], "AT" + std::string(253, 'x') + "\r");
}

class RadioSenderTest : public ModelTest {
 protected:
  RadioSenderTest() : rules(window), sender(window, rules, values) {
    window.tasks = &recorder;
    recorder.commands = &window.commands;
  }

  // A Slave of the given type with radio ID 12 and group values set.
  void fillPanel(int type) {
    panel.setItemIndex(ctl::radioType, type);
    window.defaultsClick();
    panel.setText(ctl::groupID, "5");
    panel.setText(ctl::securityID, "1234");
    panel.setText(ctl::flushTime, "20");
    panel.setItemIndex(ctl::rfband, 1);
    panel.setItemIndex(ctl::repeaters, 1);
    panel.setItemIndex(ctl::reTXBroadcasts, 1);
    panel.setText(ctl::radioID, "12");
    panel.setItemIndex(ctl::radioMode, 1);
    window.modelEDefaults();
  }

  // Manual mode with the panel's values taken as read from the local radio.
  void manual(int type) {
    open(wmManual);
    fillPanel(type);
    window.setPanelSource(PanelSource::Radio);
  }

  // A project holding radio 12 of the given type, shown in mode.
  void project(int type, int mode) {
    open(wmProject);
    Tradio* r = window.firstFreeRadio(12);
    ASSERT_NE(r, nullptr);
    // A new record shows its (empty) section: the values come after it.
    fillPanel(type);
    r->modelIndex = type;
    ASSERT_TRUE(r->SaveFromPanel());
    window.setRadioChanged(false);
    window.switchMode(mode);
    window.setCurrentRadio(r);
  }

  // Assignments as fragments, in the order the lines carry them.
  static Lines fragments(const Lines& lines) {
    Lines out;
    for (const std::string& l : lines) {
      if (l.rfind("ATs", 0) != 0) continue;
      const std::string body = l.substr(0, l.size() - 1);  // the CR
      size_t at = 2;
      while (at < body.size()) {
        size_t next = body.find('s', at + 1);
        out.push_back(body.substr(at, next == std::string::npos ? std::string::npos : next - at));
        at = next == std::string::npos ? body.size() : next;
      }
    }
    return out;
  }
  static bool hasRegister(const Lines& lines, int reg) {
    const std::string prefix = "s" + std::to_string(reg) + "=";
    for (const std::string& f : fragments(lines)) {
      if (f.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }

  EntryRules rules;
  RadioSender sender;
  SendRecorder recorder;
};

TEST_F(RadioSenderTest, MonitorModeDialsThenBatchesThenWritesAndResets) {
  project(1, wmMonitor);
  const SendOutcome out = sender.okClick();
  ASSERT_TRUE(out.started);
  const Lines& q = recorder.queued;
  ASSERT_GE(q.size(), 4u);
  EXPECT_EQ(q.front(), "ATD12\r");
  EXPECT_EQ(q[q.size() - 2], "AT&W\r");
  EXPECT_EQ(q.back(), "AT&R\r");
  for (size_t i = 1; i + 2 < q.size(); ++i) {
    EXPECT_EQ(q[i].rfind("ATs", 0), 0u) << q[i];
    EXPECT_EQ(q[i].back(), '\r') << q[i];
    EXPECT_LE(q[i].size(), 19u) << q[i];  // 18 and the CR
  }
  // Type 1 writes no model-E registers and never the status ones.
  for (int reg : {10, 16, 17, 100, 110}) EXPECT_FALSE(hasRegister(q, reg)) << reg;
  for (int reg : {0, 1, 2, 3, 8, 13, 15, 20, 26, 30, 41}) EXPECT_TRUE(hasRegister(q, reg)) << reg;
  const Lines f = fragments(q);
  ASSERT_GE(f.size(), 3u);
  EXPECT_EQ(f[0], "s1=12");
  EXPECT_EQ(f[1], "s0=5");
  EXPECT_EQ(f[2], "s2=1234");
  EXPECT_EQ(recorder.title, "Set Radio");
  EXPECT_EQ(recorder.list, (TpollArray{{12, 1}}));
}

TEST_F(RadioSenderTest, ManualAndProjectModesDialNobody) {
  manual(1);
  ASSERT_TRUE(sender.okClick().started);
  const Lines manualLines = recorder.queued;
  recorder.queued.clear();
  window.closeProject();
  project(1, wmProject);
  ASSERT_TRUE(sender.okClick().started);
  EXPECT_EQ(recorder.queued, manualLines);
  for (const std::string& l : manualLines) EXPECT_EQ(l.find("ATD"), std::string::npos) << l;
  EXPECT_EQ(manualLines.front(), "ATs1=12s0=5s2=1234\r");
}

TEST_F(RadioSenderTest, RowsWrittenPerRadioTypeAndMode) {
  struct Case {
    int type;
    int mode;     // Radio Mode item: 0 Master, 1 Slave
    int roaming;  // 0 Allowed, 1 Master ID
    bool s8, s12, s100, atR;
  };
  const Case cases[] = {
      {0, 1, 0, true, false, true, true},    {0, 0, 0, false, false, true, true},
      {1, 1, 0, true, false, false, true},   {1, 0, 0, false, false, false, true},
      {2, 1, 0, true, false, false, false},  {2, 1, 1, true, true, false, false},
      {2, 0, 1, false, false, false, false},
  };
  for (const Case& c : cases) {
    manual(c.type);
    panel.setItemIndex(ctl::radioMode, c.mode);
    panel.setItemIndex(ctl::roaming, c.roaming);
    panel.setText(ctl::masterID, "7");
    recorder.queued.clear();
    ASSERT_TRUE(sender.okClick().started) << c.type;
    const Lines& q = recorder.queued;
    const std::string what = "type " + std::to_string(c.type) + " mode " + std::to_string(c.mode) +
                             " roaming " + std::to_string(c.roaming);
    EXPECT_EQ(hasRegister(q, 8), c.s8) << what;
    EXPECT_EQ(hasRegister(q, 12), c.s12) << what;
    EXPECT_EQ(hasRegister(q, 100), c.s100) << what;
    EXPECT_EQ(q.back() == "AT&R\r", c.atR) << what;
    EXPECT_EQ(q[q.size() - (c.atR ? 2 : 1)], "AT&W\r") << what;
    EXPECT_FALSE(hasRegister(q, 10)) << what;
    if (c.s12) {
      const Lines f = fragments(q);
      EXPECT_NE(std::find(f.begin(), f.end(), "s12=7"), f.end()) << what;
    }
    window.closeProject();
  }
}

TEST_F(RadioSenderTest, PaddedBaudRateAndTenthsTravelAsDigits) {
  manual(1);
  panel.setItemIndex(ctl::baudRate, 0);  // "    300"
  const Lines f = fragments(sender.okClick().lines);
  EXPECT_NE(std::find(f.begin(), f.end(), "s20=300"), f.end());
}

TEST_F(RadioSenderTest, EveryFieldIsCheckedBeforeAnythingIsBuilt) {
  struct Case {
    const char* control;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"groupID", "0", "Group ID:0 is too low. Range is 1-63"},
      {"securityID", "70000", "Security ID:70000 is too high. Range is 0-65534"},
      {"retries", "300", "Retries:300 is too high. Range is 0-255"},
      {"rfband", "7", "RF Band:7 is too high. Range is 1-4"},
      {"flushTime", "9999", "Flush Time:9999 is too high. Range is 0-6553"},
      {"onTimer", "300", "Radio ON Time:300 is too high. Range is 0-255"},
      {"radioID", "x", "Radio ID:x is too high. Range is 0-254"},
      {"retries", "", "Retries needs a value."},
      {"baudRate", "1234", "Baud rate needs a value."},
  };
  for (const Case& c : cases) {
    manual(0);
    panel.setText(c.control, c.text);
    prompts.shown.clear();
    const int before = recorder.calls;
    const SendOutcome out = sender.okClick();
    EXPECT_FALSE(out.started) << c.control;
    EXPECT_TRUE(out.lines.empty()) << c.control;
    EXPECT_EQ(recorder.calls, before) << c.control;
    ASSERT_EQ(prompts.shown.size(), 1u) << c.control;
    EXPECT_EQ(prompts.shown[0].text, c.message);
    window.closeProject();
  }
}

TEST_F(RadioSenderTest, BlockedFrequencyOutOfRangeStopsTheSend) {
  manual(1);
  panel.blockedValues[3] = "930.1";
  EXPECT_FALSE(sender.okClick().started);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "930.1 not in Range of 902.2 to 927.7 MHz");
  prompts.shown.clear();
  panel.blockedValues[3] = "927.7";
  panel.blockedValues[4] = "902.2";
  const SendOutcome out = sender.okClick();
  EXPECT_TRUE(out.started);
  const Lines f = fragments(out.lines);
  EXPECT_NE(std::find(f.begin(), f.end(), "s33=9277"), f.end());
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(RadioSenderTest, ARefusedSendQueuesNothingAndSaysWhy) {
  manual(1);
  recorder.answer = LinkTasks::SendStart::PortClosed;
  SendOutcome out = sender.okClick();
  EXPECT_FALSE(out.started);
  EXPECT_EQ(out.notice, kPortClosedNotice);
  recorder.answer = LinkTasks::SendStart::Busy;
  out = sender.okClick();
  EXPECT_EQ(out.notice, kBusyNotice);
  EXPECT_TRUE(recorder.queued.empty());
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].text, kBusyNotice);
}

TEST_F(RadioSenderTest, NoCurrentRadioSendsNothing) {
  open(wmProject);
  fillPanel(1);
  window.setCurrentRadio(nullptr);
  const SendOutcome out = sender.okClick();
  EXPECT_FALSE(out.started);
  EXPECT_EQ(out.notice, kNoRadioNotice);
  EXPECT_EQ(recorder.calls, 0);
}

TEST_F(RadioSenderTest, MonitorDialsTheNumberTheRadioAnswersTo) {
  project(1, wmMonitor);
  // Renumbered in the panel: the radio still answers to 12 until it is set.
  panel.setText(ctl::radioID, "20");
  ASSERT_TRUE(window.rekeyCurrentRadio());
  const SendOutcome out = sender.okClick();
  ASSERT_TRUE(out.started);
  EXPECT_EQ(recorder.queued.front(), "ATD12\r");
  const Lines f = fragments(recorder.queued);
  ASSERT_FALSE(f.empty());
  EXPECT_EQ(f[0], "s1=20");
  EXPECT_EQ(recorder.list, (TpollArray{{20, 1}}));
}

TEST_F(RadioSenderTest, ASentRadioShowsTheSentImage) {
  project(1, wmProject);
  Tradio* r = panel.currentRadio;
  if (r->treeNode == kNoNode) r->treeNode = views.addNode(kNoNode, "Radio 012");
  ASSERT_TRUE(sender.okClick().started);
  EXPECT_EQ(views.nodeImage(r->treeNode), 2);
}

TEST_F(RadioSenderTest, NewRadioTakesTheLowestFreeNumberOrOnlyChangesTheCaption) {
  open(wmProject);
  fillPanel(1);
  window.newRadioClick();
  EXPECT_EQ(panel.text(ctl::newRadio), kSaveRadioCaption);
  ASSERT_NE(panel.currentRadio, nullptr);
  EXPECT_EQ(panel.currentRadio->slotID, 0);
  window.newRadioClick();  // Save Radio
  EXPECT_EQ(panel.text(ctl::newRadio), kNewRadioCaption);
  EXPECT_EQ(key("Radio0", "Radio ID", "<absent>") != "<absent>", true);
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

TEST_F(RadioSenderTest, ReplacingTheProjectAsksAboutUnsavedEditsAndStopsTheLinkFirst) {
  project(1, wmProject);
  window.setRadioChanged(true);
  panel.setText(ctl::retries, "99");
  prompts.answers = {pbYes};
  window.beforeReplace();
  EXPECT_EQ(prompts.texts(),
            (std::vector<std::string>{"Radio configuration changes made, save them?"}));
  EXPECT_EQ(key("Radio12", "Retries"), "99");
  ASSERT_FALSE(recorder.tasks.empty());
  EXPECT_EQ(recorder.tasks.back().code, tkLocalOnly);
  // Manual mode has no radio to save: no question.
  prompts.shown.clear();
  window.switchMode(wmManual);
  window.setRadioChanged(true);
  window.beforeReplace();
  EXPECT_TRUE(prompts.shown.empty());
}

// Close Project leaves defaults in the panel (Radio Mode Slave, Retries 50):
// sending them to the master read before must not happen unasked.
TEST_F(RadioSenderTest, SetRadioOfValuesNeverReadFromTheRadioAsksFirst) {
  open(wmManual);
  window.defaultsClick();
  panel.setText(ctl::groupID, "7");
  prompts.answers = {pbCancel};
  SendOutcome out = sender.okClick();
  EXPECT_FALSE(out.started);
  EXPECT_EQ(out.notice, kUnreadCancelledNotice);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text,
            "Nothing was read from the local radio: the panel holds defaults or edits, not the "
            "radio's values. Set Radio anyway?");
  EXPECT_EQ(prompts.shown[0].buttons, pbOk | pbCancel | pbRefusalIsDefault);
  EXPECT_EQ(recorder.calls, 0);

  // Get Local reads the local master; its values go out without a question.
  values.ApplyReply(-1, 1, "V2.0");
  reply(1, "1");
  reply(3, "M");
  reply(13, "10");
  values.readDone();
  EXPECT_EQ(window.panelSource(), PanelSource::Radio);
  prompts.shown.clear();
  EXPECT_TRUE(sender.okClick().started);
  EXPECT_TRUE(prompts.shown.empty());

  // Close Project: defaults again. The question names what would change.
  window.defaultsClick();
  prompts.answers = {pbCancel};
  EXPECT_FALSE(sender.okClick().started);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text,
            "The panel's values were not read from radio 1, Master. Set Radio changes what was "
            "last read from it: Radio Mode Master to Slave, Retries 10 to 50. Set Radio anyway?");
  EXPECT_EQ(recorder.calls, 1);
  prompts.answers = {pbOk};
  EXPECT_TRUE(sender.okClick().started);
  // What was sent is what the radio holds now: no second question.
  prompts.shown.clear();
  EXPECT_TRUE(sender.okClick().started);
  EXPECT_TRUE(prompts.shown.empty());
}

// A binary or unrelated file is no project; an empty one is a new project.
TEST_F(RadioSenderTest, AFileThatIsNoProjectIsRefusedAndTheOpenOneStays) {
  struct Case {
    std::string content;
    const char* reason;  // "" when the file is taken
  };
  const Case cases[] = {
      {std::string("\x7f"
                   "ELF\x02\x01\x01\0\0\0",
                   10),
       "it holds bytes that cannot be text"},
      {"[Project]\r\nGroup ID=7\r\n", ""},
      {"Group ID=7\n", ""},
      {"", ""},
      {"Dear customer,\nplease find the invoice attached.\n", "it holds no section and no key"},
      {"; only a comment\n", "it holds no section and no key"},
  };
  open(wmProject);
  const std::string opened = window.project()->fileName();
  for (const Case& c : cases) {
    const std::string bad = dir + "/bad.vro";
    std::ofstream(bad, std::ios::binary) << c.content;
    prompts.shown.clear();
    const bool refused = window.refuseNonProject(bad);
    EXPECT_EQ(refused, *c.reason != '\0') << c.content;
    if (refused) {
      ASSERT_EQ(prompts.shown.size(), 1u);
      EXPECT_EQ(prompts.shown[0].text, bad + " is not a project file: " + c.reason);
    }
    EXPECT_EQ(window.project()->fileName(), opened);
  }
}

TEST_F(RadioSenderTest, AProjectThatCannotBeOpenedLeavesTheDefaultOneInManualMode) {
  open(wmProject);
  const std::string fallback = dir + "/Manual Configuration.vro";
  EXPECT_FALSE(window.openChosenProject(dir + "/no-such-folder/x.vro", true, fallback));
  ASSERT_NE(window.project(), nullptr);
  EXPECT_EQ(window.project()->fileName(), fallback);
  EXPECT_EQ(panel.WindowMode, wmManual);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text,
            "Cannot create " + dir + "/no-such-folder/x.vro: No such file or directory");
  prompts.shown.clear();
  EXPECT_FALSE(window.openChosenProject(dir + "/absent.vro", false, fallback));
  EXPECT_EQ(prompts.shown[0].text, "Cannot read " + dir + "/absent.vro: No such file or directory");
  // A readable project opens in Project mode.
  put("[Radio3]\nRadio ID=3\nRadio Mode=Slave\n");
  EXPECT_TRUE(window.openChosenProject(path, false, fallback));
  EXPECT_EQ(panel.WindowMode, wmProject);
  ASSERT_NE(window.project()->radio(3), nullptr);
}

}  // namespace
}  // namespace tessel
