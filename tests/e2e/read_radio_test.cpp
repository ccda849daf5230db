// The link engine reading a radio over a scripted port into the panel and
// the project file, through the main window's three callbacks.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fake_serial_link.h"
#include "fake_tick_timer.h"
#include "link/com_port_view.h"
#include "link/status_bar.h"
#include "link/tcom_port.h"
#include "link/terminal_sink.h"
#include "memory_settings_store.h"
#include "model/brand.h"
#include "model/ini_file.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/project.h"
#include "model/radio.h"
#include "model/register_values.h"
#include "prompt_script.h"

namespace tessel::testing {
namespace {

using Lines = std::vector<std::string>;

// One row of an identification page: register field, separator, ten values.
std::string dumpRow(int reg, const Lines& fields) {
  char head[16];
  std::snprintf(head, sizeof head, "%5d -", reg);
  std::string line = head;
  for (const auto& f : fields) line += std::string(7 - f.size(), ' ') + f;
  return line;
}

// A model-0 slave, radio 4, set to 19200 8N1 with hardware handshaking.
std::map<std::string, Lines> model0Slave() {
  std::map<std::string, Lines> s;
  s["AT"] = {"OK"};
  s["+++"] = {"OK"};
  s["ATI"] = {"V2.0"};
  s["ATI1"] = {
      "******************************* S-Registers *********************************",
      "S-Reg    +0     +1     +2     +3     +4     +5     +6     +7     +8     +9   ",
      dumpRow(0, {"21", "4", "4321", "SLAVE", "YES", "NO", "2", "NO", "3", "0"}),
      dumpRow(10, {"-88", "YES", "255", "7", "50", "6000", "31", "29", "-----", "NO"}),
      dumpRow(20, {"19200", "8", "1", "NONE", "RTS", "1", "PACKET", "-----", "-----", "-----"}),
      dumpRow(30, {"9157", "0", "9200", "0", "0", "0", "0", "0", "0", "0"}),
      dumpRow(40,
              {"0", "0", "-----", "-----", "-----", "-----", "-----", "-----", "-----", "-----"}),
      "OK"};
  s["ATI2"] = {"OK"};
  s["ATI3"] = {"OK"};
  const std::map<int, std::string> high = {{100, "3"},  {101, "17"},    {102, "485"},
                                           {110, "2"},  {111, "12:30"}, {112, "07:00"},
                                           {113, "20"}, {114, "300"}};
  for (const auto& [reg, value] : high) s["ATS" + std::to_string(reg) + "?"] = {value, "OK"};
  s["ATH"] = {"OK"};
  return s;
}

class ReadRadioTest : public ::testing::Test {
 protected:
  ReadRadioTest()
      : panel({"Vireo E", "Vireo Version 2", "Vireo Version 1"}),
        window(panel, views, prompts, kBrandModels0, "Tessel"),
        values(window) {}

  void SetUp() override {
    char tmpl[] = "/tmp/read_radio_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir = tmpl;
    path = dir + "/group.vro";
    serial.clock = [this] { return timer.nowMs(); };
    engine = std::make_unique<TcomPort>(serial, timer, prompts, settings, view, &terminal);
    engine->AttachMainWindow(&status, &values);
    window.tasks = engine.get();
    serial.setActive(true);
    const auto script = model0Slave();
    serial.responder = [this, script](const std::string& line) {
      auto it = script.find(line);
      if (it == script.end()) return;
      std::string bytes;
      for (const auto& l : it->second) bytes += l + "\r\n";
      serial.queueReply(bytes);
    };
  }

  void TearDown() override {
    engine.reset();
    window.closeProject();
    ASSERT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
  }

  // What the "Get Local Radio Parameters" command hands the engine.
  void getLocal() {
    TpollArray list = window.project()->BuildPollList(panel.WindowMode == wmMonitor);
    if (list.empty()) list.push_back({0, 0});
    panel.panelLoading = true;
    engine->StartTask(tkGetLocal, "&Get Local Radio Parameters", list);
    serial.pump();
  }

  std::string key(const std::string& section, const std::string& k) const {
    return IniFile(path).readString(section, k, "<absent>");
  }

