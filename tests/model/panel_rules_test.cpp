// The rules below the panel: Defaults, roaming, radio mode and type, the
// Radio ID exit rule, new radio numbers and renumbering.
#include "model_fixture.h"

namespace tessel {
namespace {

using PanelRulesTest = ModelTest;

TEST_F(PanelRulesTest, DefaultsSetTheRadioParametersOnly) {
  open(wmManual);
  panel.setText(ctl::groupID, "33");
  panel.setText(ctl::flushTime, "7");
  panel.setItemIndex(ctl::repeaters, 0);
  struct Case {
    int type;
    const char* retries;
    int typeAfter;
  };
  for (const Case& c : {Case{0, "50", 0}, Case{1, "50", 1}, Case{2, "10", 2}, Case{-1, "50", 1}}) {
    panel.setItemIndex(ctl::radioType, c.type);
    panel.setText(ctl::retries, "");
    window.defaultsClick();
    EXPECT_EQ(panel.text(ctl::retries), c.retries) << c.type;
    EXPECT_EQ(panel.itemIndex(ctl::radioType), c.typeAfter) << c.type;
  }
  EXPECT_EQ(panel.text(ctl::radioID), "1");
  EXPECT_EQ(panel.text(ctl::radioMode), "Slave");
  EXPECT_EQ(panel.text(ctl::roaming), "Allowed");
  EXPECT_EQ(panel.text(ctl::masterID), "0");
  EXPECT_EQ(panel.text(ctl::baudRate), "  9600");
  EXPECT_EQ(panel.text(ctl::dataBits), "8");
  EXPECT_EQ(panel.text(ctl::stopBits), "1");
  EXPECT_EQ(panel.text(ctl::parity), "None");
  EXPECT_EQ(panel.text(ctl::handShaking), "None");
  EXPECT_EQ(panel.text(ctl::protocol), "Disable");
  EXPECT_EQ(panel.text(ctl::bufferMode), "Character");
  EXPECT_FALSE(panel.panelLoading);
  EXPECT_EQ(panel.text(ctl::groupID), "33");
  EXPECT_EQ(panel.text(ctl::flushTime), "7");
  EXPECT_EQ(panel.text(ctl::repeaters), "Yes");
}

TEST_F(PanelRulesTest, DefaultsWithTwoModelsAndNoneSelected) {
  MemoryPanel two({"LUMA-MB", "LUMA-M"});
  MainWindowModel luma(two, views, prompts, kBrandModels1, "LUMA-LINK");
  luma.defaultsClick();
  EXPECT_EQ(two.itemIndex(ctl::radioType), 1);
  EXPECT_EQ(two.text(ctl::retries), "50");
}

TEST_F(PanelRulesTest, RoamingRule) {
  open(wmProject);
  struct Case {
    int type;
    int roaming;
    bool masterEnabled;
    const char* masterID;
  };
  for (const Case& c : {Case{1, 0, false, "0"}, Case{2, 0, false, "17"}, Case{1, 1, true, "17"},
                        Case{2, 1, true, "17"}}) {
    panel.setItemIndex(ctl::radioType, c.type);
    panel.setItemIndex(ctl::roaming, c.roaming);
    panel.setText(ctl::masterID, "17");
    panel.setEnabled(ctl::masterID, !c.masterEnabled);
    window.roamingClick();
    EXPECT_EQ(panel.enabled(ctl::masterID), c.masterEnabled) << c.type << c.roaming;
    EXPECT_EQ(panel.text(ctl::masterID), c.masterID) << c.type << c.roaming;
  }
  // Master ID only as far as the roaming selector itself is enabled.
  panel.setEnabled(ctl::roaming, false);
  window.roamingClick();
  EXPECT_FALSE(panel.enabled(ctl::masterID));
}

TEST_F(PanelRulesTest, RadioModeRule) {
  put("[Radio1]\nRadio Mode=Master\n");
  open(wmProject);
  Tradio* r = panel.currentRadio;
  ASSERT_NE(r, nullptr);
  struct Case {
    int mode;
    int window;
    bool group;
    bool roaming;
  };
  for (const Case& c : {Case{1, wmProject, false, true}, Case{2, wmProject, false, true},
                        Case{0, wmProject, true, false}, Case{1, wmManual, true, true}}) {
    panel.WindowMode = c.window;
    panel.setItemIndex(ctl::radioMode, c.mode);
    views.setImage(r->listItem, kImageMaster);
    window.radioModeClick();
    EXPECT_EQ(panel.enabled(ctl::groupID), c.group) << c.mode;
    EXPECT_EQ(panel.enabled(ctl::blocked), c.group) << c.mode;
    EXPECT_EQ(panel.enabled(ctl::roaming), c.roaming) << c.mode;
    EXPECT_EQ(views.image(r->listItem), c.window == wmManual ? kImageMaster : c.mode + 3);
  }
  panel.setEnabled(ctl::radioMode, false);
  window.radioModeClick();
  EXPECT_FALSE(panel.enabled(ctl::groupID));
  EXPECT_FALSE(panel.enabled(ctl::roaming));
}

TEST_F(PanelRulesTest, RadioTypeRule) {
  put("[Radio1]\nRadio Model=Vireo Version 2\n");
  open(wmProject);
  panel.setItemIndex(ctl::emulationMode, 3);
  panel.setText(ctl::plcAddress, "99");
  panel.setItemIndex(ctl::radioType, 0);
  window.radioTypeClick();
  EXPECT_EQ(panel.currentRadio->modelIndex, 0);
  EXPECT_TRUE(panel.enabled(ctl::vireoESetup));
  EXPECT_EQ(panel.itemIndex(ctl::emulationMode), 0);
  EXPECT_EQ(panel.text(ctl::plcAddress), "0");
  EXPECT_EQ(panel.text(ctl::mainSerialPort), "232");
  EXPECT_EQ(panel.text(ctl::sleepMode), "Off");
  EXPECT_FALSE(panel.enabled(ctl::plcAddress));
  EXPECT_FALSE(panel.enabled(ctl::onTimer));
  EXPECT_TRUE(panel.checked(ctl::usePCClock));
  EXPECT_FALSE(panel.enabled(ctl::setCurrentTime));
  panel.setItemIndex(ctl::radioType, 2);
  window.radioTypeClick();
  EXPECT_EQ(panel.currentRadio->modelIndex, 2);
  EXPECT_FALSE(panel.enabled(ctl::vireoESetup));
}

TEST_F(PanelRulesTest, RadioIDExitRule) {
  put("[Radio1]\nRadio Mode=Master\n[Radio2]\n");
  open(wmProject);
  Tradio* r = panel.currentRadio;
  ASSERT_EQ(r->slotID, 1);

  panel.setText(ctl::radioID, "");
  window.radioIDExit();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Radio ID needs a value.");
  EXPECT_EQ(panel.text(ctl::radioID), "254");  // free, renumbered when saved
  EXPECT_EQ(r->slotID, 1);

  panel.setText(ctl::radioID, "x1");
  window.radioIDExit();
  EXPECT_EQ(panel.text(ctl::radioID), "1");

  // A number another row shows is taken back silently.
  panel.WindowMode = wmMonitor;
  panel.setText(ctl::radioID, "2");
  window.radioIDExit();
  EXPECT_EQ(panel.text(ctl::radioID), "1");
  EXPECT_EQ(prompts.shown.size(), 1u);

  // Monitor mode asks; Cancel keeps the old number.
  int sends = 0;
  window.onSetRadio = [&] { ++sends; };
  prompts.answers = {pbCancel};
  panel.setText(ctl::radioID, "8");
  window.radioIDExit();
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].text,
            "Either set the radio with this new ID, or DO NOT change Radio ID. Set radio now?");
  EXPECT_EQ(prompts.shown[1].buttons, pbYes | pbCancel);
  EXPECT_EQ(panel.text(ctl::radioID), "1");
  EXPECT_EQ(sends, 0);
  // Yes renumbers and sends.
  prompts.answers = {pbYes};
  panel.setText(ctl::radioID, "8");
  window.radioIDExit();
  EXPECT_EQ(r->slotID, 8);
  EXPECT_EQ(window.project()->radio(8), r);
  EXPECT_EQ(window.project()->radio(1), nullptr);
  EXPECT_EQ(views.subItem(r->listItem, 0), "8");
  EXPECT_EQ(sends, 1);
  // A disabled field renumbers at once, without asking.
  panel.setEnabled(ctl::radioID, false);
  panel.setText(ctl::radioID, "9");
  window.radioIDExit();
  EXPECT_EQ(r->slotID, 9);
  EXPECT_EQ(prompts.shown.size(), 3u);
}

