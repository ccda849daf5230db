#include "model/radio_codec.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "model/ini_file.h"
#include "temp_tree.h"

using namespace tessel;
using tessel::testing::TempTree;

namespace {

// A radio whose every setting differs from the defaults, locked to master 9
// so that its master ID travels; model E's fields only on model E.
RadioSettings fullRadio(int model) {
  RadioSettings s;
  s.model = model;
  s.radioID = 4;
  s.name = "Pump house";
  s.radioMode = RadioMode::repeater;
  s.roaming = Roaming::masterID;
  s.masterID = 9;
  s.retries = 33;
  s.protocol = AutoRouting::df1;
  s.bufferMode = BufferMode::packet;
  s.baudRate = 4800;
  s.dataBits = 7;
  s.stopBits = 2;
  s.parity = Parity::odd;
  s.handShaking = Handshake::hardware;
  if (model == 0) {
    s.emulationMode = 2;
    s.mainSerialPort = 485;
    s.sleepMode = 2;
    s.plcAddress = 17;
    s.startTime = "07:15";
    s.onTimer = 20;
    s.offTimer = 300;
    s.currentTime = "12:34";
  }
  GroupSettings& g = s.group;
  g.groupID = 12;
  g.securityID = 4321;
  g.rfband = 3;
  g.flushTime = 6000;
  g.reTXBroadcasts = YesNo::no;
  g.repeaters = YesNo::yes;
  g.blocked[0] = 9157;
  g.blocked[11] = 9022;
  return s;
}

std::map<int, std::string> imageOf(const RadioSettings& s) {
  std::map<int, std::string> out;
  for (const codec::RegisterText& r : codec::registerImage(s)) out[r.reg] = r.text;
  return out;
}

// The radio's answers to a read, as the engine hands them over.
RadioSettings readBack(int model, const std::vector<codec::RegisterText>& image) {
  RadioSettings t;
  t.model = model;
  for (const codec::RegisterText& r : image) {
    int value = -1;
    std::istringstream(r.text) >> value;
    codec::applyRegister(t, r.param, value, r.text);
  }
  return t;
}

}  // namespace

// What a Set Radio writes per model: letters, tenths, the model-2 shifts
// (fixed "N" in S4, one register higher up to roaming, the master ID in S12,
// numbers for handshaking and buffer mode) and model E's own registers.
TEST(RadioCodec, RegisterImagePerModel) {
  const std::map<int, std::string> common = {
      {1, "4"},  {0, "12"}, {2, "4321"}, {3, "R"},     {4, "Y"},     {5, "N"},  {6, "3"},
      {7, "N"},  {8, "9"},  {13, "33"},  {15, "6000"}, {20, "4800"}, {21, "7"}, {22, "2"},
      {23, "O"}, {24, "H"}, {25, "2"},   {26, "P"},    {30, "9157"}, {31, "0"}, {41, "9022"}};
  for (int model : {0, 1}) {
    const std::map<int, std::string> image = imageOf(fullRadio(model));
    for (const auto& [reg, text] : common) EXPECT_EQ(image.at(reg), text) << model << " S" << reg;
    EXPECT_EQ(image.count(12), 0u);
    EXPECT_EQ(image.count(10), 0u);  // status registers are never written
    EXPECT_EQ(image.count(100), model == 0 ? 1u : 0u);
  }
  const std::map<int, std::string> modelE = {{100, "2"},  {101, "17"},    {102, "485"},
                                             {110, "2"},  {111, "12:34"}, {112, "07:15"},
                                             {113, "20"}, {114, "300"}};
  const std::map<int, std::string> e = imageOf(fullRadio(0));
  for (const auto& [reg, text] : modelE) EXPECT_EQ(e.at(reg), text) << "S" << reg;

  const std::map<int, std::string> two = {{3, "R"},  {4, "N"},  {5, "Y"},    {6, "N"},
                                          {7, "3"},  {8, "N"},  {12, "9"},   {24, "1"},
                                          {26, "1"}, {25, "2"}, {15, "6000"}};
  const std::map<int, std::string> image2 = imageOf(fullRadio(2));
  for (const auto& [reg, text] : two) EXPECT_EQ(image2.at(reg), text) << "model 2 S" << reg;

  // A send leaves register 8 of a master alone (on model 2 its roaming), and
  // the master ID of a roaming model-2 radio.
  auto sends = [](const RadioSettings& s, int reg) {
    for (const RegisterRow& row : registerMap(s.model))
      if (row.reg == reg) return codec::sendWrites(s, row);
    return false;
  };
  for (int model : {0, 1, 2}) {
    RadioSettings master = fullRadio(model);
    EXPECT_TRUE(sends(master, 8) && sends(master, 3)) << model;
    master.radioMode = RadioMode::master;
    EXPECT_FALSE(sends(master, 8)) << model;
    EXPECT_EQ(sends(master, 12), false) << model;
  }
  RadioSettings roaming2 = fullRadio(2);
  EXPECT_TRUE(sends(roaming2, 12));
  roaming2.roaming = Roaming::allowed;
  EXPECT_FALSE(sends(roaming2, 12));
  EXPECT_EQ(imageOf(roaming2).at(8), "Y");
  // The lock of a roaming radio is 0; model E answers what other models lack.
  RadioSettings roaming1 = fullRadio(1);
  roaming1.roaming = Roaming::allowed;
  EXPECT_EQ(imageOf(roaming1).at(8), "0");
  EXPECT_EQ(codec::registerText(fullRadio(1), param::emulationMode, false), "ERROR");
  EXPECT_EQ(codec::registerText(fullRadio(1), param::rssi, false), "-99");
  EXPECT_EQ(codec::registerText(fullRadio(1), 99, false), "No Radio");
}