  MemoryPanel panel;
  MemoryGroupViews views;
  PromptScript prompts;
  MainWindowModel window;
  RegisterValues values;
  FakeTickTimer timer;
  FakeSerialLink serial;
  MemorySettingsStore settings;
  MemoryComPortView view;
  MemoryStatusBar status{800};
  MemoryTerminal terminal;
  std::unique_ptr<TcomPort> engine;
  std::string dir;
  std::string path;
};

TEST_F(ReadRadioTest, ProjectModeReadStoresTheRadiosSection) {
  std::ofstream(path) << "[Project]\nGroup ID=5\n"
                         "[Radio1]\nRadio Name=Hub\nRadio Mode=Master\nRetries=12\n"
                         "[Radio4]\nRadio Name=Pump\nRadio Model=Vireo Version 2\n"
                         "Data Bits=7\nParity=Even\nStop Bits=2\n";
  window.openProject(path);
  window.loadProjectRadios();
  window.switchMode(wmProject);
  ASSERT_EQ(panel.currentRadio, window.project()->radio(1));

  getLocal();
  EXPECT_EQ(serial.lines(),
            (Lines{"AT", "ATH", "+++", "ATI", "ATI1", "ATI2", "ATI3", "ATS100?", "ATS101?",
                   "ATS102?", "ATS110?", "ATS111?", "ATS112?", "ATS113?", "ATS114?", "ATH"}));
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_FALSE(panel.panelLoading);

  const std::map<std::string, std::string> expected = {
      {"Radio Name", "Pump"},
      {"Radio Mode", "Slave"},
      {"Roaming", "No"},
      {"Master ID", "3"},
      {"Retries", "7"},
      {"Auto-Routing", "MODBUS RTU"},
      {"Buffer Mode", "Packet"},
      {"Radio Model", "Vireo E"},
      {"Emulation Mode", "Allen Bradley PLC"},
      {"Main Serial Port", "485"},
      {"Sleep Mode", "Programmable"},
      {"PLC Address", "17"},
      {"Start Time", "07:00"},
      {"Radio ON Time", "20"},
      {"Radio OFF Time", "300"},
      {"Baud rate", "19200"},
      {"Data Bits", "8"},
      {"Stop Bits", "1"},
      {"Parity", "None"},
      {"Handshaking", "Yes"},
  };
  for (const auto& [k, v] : expected) EXPECT_EQ(key("Radio4", k), v) << k;
  // The panel moved to the radio read; radio 1 kept its own values.
  EXPECT_EQ(panel.currentRadio, window.project()->radio(4));
  EXPECT_EQ(panel.text(ctl::retries), "7");
  EXPECT_EQ(key("Radio1", "Retries"), "12");
  EXPECT_EQ(window.project()->radio(4)->modelIndex, 0);
  EXPECT_FALSE(window.radioChanged());

  // Reloaded, the radio shows what it reported.
  window.chooseRadio(window.project()->radio(1)->listItem);
  window.chooseRadio(window.project()->radio(4)->listItem);
  EXPECT_EQ(panel.text(ctl::baudRate), "19200");
  EXPECT_EQ(panel.text(ctl::parity), "None");
  EXPECT_EQ(panel.itemIndex(ctl::radioType), 0);
  EXPECT_EQ(panel.text(ctl::emulationMode), "Allen Bradley PLC");

  // The group settings and blocked frequencies reach the file on close.
  window.closeProject();
  EXPECT_EQ(key("Project", "Group ID"), "21");
  EXPECT_EQ(key("Project", "Security ID"), "4321");
  EXPECT_EQ(key("Project", "RF Band"), "2");
  EXPECT_EQ(key("Project", "Flush Time"), "600");
  EXPECT_EQ(key("Project", "ReTXBroadcasts"), "No");
  EXPECT_EQ(key("Project", "Repeaters"), "Yes");
  EXPECT_EQ(key("Project", "s30"), "915.7");
  EXPECT_EQ(key("Project", "s31"), "");
  EXPECT_EQ(key("Project", "s32"), "920.0");
}

TEST_F(ReadRadioTest, ManualModeReadFillsThePanel) {
  window.openProject(path);
  window.defaultsClick();
  window.switchMode(wmManual);
  getLocal();
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(panel.text(ctl::radioID), "4");
  EXPECT_EQ(panel.itemIndex(ctl::radioType), 0);
  EXPECT_EQ(panel.text(ctl::groupID), "21");
  EXPECT_EQ(panel.text(ctl::radioMode), "Slave");
  EXPECT_EQ(panel.text(ctl::roaming), "Master ID");
  EXPECT_EQ(panel.text(ctl::masterID), "3");
  EXPECT_EQ(panel.text(ctl::retries), "7");
  EXPECT_EQ(panel.text(ctl::flushTime), "600");
  EXPECT_EQ(panel.text(ctl::baudRate), "19200");
  EXPECT_EQ(panel.text(ctl::dataBits), "8");
  EXPECT_EQ(panel.text(ctl::stopBits), "1");
  EXPECT_EQ(panel.text(ctl::parity), "None");
  EXPECT_EQ(panel.text(ctl::handShaking), "Hardware");
  EXPECT_EQ(panel.text(ctl::protocol), "MODBUS RTU");
  EXPECT_EQ(panel.text(ctl::bufferMode), "Packet");
  EXPECT_EQ(panel.text(ctl::emulationMode), "Allen Bradley PLC");
  EXPECT_EQ(panel.text(ctl::mainSerialPort), "485");
  EXPECT_EQ(panel.text(ctl::sleepMode), "Programmable");
  EXPECT_EQ(panel.text(ctl::currentTime), "12:30");
  EXPECT_EQ(panel.text(ctl::offTimer), "300");
  EXPECT_EQ(panel.blockedValues[0], "915.7");
  EXPECT_FALSE(panel.panelLoading);
  // Manual mode stores no radio.
  EXPECT_FALSE(IniFile(path).sectionExists("Radio4"));
  // Read back out, the values are what the radio sent.
  EXPECT_EQ(values.RegisterValue(4, param::baudRate, false), "19200");
  EXPECT_EQ(values.RegisterValue(4, param::handShaking, false), "H");
  EXPECT_EQ(values.RegisterValue(4, param::masterLock, false), "3");
  EXPECT_EQ(values.RegisterValue(4, param::blockedFreq1, false), "9157");
}

}  // namespace
}  // namespace tessel::testing