TEST_F(PanelRulesTest, FirstFreeRadioTakesTheLowestUnusedNumber) {
  put("[Radio0]\n[Radio2]\n");
  open(wmProject);
  window.project()->eraseSection("Radio2");  // record without section
  Tradio* old = panel.currentRadio;
  Tradio* r = window.firstFreeRadio(-1);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->slotID, 1);
  EXPECT_EQ(panel.currentRadio, r);
  EXPECT_EQ(views.stateImage(r->listItem), 1);
  EXPECT_EQ(views.stateImage(old->listItem), 0);
  EXPECT_EQ(window.firstFreeRadio(-1)->slotID, 3);
  // An index names the number.
  EXPECT_EQ(window.firstFreeRadio(40)->slotID, 40);
  EXPECT_EQ(window.firstFreeRadio(40), nullptr);
  EXPECT_EQ(window.firstFreeRadio(300), nullptr);
}

TEST_F(PanelRulesTest, FirstFreeRadioWithEveryNumberUsed) {
  std::string text;
  for (int i = 0; i < 255; ++i) text += "[Radio" + std::to_string(i) + "]\n";
  put(text);
  open(wmProject);
  Tradio* current = panel.currentRadio;
  EXPECT_EQ(window.firstFreeRadio(-1), nullptr);
  EXPECT_EQ(panel.currentRadio, current);
  EXPECT_EQ(window.project()->radioCount(), 255);
}