// Replies into settings, including the words each rule takes for "the
// other" item and the replies that change nothing.
TEST(RadioCodec, RepliesIntoSettings) {
  struct Reply {
    int model;
    int param;
    int value;
    const char* text;
    bool taken;
    std::string (*field)(const RadioSettings&);
    const char* expected;
  };
  const Reply replies[] = {
      // Any other letter: Repeater.
      {1, param::radioMode, -1, "X", true,
       [](const RadioSettings& s) { return std::to_string(itemOf(s.radioMode)); }, "2"},
      {1, param::repeaters, -1, "Q", true,
       [](const RadioSettings& s) { return std::to_string(itemOf(s.group.repeaters)); }, "0"},
      {1, param::reTXBroadcasts, -1, "NO", true,
       [](const RadioSettings& s) { return std::to_string(itemOf(s.group.reTXBroadcasts)); }, "1"},
      {1, param::roaming, -1, "Z", true,
       [](const RadioSettings& s) { return std::to_string(itemOf(s.roaming)); }, "1"},
      {1, param::parity, -1, "Q", true,
       [](const RadioSettings& s) { return std::to_string(itemOf(s.parity)); }, "2"},
      {2, param::handShaking, 1, "1", true,
       [](const RadioSettings& s) { return std::to_string(itemOf(s.handShaking)); }, "1"},
      {2, param::bufferMode, 12, "12", false,
       [](const RadioSettings& s) { return std::to_string(itemOf(s.bufferMode)); }, "0"},
      {1, param::protocol, 7, "7", false,
       [](const RadioSettings& s) { return std::to_string(itemOf(s.protocol)); }, "0"},
      {1, param::rfband, 5, "5", false,
       [](const RadioSettings& s) { return std::to_string(s.group.rfband); }, "1"},
      {1, param::rfband, 4, "4", true,
       [](const RadioSettings& s) { return std::to_string(s.group.rfband); }, "4"},
      {1, param::flushTime, 12005, "12005", true,
       [](const RadioSettings& s) { return std::to_string(s.group.flushTime); }, "12000"},
      {1, param::blockedFreq1 + 2, 9157, "9157", true,
       [](const RadioSettings& s) { return std::to_string(s.group.blocked[2]); }, "9157"},
      {1, param::blockedFreq1, 899, "899", true,
       [](const RadioSettings& s) { return std::to_string(s.group.blocked[0]); }, "0"},
      {1, param::baudRate, 300, "300", true,
       [](const RadioSettings& s) { return std::to_string(s.baudRate); }, "300"},
      {1, param::baudRate, 0, "0", false,
       [](const RadioSettings& s) { return std::to_string(s.baudRate); }, "9600"},
      {1, param::dataBits, 9, "9", false,
       [](const RadioSettings& s) { return std::to_string(s.dataBits); }, "8"},
      {1, param::stopBits, 2, "2", true,
       [](const RadioSettings& s) { return std::to_string(s.stopBits); }, "2"},
      // A number is its value, however it is written; what is no number
      // changes nothing.
      {1, param::retries, 7, "007", true,
       [](const RadioSettings& s) { return std::to_string(s.retries); }, "7"},
      {1, param::groupID, 0, "7x", false,
       [](const RadioSettings& s) { return std::to_string(s.group.groupID); }, "0"},
      // The lock names the master only of a radio locked to it; register 12
      // only of a roaming radio, or of any model-2 radio.
      {1, param::masterLock, 5, "5", false,
       [](const RadioSettings& s) { return std::to_string(s.masterID); }, "0"},
      {1, param::masterID, 5, "5", true,
       [](const RadioSettings& s) { return std::to_string(s.masterID); }, "5"},
      {1, param::radioID, 300, "300", false,
       [](const RadioSettings& s) { return std::to_string(s.radioID); }, "0"},
      {1, param::rssi, -60, "-60", false,
       [](const RadioSettings& s) { return std::to_string(s.retries); }, "10"},
      // Only model E has the emulation mode: the reply makes the radio one.
      {1, param::emulationMode, 9, "9", true,
       [](const RadioSettings& s) { return std::to_string(s.model * 10 + s.emulationMode); }, "0"},
      {0, param::sleepMode, 2, "2", true,
       [](const RadioSettings& s) { return std::to_string(s.sleepMode); }, "2"},
  };
  for (const Reply& r : replies) {
    RadioSettings s;
    s.model = r.model;
    EXPECT_EQ(codec::applyRegister(s, r.param, r.value, r.text), r.taken)
        << "param " << r.param << " '" << r.text << "'";
    EXPECT_EQ(r.field(s), r.expected) << "param " << r.param << " '" << r.text << "'";
  }
  RadioSettings locked;
  locked.roaming = Roaming::masterID;
  EXPECT_TRUE(codec::applyRegister(locked, param::masterLock, 5, "5"));
  EXPECT_FALSE(codec::applyRegister(locked, param::masterID, 6, "6"));
  EXPECT_EQ(locked.masterID, 5);
  locked.model = 2;
  EXPECT_TRUE(codec::applyRegister(locked, param::masterID, 6, "6"));
  EXPECT_EQ(locked.masterID, 6);
}

