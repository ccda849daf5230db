// What the panel's fields take from the keyboard and the clipboard, the range
// check while typing, and the rules on leaving a field.
#include "model/entry_rules.h"

#include "model_fixture.h"

namespace tessel {
namespace {

class EntryRulesTest : public ModelTest {
 protected:
  // Keys as the window's key filter hands them over: a key the rule passes
  // lands in the field and counts as a change.
  void type(const std::string& control, const std::string& keys) {
    for (char k : keys) {
      if (!rules.keyPress(control, k)) continue;
      std::string t = panel.text(control);
      if (k == kBackspaceKey) {
        if (!t.empty()) t.pop_back();
      } else {
        t += k;
      }
      panel.typeText(control, t);
      rules.fieldChange(control);
    }
  }
  // A block of text arriving at once (paste, drop) in an empty field.
  void paste(const std::string& control, const std::string& text) {
    panel.typeText(control, acceptedText(control, text));
    rules.fieldChange(control);
  }

  EntryRules rules{window};
};

TEST_F(EntryRulesTest, KeyFilterPerControl) {
  struct Case {
    const std::string& control;
    char key;
    KeyOutcome outcome;
  };
  const Case cases[] = {
      {ctl::groupID, '7', KeyOutcome::kPass},
      {ctl::groupID, '0', KeyOutcome::kPass},
      {ctl::groupID, kBackspaceKey, KeyOutcome::kPass},
      {ctl::groupID, 'a', KeyOutcome::kDiscard},
      {ctl::groupID, ' ', KeyOutcome::kDiscard},
      {ctl::groupID, '-', KeyOutcome::kDiscard},
      {ctl::groupID, '\r', KeyOutcome::kDiscard},
      {ctl::groupID, '\x16', KeyOutcome::kDiscard},
      {ctl::groupID, kEscapeKey, KeyOutcome::kRestore},
      {ctl::securityID, 'x', KeyOutcome::kDiscard},
      {ctl::flushTime, '9', KeyOutcome::kPass},
      {ctl::rfband, 'b', KeyOutcome::kDiscard},
      {ctl::radioID, '.', KeyOutcome::kDiscard},
      {ctl::retries, kEscapeKey, KeyOutcome::kRestore},
      {ctl::masterID, '5', KeyOutcome::kPass},
      {ctl::baudRate, ' ', KeyOutcome::kDiscard},
      {ctl::radioName, 'Q', KeyOutcome::kPass},
      {ctl::radioName, ' ', KeyOutcome::kPass},
      {ctl::radioName, '!', KeyOutcome::kPass},
      {ctl::radioName, kEscapeKey, KeyOutcome::kRestoreAndPass},
      // Controls without a filter take everything.
      {ctl::dataBits, 'z', KeyOutcome::kPass},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(entryKeyOutcome(c.control, c.key), c.outcome) << c.control << " " << int(c.key);
  }
}

TEST_F(EntryRulesTest, EscapeRestoresTheTextTheFieldHadOnEntering) {
  panel.setText(ctl::securityID, "12");
  rules.fieldEnter(ctl::securityID);
  type(ctl::securityID, "3q4");
  EXPECT_EQ(panel.text(ctl::securityID), "1234");  // the letter is ignored
  EXPECT_FALSE(rules.keyPress(ctl::securityID, kEscapeKey));
  EXPECT_EQ(panel.text(ctl::securityID), "12");

  // The entry text belongs to the field entered last.
  panel.setText(ctl::retries, "50");
  rules.fieldEnter(ctl::retries);
  EXPECT_EQ(rules.entryText(), "50");
  type(ctl::retries, "\b\b7");
  EXPECT_FALSE(rules.keyPress(ctl::retries, kEscapeKey));
  EXPECT_EQ(panel.text(ctl::retries), "50");

  // In the radio name Escape restores and goes on to the field; the restored
  // name reaches the list.
  put("[Radio1]\nRadio Name=Pump\nRadio Mode=Master\n");
  open(wmProject);
  Tradio* r = panel.currentRadio;
  ASSERT_NE(r, nullptr);
  rules.fieldEnter(ctl::radioName);
  type(ctl::radioName, "s 2");
  EXPECT_EQ(views.caption(r->listItem), "Pumps 2");
  EXPECT_TRUE(rules.keyPress(ctl::radioName, kEscapeKey));
  EXPECT_EQ(panel.text(ctl::radioName), "Pump");
  EXPECT_EQ(views.caption(r->listItem), "Pump");
  EXPECT_TRUE(prompts.shown.empty());

  // At a fresh start Group ID has the focus before the project's value is
  // loaded: Escape puts back that value, not the empty text of before.
  panel.setText(ctl::groupID, "");
  rules.fieldEnter(ctl::groupID);
  panel.setText(ctl::groupID, "7");
  EXPECT_FALSE(rules.keyPress(ctl::groupID, kEscapeKey));
  rules.fieldExit(ctl::groupID);
  EXPECT_EQ(panel.text(ctl::groupID), "7");
  EXPECT_TRUE(prompts.shown.empty());

  // A field the focus came to with the window is never entered: its keys
  // and its Escape are still its own, not the field entered last.
  rules.fieldEnter(ctl::securityID);
  EXPECT_FALSE(rules.keyPress(ctl::groupID, kEscapeKey));
  EXPECT_EQ(panel.text(ctl::groupID), "7");
  type(ctl::groupID, "5");
  EXPECT_FALSE(rules.keyPress(ctl::groupID, kEscapeKey));
  EXPECT_EQ(panel.text(ctl::groupID), "7");
}

TEST_F(EntryRulesTest, ANewRadioNameReachesTheListAndTheTree) {
  // Without a radio shown the name only marks the panel changed.
  rules.fieldEnter(ctl::radioName);
  type(ctl::radioName, "A");
  EXPECT_EQ(panel.text(ctl::newRadio), kSaveRadioCaption);

  put("[Radio1]\nRadio Name=Pump\nRadio Mode=Master\n");
  open(wmMonitor);
  Tradio* r = panel.currentRadio;
  ASSERT_NE(r, nullptr);
  r->treeNode = views.addNode(kNoNode, "Pump");
  rules.fieldEnter(ctl::radioName);
  type(ctl::radioName, "\b\bmp B");
  EXPECT_EQ(views.caption(r->listItem), "Pump B");
  EXPECT_EQ(views.nodeText(r->treeNode), "Pump B");
}

TEST_F(EntryRulesTest, RangeCheckOnEveryChange) {
  struct Case {
    const std::string& control;
    const char* text;
    bool loading;
    const char* message;  // "" for none
    bool valid;
    const char* after;
  };
  const Case cases[] = {
      {ctl::groupID, "0", false, "Group ID:0 is too low. Range is 1-63", false, "0"},
      {ctl::groupID, "0", true, "", true, "0"},
      {ctl::groupID, "000", false, "Group ID:000 is too low. Range is 1-63", false, "0"},
      {ctl::groupID, "64", true, "Group ID:64 is too high. Range is 0-63", false, "64"},
      {ctl::groupID, "63", false, "", true, "63"},
      {ctl::securityID, "00", false, "", true, "0"},
      {ctl::securityID, "65535", false, "Security ID:65535 is too high. Range is 0-65534", false,
       "65535"},
      {ctl::flushTime, "6554", false, "Flush Time:6554 is too high. Range is 0-6553", false,
       "6554"},
      {ctl::radioID, "300", false, "Radio ID:300 is too high. Range is 0-254", false, "300"},
      {ctl::radioID, "254", false, "", true, "254"},
      {ctl::retries, "256", false, "Retries:256 is too high. Range is 0-255", false, "256"},
      {ctl::masterID, "0255", false, "", true, "0255"},
      // Too long for 32 bits: out of range, not wrapped round into it.
      {ctl::groupID, "4294967297", false, "Group ID:4294967297 is too high. Range is 1-63", false,
       "4294967297"},
      {ctl::radioID, "99999999999999999999", false,
       "Radio ID:99999999999999999999 is too high. Range is 0-254", false, "99999999999999999999"},
  };
  for (const Case& c : cases) {
    prompts.shown.clear();
    panel.entriesValid = !c.valid;
    panel.panelLoading = c.loading;
    panel.setText(c.control, c.text);
    rules.fieldChange(c.control);
    if (*c.message) {
      ASSERT_EQ(prompts.shown.size(), 1u) << c.control << " " << c.text;
      EXPECT_EQ(prompts.shown[0].text, c.message);
      EXPECT_EQ(prompts.shown[0].icon, PromptIcon::Error);
      EXPECT_EQ(prompts.shown[0].buttons, pbOk);
    } else {
      EXPECT_TRUE(prompts.shown.empty()) << c.control << " " << c.text;
    }
    EXPECT_EQ(panel.entriesValid, c.valid) << c.control << " " << c.text;
    EXPECT_EQ(panel.text(c.control), c.after) << c.control << " " << c.text;
  }
  // An empty field leaves the last outcome standing.
  for (bool before : {true, false}) {
    panel.entriesValid = before;
    panel.setText(ctl::retries, "");
    rules.fieldChange(ctl::retries);
    EXPECT_EQ(panel.entriesValid, before);
  }
}

TEST_F(EntryRulesTest, TypingReportsAsSoonAsTheValueLeavesItsRange) {
  type(ctl::groupID, "6");
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_TRUE(panel.entriesValid);
  type(ctl::groupID, "4");
  EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Group ID:64 is too high. Range is 1-63"});
  EXPECT_FALSE(panel.entriesValid);
  type(ctl::groupID, "\b");
  EXPECT_TRUE(panel.entriesValid);
  EXPECT_EQ(panel.text(ctl::groupID), "6");
}

TEST_F(EntryRulesTest, PastedTextKeepsOnlyWhatTheFieldTakes) {
  struct Case {
    const std::string& control;
    const char* text;
    const char* accepted;
  };
  const Case cases[] = {
      {ctl::groupID, "1a2", "12"},
      {ctl::securityID, " 12 34\n", "1234"},
      {ctl::radioID, "-5", "5"},
      {ctl::masterID, "abc", ""},
      {ctl::baudRate, "  96x00", "  9600"},
      {ctl::rfband, "3 ", "3 "},
      {ctl::radioName, "Pump #2", "Pump #2"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(acceptedText(c.control, c.text), c.accepted) << c.control << " " << c.text;
  }
  // And what lands is checked like typed text.
  paste(ctl::groupID, "9x9");
  EXPECT_EQ(panel.text(ctl::groupID), "99");
  EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Group ID:99 is too high. Range is 1-63"});
  EXPECT_FALSE(panel.entriesValid);
  paste(ctl::groupID, "0x0");
  EXPECT_EQ(panel.text(ctl::groupID), "0");
}

TEST_F(EntryRulesTest, LeavingAField) {
  struct Case {
    const std::string& control;
    const char* text;
    const char* message;  // "" for none
    const char* after;
    bool focusBack;
    bool valid;  // entriesValid afterwards; it was true before
  };
  const Case cases[] = {
      {ctl::groupID, "", "Group ID needs a value.", "1", true, false},
      {ctl::groupID, "70", "Group ID:70 is too high. Range is 1-63", "70", false, false},
      {ctl::groupID, "5", "", "5", false, true},
      {ctl::securityID, "", "Security ID needs a value.", "1", true, false},
      {ctl::flushTime, "", "Flush Time needs a value.", "1", true, false},
      {ctl::retries, "", "Retries needs a value.", "1", true, false},
      {ctl::retries, "3", "", "3", false, true},
      // Master ID gets a value and lets the user go on.
      {ctl::masterID, "", "Master ID needs a value.", "0", false, true},
      {ctl::rfband, "", "RF Band needs a value.", "", true, true},
      {ctl::rfband, "7", "", "7", false, true},
      {ctl::rfband, "2 ", "RF Band needs a value.", "2 ", true, true},
      {ctl::baudRate, "14400", "Baud rate needs a value.", "14400", true, true},
      {ctl::baudRate, "", "Baud rate needs a value.", "", true, true},
      {ctl::baudRate, "  9600", "", "  9600", false, true},
      {ctl::baudRate, "38400", "", "38400", false, true},
      {ctl::radioName, "", "Radio Name needs a value.", "", true, true},
      {ctl::radioName, "x", "", "x", false, true},
      {ctl::radioID, "", "Radio ID needs a value.", "254", false, true},
  };
  for (const Case& c : cases) {
    prompts.shown.clear();
    panel.setFocus("");
    panel.entriesValid = true;
    panel.setText(c.control, c.text);
    rules.fieldExit(c.control);
    if (*c.message) {
      ASSERT_EQ(prompts.shown.size(), 1u) << c.control << " '" << c.text << "'";
      EXPECT_EQ(prompts.shown[0].text, c.message);
      EXPECT_EQ(prompts.shown[0].icon, PromptIcon::Error);
      EXPECT_EQ(prompts.shown[0].buttons, pbOk);
    } else {
      EXPECT_TRUE(prompts.shown.empty()) << c.control << " '" << c.text << "'";
    }
    EXPECT_EQ(panel.text(c.control), c.after) << c.control << " '" << c.text << "'";
    EXPECT_EQ(panel.focus(), c.focusBack ? c.control : "") << c.control << " '" << c.text << "'";
    EXPECT_EQ(panel.entriesValid, c.valid) << c.control << " '" << c.text << "'";
  }
  // Master ID leaves the outcome of the last check as it was.
  panel.entriesValid = false;
  panel.setText(ctl::masterID, "");
  rules.fieldExit(ctl::masterID);
  EXPECT_FALSE(panel.entriesValid);
}

TEST_F(EntryRulesTest, RadioParametersMakeNewRadioReadSaveRadio) {
  open(wmProject);
  struct Case {
    const std::string& control;
    bool saves;
  };
  const Case changes[] = {
      {ctl::radioID, true},    {ctl::retries, true},  {ctl::masterID, true},
      {ctl::radioName, true},  {ctl::groupID, false}, {ctl::securityID, false},
      {ctl::flushTime, false}, {ctl::rfband, false},  {ctl::baudRate, false},
  };
  for (const Case& c : changes) {
    panel.setText(ctl::newRadio, kNewRadioCaption);
    panel.setText(c.control, "5");
    rules.fieldChange(c.control);
    EXPECT_EQ(panel.text(ctl::newRadio), c.saves ? kSaveRadioCaption : kNewRadioCaption)
        << c.control;
  }
  const Case clicks[] = {
      {ctl::dataBits, true},    {ctl::stopBits, true},        {ctl::parity, true},
      {ctl::handShaking, true}, {ctl::protocol, true},        {ctl::bufferMode, true},
      {ctl::radioMode, true},   {ctl::radioType, true},       {ctl::roaming, true},
      {ctl::repeaters, false},  {ctl::reTXBroadcasts, false},
  };
  for (const Case& c : clicks) {
    panel.setText(ctl::newRadio, kNewRadioCaption);
    panel.setItemIndex(c.control, 1);
    rules.selectorClick(c.control);
    EXPECT_EQ(panel.text(ctl::newRadio), c.saves ? kSaveRadioCaption : kNewRadioCaption)
        << c.control;
  }
  // Leaving the baud rate counts as a change of it.
  panel.setText(ctl::newRadio, kNewRadioCaption);
  panel.setText(ctl::baudRate, "  9600");
  rules.fieldExit(ctl::baudRate);
  EXPECT_EQ(panel.text(ctl::newRadio), kSaveRadioCaption);
  // Only while the button can be seen and used.
  panel.setText(ctl::newRadio, kNewRadioCaption);
  panel.setVisible(ctl::newRadio, false);
  rules.fieldChange(ctl::retries);
  EXPECT_EQ(panel.text(ctl::newRadio), kNewRadioCaption);
}

}  // namespace
}  // namespace tessel
