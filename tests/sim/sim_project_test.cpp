#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "model/ini_file.h"
#include "sim/sim_project.h"

using namespace tessel;
using namespace tessel::sim;
namespace fs = std::filesystem;

namespace {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/sim_project_XXXXXX";
    path_ = ::mkdtemp(tmpl);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

std::string feed(SimRadioGroup& g, const std::string& line) {
  return g.feed(line + "\r", 0);
}

// A project as the configurator writes it: baud rates with their leading
// blanks, model names, group values in seconds and MHz.
const char kProject[] =
    "[Project]\n"
    "Group ID=12\n"
    "Security ID=4321\n"
    "RF Band=3\n"
    "Flush Time=600\n"
    "ReTXBroadcasts=No\n"
    "Repeaters=Yes\n"
    "s30=915.7\n"
    "s31=\n"
    "[Radio4]\n"
    "Radio ID=4\n"
    "Radio Name=Pump house\n"
    "Radio Mode=Slave\n"
    "Roaming=No\n"
    "Master ID=9\n"
    "Retries=33\n"
    "Auto-Routing=MODBUS RTU\n"
    "Buffer Mode=Packet\n"
    "Radio Model=Vireo Version 1\n"
    "Baud rate=    300\n"
    "Data Bits=7\n"
    "Stop Bits=2\n"
    "Parity=Even\n"
    "Handshaking=Yes\n"
    "[Radio9]\n"
    "Radio ID=9\n"
    "Radio Name=Tower\n"
    "Radio Mode=Master\n"
    "Roaming=Yes\n"
    "Master ID=0\n"
    "Retries=50\n"
    "Auto-Routing=Allen Bradley DF1\n"
    "Buffer Mode=Character\n"
    "Radio Model=Vireo E\n"
    "Emulation Mode=Modicon PLC\n"
    "Main Serial Port=RS485\n"
    "Sleep Mode=Programmable\n"
    "PLC Address=17\n"
    "Start Time=07:15\n"
    "Radio ON Time=20\n"
    "Radio OFF Time=300\n"
    "Baud rate=19200\n"
    "Data Bits=8\n"
    "Stop Bits=1\n"
    "Parity=None\n"
    "Handshaking=No\n";

}  // namespace

TEST(SimProject, DefaultGroup) {
  SimSetup s;
  std::string error;
  ASSERT_TRUE(defaultSetup(5, {}, s, error)) << error;
  ASSERT_EQ(s.radios.size(), 5u);
  EXPECT_EQ(s.local, 0u);
  for (size_t i = 0; i < 5; ++i) {
    const SimRadio& r = s.radios[i];
    EXPECT_EQ(r.radioID(), static_cast<int>(i) + 1);
    EXPECT_EQ(r.model(), static_cast<int>(i % 2));
    EXPECT_EQ(r.saved(3), i == 0 ? "M" : "S");
    EXPECT_EQ(r.saved(0), "7");
    EXPECT_EQ(r.saved(12), i == 0 ? "0" : "1");
  }
  EXPECT_EQ(s.radios[0].name(), "Radio 001");

  ASSERT_TRUE(defaultSetup(3, {2}, s, error));
  EXPECT_EQ(s.radios[2].model(), 2);
  EXPECT_EQ(s.radios[2].saved(4), "N");    // model 2's fixed register
  EXPECT_EQ(s.radios[2].saved(13), "10");  // model 2 retries less

  EXPECT_FALSE(defaultSetup(0, {}, s, error));
  EXPECT_FALSE(defaultSetup(255, {}, s, error));
  EXPECT_FALSE(defaultSetup(2, {0, 3}, s, error));
  EXPECT_FALSE(error.empty());
}

