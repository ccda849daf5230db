// Radio and project records: the project file's keys, defaults and order,
// loading and saving radios, the poll list and the blocked frequencies.
#include "model_fixture.h"

namespace tessel {
namespace {

using RecordsTest = ModelTest;

TEST_F(RecordsTest, EmptySectionLoadsTheDefaults) {
  put("[Radio9]\n");
  open(wmProject);
  Tradio* r = window.project()->radio(9);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(panel.text(ctl::radioID), "9");
  EXPECT_EQ(r->settings.name, "...");
  EXPECT_EQ(panel.text(ctl::radioName), "...");
  EXPECT_EQ(panel.text(ctl::radioMode), "Slave");
  EXPECT_EQ(views.image(r->listItem), kImageSlave);
  EXPECT_FALSE(r->isMaster);
  EXPECT_EQ(panel.text(ctl::roaming), "Allowed");
  EXPECT_EQ(panel.text(ctl::masterID), "0");
  EXPECT_EQ(panel.text(ctl::retries), "10");
  EXPECT_EQ(panel.text(ctl::protocol), "Disable");
  EXPECT_EQ(panel.text(ctl::bufferMode), "Character");
  EXPECT_EQ(r->modelIndex, 1);
  EXPECT_EQ(panel.itemIndex(ctl::radioType), 1);
  EXPECT_EQ(panel.itemIndex(ctl::baudRate), 5);  // "  9600"
  EXPECT_EQ(panel.text(ctl::dataBits), "8");
  EXPECT_EQ(panel.text(ctl::stopBits), "1");
  EXPECT_EQ(panel.text(ctl::parity), "None");
  EXPECT_EQ(panel.text(ctl::handShaking), "None");
  // The list row shows the record.
  EXPECT_EQ(views.caption(r->listItem), "...");
  EXPECT_EQ(views.subItem(r->listItem, 0), "9");
  EXPECT_EQ(views.rowRadio(r->listItem), r);
}

struct SerialCase {
  const char* keys;
  const char* control;
  const char* shown;
};

class SerialLoadTest : public ModelTest, public ::testing::WithParamInterface<SerialCase> {};

TEST_P(SerialLoadTest, ValueTextsLoadExactly) {
  put(std::string("[Radio1]\n") + GetParam().keys + "\n");
  open(wmProject);
  EXPECT_EQ(panel.text(GetParam().control), GetParam().shown) << GetParam().keys;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SerialLoadTest,
    ::testing::Values(SerialCase{"Data Bits=x", "dataBits", "8"},
                      SerialCase{"Data Bits=9", "dataBits", "7"},
                      SerialCase{"Stop Bits=y", "stopBits", "1"},
                      SerialCase{"Parity=even", "parity", "Odd"},
                      SerialCase{"Parity=Even", "parity", "Even"},
                      SerialCase{"Handshaking=yes", "handShaking", "Hardware"},
                      SerialCase{"Baud rate=    300", "baudRate", "    300"},
                      SerialCase{"Baud rate=19200", "baudRate", "19200"},
                      SerialCase{"Radio Mode=master", "radioMode", "Master"},

                      SerialCase{"Roaming=yes", "roaming", "Master ID"},
                      SerialCase{"Auto-Routing=Allen Bradley DF1", "protocol", "Allen Bradley DF1"},
                      SerialCase{"Auto-Routing=modbus", "protocol", "MODBUS RTU"},
                      SerialCase{"Buffer Mode=character", "bufferMode", "Packet"},
                      SerialCase{"Radio Model=Vireo Version 1", "radioType", "Vireo Version 1"},
                      SerialCase{"Radio Model=Something", "radioType", "Vireo E"}));

TEST_F(RecordsTest, ModelZeroRadioKeepsItsStoredModelESettings) {
  put("[Radio4]\nRadio Model=Vireo E\nEmulation Mode=Modicon PLC\nSleep Mode=Programmable\n"
      "PLC Address=17\nStart Time=07:30\nRadio ON Time=20\nRadio OFF Time=300\n");
  window.openProject(path);
  window.switchMode(wmProject);
  panel.setItemIndex(ctl::radioType, 2);  // another model was shown before
  window.loadProjectRadios();
  window.chooseRadio(window.project()->radio(4)->listItem);
  EXPECT_EQ(panel.itemIndex(ctl::radioType), 0);
  EXPECT_EQ(panel.text(ctl::emulationMode), "Modicon PLC");
  EXPECT_EQ(panel.text(ctl::sleepMode), "Programmable");
  EXPECT_EQ(panel.text(ctl::plcAddress), "17");
  EXPECT_EQ(panel.text(ctl::startTime), "07:30");
  EXPECT_EQ(panel.text(ctl::onTimer), "20");
  EXPECT_EQ(panel.text(ctl::offTimer), "300");
  EXPECT_TRUE(panel.enabled(ctl::plcAddress));
  // The stored default "RS232" is shown, and sent, as the radio takes it.
  EXPECT_EQ(panel.text(ctl::mainSerialPort), "232");
  EXPECT_EQ(panel.itemIndex(ctl::mainSerialPort), 0);
  EXPECT_EQ(values.RegisterValue(4, param::mainSerialPort, false), "232");
}

TEST_F(RecordsTest, SavingWritesEveryKeyInOrder) {
  open(wmProject);
  Tradio* r = window.firstFreeRadio(-1);
  ASSERT_NE(r, nullptr);
  panel.setText(ctl::radioID, "0");
  panel.setItemIndex(ctl::radioMode, 0);
  panel.setItemIndex(ctl::roaming, 1);
  panel.setText(ctl::masterID, "3");
  panel.setItemIndex(ctl::radioType, 0);
  window.modelEDefaults();
  panel.setItemIndex(ctl::parity, 0);
  panel.setItemIndex(ctl::handShaking, 1);
  ASSERT_TRUE(r->SaveFromPanel());
  EXPECT_TRUE(r->isMaster);
  EXPECT_EQ(IniFile(path).keyNames("Radio0"),
            (std::vector<std::string>{
                "Radio ID",         "Radio Name",   "Radio Mode",  "Roaming",     "Master ID",
                "Retries",          "Auto-Routing", "Buffer Mode", "Radio Model", "Emulation Mode",
                "Main Serial Port", "Sleep Mode",   "PLC Address", "Start Time",  "Radio ON Time",
                "Radio OFF Time",   "Baud rate",    "Data Bits",   "Stop Bits",   "Parity",
                "Handshaking"}));
  EXPECT_EQ(key("Radio0", "Radio Mode"), "Master");
  EXPECT_EQ(key("Radio0", "Roaming"), "No");
  EXPECT_EQ(key("Radio0", "Radio Model"), "Vireo E");
  EXPECT_EQ(key("Radio0", "Emulation Mode"), "No Emulation (Radio Only)");
  EXPECT_EQ(key("Radio0", "Data Bits"), "8");
  EXPECT_EQ(key("Radio0", "Parity"), "Even");
  EXPECT_EQ(key("Radio0", "Handshaking"), "Yes");
  // The baud rate entry is written as it stands.
  EXPECT_NE(get().find("Baud rate=  9600"), std::string::npos);

  // Saved as Slave, the record stops answering as a master.
  panel.setItemIndex(ctl::radioMode, 1);
  ASSERT_TRUE(r->SaveFromPanel());
  EXPECT_FALSE(r->isMaster);
  EXPECT_FALSE(values.isMaster(0));
}

TEST_F(RecordsTest, SavingModelOneDropsOnlyTheEmulationMode) {
  put("[Radio2]\nRadio Model=Vireo E\nEmulation Mode=Modicon PLC\nPLC Address=9\n");
  open(wmProject);
  window.chooseRadio(window.project()->radio(2)->listItem);
  panel.setItemIndex(ctl::radioType, 1);
  ASSERT_TRUE(window.project()->radio(2)->SaveFromPanel());
  EXPECT_EQ(key("Radio2", "Emulation Mode"), "<absent>");
  EXPECT_EQ(key("Radio2", "PLC Address"), "9");
  EXPECT_EQ(key("Radio2", "Radio Model"), "Vireo Version 2");
}

TEST_F(RecordsTest, SavingAfterTheRadioIDChangedGoesToTheNewSection) {
  put("[Radio5]\nRadio Name=Pump\nRetries=7\n");
  open(wmProject);
  Tradio* r = window.project()->radio(5);
  panel.setText(ctl::radioID, "6");
  panel.setText(ctl::retries, "8");
  ASSERT_TRUE(r->SaveFromPanel());
  EXPECT_EQ(key("Radio6", "Radio Name"), "Pump");
  EXPECT_EQ(key("Radio6", "Retries"), "8");
  EXPECT_EQ(key("Radio5", "Retries"), "7");
}

TEST_F(RecordsTest, ARadioIDThatIsNoNumberWritesNothingAndSaysSo) {
  open(wmProject);
  Tradio* r = window.firstFreeRadio(-1);
  const std::string before = get();
  for (const char* bad : {"", "12a", "300", "-1"}) {
    prompts.shown.clear();
    panel.setText(ctl::radioID, bad);
    EXPECT_FALSE(r->SaveFromPanel()) << bad;
    ASSERT_EQ(prompts.shown.size(), 1u) << bad;
    EXPECT_EQ(prompts.shown[0].icon, PromptIcon::Error);
  }
  EXPECT_EQ(prompts.shown[0].text, "Radio ID:-1 is too low. Range is 0-254");
  EXPECT_EQ(get(), before);
  EXPECT_FALSE(IniFile(path).sectionExists("Radio-1"));
  // Not saved, the radio still reads as changed.
  window.setRadioChanged(true);
  panel.setText(ctl::radioID, "");
  EXPECT_FALSE(window.saveCurrentRadio());
  EXPECT_EQ(panel.text(ctl::newRadio), kSaveRadioCaption);
  EXPECT_EQ(get(), before);
}

TEST_F(RecordsTest, ANewFileOpensWithTheGroupDefaultsAndNoRadios) {
  open(wmProject);
  EXPECT_EQ(panel.text(ctl::groupID), "0");
  EXPECT_EQ(panel.text(ctl::securityID), "0");
  EXPECT_EQ(panel.text(ctl::rfband), "1");
  EXPECT_EQ(panel.text(ctl::flushTime), "1200");
  EXPECT_EQ(panel.text(ctl::reTXBroadcasts), "Yes");
  EXPECT_EQ(panel.text(ctl::repeaters), "No");
  EXPECT_EQ(panel.text(ctl::caption), "Tessel: " + path);
  EXPECT_EQ(window.project()->radioCount(), 0);
  EXPECT_EQ(views.rowCount(), 0);
  EXPECT_FALSE(panel.panelLoading);
}

TEST_F(RecordsTest, GroupSettingsSurviveSaveAndReopen) {
  open(wmProject);
  panel.setText(ctl::groupID, "12");
  panel.setText(ctl::flushTime, "600");
  panel.setItemIndex(ctl::reTXBroadcasts, 1);
  panel.setItemIndex(ctl::repeaters, 0);
  window.closeProject();
  EXPECT_EQ(key("Project", "ReTXBroadcasts"), "No");
  panel.setItemIndex(ctl::reTXBroadcasts, 0);
  open(wmProject);
  EXPECT_EQ(panel.text(ctl::groupID), "12");
  EXPECT_EQ(panel.text(ctl::flushTime), "600");
  EXPECT_EQ(panel.text(ctl::reTXBroadcasts), "No");
  EXPECT_EQ(panel.text(ctl::repeaters), "Yes");
}

TEST_F(RecordsTest, RadioSectionsBecomeRecordsAndThePollList) {
  put("[Project]\nGroup ID=5\n[Radio250]\nRadio Mode=Master\nRadio Name=Top\n"
      "[Radio3]\nRadio Model=Vireo Version 1\n");
  open(wmProject);
  ASSERT_EQ(window.project()->radioCount(), 2);
  ASSERT_EQ(views.rowCount(), 2);
  EXPECT_EQ(views.rowRadio(views.rowAt(0))->slotID, 3);
  // The first master is the one shown.
  Tradio* master = window.project()->radio(250);
  EXPECT_EQ(panel.currentRadio, master);
  EXPECT_EQ(views.stateImage(master->listItem), 1);
  EXPECT_EQ(panel.text(ctl::radioName), "Top");
  EXPECT_EQ(window.project()->BuildPollList(true), (TpollArray{{3, 2}, {250, 1}}));
  EXPECT_TRUE(window.project()->radio(3)->pollOnly);
}

TEST_F(RecordsTest, LoadingTheRadiosTwiceKeepsOneRowPerRadio) {
  put("[Radio1]\n[Radio2]\n");
  open(wmProject);
  Tradio* first = window.project()->radio(1);
  window.loadProjectRadios();
  EXPECT_EQ(views.rowCount(), 2);
  EXPECT_EQ(window.project()->radio(1), first);
  EXPECT_EQ(views.rowRadio(views.rowAt(0)), first);
}

TEST_F(RecordsTest, AProjectWithoutMasterShowsNoRadio) {
  put("[Radio1]\nRadio Name=A\n[Radio2]\nRadio Name=B\n");
  open(wmProject);
  EXPECT_EQ(panel.currentRadio, window.project()->radio(2));
  EXPECT_EQ(views.stateImage(window.project()->radio(2)->listItem), 0);
  // The panel holds what the current radio's creation loaded, so a save
  // writes that radio's own values back, never another's.
  EXPECT_EQ(panel.text(ctl::radioName), "B");
  EXPECT_EQ(panel.text(ctl::radioID), "2");
}

struct BlockedCase {
  int mode;
  bool openDialog;
  bool reported;
  bool rewritten;
};

class BlockedCloseTest : public ModelTest, public ::testing::WithParamInterface<BlockedCase> {};

TEST_P(BlockedCloseTest, RewrittenOnlyWhenChangedOutsideManual) {
  const BlockedCase& c = GetParam();
  put("[Project]\ns30=915.7\ns31=920.0\n");
  window.openProject(path);
  window.switchMode(c.mode);
  // Opening a project commits its own frequencies, unchanged.
  EXPECT_EQ(panel.blockedValues[0], "915.7");
  EXPECT_EQ(panel.blockedValues[2], "");
  EXPECT_FALSE(window.project()->blockedChanged);
  if (c.openDialog) window.project()->blockedChanged = true;
  if (c.reported) reply(30, "9027");
  window.closeProject();
  if (c.rewritten) {
    EXPECT_EQ(key("Project", "s30"), c.reported ? "902.7" : "915.7");
    EXPECT_EQ(key("Project", "s41"), "");
  } else {
    EXPECT_EQ(key("Project", "s30"), "915.7");
    EXPECT_EQ(key("Project", "s41"), "<absent>");
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, BlockedCloseTest,
                         ::testing::Values(BlockedCase{wmProject, false, false, false},
                                           BlockedCase{wmProject, true, false, true},
                                           BlockedCase{wmMonitor, false, true, true},
                                           BlockedCase{wmManual, true, false, false},
                                           BlockedCase{wmManual, false, true, false}));

TEST_F(RecordsTest, OpeningAProjectReplacesTheLastProjectsBlockedFrequencies) {
  panel.blockedValues[0] = "926.0";
  open(wmProject);
  EXPECT_EQ(values.RegisterValue(0, param::blockedFreq1, false), "0");
}

TEST_F(RecordsTest, DestroyingARadioFreesItsSlotRowAndNodes) {
  put("[Radio1]\nRadio Mode=Master\n[Radio2]\n");
  open(wmMonitor);
  reply(1, "1");
  reply(3, "M");
  reply(1, "2");
  reply(7, "N");
  reply(8, "1");
  Tradio* master = window.project()->radio(1);
  Tradio* slave = window.project()->radio(2);
  ASSERT_NE(slave->treeNode, kNoNode);
  panel.currentRadio = master;
  master->Destroy();
  EXPECT_EQ(window.project()->radio(1), nullptr);
  EXPECT_EQ(panel.currentRadio, nullptr);
  EXPECT_EQ(views.rowCount(), 1);
  // Only the master's node goes; its slave's stays, at the top.
  EXPECT_EQ(views.nodeCount(), 1);
  EXPECT_TRUE(views.nodeExists(slave->treeNode));
  EXPECT_EQ(views.nodeParent(slave->treeNode), kNoNode);
}

TEST_F(RecordsTest, AFailedWriteIsReportedOnce) {
  path = dir + "/gone/group.vro";  // a folder that does not exist
  open(wmProject);
  window.firstFreeRadio(-1);
  EXPECT_FALSE(panel.currentRadio->SaveFromPanel());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_NE(prompts.shown[0].text.find("Cannot write the project file"), std::string::npos);
}

}  // namespace
}  // namespace tessel
