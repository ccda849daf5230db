// The three callbacks the link engine calls: register replies into the panel
// and the project file, panel values out as register texts, and the queries.
#include <algorithm>
#include <map>

#include "model/catalogue.h"
#include "model/factory_defaults.h"
#include "model/group_change.h"
#include "model/radio_codec.h"
#include "model_fixture.h"

namespace tessel {
namespace {

using ApplyReplyTest = ModelTest;

// One dump of a model-1 radio as the engine hands it over, register by
// register (parameter code, value, text).
struct Reply {
  int param;
  int value;
  const char* text;
};
const Reply kDumpOfRadio5[] = {
    {-1, 1, "V2.0"},      {0, 9, "9"},      {1, 5, "5"},      {2, 980, "980"},
    {3, -1, "MSTR"},      {4, -1, "YES"},   {5, -1, "NO"},    {6, 1, "1"},
    {7, -1, "NO"},        {8, 0, "0"},      {-1, 0, "0"},     {10, -1, "-151"},
    {-1, -1, "YES"},      {-1, 255, "255"}, {13, 10, "10"},   {-1, 50, "50"},
    {15, 12000, "12000"}, {16, 26, "26"},   {17, 22, "22"},   {-1, -1, "-----"},
    {20, 9600, "9600"},   {21, 8, "8"},     {22, 1, "1"},     {23, -1, "NONE"},
    {24, -1, "NONE"},     {25, 0, "0"},     {26, -1, "CHAR"}, {30, 9027, "9027"},
    {31, 9127, "9127"},   {32, 0, "0"},
};

TEST_F(ApplyReplyTest, AProjectModeReadLandsInTheRadiosSectionAndThePanel) {
  put("[Radio5]\nRadio Mode=Slave\nData Bits=7\nParity=Even\nHandshaking=Yes\n"
      "Buffer Mode=Packet\nAuto-Routing=MODBUS RTU\nStop Bits=2\n");
  open(wmProject);
  window.chooseRadio(window.project()->radio(5)->listItem);
  for (const Reply& r : kDumpOfRadio5) values.ApplyReply(r.param, r.value, r.text);

  // An 8N1 radio is stored as 8N1, in the value texts of the project file.
  EXPECT_EQ(key("Radio5", "Radio Mode"), "Master");
  EXPECT_EQ(key("Radio5", "Roaming"), "No");
  EXPECT_EQ(key("Radio5", "Master ID"), "0");
  EXPECT_EQ(key("Radio5", "Retries"), "10");
  EXPECT_EQ(key("Radio5", "Baud rate"), "9600");
  EXPECT_EQ(key("Radio5", "Data Bits"), "8");
  EXPECT_EQ(key("Radio5", "Stop Bits"), "1");
  EXPECT_EQ(key("Radio5", "Parity"), "None");
  EXPECT_EQ(key("Radio5", "Handshaking"), "No");
  EXPECT_EQ(key("Radio5", "Auto-Routing"), "Disable");
  EXPECT_EQ(key("Radio5", "Buffer Mode"), "Character");
  // Panel side: the radio being read is the one shown.
  EXPECT_EQ(panel.text(ctl::groupID), "9");
  EXPECT_EQ(panel.text(ctl::securityID), "980");
  EXPECT_EQ(panel.text(ctl::radioMode), "Master");
  EXPECT_EQ(panel.text(ctl::repeaters), "Yes");
  EXPECT_EQ(panel.text(ctl::reTXBroadcasts), "No");
  EXPECT_EQ(panel.text(ctl::roaming), "Master ID");
  EXPECT_EQ(panel.text(ctl::masterID), "0");
  EXPECT_EQ(panel.text(ctl::flushTime), "1200");
  EXPECT_EQ(panel.text(ctl::baudRate), "  9600");
  EXPECT_EQ(panel.text(ctl::dataBits), "8");
  EXPECT_EQ(panel.text(ctl::stopBits), "1");
  EXPECT_EQ(panel.text(ctl::parity), "None");
  EXPECT_EQ(panel.text(ctl::handShaking), "None");
  EXPECT_EQ(panel.text(ctl::protocol), "Disable");
  EXPECT_EQ(panel.text(ctl::bufferMode), "Character");
  EXPECT_EQ(panel.blockedValues[0], "902.7");
  EXPECT_EQ(panel.blockedValues[1], "912.7");
  EXPECT_EQ(panel.blockedValues[2], "");
  EXPECT_TRUE(window.project()->blockedChanged);
  // The dump's own "0" for register 9 and "255" for 12 are not identifications.
  EXPECT_EQ(panel.detectedModel, 1);
  // A master reporting master ID 0 (and being the last master) is not its own child.
  Tradio* r = window.project()->radio(5);
  EXPECT_TRUE(r->isMaster);
  EXPECT_EQ(views.nodeParent(r->treeNode), kNoNode);
  EXPECT_TRUE(views.children(r->treeNode).empty());
  EXPECT_EQ(views.image(r->listItem), kImageMaster);
}

TEST_F(ApplyReplyTest, SingleValues) {
  open(wmManual);
  reply(30, "0");
  EXPECT_EQ(panel.blockedValues[0], "");
  EXPECT_TRUE(window.project()->blockedChanged);
  reply(31, "9157");
  EXPECT_EQ(panel.blockedValues[1], "915.7");
  reply(31, "899");
  EXPECT_EQ(panel.blockedValues[1], "");
  reply(6, "3");
  EXPECT_EQ(panel.text(ctl::rfband), "3");
  reply(15, "12000");
  EXPECT_EQ(panel.text(ctl::flushTime), "1200");
  panel.setItemIndex(ctl::repeaters, 1);
  reply(4, "");
  EXPECT_EQ(panel.text(ctl::repeaters), "No");
  reply(4, "Y");
  EXPECT_EQ(panel.text(ctl::repeaters), "Yes");
  EXPECT_TRUE(values.ApplyReply(3, 0, "M"));
  EXPECT_FALSE(values.ApplyReply(3, 0, "S"));
}

TEST_F(ApplyReplyTest, ProcessEventsRunsForEveryReply) {
  open(wmManual);
  int runs = 0;
  values.processEvents = [&] { ++runs; };
  reply(0, "");
  reply(0, "7");
  reply(999, "1");
  EXPECT_EQ(runs, 3);
}

TEST_F(ApplyReplyTest, ReplyIndicesOutsideTheSelectorsChangeNothing) {
  put("[Radio5]\nRadio Model=Vireo E\n");
  open(wmProject);
  window.chooseRadio(window.project()->radio(5)->listItem);
  reply(1, "5");
  const std::vector<std::string> controls = {ctl::rfband,        ctl::dataBits,  ctl::stopBits,
                                             ctl::handShaking,   ctl::protocol,  ctl::bufferMode,
                                             ctl::emulationMode, ctl::sleepMode, ctl::baudRate};
  std::vector<int> before;
  for (const auto& c : controls) before.push_back(panel.itemIndex(c));
  for (Reply r : std::vector<Reply>{{6, 9, "9"},
                                    {6, 0, "0"},
                                    {21, 9, "9"},
                                    {22, 3, "3"},
                                    {22, 0, "0"},
                                    {24, 5, "5"},
                                    {25, 4, "4"},
                                    {26, 3, "3"},
                                    {110, 5, "5"},
                                    {110, -1, "-1"},
                                    {20, 0, "fast"},
                                    {20, 14400, "14400"}}) {
    values.ApplyReply(r.param, r.value, r.text);
  }
  values.ApplyReply(100, 7, "7");  // selects model 0, but no emulation item
  for (size_t i = 0; i < controls.size(); ++i) {
    EXPECT_EQ(panel.itemIndex(controls[i]), before[i]) << controls[i];
  }
  // Only the rate the radio really has reaches the file.
  EXPECT_EQ(key("Radio5", "Baud rate"), "14400");
  EXPECT_EQ(key("Radio5", "Data Bits"), "<absent>");
  EXPECT_EQ(key("Radio5", "Sleep Mode"), "<absent>");
  EXPECT_EQ(key("Radio5", "Emulation Mode"), "<absent>");
}

TEST_F(ApplyReplyTest, ModelTwoDigitsAndLettersDecodeAlike) {
  put("[Radio5]\n");
  open(wmProject);
  window.chooseRadio(window.project()->radio(5)->listItem);
  reply(1, "5");
  reply(24, "1");
  reply(26, "1");
  EXPECT_EQ(key("Radio5", "Handshaking"), "Yes");
  EXPECT_EQ(key("Radio5", "Buffer Mode"), "Packet");
  EXPECT_EQ(panel.text(ctl::handShaking), "Hardware");
  EXPECT_EQ(panel.text(ctl::bufferMode), "Packet");
  reply(24, "N");
  reply(26, "C");
  reply(23, "O");
  reply(7, "Y");
  reply(25, "M");
  EXPECT_EQ(key("Radio5", "Handshaking"), "No");
  EXPECT_EQ(key("Radio5", "Buffer Mode"), "Character");
  EXPECT_EQ(key("Radio5", "Parity"), "Odd");
  EXPECT_EQ(key("Radio5", "Roaming"), "Yes");
  EXPECT_EQ(key("Radio5", "Auto-Routing"), "MODBUS RTU");
  EXPECT_EQ(panel.text(ctl::parity), "Odd");
  EXPECT_EQ(panel.text(ctl::roaming), "Allowed");
  EXPECT_EQ(panel.text(ctl::protocol), "MODBUS RTU");
}

// A read in Project mode shows the radio it reads, whichever was shown,
// and writes its section; a monitor's poll leaves the panel where it is.
TEST_F(ApplyReplyTest, AProjectModeReadShowsTheRadioItReadsAndAPollDoesNot) {
  put("[Radio1]\nRadio Mode=Master\nRetries=20\n[Radio2]\n");
  open(wmProject);
  ASSERT_EQ(panel.currentRadio->slotID, 1);
  reply(1, "2");
  reply(13, "33");
  reply(3, "R");
  EXPECT_EQ(key("Radio2", "Retries"), "33");
  EXPECT_EQ(key("Radio2", "Radio Mode"), "Repeater");
  EXPECT_EQ(key("Radio1", "Retries"), "20");
  EXPECT_EQ(panel.currentRadio, window.project()->radio(2));
  EXPECT_EQ(panel.text(ctl::retries), "33");
  EXPECT_EQ(panel.text(ctl::radioMode), "Repeater");
  EXPECT_FALSE(window.radioChanged());
  EXPECT_EQ(views.image(window.project()->radio(2)->listItem), kImageRepeater);

  window.switchMode(wmMonitor);
  reply(1, "1");
  reply(13, "44");
  EXPECT_EQ(key("Radio1", "Retries"), "44");
  EXPECT_EQ(panel.currentRadio, window.project()->radio(2));
  EXPECT_EQ(panel.text(ctl::retries), "33");
}

TEST_F(ApplyReplyTest, ManualModeReadFillsThePanelOnly) {
  open(wmManual);
  const std::string file = get();
  values.ApplyReply(-1, 1, "V2.0");
  reply(1, "5");
  reply(3, "S");
  reply(13, "40");
  reply(21, "7");
  EXPECT_EQ(panel.text(ctl::radioID), "5");
  EXPECT_EQ(panel.itemIndex(ctl::radioType), 1);
  EXPECT_EQ(panel.text(ctl::radioMode), "Slave");
  EXPECT_EQ(panel.text(ctl::retries), "40");
  EXPECT_EQ(panel.text(ctl::dataBits), "7");
  // A model-0 register makes it a model-0 radio.
  reply(100, "2");
  EXPECT_EQ(panel.itemIndex(ctl::radioType), 0);
  EXPECT_EQ(panel.text(ctl::emulationMode), "Modicon PLC");
  EXPECT_EQ(get(), file);
}

TEST_F(ApplyReplyTest, OnlyTheIdentificationLineSetsTheDetectedModel) {
  open(wmManual);
  values.ApplyReply(-1, 2, "Firmware 1.14");
  EXPECT_EQ(panel.detectedModel, 2);
  values.ApplyReply(-1, 1, "1");   // register 9 reading "1"
  values.ApplyReply(-1, 0, "NO");  // register 19
  values.ApplyReply(-1, -1, "YES");
  values.ApplyReply(-1, 7, "7");
  EXPECT_EQ(panel.detectedModel, 2);
  values.ApplyReply(-1, 1, "V2.0");
  EXPECT_EQ(panel.detectedModel, 1);
}

TEST_F(ApplyReplyTest, ARadioIDThatIsNoRadioNumberChangesNothing) {
  put("[Radio3]\n");
  open(wmMonitor);
  reply(1, "3");
  ASSERT_EQ(values.readingID(), 3);
  const std::string file = get();
  for (const char* bad : {"x", "-", "99999999999", "300", "255", "-1", "3a"}) {
    values.ApplyReply(1, 0, bad);
    EXPECT_EQ(values.readingID(), 3) << bad;
  }
  EXPECT_EQ(get(), file);
  EXPECT_EQ(window.project()->radioCount(), 1);
  panel.WindowMode = wmManual;
  panel.setText(ctl::radioID, "3");
  values.ApplyReply(1, 0, "x");
  values.ApplyReply(1, 300, "300");
  EXPECT_EQ(panel.text(ctl::radioID), "3");
}

TEST_F(ApplyReplyTest, DiscoveryNamesANewRadioByItsNumber) {
  open(wmMonitor);
  reply(1, "7");
  EXPECT_EQ(key("Radio7", "Radio Name"), "Radio 007");
  EXPECT_EQ(key("Radio7", "Radio ID"), "7");
  ASSERT_NE(window.project()->radio(7), nullptr);
  EXPECT_EQ(window.project()->radio(7)->settings.name, "Radio 007");
  EXPECT_FALSE(window.project()->radio(7)->pollOnly);
  EXPECT_TRUE(panel.busyCursor());
  reply(1, "123");
  EXPECT_EQ(key("Radio123", "Radio Name"), "Radio 123");
  EXPECT_EQ(RegisterValues::defaultName(0), "Radio 000");
  // Seen again: the stored name stays.
  reply(1, "7");
  EXPECT_FALSE(panel.busyCursor());
  EXPECT_EQ(key("Radio7", "Radio Name"), "Radio 007");
}

// The group's values reach the file as soon as a radio reports them, the
// group ID before the radio's number too: a discovery whose program is
// killed keeps its group. Manual mode's reads stay in the panel.
TEST_F(ApplyReplyTest, GroupValuesAreWrittenThroughAsTheyAreRead) {
  open(wmMonitor);
  reply(0, "9");
  reply(1, "1");
  reply(2, "1234");
  reply(15, "15000");
  reply(30, "9027");
  reply(31, "9127");
  reply(32, "0");
  EXPECT_EQ(key("Project", "Group ID"), "9");
  EXPECT_EQ(key("Project", "Security ID"), "1234");
  EXPECT_EQ(key("Project", "Flush Time"), "1500");
  EXPECT_EQ(key("Project", "s30"), "902.7");
  EXPECT_EQ(key("Project", "s31"), "912.7");
  EXPECT_EQ(key("Project", "s32"), "");

  window.closeProject();
  put("[Project]\nGroup ID=4\n");
  open(wmManual);
  reply(0, "9");
  EXPECT_EQ(key("Project", "Group ID"), "4");
}

// The model found goes into the radio's section, so a model-2 radio reopens
// as one and is sent its own register layout.
TEST_F(ApplyReplyTest, DiscoveryRecordsTheModelItIdentified) {
  put("[Radio5]\nRadio Name=Pump\nRadio Model=Vireo E\n");
  open(wmMonitor);
  values.ApplyReply(-1, 2, "Firmware 1.14");
  reply(1, "7");
  values.ApplyReply(-1, 1, "V2.0");
  reply(1, "8");
  // Model E identifies as the first model; its stored name stays.
  values.ApplyReply(-1, 1, "V2.0");
  reply(1, "5");
  // A poll has no identification: nothing to write.
  reply(1, "9");
  EXPECT_EQ(key("Radio7", "Radio Model"), "Vireo Version 1");
  EXPECT_EQ(key("Radio8", "Radio Model"), "Vireo Version 2");
  EXPECT_EQ(key("Radio5", "Radio Model"), "Vireo E");
  EXPECT_EQ(key("Radio9", "Radio Model"), "<absent>");
  window.closeProject();
  open(wmProject);
  ASSERT_NE(window.project()->radio(7), nullptr);
  EXPECT_EQ(window.project()->radio(7)->modelIndex, 2);
}

// Discovering a new group: the new project's first radio, never stored,
// becomes the first radio that reports; a stored radio is never moved.
TEST_F(ApplyReplyTest, DiscoveryTakesOverTheNewProjectsFirstRadioOnly) {
  open(wmProject);
  Tradio* first = window.firstFreeRadio(-1);
  ASSERT_EQ(first->slotID, 0);
  window.switchMode(wmMonitor);
  window.enableRadioParameters(false);
  reply(1, "1");
  EXPECT_EQ(window.project()->radio(1), first);
  EXPECT_EQ(window.project()->radio(0), nullptr);
  EXPECT_EQ(views.subItem(first->listItem, 0), "1");
  EXPECT_EQ(key("Radio1", "Radio Name"), "Radio 001");
  // It is named like every radio found, in its record and its row.
  EXPECT_EQ(first->settings.name, "Radio 001");
  EXPECT_EQ(views.caption(first->listItem), "Radio 001");
  reply(3, "M");
  reply(1, "2");
  reply(7, "N");
  reply(8, "1");
  ASSERT_NE(window.project()->radio(2), nullptr);
  EXPECT_EQ(views.nodeParent(window.project()->radio(2)->treeNode), first->treeNode);
  EXPECT_EQ(views.rowCount(), 2);

  // A stored radio without a name stays what it is.
  window.closeProject();
  put("[Radio1]\nRadio Mode=Master\nRetries=9\n");
  open(wmMonitor);
  window.enableRadioParameters(false);
  Tradio* stored = panel.currentRadio;
  ASSERT_EQ(panel.text(ctl::radioName), "...");
  reply(1, "5");
  EXPECT_EQ(window.project()->radio(1), stored);
  EXPECT_EQ(window.project()->radio(5), nullptr);
  EXPECT_EQ(key("Radio1", "Retries"), "9");
  EXPECT_EQ(key("Radio5", "Radio Name"), "Radio 005");
  EXPECT_EQ(panel.text(ctl::radioID), "1");
}

// The panel is not disabled while the window discovers: the radio that
// reports still takes over the new project's first radio, without the
// question and without a send of the panel's values to any radio.
TEST_F(ApplyReplyTest, DiscoveryTakesOverTheFirstRadioWithoutAskingWhileThePanelIsEnabled) {
  open(wmProject);
  Tradio* first = window.firstFreeRadio(-1);
  window.switchMode(wmMonitor);
  ASSERT_TRUE(panel.enabled(ctl::radioID));
  int sends = 0;
  window.onSetRadio = [&] { ++sends; };
  reply(1, "1");
  EXPECT_TRUE(prompts.shown.empty()) << prompts.shown.front().text;
  EXPECT_EQ(sends, 0);
  EXPECT_EQ(window.project()->radio(1), first);
  EXPECT_EQ(window.project()->radio(0), nullptr);
  EXPECT_EQ(views.caption(first->listItem), "Radio 001");
  // A number typed by hand is still asked about.
  panel.setText(ctl::radioID, "9");
  window.radioIDExit();
  EXPECT_EQ(prompts.shown.size(), 1u);
  // Until it is read in full the panel holds defaults where its values
  // will be: Set Radio waits.
  EXPECT_FALSE(panel.enabled(ctl::ok));
  values.setRead(1, true);
  EXPECT_TRUE(panel.enabled(ctl::ok));
}

TEST_F(ApplyReplyTest, GroupTreeFollowsReportedModesAndMasters) {
  put("[Radio1]\nRadio Mode=Master\n[Radio2]\n[Radio3]\n[Radio4]\n");
  open(wmMonitor);
  reply(1, "1");
  reply(3, "M");
  reply(3, "M");
  ASSERT_EQ(views.children(kNoNode).size(), 1u);
  const NodeId top = window.project()->radio(1)->treeNode;
  EXPECT_EQ(views.nodeStateImage(top), kImageMaster);
  EXPECT_EQ(values.lastMaster(), 1);

  // A slave naming master 300 stays out of the tree.
  reply(1, "2");
  reply(3, "S");
  reply(7, "N");
  reply(8, "300");
  EXPECT_EQ(window.project()->radio(2)->treeNode, kNoNode);
  EXPECT_EQ(key("Radio2", "Master ID"), "300");
  values.ApplyReply(8, -5, "-5");
  EXPECT_EQ(window.project()->radio(2)->treeNode, kNoNode);

  // An unknown master: under the last master seen.
  reply(8, "77");
  const NodeId slaveNode = window.project()->radio(2)->treeNode;
  EXPECT_EQ(views.nodeParent(slaveNode), top);
  EXPECT_EQ(views.nodeStateImage(slaveNode), kImageSlave);
  EXPECT_TRUE(views.isExpanded(top));
  reply(8, "1");
  EXPECT_EQ(views.children(top).size(), 1u);

  // Roaming allowed: the master lock is not a master ID.
  reply(1, "3");
  reply(7, "Y");
  reply(8, "1");
  EXPECT_EQ(window.project()->radio(3)->treeNode, kNoNode);
  EXPECT_EQ(key("Radio3", "Master ID"), "<absent>");
  // S12 counts while roaming reads allowed.
  reply(12, "1");
  EXPECT_EQ(views.nodeParent(window.project()->radio(3)->treeNode), top);

  // A second master, then a slave moves over to it.
  reply(1, "4");
  reply(3, "M");
  const NodeId second = window.project()->radio(4)->treeNode;
  reply(1, "2");
  reply(8, "4");
  EXPECT_EQ(views.nodeParent(slaveNode), second);
  // A master never lands below its own child, nor below another master.
  reply(1, "4");
  reply(7, "N");
  reply(8, "2");
  EXPECT_EQ(views.nodeParent(second), kNoNode);
  reply(8, "1");
  EXPECT_EQ(views.nodeParent(second), kNoNode);
  EXPECT_EQ(key("Radio4", "Master ID"), "1");
  // A slave that now reports Master moves to the top.
  reply(1, "2");
  reply(3, "M");
  EXPECT_EQ(views.nodeParent(slaveNode), kNoNode);
  EXPECT_EQ(views.nodeStateImage(slaveNode), kImageMaster);
}

// Register 12 is where a model-2 radio keeps its master ID; on models 0 and 1
// it is polled and names the master a roaming radio is with.
TEST_F(ApplyReplyTest, MasterIDRegisterByModelAndRoaming) {
  put("[Radio3]\nRadio Mode=Master\n[Radio5]\nRadio Model=Vireo Version 1\n"
      "[Radio6]\nRadio Model=Vireo Version 2\nRoaming=No\nMaster ID=3\n");
  open(wmMonitor);
  reply(1, "3");
  reply(3, "M");
  const NodeId master = window.project()->radio(3)->treeNode;

  // A full read of a model-2 radio locked to master 3 (register 8 is its
  // roaming letter, register 12 its master ID).
  values.ApplyReply(-1, 2, "Firmware 1.14");
  reply(1, "5");
  reply(7, "N");
  reply(12, "3");
  EXPECT_EQ(key("Radio5", "Roaming"), "No");
  EXPECT_EQ(key("Radio5", "Master ID"), "3");
  EXPECT_EQ(views.nodeParent(window.project()->radio(5)->treeNode), master);

  // Polled (no identification line), its register 8 letter is no master ID
  // and register 12 still counts.
  reply(1, "5");
  reply(8, "N");
  EXPECT_EQ(key("Radio5", "Master ID"), "3");
  reply(12, "4");
  EXPECT_EQ(key("Radio5", "Master ID"), "4");

  // A locked model-1 radio keeps the master ID of its lock: register 12
  // ("255", with no master) does not replace it.
  reply(1, "6");
  reply(12, "255");
  EXPECT_EQ(key("Radio6", "Master ID"), "3");
  reply(8, "3");
  EXPECT_EQ(views.nodeParent(window.project()->radio(6)->treeNode), master);

  // On the panel, a letter never lands in the Master ID field.
  window.chooseRadio(window.project()->radio(5)->listItem);
  panel.setItemIndex(ctl::roaming, item::roamingMasterID);
  reply(1, "5");
  reply(8, "N");
  EXPECT_EQ(panel.text(ctl::masterID), "4");
  reply(12, "7");
  EXPECT_EQ(panel.text(ctl::masterID), "7");
}

TEST_F(ApplyReplyTest, AModelTheBrandDoesNotOfferIsNeverSelected) {
  MemoryPanel two({"LUMA-MB", "LUMA-M"});
  MainWindowModel luma(two, views, prompts, kBrandModels1, "LUMA-LINK");
  RegisterValues lumaValues(luma);
  luma.openProject(path);
  luma.switchMode(wmManual);
  two.setItemIndex(ctl::radioType, 1);
  lumaValues.ApplyReply(-1, 2, "Firmware 1.14");
  lumaValues.ApplyReply(1, 4, "4");
  EXPECT_EQ(two.text(ctl::radioID), "4");
  EXPECT_EQ(two.itemIndex(ctl::radioType), 1);

  luma.switchMode(wmMonitor);
  two.setText(ctl::radioName, "Pump");  // a named panel: the radio gets a record
  lumaValues.ApplyReply(1, 9, "9");
  Tradio* r = luma.project()->radio(9);
  ASSERT_NE(r, nullptr);
  EXPECT_NE(r->modelIndex, 2);
  EXPECT_NE(two.itemIndex(ctl::radioType), 2);
  EXPECT_EQ(luma.project()->BuildPollList(false), (TpollArray{{9, r->modelIndex}}));
  luma.closeProject();
}

TEST_F(ApplyReplyTest, RadioModeReplyOnTheShownRadioRunsTheModeRule) {
  put("[Radio1]\nRadio Mode=Master\n");
  open(wmProject);
  window.enableRadioParameters(true);
  reply(1, "1");
  reply(3, "S");
  EXPECT_EQ(panel.text(ctl::radioMode), "Slave");
  EXPECT_EQ(views.image(panel.currentRadio->listItem), kImageSlave);
  EXPECT_FALSE(panel.enabled(ctl::groupID));
  EXPECT_TRUE(panel.enabled(ctl::roaming));
  EXPECT_FALSE(panel.currentRadio->isMaster);
  // A value read is no edit: nothing to offer for saving.
  EXPECT_FALSE(window.radioChanged());
  EXPECT_EQ(panel.text(ctl::newRadio), kNewRadioCaption);
}

TEST_F(ApplyReplyTest, MonitorColumnsOfTheRadioBeingRead) {
  put("[Radio5]\nRadio Name=Pump\n");
  open(wmMonitor);
  reply(1, "5");
  reply(17, "37");
  reply(10, "-151");
  const RowId row = window.project()->radio(5)->listItem;
  EXPECT_EQ(views.subItem(row, 0), "5");
  EXPECT_EQ(views.subItem(row, 1), "-151");
  EXPECT_EQ(views.subItem(row, 2), "");
  EXPECT_EQ(views.subItem(row, 3), "37");
  EXPECT_EQ(views.subItem(row, 4), "13:19:05");
  reply(16, "33");
  EXPECT_EQ(views.subItem(row, 2), "33");
  // A reading that is empty or not of its register's form shows as missing:
  // neither the stray text nor the last poll's value stays in the cell.
  for (const char* bad : {"RING", "999999", "-", "", "  ", "12abc", "+5", "1000"}) {
    for (int col : {1, 2, 3}) {
      const int param = col == 1 ? 10 : col == 2 ? 16 : 17;
      reply(param, col == 1 ? "-70" : "33");
      reply(param, bad);
      EXPECT_EQ(views.subItem(row, col), "") << bad << " in column " << col;
    }
  }
  reply(10, " -151 ");
  EXPECT_EQ(views.subItem(row, 1), "-151");
  window.switchMode(wmProject);
  reply(10, "-90");
  EXPECT_EQ(views.subItem(row, 1), "-151");
}

TEST_F(ApplyReplyTest, NoRecordForTheRadioBeingReadLeavesTheViewsAlone) {
  open(wmMonitor);
  panel.setText(ctl::radioName, "...");  // fresh panel: no record is created
  reply(1, "9");
  ASSERT_EQ(window.project()->radio(9), nullptr);
  reply(3, "M");
  reply(7, "N");
  reply(8, "9");
  reply(10, "-80");
  reply(17, "30");
  EXPECT_EQ(views.nodeCount(), 0);
  EXPECT_EQ(key("Radio9", "Radio Mode"), "Master");
  EXPECT_EQ(values.lastMaster(), 9);
}

TEST_F(ApplyReplyTest, TheRadioBeingReadBelongsToItsProject) {
  put("[Radio3]\nRadio Mode=Master\n");
  open(wmProject);
  reply(1, "3");
  reply(3, "M");
  const std::string other = dir + "/other.vro";
  std::ofstream(other) << "[Radio3]\nRetries=5\n[Radio4]\n";
  window.openProject(other);
  window.loadProjectRadios();
  reply(13, "44");
  EXPECT_EQ(IniFile(other).readString("Radio3", "Retries", ""), "5");
  EXPECT_EQ(values.readingID(), -1);
  EXPECT_EQ(values.lastMaster(), -1);
}

TEST_F(ApplyReplyTest, WithoutAProjectNothingBreaks) {
  open(wmMonitor);
  window.closeProject();
  for (int code : {-1, 0, 1, 2, 3, 7, 8, 10, 12, 13, 17, 20, 21, 30, 100, 110, 112}) {
    values.ApplyReply(code, 1, "1");
    values.ApplyReply(code, 0, "M");
  }
  panel.setText(ctl::groupID, "12");
  EXPECT_EQ(values.RegisterValue(1, param::groupID, false), "12");
  // Every question and notice about a radio, with no project to ask.
  EXPECT_FALSE(values.markPolling(1));
  EXPECT_FALSE(values.setRead(1, true));
  values.radioRenumbered(1, true);
  values.isLocal(1);
  values.markLocal(1);
  values.isMaster(1);
  values.taskCancelled(1);
  values.readDone();
  EXPECT_FALSE(values.exists(1));
}

using RegisterValueTest = ModelTest;

TEST_F(RegisterValueTest, PanelValuesBecomeRegisterTexts) {
  open(wmManual);
  window.defaultsClick();
  panel.setText(ctl::groupID, "12");
  panel.setText(ctl::flushTime, "1200");
  panel.blockedValues[0] = "915.7";
  panel.setItemIndex(ctl::radioType, 1);
  panel.setItemIndex(ctl::handShaking, 1);
  panel.setItemIndex(ctl::bufferMode, 1);
  panel.setItemIndex(ctl::radioMode, 2);
  panel.setItemIndex(ctl::protocol, 2);
  panel.setText(ctl::masterID, "44");
  // Radio 3 has no record: the panel's values.
  struct Case {
    int param;
    bool numeric;
    const char* text;
  };
  for (const Case& c : {Case{param::groupID, false, "12"},
                        Case{param::radioID, false, "1"},
                        Case{param::radioMode, false, "R"},
                        Case{param::fixedN, false, "N"},
                        Case{param::flushTime, false, "12000"},
                        Case{param::blockedFreq1, false, "9157"},
                        Case{param::blockedFreq12, false, "0"},
                        Case{param::baudRate, false, "9600"},
                        Case{param::dataBits, false, "8"},
                        Case{param::parity, false, "N"},
                        Case{param::handShaking, false, "H"},
                        Case{param::handShaking, true, "1"},
                        Case{param::bufferMode, false, "P"},
                        Case{param::bufferMode, true, "1"},
                        Case{param::protocol, false, "2"},
                        Case{param::roaming, false, "Y"},
                        Case{param::masterLock, false, "0"},
                        Case{param::masterID, false, "44"},
                        Case{param::emulationMode, false, "ERROR"},
                        Case{param::radioIdentity, false, "ERROR"},
                        Case{param::rssi, false, "-99"},
                        Case{param::supplyVolts, false, "33"},
                        Case{param::temperature, false, "37"},
                        Case{9, false, "No Radio"}}) {
    EXPECT_EQ(values.RegisterValue(3, c.param, c.numeric), c.text) << c.param;
  }
  panel.setItemIndex(ctl::roaming, 1);
  EXPECT_EQ(values.RegisterValue(3, param::masterLock, false), "44");
  panel.setText(ctl::flushTime, "12.5");
  EXPECT_EQ(values.RegisterValue(3, param::flushTime, false), "125");
  // A hand-edited value that is no number is sent as 0.
  panel.setText(ctl::flushTime, "soon");
  panel.blockedValues[1] = "9x5";
  EXPECT_EQ(values.RegisterValue(3, param::flushTime, false), "0");
  EXPECT_EQ(values.RegisterValue(3, param::blockedFreq1 + 1, false), "0");
  EXPECT_EQ(values.RegisterValue(-1, param::groupID, false), "No Radio");
  EXPECT_EQ(values.RegisterValue(255, param::groupID, false), "12");
}

TEST_F(RegisterValueTest, ModelESettingsAndTheClock) {
  open(wmManual);
  panel.setItemIndex(ctl::radioType, 0);
  window.radioTypeClick();
  EXPECT_EQ(values.RegisterValue(0, param::emulationMode, false), "0");
  EXPECT_EQ(values.RegisterValue(0, param::mainSerialPort, false), "232");
  EXPECT_EQ(values.RegisterValue(0, param::startTime, false), "06:00");
  EXPECT_EQ(values.RegisterValue(0, param::offTimer, false), "100");
  panel.setText(ctl::currentTime, "08:15");
  EXPECT_EQ(values.RegisterValue(0, param::currentTime, false), "13:19");
  panel.setChecked(ctl::usePCClock, false);
  EXPECT_EQ(values.RegisterValue(0, param::currentTime, false), "08:15");
}

// The emulator and the send read one register at a time: a radio other than
// the one being edited answers from its project section, the one being
// edited with the panel's unsaved edits, and the panel stays as it is.
TEST_F(RegisterValueTest, ARadioWithARecordAnswersFromItsSection) {
  put("[Radio1]\nRadio Mode=Master\nRetries=22\n[Radio2]\nRetries=33\nRadio Mode=Repeater\n");
  open(wmProject);
  Tradio* first = window.project()->radio(1);
  Tradio* second = window.project()->radio(2);
  ASSERT_EQ(panel.currentRadio, first);
  panel.setText(ctl::retries, "99");  // unsaved edit of radio 1
  window.setRadioChanged(true);
  EXPECT_EQ(values.RegisterValue(2, param::retries, false), "33");
  EXPECT_EQ(values.RegisterValue(2, param::radioMode, false), "R");
  EXPECT_EQ(panel.currentRadio, first);
  EXPECT_EQ(views.stateImage(first->listItem), 1);
  EXPECT_EQ(views.stateImage(second->listItem), 0);
  EXPECT_EQ(panel.text(ctl::retries), "99");
  EXPECT_EQ(panel.itemIndex(ctl::radioMode), item::master);
  EXPECT_TRUE(window.radioChanged());
  EXPECT_EQ(values.RegisterValue(1, param::retries, false), "99");
  EXPECT_EQ(values.RegisterValue(1, param::radioMode, false), "M");
  EXPECT_EQ(values.RegisterValue(-1, param::retries, false), "No Radio");
  EXPECT_EQ(panel.currentRadio, first);
}

TEST_F(RegisterValueTest, EveryPointIsTakenOutOfTheText) {
  // Not only the first: a hand-edited section or panel field may hold more.
  put("[Radio1]\nRetries=1.0.\nMaster ID=...\n");
  open(wmProject);
  struct Case {
    int param;
    const char* text;
  } cases[] = {
      {param::retries, "10"},
      {param::masterID, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(values.RegisterValue(1, c.param, false), c.text) << c.param;
  panel.setText(ctl::groupID, "1.2.3");
  EXPECT_EQ(values.RegisterValue(7, param::groupID, false), "123");
  panel.setText(ctl::securityID, ".9.");
  EXPECT_EQ(values.RegisterValue(7, param::securityID, false), "9");
}

using RadioCallbacksTest = ModelTest;

TEST_F(RadioCallbacksTest, ExistsExactlyForRecords) {
  put("[Radio0]\n[Radio254]\n");
  open(wmProject);
  EXPECT_TRUE(values.exists(0));
  EXPECT_TRUE(values.exists(254));
  EXPECT_FALSE(values.exists(1));
  EXPECT_FALSE(values.exists(255));
  EXPECT_FALSE(values.exists(-1));
}

// The end of a monitor's poll: the time of the poll for every model, the
// node of a slave whose read named no master under the last master seen, and
// the polling mark on the one radio being polled.
TEST_F(RadioCallbacksTest, APollEndsWithItsTimeItsNodeAndOneMark) {
  put("[Radio1]\n[Radio2]\n[Radio3]\n");
  open(wmMonitor);
  reply(1, "1");
  reply(3, "M");
  // A roaming model-2 slave refusing volts and temperature: no master ID.
  reply(1, "2");
  reply(3, "S");
  reply(7, "Y");
  reply(10, "-80");
  values.setRead(2, true);
  Tradio* two = window.project()->radio(2);
  EXPECT_EQ(views.subItem(two->listItem, 4), "13:19:05");
  EXPECT_EQ(views.nodeParent(two->treeNode), window.project()->radio(1)->treeNode);

  reply(1, "3");
  reply(3, "S");
  reply(7, "N");
  reply(8, "1");
  Tradio* three = window.project()->radio(3);
  values.markPolling(2);  // its poll never ends
  values.markPolling(3);
  EXPECT_EQ(views.nodeImage(two->treeNode), kImageNone);
  EXPECT_EQ(views.nodeImage(three->treeNode), kImageReading);
  // In Project mode nothing is added to the list's columns.
  window.switchMode(wmProject);
  reply(1, "3");
  values.setRead(3, true);
  EXPECT_EQ(views.subItem(three->listItem, 4), "");
}

TEST_F(RadioCallbacksTest, ReadFlagsAndNodeImages) {
  put("[Radio1]\nRadio Mode=Master\n");
  open(wmMonitor);
  reply(1, "1");
  reply(3, "M");
  Tradio* r = window.project()->radio(1);
  r->pollOnly = true;
  EXPECT_TRUE(values.markPolling(1));
  EXPECT_EQ(views.nodeImage(r->treeNode), kImageReading);
  window.enableRadioParameters(false);
  EXPECT_TRUE(values.setRead(1, false));
  EXPECT_FALSE(r->pollOnly);
  EXPECT_EQ(views.nodeImage(r->treeNode), kImageNone);
  EXPECT_FALSE(panel.enabled(ctl::radioID));  // Monitor mode keeps them disabled
  window.switchMode(wmProject);
  EXPECT_FALSE(values.setRead(1, true));
  EXPECT_TRUE(panel.enabled(ctl::radioID));
  EXPECT_FALSE(panel.busyCursor());
}

TEST_F(RadioCallbacksTest, RenumberedHandsThePollListToTheEngine) {
  put("[Radio1]\n[Radio4]\nRadio Model=Vireo Version 1\n");
  open(wmMonitor);
  values.radioRenumbered(4, true);
  ASSERT_EQ(tasks.tasks.size(), 1u);
  EXPECT_EQ(tasks.tasks[0].code, tkUpdatePollList);
  EXPECT_EQ(tasks.tasks[0].text, "update PollList");
  EXPECT_EQ(tasks.tasks[0].list, (TpollArray{{1, 1}, {4, 2}}));
  EXPECT_TRUE(window.project()->radio(1)->pollOnly);
  values.radioRenumbered(7, true);
  EXPECT_EQ(tasks.tasks.size(), 1u);
}

TEST_F(RadioCallbacksTest, LocalAndMasterQuestions) {
  put("[Radio1]\nRadio Mode=Master\n[Radio2]\n");
  open(wmProject);
  EXPECT_TRUE(values.isLocal(1));
  EXPECT_FALSE(values.isLocal(9));
  EXPECT_TRUE(values.isMaster(1));
  EXPECT_FALSE(values.isMaster(2));

  window.switchMode(wmMonitor);
  EXPECT_FALSE(values.isLocal(2));
  reply(1, "2");
  EXPECT_FALSE(values.markLocal(1));  // radio 1's flag, radio 2 marked
  EXPECT_TRUE(values.isLocal(2));
  EXPECT_FALSE(values.isLocal(1));
  EXPECT_FALSE(values.markLocal(9));

  window.switchMode(wmManual);
  EXPECT_TRUE(values.isLocal(9));
  panel.setItemIndex(ctl::radioMode, 0);
  EXPECT_TRUE(values.isMaster(9));
  panel.setItemIndex(ctl::radioMode, 1);
  EXPECT_FALSE(values.isMaster(9));
}

TEST_F(RadioCallbacksTest, CancelEndsMonitoringAndTaskDoneEndsLoading) {
  put("[Radio1]\nRadio Mode=Master\n");
  open(wmMonitor);
  window.setPanelView(PanelView::Monitor);
  views.setMonitorColumns(true);
  reply(1, "1");
  reply(3, "M");
  window.enableRadioParameters(false);
  values.taskCancelled(200);
  EXPECT_EQ(panel.text(ctl::advanced), "&Basic");
  EXPECT_EQ(panel.WindowMode, wmProject);
  EXPECT_FALSE(views.monitorColumns());
  EXPECT_EQ(views.nodeCount(), 0);
  EXPECT_EQ(window.project()->radio(1)->treeNode, kNoNode);
  EXPECT_TRUE(panel.enabled(ctl::radioID));
  ASSERT_EQ(tasks.tasks.size(), 1u);
  EXPECT_EQ(tasks.tasks[0].code, tkLocalOnly);
  EXPECT_EQ(tasks.tasks[0].list, (TpollArray{{1, 1}}));
  // Not monitoring: nothing to cancel.
  values.taskCancelled(1);
  EXPECT_EQ(panel.text(ctl::advanced), "&Basic");
  EXPECT_EQ(tasks.tasks.size(), 1u);

  panel.panelLoading = true;
  values.readDone();
  EXPECT_FALSE(panel.panelLoading);
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

// An emulated radio's "S<n>=<v>" goes where its register is read from: the
// panel for the radio it shows and for the group's values, the project's
// section for every radio outside Manual mode.
TEST_F(ApplyReplyTest, AnEmulatedRadiosSetIsWhatItsRegisterReadsAfter) {
  put("[Project]\nSecurity ID=980\n[Radio1]\nRadio Mode=Master\nRetries=50\n"
      "[Radio2]\nRadio Mode=Slave\nRetries=20\n");
  open(wmProject);
  window.chooseRadio(window.project()->radio(1)->listItem);
  struct Case {
    int radio, param, value;
    const char* text;
    const char* section;  // where the project keeps it
    const char* key;
    const char* panelText;  // the panel's field afterwards ("" unchanged)
    const std::string& control;
  };
  const Case cases[] = {
      {1, param::retries, 44, "44", "Radio1", "Retries", "44", ctl::retries},
      {2, param::retries, 9, "9", "Radio2", "Retries", "", ctl::retries},
      {2, param::securityID, 4321, "4321", "Project", "Security ID", "4321", ctl::securityID},
      {2, param::flushTime, 6000, "6000", "Project", "Flush Time", "600", ctl::flushTime},
  };
  for (const Case& c : cases) {
    const std::string before = panel.text(c.control);
    EXPECT_TRUE(values.storeRegister(c.radio, c.param, c.value, c.text)) << c.text;
    EXPECT_EQ(values.RegisterValue(c.radio, c.param, false), c.text) << c.text;
    EXPECT_EQ(key(c.section, c.key), c.param == param::flushTime ? "600" : c.text);
    EXPECT_EQ(panel.text(c.control), *c.panelText ? c.panelText : before) << c.text;
  }
  // A value its register cannot give is not taken.
  EXPECT_FALSE(values.storeRegister(2, param::radioID, 300, "300"));
  EXPECT_EQ(values.RegisterValue(2, param::radioID, false), "2");
  // Each set stores its own key only.
  EXPECT_EQ(key("Radio2", "Radio ID"), "<absent>");
}

// Manual mode's one radio is the panel: the project file is left alone.
TEST_F(ApplyReplyTest, AnEmulatedSetInManualModeStaysInThePanel) {
  window.switchMode(wmManual);
  EXPECT_TRUE(values.storeRegister(1, param::retries, 33, "33"));
  EXPECT_EQ(panel.text(ctl::retries), "33");
  EXPECT_EQ(values.RegisterValue(1, param::retries, false), "33");
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

// The lines of a section as the file holds them, sorted: the keys and their
// texts byte for byte, whatever order the writes came in.
std::vector<std::string> sectionLines(const std::string& file, const std::string& section) {
  std::vector<std::string> lines;
  std::istringstream in(file);
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      inside = line == "[" + section + "]";
      continue;
    }
    if (inside && !line.empty()) lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// One radio, one file form: what a read writes into a radio's section is
// what saving the radio writes, and the other way round.
TEST_F(ApplyReplyTest, ARadioReadThenSavedOrSavedThenReadHasTheSameSection) {
  put("[Radio5]\nRadio Mode=Slave\nRadio Name=Pump\n");
  open(wmProject);
  window.chooseRadio(window.project()->radio(5)->listItem);
  auto read = [this] {
    values.beginReplies();
    for (const Reply& r : kDumpOfRadio5) values.ApplyReply(r.param, r.value, r.text);
    values.readDone();
  };
  // Every key but the radio's number, which names the section.
  auto keys = [this](const std::string& section) {
    std::vector<std::string> lines = sectionLines(get(), section);
    lines.erase(std::remove(lines.begin(), lines.end(), "Radio ID=" + section.substr(5)),
                lines.end());
    return lines;
  };
  read();
  const std::vector<std::string> wasRead = keys("Radio5");
  ASSERT_FALSE(wasRead.empty());
  // The same values saved as a radio of their own: every key written.
  panel.setText(ctl::radioID, "6");
  window.setRadioChanged(true);
  ASSERT_TRUE(window.saveCurrentRadio());
  EXPECT_EQ(keys("Radio6"), wasRead);
  // And read again over what the save wrote.
  window.chooseRadio(window.project()->radio(6)->listItem);
  const std::vector<std::string> saved = keys("Radio6");
  values.ApplyReply(param::radioID, 6, "6");
  for (const Reply& r : kDumpOfRadio5)
    if (r.param != param::radioID) values.ApplyReply(r.param, r.value, r.text);
  values.readDone();
  EXPECT_EQ(keys("Radio6"), saved);
}

// A radio's record is its settings' home and its section their copy, and
// so are the project's group values and the group section: after every way
// they are stored (a read of the radio shown and of one polled, emulated
// sets, an edit saved, a new radio, a radio found by a discovery, a model-E
// register, a group change's new values), each record and the group hold
// what their sections read, and a project opened anew has the same.
TEST_F(ApplyReplyTest, EveryRecordHoldsWhatItsSectionReadsWhicheverWayItWasStored) {
  put("[Radio5]\nRadio Mode=Slave\nData Bits=7\n[Radio6]\nRoaming=No\nMaster ID=5\n"
      "[Radio7]\nRadio Model=Vireo Version 2\nParity=even\n");
  open(wmProject);
  auto records = [this] {
    std::map<int, RadioSettings> out;
    for (int id = 0; id < kRadioSlots; ++id) {
      if (Tradio* r = window.project()->radio(id)) out[id] = r->settings;
    }
    return out;
  };
  auto groupTexts = [](const GroupSettings& g) {
    RadioSettings s;
    s.group = g;
    return codec::fileTexts(s, kBrandModels0);
  };
  auto expectRecordsAreTheirSections = [&](const std::string& step) {
    IniFile file(path);
    IniSections sections(file);
    EXPECT_EQ(groupTexts(window.project()->group()), groupTexts(codec::readGroup(sections)))
        << step << ", the group";
    // Compared as the file's texts, which say what differs.
    for (const auto& [id, s] : records())
      EXPECT_EQ(codec::fileTexts(s, kBrandModels0),
                codec::fileTexts(codec::readRadio(sections, id, kBrandModels0), kBrandModels0))
          << step << ", radio " << id;
  };
  expectRecordsAreTheirSections("opened");

  window.chooseRadio(window.project()->radio(5)->listItem);
  values.beginReplies();
  for (const Reply& r : kDumpOfRadio5) values.ApplyReply(r.param, r.value, r.text);
  values.readDone();
  expectRecordsAreTheirSections("radio 5 read");
  EXPECT_EQ(window.project()->radio(5)->settings.radioMode, RadioMode::master);

  window.switchMode(wmMonitor);
  reply(1, "6");
  reply(8, "9");
  reply(13, "33");
  reply(20, "19200");
  expectRecordsAreTheirSections("radio 6 polled");
  EXPECT_EQ(window.project()->radio(6)->settings.masterID, 9);

  window.switchMode(wmProject);
  EXPECT_TRUE(values.storeRegister(7, param::bufferMode, 1, "P"));
  EXPECT_TRUE(values.storeRegister(7, param::securityID, 4321, "4321"));
  EXPECT_TRUE(values.storeRegister(7, param::blockedFreq1 + 3, 9157, "9157"));
  expectRecordsAreTheirSections("radio 7 set as an emulated radio");
  EXPECT_EQ(window.project()->group().securityID, 4321);
  EXPECT_EQ(window.project()->radio(7)->settings.bufferMode, BufferMode::packet);

  panel.setText(ctl::retries, "12");
  panel.setItemIndex(ctl::parity, item::parityEven);
  window.setRadioChanged(true);
  ASSERT_TRUE(window.saveCurrentRadio());
  expectRecordsAreTheirSections("radio 5 edited and saved");
  EXPECT_EQ(window.project()->radio(5)->settings.retries, 12);

  window.newRadioClick();
  panel.setText(ctl::radioName, "Tank");
  window.radioNameChange();
  ASSERT_TRUE(window.saveCurrentRadio());
  expectRecordsAreTheirSections("a new radio saved");

  reply(1, "9");
  values.ApplyReply(100, 2, "2");
  reply(111, "12:34");
  expectRecordsAreTheirSections("radio 9 found, then its model-E registers");
  ASSERT_NE(window.project()->radio(9), nullptr);
  EXPECT_EQ(window.project()->radio(9)->settings.model, 0);
  // A reply stores its own keys only; the clock has none.
  EXPECT_EQ(key("Radio9", "Baud rate"), "<absent>");

  GroupSettings changed = window.project()->group();
  changed.groupID = 12;
  ASSERT_TRUE(commitGroupValues(*window.project(), changed));
  expectRecordsAreTheirSections("the group changed");
  EXPECT_EQ(panel.text(ctl::groupID), "12");

  std::map<int, RadioSettings> before = records();
  const GroupSettings groupBefore = window.project()->group();
  window.openProject(path);
  window.loadProjectRadios();
  for (auto& [id, s] : records())
    EXPECT_EQ(codec::fileTexts(s, kBrandModels0), codec::fileTexts(before[id], kBrandModels0))
        << "reopened, radio " << id;
  EXPECT_EQ(groupTexts(window.project()->group()), groupTexts(groupBefore));
}

}  // namespace
}  // namespace tessel