TEST_F(PanelRulesTest, RenumberingInProjectModeLeavesOneSection) {
  put("[Radio1]\nRadio Mode=Master\nRadio Name=Hub\n[Radio3]\nRadio Name=Other\n");
  open(wmProject);
  Tradio* r = panel.currentRadio;
  // A number with a section of its own is refused; the radio stays at 1.
  panel.setText(ctl::radioID, "3");
  EXPECT_FALSE(window.rekeyCurrentRadio());
  EXPECT_EQ(r->slotID, 1);
  EXPECT_TRUE(window.saveCurrentRadio());
  EXPECT_EQ(key("Radio3", "Radio Name"), "Other");
  EXPECT_EQ(key("Radio1", "Radio Name"), "Hub");
  EXPECT_EQ(panel.text(ctl::radioID), "1");

  panel.setText(ctl::radioID, "6");
  EXPECT_TRUE(window.saveCurrentRadio());
  EXPECT_EQ(r->slotID, 6);
  EXPECT_EQ(r->reportedID, 6);
  EXPECT_EQ(panel.text(ctl::newRadio), "New &Radio");
  EXPECT_FALSE(IniFile(path).sectionExists("Radio1"));
  EXPECT_EQ(key("Radio6", "Radio Name"), "Hub");
  window.closeProject();
  open(wmProject);
  EXPECT_EQ(window.project()->radioCount(), 2);
  EXPECT_NE(window.project()->radio(6), nullptr);
}

TEST_F(PanelRulesTest, RenumberingInMonitorModeKeepsTheReportedID) {
  put("[Radio1]\nRadio Mode=Master\n");
  open(wmMonitor);
  Tradio* r = panel.currentRadio;
  panel.setText(ctl::radioID, "5");
  EXPECT_TRUE(window.rekeyCurrentRadio());
  EXPECT_EQ(r->reportedID, 1);
  EXPECT_FALSE(IniFile(path).sectionExists("Radio1"));
}

TEST_F(PanelRulesTest, ChoosingARowShowsItsRadio) {
  put("[Radio1]\nRadio Mode=Master\nRetries=11\n[Radio2]\nRetries=22\n");
  open(wmProject);
  Tradio* second = window.project()->radio(2);
  window.setRadioChanged(true);
  panel.setText(ctl::retries, "12");
  prompts.answers = {pbYes};
  window.chooseRadio(second->listItem);
  EXPECT_EQ(prompts.shown.at(0).text, "Radio configuration changes made, save them?");
  EXPECT_EQ(key("Radio1", "Retries"), "12");
  EXPECT_EQ(panel.currentRadio, second);
  EXPECT_EQ(panel.text(ctl::retries), "22");
  EXPECT_FALSE(panel.enabled(ctl::groupID));
  EXPECT_EQ(views.stateImage(second->listItem), 1);
  EXPECT_EQ(views.stateImage(window.project()->radio(1)->listItem), 0);
  EXPECT_EQ(views.selectedRow(), second->listItem);
}