// settings -> registers -> settings for every model, locked and roaming.
TEST(RadioCodec, RegistersRoundTrip) {
  for (int model : {0, 1, 2}) {
    for (Roaming roaming : {Roaming::masterID, Roaming::allowed}) {
      RadioSettings s = fullRadio(model);
      s.roaming = roaming;
      RadioSettings back = readBack(model, codec::registerImage(s));
      back.name = s.name;  // no register holds the name
      if (roaming == Roaming::allowed && model != 2) back.masterID = s.masterID;
      EXPECT_EQ(back, s) << "model " << model << " roaming " << itemOf(roaming);
    }
  }
}

// settings -> sections -> settings for every model, through a real file,
// and the file texts the writes leave.
TEST(RadioCodec, SectionsRoundTrip) {
  TempTree dir;
  const std::string path = dir.path("group.vro");
  for (int model : {0, 1, 2}) {
    RadioSettings s = fullRadio(model);
    {
      IniFile ini(path);
      IniSections file(ini);
      ASSERT_TRUE(codec::writeGroup(file, s.group));
      ASSERT_TRUE(codec::writeBlocked(file, s.group));
      ASSERT_TRUE(codec::writeRadio(file, 4, s, brandModels(0)));
    }
    IniFile ini(path);
    IniSections file(ini);
    RadioSettings back = codec::readRadio(file, 4, brandModels(0));
    back.group = codec::readGroup(file);
    back.currentTime = s.currentTime;  // the clock is no key of the file
    EXPECT_EQ(back, s) << "model " << model;
  }
  IniFile ini(path);
  EXPECT_EQ(ini.readString("Radio4", "Radio Model", ""), "Vireo Version 1");
  EXPECT_EQ(ini.readString("Radio4", "Emulation Mode", "gone"), "gone");  // model E's key went
  EXPECT_EQ(ini.readString("Radio4", "Roaming", ""), "No");
  EXPECT_EQ(ini.readString("Radio4", "Auto-Routing", ""), "Allen Bradley DF1");
  EXPECT_EQ(ini.readString("Radio4", "Data Bits", ""), "7");
  EXPECT_EQ(ini.readString("Project", "Flush Time", ""), "600");
  EXPECT_EQ(ini.readString("Project", "s41", ""), "902.2");
  // The baud rate as the selector shows it.
  std::ifstream in(path);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("Baud rate=  4800\n"), std::string::npos) << text;
}