TEST(SimProject, LoadsConfiguratorProject) {
  TempDir dir;
  std::string path = dir.file("group.vro");
  writeFile(path, kProject);
  SimSetup s;
  std::string error;
  ASSERT_TRUE(loadProject(path, s, error)) << error;
  EXPECT_TRUE(s.warnings.empty()) << s.warnings.front();
  ASSERT_EQ(s.radios.size(), 2u);
  EXPECT_EQ(s.local, 1u);  // the master, not the first section

  const SimRadio& slave = s.radios[0];  // model 2: its own register layout
  EXPECT_EQ(slave.model(), 2);
  EXPECT_EQ(slave.name(), "Pump house");
  struct Reg {
    int reg;
    const char* value;
  };
  for (Reg r : std::initializer_list<Reg>{
           {0, "12"}, {1, "4"},  {2, "4321"}, {3, "S"},   {4, "N"},     {5, "Y"},     {6, "N"},
           {7, "3"},  {8, "N"},  {12, "9"},   {13, "33"}, {15, "6000"}, {20, "300"},  {21, "7"},
           {22, "2"}, {23, "E"}, {24, "1"},   {25, "1"},  {26, "1"},    {30, "9157"}, {31, "0"}})
    EXPECT_EQ(slave.saved(r.reg), r.value) << "S" << r.reg;

  const SimRadio& master = s.radios[1];
  EXPECT_EQ(master.model(), 0);
  for (Reg r : std::initializer_list<Reg>{{4, "Y"},
                                          {5, "N"},
                                          {6, "3"},
                                          {7, "Y"},
                                          {8, "0"},
                                          {20, "19200"},
                                          {24, "N"},
                                          {25, "2"},
                                          {26, "C"},
                                          {100, "2"},
                                          {101, "17"},
                                          {102, "485"},
                                          {110, "2"},
                                          {112, "07:15"},
                                          {113, "20"},
                                          {114, "300"}})
    EXPECT_EQ(master.saved(r.reg), r.value) << "S" << r.reg;
}

TEST(SimProject, BadValuesAreReportedAndKeepDefaults) {
  TempDir dir;
  std::string path = dir.file("bad.vro");
  writeFile(
      path,
      "[Project]\nGroup ID=99\n[Radio3]\nRadio Mode=Master\nRetries=abc\n"
      "Radio Model=Vireo Version 2\nBaud rate=1234\n"
      "[Radio6]\nRadio ID=abc\nRadio Model=Vireo E\nStart Time=25:00\nMaster ID=99999999999\n");
  SimSetup s;
  std::string error;
  ASSERT_TRUE(loadProject(path, s, error)) << error;
  ASSERT_EQ(s.warnings.size(), 6u);
  EXPECT_EQ(s.warnings[0], "Project: Group ID: '99' is not a value the radio takes; kept 7");
  EXPECT_NE(s.warnings[1].find("Radio3: Retries"), std::string::npos);
  EXPECT_NE(s.warnings[2].find("Baud rate"), std::string::npos);
  EXPECT_EQ(s.warnings[3], "Radio6: Radio ID: 'abc' is not a value the radio takes; kept 6");
  // Refused values keep the built-in configuration, not the register's
  // lowest value.
  ASSERT_EQ(s.radios.size(), 2u);
  EXPECT_EQ(s.radios[0].radioID(), 3);  // from the section name
  EXPECT_EQ(s.radios[0].saved(0), "7");
  EXPECT_EQ(s.radios[0].saved(13), "50");
  EXPECT_EQ(s.radios[0].saved(20), "9600");
  EXPECT_EQ(s.radios[1].radioID(), 6);
  EXPECT_EQ(s.radios[1].saved(112), "06:00");
  EXPECT_EQ(s.radios[1].saved(12), "1");

  EXPECT_FALSE(loadProject(dir.file("missing.vro"), s, error));
  writeFile(path, "[Project]\nGroup ID=5\n");
  EXPECT_FALSE(loadProject(path, s, error));
  EXPECT_NE(error.find("no radio"), std::string::npos);
}