// "Save them?" comes only after an edit and only when another radio is
// chosen; Yes writes what the user changed and nothing else.
TEST_F(PanelRulesTest, SavingARadioWritesOnlyWhatTheUserChanged) {
  put("[Radio1]\nRadio Mode=Slave\nMaster ID=1\nRetries=11\n[Radio2]\nRetries=22\n");
  open(wmProject);
  Tradio* first = window.project()->radio(1);
  window.chooseRadio(first->listItem);
  panel.setText(ctl::retries, "12");
  window.saveRadioRule();
  ASSERT_TRUE(window.radioChanged());
  // The row already shown (a second click, a right-click) asks nothing.
  window.chooseRadio(first->listItem);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(panel.text(ctl::retries), "12");
  prompts.answers = {pbYes};
  window.chooseRadio(window.project()->radio(2)->listItem);
  EXPECT_EQ(prompts.texts(),
            std::vector<std::string>{"Radio configuration changes made, save them?"});
  EXPECT_EQ(IniFile(path).keyNames("Radio1"),
            (std::vector<std::string>{"Radio Mode", "Master ID", "Retries"}));
  EXPECT_EQ(key("Radio1", "Retries"), "12");
  EXPECT_EQ(key("Radio1", "Master ID"), "1");
}

TEST(PanelViewText, FormModeKeepsTheCaptionAndReadsBack) {
  struct Case {
    const char* stored;
    PanelView view;
  };
  // What earlier runs stored, and stray texts.
  for (const Case& c : {Case{"", PanelView::Basic}, Case{"Advanced", PanelView::Basic},
                        Case{"&Basic", PanelView::Advanced}, Case{"Cancel", PanelView::Advanced},
                        Case{"junk", PanelView::Advanced}}) {
    EXPECT_EQ(panelViewFromFormMode(c.stored), c.view) << c.stored;
  }
  EXPECT_EQ(formModeText(PanelView::Basic), "Advanced");
  EXPECT_EQ(formModeText(PanelView::Advanced), "&Basic");
  EXPECT_EQ(formModeText(PanelView::Monitor), "&Basic");
  for (PanelView v : {PanelView::Basic, PanelView::Advanced, PanelView::Monitor}) {
    const PanelView back = panelViewFromFormMode(formModeText(v));
    EXPECT_EQ(back, v == PanelView::Monitor ? PanelView::Advanced : v);
  }
  EXPECT_EQ(advancedCaption(PanelView::Monitor), "Cancel");
}

TEST_F(PanelRulesTest, BasicAdvancedButtonSwitchesTheViewAndEndsMonitoring) {
  put("[Radio1]\nRadio Mode=Master\n");
  open(wmProject);
  EXPECT_EQ(window.panelView(), PanelView::Basic);
  EXPECT_EQ(panel.text(ctl::advanced), "Advanced");
  window.advancedClick();
  EXPECT_EQ(window.panelView(), PanelView::Advanced);
  EXPECT_EQ(panel.text(ctl::advanced), "&Basic");
  window.advancedClick();
  EXPECT_EQ(panel.text(ctl::advanced), "Advanced");
  EXPECT_TRUE(tasks.tasks.empty());

  // A caption typed over by someone else decides nothing.
  window.switchMode(wmMonitor);
  panel.setText(ctl::advanced, "Cancel");
  window.advancedClick();
  EXPECT_EQ(panel.WindowMode, wmMonitor);
  EXPECT_TRUE(tasks.tasks.empty());

  window.setPanelView(PanelView::Monitor);
  EXPECT_EQ(panel.text(ctl::advanced), "Cancel");
  window.advancedClick();
  EXPECT_EQ(window.panelView(), PanelView::Advanced);
  EXPECT_EQ(panel.text(ctl::advanced), "&Basic");
  EXPECT_EQ(panel.WindowMode, wmProject);
  ASSERT_EQ(tasks.tasks.size(), 1u);
  EXPECT_EQ(tasks.tasks[0].code, tkLocalOnly);
  EXPECT_EQ(tasks.tasks[0].text, "&Basic");
}

TEST_F(PanelRulesTest, NewRadioButtonShowsUnsavedChanges) {
  put("[Radio1]\nRadio Mode=Master\n[Radio2]\n");
  open(wmProject);
  EXPECT_FALSE(window.radioChanged());
  panel.setText(ctl::newRadio, "Save Radio");  // a caption alone is no change
  window.chooseRadio(window.project()->radio(2)->listItem);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(panel.text(ctl::newRadio), "New &Radio");

  window.roamingClick();
  EXPECT_TRUE(window.radioChanged());
  EXPECT_EQ(panel.text(ctl::newRadio), "Save Radio");
  prompts.answers = {pbNo};
  window.chooseRadio(window.project()->radio(1)->listItem);
  EXPECT_EQ(prompts.texts(),
            std::vector<std::string>{"Radio configuration changes made, save them?"});
  EXPECT_FALSE(window.radioChanged());
  EXPECT_EQ(panel.text(ctl::newRadio), "New &Radio");
}

}  // namespace
}  // namespace tessel