// Missing keys read as the defaults; texts that are none of a choice's
// read as its fallback item; numbers read whatever way they are written,
// and a text that is none as no number; writes of a choice with no item.
TEST(RadioCodec, SectionDefaultsAndOtherTexts) {
  TempTree dir;
  const std::string path = dir.path("odd.vro");
  dir.file("odd.vro",
           "[Radio7]\n"
           "[Radio8]\nRadio Mode=Boss\nRoaming=maybe\nData Bits=08\nStop Bits=3\n"
           "Radio Model=Something\nEmulation Mode=odd\nSleep Mode=never\nParity=even\n"
           "Handshaking=sometimes\nBuffer Mode=?\nAuto-Routing=?\n"
           "[Radio9]\nData Bits=9\nStop Bits=x\n"
           "[Radio10]\nRadio ID=abc\nRetries= 010 \nMaster ID=-3\nRadio Model=Vireo E\n"
           "PLC Address=1.2\nMain Serial Port=485\nRadio OFF Time=99999999999\n"
           "[Radio11]\nRadio Model=Vireo E\nMain Serial Port=RS422\n");
  IniFile ini(path);
  IniSections file(ini);
  RadioSettings expected;
  expected.radioID = 7;
  EXPECT_EQ(codec::readRadio(file, 7, brandModels(0)), expected);
  EXPECT_EQ(codec::readGroup(file), GroupSettings{});

  const RadioSettings odd = codec::readRadio(file, 8, brandModels(0));
  EXPECT_EQ(odd.radioMode, RadioMode::master);
  EXPECT_EQ(odd.roaming, Roaming::masterID);
  EXPECT_EQ(odd.dataBits, 8);  // "08" is 8 bits
  EXPECT_EQ(odd.stopBits, 2);
  EXPECT_EQ(odd.model, 0);  // an unknown model name is model E
  EXPECT_EQ(odd.emulationMode, 3);
  EXPECT_EQ(odd.sleepMode, 2);
  EXPECT_EQ(odd.parity, Parity::odd);  // the texts match exactly
  EXPECT_EQ(odd.handShaking, Handshake::hardware);
  EXPECT_EQ(odd.bufferMode, BufferMode::packet);
  EXPECT_EQ(odd.protocol, AutoRouting::modbus);
  const RadioSettings nine = codec::readRadio(file, 9, brandModels(0));
  EXPECT_EQ(nine.dataBits, 7);  // anything but 8 is 7
  EXPECT_EQ(nine.stopBits, 1);  // not a number: the default 1

  const RadioSettings numbers = codec::readRadio(file, 10, brandModels(0));
  EXPECT_EQ(numbers.radioID, kNoNumber);
  EXPECT_EQ(numbers.retries, 10);
  EXPECT_EQ(numbers.masterID, kNoNumber);  // no sign: IDs are not negative
  EXPECT_EQ(numbers.plcAddress, 12);       // a point is dropped, as a send does
  EXPECT_EQ(numbers.mainSerialPort, 485);
  EXPECT_EQ(numbers.offTimer, kNoNumber);  // more digits than a register takes
  EXPECT_EQ(codec::readRadio(file, 11, brandModels(0)).mainSerialPort, 422);
  // No number is written as an empty key, which reads back as none again.
  ASSERT_TRUE(codec::writeRadio(file, 10, numbers, brandModels(0)));
  EXPECT_EQ(ini.readString("Radio10", "Radio ID", "?"), "");
  EXPECT_EQ(ini.readString("Radio10", "Retries", "?"), "10");
  EXPECT_EQ(codec::readRadio(file, 10, brandModels(0)), numbers);

  // The second brand has no third model: its model 2 writes no model key.
  EXPECT_EQ(codec::modelOfName("LUMA-M", brandModels(1)), 1);
  EXPECT_EQ(codec::modelOfName("", brandModels(1)), 0);
  RadioSettings none;
  none.model = 2;
  none.radioMode = RadioMode::unset;
  none.roaming = Roaming::unset;
  none.emulationMode = -1;
  ASSERT_TRUE(codec::writeRadio(file, 20, none, brandModels(1)));
  EXPECT_EQ(ini.readString("Radio20", "LUMA-HOP-9", "none"), "none");
  EXPECT_EQ(ini.readString("Radio20", "Radio Mode", ""), "Slave");
  EXPECT_EQ(ini.readString("Radio20", "Roaming", ""), "No");
  none.model = 0;
  ASSERT_TRUE(codec::writeRadio(file, 21, none, brandModels(1)));
  EXPECT_EQ(ini.readString("Radio21", "LUMA-HOP-9", ""), "LUMA-MB");
  EXPECT_EQ(ini.readString("Radio21", "Emulation Mode", "left out"), "left out");
}