TEST(SimProject, WritesBackWhatTheRadiosSaved) {
  TempDir dir;
  std::string path = dir.file("group.vro");
  writeFile(path, std::string("; kept\n") + kProject);
  SimSetup s;
  std::string error;
  ASSERT_TRUE(loadProject(path, s, error)) << error;
  std::vector<int> former;
  for (const SimRadio& r : s.radios) former.push_back(r.radioID());
  SimRadioGroup g(std::move(s.radios), s.local);
  g.setCommandMode(true);
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  // The master gets a new group setting and saves it; the slave is
  // renumbered to 5; an unsaved change is not written.
  EXPECT_EQ(feed(g, "ATs0=21s15=65530s31=9027"), "OK\r\n");
  EXPECT_EQ(feed(g, "ATs23=O"), "OK\r\n");
  EXPECT_EQ(feed(g, "AT&W"), "OK\r\n");
  EXPECT_EQ(feed(g, "ATs13=1"), "OK\r\n");
  EXPECT_EQ(feed(g, "ATD4"), "OK\r\n");
  EXPECT_EQ(feed(g, "ATs1=5s3=R"), "OK\r\n");
  EXPECT_EQ(feed(g, "AT&W"), "OK\r\n");
  ASSERT_TRUE(saveProject(path, g, former, error)) << error;
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // replaced, but no more readable than before

  IniFile ini(path);
  EXPECT_EQ(ini.readString("Project", "Group ID", ""), "21");
  EXPECT_EQ(ini.readString("Project", "Flush Time", ""), "6553");
  EXPECT_EQ(ini.readString("Project", "ReTXBroadcasts", ""), "No");
  EXPECT_EQ(ini.readString("Project", "Repeaters", ""), "Yes");
  EXPECT_EQ(ini.readString("Project", "s30", "x"), "915.7");
  EXPECT_EQ(ini.readString("Project", "s31", "x"), "902.7");
  EXPECT_EQ(ini.readString("Project", "s32", "x"), "");
  EXPECT_FALSE(ini.sectionExists("Radio4"));
  EXPECT_EQ(ini.readString("Radio5", "Radio ID", ""), "5");
  EXPECT_EQ(ini.readString("Radio5", "Radio Name", ""), "Pump house");
  EXPECT_EQ(ini.readString("Radio5", "Radio Mode", ""), "Repeater");
  EXPECT_EQ(ini.readString("Radio5", "Roaming", ""), "No");
  EXPECT_EQ(ini.readString("Radio5", "Master ID", ""), "9");
  EXPECT_EQ(ini.readString("Radio5", "Radio Model", ""), "Vireo Version 1");
  EXPECT_EQ(ini.readString("Radio5", "Handshaking", ""), "Yes");
  EXPECT_EQ(ini.readString("Radio5", "Buffer Mode", ""), "Packet");
  EXPECT_EQ(ini.readString("Radio9", "Retries", ""), "50");
  EXPECT_EQ(ini.readString("Radio9", "Parity", ""), "Odd");
  EXPECT_EQ(ini.readString("Radio9", "Emulation Mode", ""), "Modicon PLC");
  EXPECT_EQ(ini.readString("Radio9", "Main Serial Port", ""), "485");
  EXPECT_EQ(ini.readString("Radio9", "Sleep Mode", ""), "Programmable");
  EXPECT_EQ(ini.readString("Radio9", "Start Time", ""), "07:15");
  EXPECT_EQ(ini.readString("Radio9", "Auto-Routing", ""), "Allen Bradley DF1");
  // The baud rate is stored as the configurator shows it.
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("Baud rate=    300"), std::string::npos);
  EXPECT_EQ(text.rfind("; kept", 0), 0u);
}

TEST(SimProject, DefaultGroupRoundTrips) {
  TempDir dir;
  std::string path = dir.file("new.vro");
  SimSetup s;
  std::string error;
  ASSERT_TRUE(defaultSetup(4, {0, 1, 2}, s, error));
  SimRadioGroup g(s.radios, s.local);
  ASSERT_TRUE(saveProject(path, g, {}, error)) << error;
  SimSetup back;
  ASSERT_TRUE(loadProject(path, back, error)) << error;
  EXPECT_TRUE(back.warnings.empty()) << back.warnings.front();
  ASSERT_EQ(back.radios.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(back.radios[i].model(), s.radios[i].model());
    EXPECT_EQ(back.radios[i].name(), s.radios[i].name());
    for (int reg : registersOf(s.radios[i].model()))
      EXPECT_EQ(back.radios[i].saved(reg), s.radios[i].saved(reg)) << i << " S" << reg;
  }
}

TEST(SimProject, UnwritableFileIsAnError) {
  SimSetup s;
  std::string error;
  ASSERT_TRUE(defaultSetup(1, {}, s, error));
  SimRadioGroup g(s.radios, s.local);
  EXPECT_FALSE(saveProject("/nonexistent-dir/x.vro", g, {}, error));
  EXPECT_FALSE(error.empty());

  // Known before the simulator serves, not after.
  TempDir dir;
  EXPECT_TRUE(canSaveProject(dir.file("new.vro"), error)) << error;
  EXPECT_FALSE(canSaveProject("/nonexistent-dir/x.vro", error));
  EXPECT_FALSE(canSaveProject(dir.file(""), error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
}
