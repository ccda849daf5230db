#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "cli_e2e_fixture.h"
#include "model/catalogue.h"
#include "model/ini_file.h"

using namespace tessel;
using namespace tessel::testing;
namespace fs = std::filesystem;

namespace {

class CliEndToEnd : public CliProcessTest {
 protected:
  // The default simulated group with the radios renumbered to `ids` (the
  // first, the local master, keeps radio ID 1, which the others are
  // attached to).
  void writeGroupWithIDs(const std::string& path, const std::vector<int>& ids,
                         std::vector<int> models) {
    sim::SimSetup s;
    std::string error;
    ASSERT_TRUE(sim::defaultSetup(static_cast<int>(ids.size()), models, s, error)) << error;
    for (size_t i = 0; i < ids.size(); ++i) {
      s.radios[i].configure(param::radioID, std::to_string(ids[i]));
      ASSERT_EQ(s.radios[i].radioID(), ids[i]);
      // The others are the local master's slaves.
      if (i > 0) s.radios[i].configure(param::masterID, std::to_string(ids[0]));
    }
    sim::SimRadioGroup g(std::move(s.radios), s.local);
    ASSERT_TRUE(sim::saveProject(path, g, {}, error)) << error;
  }
};

std::map<std::string, std::string> keyValues(const std::string& text) {
  std::map<std::string, std::string> kv;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    auto eq = line.find(" = ");
    if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 3);
  }
  return kv;
}

std::string trim(std::string s) {
  s.erase(0, s.find_first_not_of(' '));
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

}  // namespace

TEST_F(CliEndToEnd, UsageAndHelp) {
  Process help({"monitor", "--help"}, dir_);
  EXPECT_EQ(help.wait(5000), 0);
  EXPECT_NE(help.out().find("Usage: tessel-cli monitor PROJECT DEVICE"), std::string::npos);
  EXPECT_NE(help.out().find("--cycles"), std::string::npos);

  struct Bad {
    std::vector<std::string> args;
    const char* says;
  } bad[] = {{{}, "no command"},
             {{"frobnicate"}, "unknown command"},
             {{"get-local"}, "takes 1 argument"},
             {{"get-local", "/dev/null", "--bogus"}, "unknown option --bogus"},
             {{"get-local", "/dev/null", "--baud", "1234"}, "--baud must be"},
             {{"monitor", "p.vro", "/dev/null", "--interval", "x"}, "--interval"},
             {{"sim", "--radios", "255"}, "--radios"},
             {{"sim", "--models", "0,3"}, "--models"}};
  for (const Bad& b : bad) {
    Process p(b.args, dir_);
    EXPECT_EQ(p.wait(5000), 2) << b.says;
    EXPECT_NE(p.err().find(b.says), std::string::npos) << p.err();
  }
}

TEST_F(CliEndToEnd, FailsClearlyWithoutADeviceOrAProject) {
  std::unique_ptr<Process> sim;
  std::string device = startSim(sim, {"--radios", "1"});
  std::ofstream(file("empty.vro")) << "[Project]\nGroup ID=7\n";
  struct Case {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"get-local", file("no-such-device")}, "cannot open"},
      {{"monitor", file("none.vro"), device}, "no project file"},
      {{"emulate", dir_, device}, "no project file"},
      {{"monitor", file("empty.vro"), device}, "has no radios"},
      {{"emulate", file("empty.vro"), device}, "has no radios"},
  };
  for (const Case& c : cases) {
    Process p(c.args, dir_);
    EXPECT_EQ(p.wait(10000), 1) << c.says;
    EXPECT_NE(p.err().find(c.says), std::string::npos) << p.err();
    EXPECT_TRUE(p.out().empty()) << p.out();
  }
}

// get-local prints what the simulated radio holds, for each model as the
// local radio. The simulator writes its registers to a project when it
// stops; the printed keys must match its sections.
TEST_F(CliEndToEnd, DiscoverWritesEveryRadioFoundIntoANewProject) {
  std::unique_ptr<Process> sim;
  std::string device = startSim(sim, {"--radios", "3", "--models", "0,1,2"});
  ASSERT_FALSE(device.empty());
  const std::string project = file("new.vro");
  Process run({"discover", project, device, "--interval", "0.02", "--timeout", "30"}, dir_);
  ASSERT_EQ(run.wait(35000), 0) << run.err();
  // One line per radio found: radio_id,name,model,mode,master_id.
  std::istringstream lines(run.out());
  std::vector<std::string> ids;
  for (std::string line; std::getline(lines, line);) ids.push_back(line.substr(0, line.find(',')));
  EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "3"})) << run.out();
  EXPECT_NE(run.out().find("1,Radio 001,"), std::string::npos) << run.out();
  EXPECT_NE(run.out().find(",Master,"), std::string::npos) << run.out();
  // Each radio's model as discovery found it.
  for (const char* line :
       {"1,Radio 001,Vireo E,", "2,Radio 002,Vireo Version 2,", "3,Radio 003,Vireo Version 1,"})
    EXPECT_NE(run.out().find(line), std::string::npos) << run.out();
  IniFile ini(project);
  for (const char* name : {"Radio 001", "Radio 002", "Radio 003"}) {
    const std::string section = std::string("Radio") + name[8];
    EXPECT_EQ(ini.readString(section, "Radio Name", ""), name);
  }

  // An existing file is kept unless --force.
  std::ofstream(file("kept.vro")) << "[Project]\nGroup ID=4\n";
  Process refused({"discover", file("kept.vro"), device, "--timeout", "5"}, dir_);
  EXPECT_EQ(refused.wait(10000), 1);
  EXPECT_NE(refused.err().find("--force"), std::string::npos) << refused.err();
  EXPECT_EQ(IniFile(file("kept.vro")).readString("Project", "Group ID", ""), "4");
}

// Radio IDs with holes: an ID nobody answers is skipped after its tries,
// and the round goes on to the radios above it. The local radio's ID is
// not the lowest: the round starts there, goes up to 254 and on from 0 to
// the radios below it.
TEST_F(CliEndToEnd, DiscoverCrossesGapsInTheRadioIDs) {
  const std::string simProject = file("gaps.vro");
  writeGroupWithIDs(simProject, {4, 1, 2, 7}, {0, 1, 0, 1});
  std::unique_ptr<Process> sim;
  std::string device = startSim(sim, {"--project", simProject, "--command-mode"});
  ASSERT_FALSE(device.empty());
  const std::string project = file("found.vro");
  // Each silent ID costs a tick: 80 ms keeps the round near twenty seconds
  // and still leaves a loaded machine time to answer before the tick (at
  // 40 ms radio 7's answer was missed once under a full suite).
  Process run({"discover", project, device, "--interval", "0.08", "--timeout", "60"}, dir_);
  ASSERT_EQ(run.wait(65000), 0) << run.err();
  // The round ran to its end rather than stopping at the first hole.
  EXPECT_TRUE(run.err().empty()) << run.err();
  std::istringstream lines(run.out());
  std::vector<std::string> ids;
  for (std::string line; std::getline(lines, line);) ids.push_back(line.substr(0, line.find(',')));
  EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "4", "7"})) << run.out();
  IniFile ini(project);
  for (int id : {1, 2, 4, 7}) {
    const std::string section = "Radio" + std::to_string(id);
    EXPECT_EQ(ini.readString(section, "Radio Name", ""), "Radio 00" + std::to_string(id));
    EXPECT_EQ(ini.readString(section, "Radio ID", ""), std::to_string(id));
  }
  for (int id : {0, 3, 5, 6, 8, 254}) EXPECT_FALSE(ini.sectionExists("Radio" + std::to_string(id)));
}

TEST_F(CliEndToEnd, GetLocalReadsEachModel) {
  for (int model = 0; model < 3; ++model) {
    SCOPED_TRACE(model);
    std::string project = file("sim" + std::to_string(model) + ".vro");
    std::unique_ptr<Process> sim;
    std::string device = startSim(sim, {"--radios", "2", "--models", std::to_string(model) + ",0",
                                        "--command-mode", "--project", project});
    ASSERT_FALSE(device.empty());
    Process get({"get-local", device, "--timeout", "20"}, dir_);
    ASSERT_EQ(get.wait(25000), 0) << get.err();
    sim->signal(SIGTERM);
    ASSERT_EQ(sim->wait(5000), 0) << sim->err();

    auto printed = keyValues(get.out());
    IniFile ini(project);
    ASSERT_TRUE(ini.sectionExists("Radio1"));
    int compared = 0;
    for (const char* key : {"Group ID", "Security ID", "RF Band", "Flush Time", "ReTXBroadcasts",
                            "Repeaters", "s30", "s31", "s32"}) {
      EXPECT_EQ(printed[key], ini.readString("Project", key, "?")) << key;
      ++compared;
    }
    for (const std::string& key : ini.keyNames("Radio1")) {
      if (key == "Radio Name") continue;  // a project name, not a radio register
      ASSERT_TRUE(printed.count(key)) << key;
      EXPECT_EQ(trim(printed[key]), ini.readString("Radio1", key, "?")) << key;
      ++compared;
    }
    EXPECT_EQ(compared, model == 0 ? 29 : 22);
    EXPECT_EQ(printed["Radio Model"], model == 0   ? "Vireo E"
                                      : model == 1 ? "Vireo Version 2"
                                                   : "Vireo Version 1");
  }
}

TEST_F(CliEndToEnd, MonitorPollsEveryRadioAndUpdatesTheProject) {
  std::string simProject = file("radios.vro");
  writeGroup(simProject, 5, {0, 1});
  std::unique_ptr<Process> sim;
  std::string device = startSim(sim, {"--project", simProject, "--command-mode"});
  ASSERT_FALSE(device.empty());

  // The project the configurator keeps is stale: radio 4 names another
  // master. The monitor must write what the radio reports.
  std::string project = file("group.vro");
  fs::copy_file(simProject, project);
  {
    IniFile ini(project);
    ASSERT_TRUE(ini.writeString("Radio4", "Master ID", "9"));
  }
  Process mon({"monitor", project, device, "--interval", "0.2", "--cycles", "2", "--timeout", "90"},
              dir_);
  ASSERT_EQ(mon.wait(95000), 0) << mon.err();
  // Without a number of cycles the time limit is a normal end.
  Process open({"monitor", project, device, "--interval", "0.02", "--timeout", "1.5"}, dir_);
  EXPECT_EQ(open.wait(10000), 0) << open.err();
  EXPECT_NE(open.out().find(",1,Radio 001,"), std::string::npos) << open.out();
  sim->signal(SIGTERM);
  sim->wait(5000);

  std::map<int, int> polls;
  std::istringstream in(mon.out());
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream s(line);
    std::string x;
    while (std::getline(s, x, ',')) f.push_back(x);
    ASSERT_EQ(f.size(), 6u) << line;
    int id = std::stoi(f[1]);
    ++polls[id];
    EXPECT_EQ(f[2], "Radio 00" + f[1]);
    int rssi = std::stoi(f[3]), volts = std::stoi(f[4]), temp = std::stoi(f[5]);
    EXPECT_LT(rssi, -30);
    EXPECT_GT(rssi, -120);
    EXPECT_GT(volts, 100);
    EXPECT_GT(temp, 10);
  }
  for (int id = 1; id <= 5; ++id) EXPECT_GE(polls[id], 2) << "radio " << id;
  IniFile ini(project);
  EXPECT_EQ(ini.readString("Radio4", "Master ID", ""), "1");
}

// A model-1 local master is read by its pages and again when the round
// dials it: each cycle still prints each radio once.
TEST_F(CliEndToEnd, MonitorCyclesPrintEachRadioOncePerRound) {
  // Quicker time, but not so quick that a loaded machine misses a reply.
  ::setenv("TESSEL_TIME_SCALE", "5", 1);
  std::string project = file("model1.vro");
  writeGroup(project, 5, {1, 0});
  std::unique_ptr<Process> sim;
  std::string device = startSim(sim, {"--project", project, "--command-mode"});
  ASSERT_FALSE(device.empty());
  for (int cycles : {1, 2}) {
    Process mon({"monitor", project, device, "--interval", "0.05", "--cycles",
                 std::to_string(cycles), "--timeout", "60"},
                dir_);
    ASSERT_EQ(mon.wait(65000), 0) << mon.err();
    std::map<std::string, int> lines;
    std::istringstream in(mon.out());
    for (std::string line; std::getline(in, line);) ++lines[line.substr(line.find(',') + 1, 1)];
    EXPECT_EQ(lines,
              (std::map<std::string, int>{
                  {"1", cycles}, {"2", cycles}, {"3", cycles}, {"4", cycles}, {"5", cycles}}))
        << mon.out();
  }
  ::unsetenv("TESSEL_TIME_SCALE");
}

// A model-2 local master gives all its registers in its pages and stays in
// command mode to dial the group; model-2 radios lack some of the polled
// registers, which must not hold the cycle up.
TEST_F(CliEndToEnd, MonitorWithAModel2LocalMasterPollsEveryRadio) {
  std::string project = file("model2.vro");
  writeGroup(project, 4, {2, 1});  // radios 1 and 3 are model 2
  std::unique_ptr<Process> sim;
  std::string device = startSim(sim, {"--project", project, "--command-mode"});
  ASSERT_FALSE(device.empty());
  Process mon({"monitor", project, device, "--interval", "0.2", "--cycles", "2", "--timeout", "90",
               "--trace"},
              dir_);
  EXPECT_EQ(mon.wait(95000), 0) << mon.err();
  sim->signal(SIGTERM);
  sim->wait(5000);

  // The traffic goes to standard error: no bare "ATD" ever took the local
  // radio out of command mode.
  std::istringstream traffic(mon.err());
  std::string line;
  int bareDials = 0;
  while (std::getline(traffic, line)) bareDials += line == " < ATD";
  EXPECT_EQ(bareDials, 0);

  std::map<int, int> polls;
  std::istringstream in(mon.out());
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream s(line);
    std::string x;
    while (std::getline(s, x, ',')) f.push_back(x);
    ASSERT_GE(f.size(), 4u) << line;
    ++polls[std::stoi(f[1])];
    EXPECT_LT(std::stoi(f[3]), -30) << line;  // the RSSI every model reports
  }
  for (int id = 1; id <= 4; ++id) EXPECT_GE(polls[id], 2) << "radio " << id;
}

// The program's own group emulator on one end of a null-modem pair, the
// configurator reading the local radio on the other end.
TEST_F(CliEndToEnd, GetLocalAgainstTheEmulator) {
  std::string project = file("emulated.vro");
  writeGroup(project, 3, {0});
  {
    IniFile ini(project);
    ASSERT_TRUE(ini.writeString("Radio1", "PLC Address", "42"));
    ASSERT_TRUE(ini.writeString("Radio1", "Start Time", "07:45"));
    ASSERT_TRUE(ini.writeString("Radio1", "Radio ON Time", "33"));
    ASSERT_TRUE(ini.writeString("Radio1", "Emulation Mode", "Modicon PLC"));
  }
  PtyPair pair;
  Process emu({"emulate", project, pair.path(0)}, dir_);
  std::string ready = emu.readLine();
  ASSERT_EQ(ready.rfind("emulating 3 radio(s)", 0), 0u) << ready << emu.err();

  Process get({"get-local", pair.path(1), "--timeout", "20"}, dir_);
  ASSERT_EQ(get.wait(25000), 0) << get.err();
  emu.signal(SIGINT);
  EXPECT_EQ(emu.wait(5000), 0) << emu.err();

  auto printed = keyValues(get.out());
  EXPECT_EQ(printed["Radio ID"], "1");
  EXPECT_EQ(printed["Radio Model"], "Vireo E");
  EXPECT_EQ(printed["Emulation Mode"], "Modicon PLC");
  EXPECT_EQ(printed["PLC Address"], "42");
  EXPECT_EQ(printed["Start Time"], "07:45");
  EXPECT_EQ(printed["Radio ON Time"], "33");
}

// A terminal on the other end of the pair sets registers of the emulated
// radios and asks for them again: each answers what it was set to, the
// local radio and a dialled one alike, several pairs on one line too.
TEST_F(CliEndToEnd, AnEmulatedRadioAnswersWhatItWasSetTo) {
  const std::string project = file("terminal.vro");
  writeGroupWithIDs(project, {1, 12}, {0, 1});
  PtyPair pair;
  Process emu({"emulate", project, pair.path(0)}, dir_);
  const std::string ready = emu.readLine();
  ASSERT_EQ(ready.rfind("emulating 2 radio(s)", 0), 0u) << ready << emu.err();

  // As a terminal program has it: raw, a command ended by Enter (CR).
  const int fd = ::open(pair.path(1).c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
  auto type = [fd](const std::string& line) {
    const std::string bytes = line + "\r";
    EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    std::string got;
    while (got.find("OK\r\n") == std::string::npos && got.find("ERROR\r\n") == std::string::npos) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) break;
      char buf[256];
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n <= 0) break;
      got.append(buf, static_cast<size_t>(n));
    }
    return got;
  };
  EXPECT_EQ(type("ATS13?"), "50\r\nOK\r\n");
  EXPECT_EQ(type("ATS13=44"), "OK\r\n");
  EXPECT_EQ(type("ATS13?"), "44\r\nOK\r\n");
  EXPECT_EQ(type("ATD12"), "OK\r\n");
  const std::string security = type("ATS2?");
  ASSERT_NE(security, "4321\r\nOK\r\n");
  EXPECT_EQ(type("ATS0=7S2=4321"), "OK\r\n");
  EXPECT_EQ(type("ATS2?"), "4321\r\nOK\r\n");
  EXPECT_EQ(type("ATS0?"), "7\r\nOK\r\n");
  // The local radio kept its own retries.
  EXPECT_EQ(type("ATD1"), "OK\r\n");
  EXPECT_EQ(type("ATS13?"), "44\r\nOK\r\n");
  ::close(fd);
  emu.signal(SIGINT);
  EXPECT_EQ(emu.wait(5000), 0) << emu.err();
  // What the radios were set to is the project's now, as a read's replies are.
  IniFile ini(project);
  EXPECT_EQ(ini.readString("Radio1", "Retries", ""), "44");
  EXPECT_EQ(ini.readString("Project", "Group ID", ""), "7");
  EXPECT_EQ(ini.readString("Project", "Security ID", ""), "4321");
}

// A monitor on one end of the pair polls the group the emulator plays on the
// other: every radio answers its status registers.
TEST_F(CliEndToEnd, MonitorOfAnEmulatedGroup) {
  std::string project = file("played.vro");
  writeGroup(project, 3, {0, 1});
  PtyPair pair;
  Process emu({"emulate", project, pair.path(0)}, dir_);
  std::string ready = emu.readLine();
  ASSERT_EQ(ready.rfind("emulating 3 radio(s)", 0), 0u) << ready << emu.err();

  std::string watched = file("watched.vro");
  fs::copy_file(project, watched);
  Process mon(
      {"monitor", watched, pair.path(1), "--interval", "0.2", "--cycles", "2", "--timeout", "90"},
      dir_);
  ASSERT_EQ(mon.wait(95000), 0) << mon.err();
  emu.signal(SIGTERM);
  EXPECT_EQ(emu.wait(5000), 0) << emu.err();

  // Remote radios report the emulator's fixed readings.
  for (const char* line : {",2,Radio 002,-99,33,37", ",3,Radio 003,-99,33,37"})
    EXPECT_NE(mon.out().find(line), std::string::npos) << line << "\n" << mon.out();
}

// Playing the radios, and being read while doing so, leaves the group's
// stored values as the file spells them.
TEST_F(CliEndToEnd, PlayingTheGroupLeavesItsStoredValuesAlone) {
  std::string project = file("spelled.vro");
  writeGroup(project, 2, {0});
  std::string text;
  {
    std::ifstream in(project, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    text = ss.str();
  }
  // Hand-edited group values in the spellings stored files have.
  const std::string group =
      "[Project]\r\nReTXBroadcasts=yes\r\nRepeaters=YES\r\nGroup ID= 007 \r\nSecurity ID\r\n";
  const size_t at = text.find("[Project]");
  if (at != std::string::npos) {
    size_t end = text.find("\n[", at);
    text.replace(at, end == std::string::npos ? std::string::npos : end + 1 - at, group);
  } else {
    text = group + text;
  }
  { std::ofstream(project, std::ios::binary) << text; }

  PtyPair pair;
  Process emu({"emulate", project, pair.path(0)}, dir_);
  std::string ready = emu.readLine();
  ASSERT_EQ(ready.rfind("emulating 2 radio(s)", 0), 0u) << ready << emu.err();
  Process get({"get-local", pair.path(1), "--timeout", "20"}, dir_);
  ASSERT_EQ(get.wait(25000), 0) << get.err();
  emu.signal(SIGINT);
  EXPECT_EQ(emu.wait(5000), 0) << emu.err();

  std::ifstream in(project, std::ios::binary);
  std::stringstream after;
  after << in.rdbuf();
  EXPECT_NE(after.str().find(group), std::string::npos) << after.str();
}

TEST_F(CliEndToEnd, SimWritesBackAndRemovesItsLink) {
  std::string project = file("new.vro");
  std::string link = file("radio");
  std::unique_ptr<Process> sim;
  std::string device =
      startSim(sim, {"--radios", "3", "--models", "2", "--link", link, "--project", project});
  ASSERT_FALSE(device.empty());
  EXPECT_EQ(fs::read_symlink(link).string(), device);
  sim->signal(SIGINT);
  ASSERT_EQ(sim->wait(5000), 0) << sim->err();
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  IniFile ini(project);
  EXPECT_EQ(ini.readString("Radio3", "Radio Model", ""), "Vireo Version 1");
  EXPECT_EQ(ini.readString("Radio3", "Master ID", ""), "1");
  EXPECT_EQ(ini.readString("Project", "Group ID", ""), "7");

  // A project it could not write back is refused before it serves.
  Process bad({"sim", "--project", file("no-such-folder/x.vro")}, dir_);
  EXPECT_EQ(bad.wait(5000), 1);
  EXPECT_EQ(bad.out(), "");
  EXPECT_NE(bad.err().find("cannot write"), std::string::npos) << bad.err();
}

TEST_F(CliEndToEnd, PortsListsComNumbersWithPinnedStableNamesAndVersion) {
  // COM1 pinned to a stable link, as a /dev/serial/by-id/ name is.
  fs::create_directories(file(".config/Corvane"));
  fs::create_symlink("/dev/null", file("usb-Radio_Modem-if00-port0"));
  std::ofstream(file(".config/Corvane/Tessel.conf"))
      << "[General]\nCOM1=" << file("usb-Radio_Modem-if00-port0") << "\n";
  Process ports({"ports"}, dir_);
  EXPECT_EQ(ports.wait(5000), 0) << ports.err();
  EXPECT_EQ(ports.out().rfind(
                "COM1  " + file("usb-Radio_Modem-if00-port0") + " (set for COM1) -> null\n", 0),
            0u)
      << ports.out();

  Process version({"--version"}, dir_);
  EXPECT_EQ(version.wait(5000), 0);
  EXPECT_EQ(version.out().rfind("tessel-cli ", 0), 0u) << version.out();
}

TEST_F(CliEndToEnd, PortsWatchRunsUntilInterrupted) {
  Process watch({"ports", "--watch"}, dir_);
  EXPECT_FALSE(watch.readLine(2000).empty()) << watch.err();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(watch.running()) << "the watch ends only when interrupted";
  watch.signal(SIGINT);
  EXPECT_EQ(watch.wait(2000), 0) << watch.err();
}

TEST_F(CliEndToEnd, PulledCableEndsTheMonitorWithOneMessageAndKeepsTheProject) {
  const std::string project = file("group.vro");
  writeGroup(project, 3, {0, 1});
  std::unique_ptr<Process> sim;
  const std::string link = file("usb-Radio_Modem_A1-if00-port0");  // a stable by-id name
  ASSERT_FALSE(startSim(sim, {"--radios", "3", "--link", link, "--command-mode"}).empty());
  Process mon({"monitor", project, link, "--interval", "0.02", "--timeout", "30"}, dir_);
  EXPECT_FALSE(mon.readLine(10000).empty()) << mon.err();  // polling

  sim->signal(SIGKILL);  // the adapter is pulled: the far end of the line is gone
  sim->wait(2000);
  const auto t0 = Clock::now();
  EXPECT_EQ(mon.wait(5000), 1) << mon.err();
  EXPECT_LT(Clock::now() - t0, std::chrono::seconds(3)) << "the loss ends the command at once";
  size_t told = 0;
  for (size_t at = 0; (at = mon.err().find("was lost", at)) != std::string::npos; ++at) ++told;
  EXPECT_EQ(told, 1u) << mon.err();
  EXPECT_NE(mon.err().find("The connection to " + link), std::string::npos) << mon.err();

  IniFile ini(project);
  for (const char* section : {"Radio1", "Radio2", "Radio3"})
    EXPECT_FALSE(ini.readString(section, "Radio ID", "").empty()) << section;

  // Plugged back: the next command opens it again.
  fs::remove(link);
  ASSERT_FALSE(startSim(sim, {"--radios", "1", "--link", link}).empty());
  Process get({"get-local", link, "--timeout", "20"}, dir_);
  EXPECT_EQ(get.wait(25000), 0) << get.err();
}

namespace {
std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
}  // namespace

// A refused project is left as it was, byte for byte; a line that cannot be
// read is named once; a log that cannot be written is named, and the command
// still does its work.
TEST_F(CliEndToEnd, RefusedProjectsAreLeftAsTheyWere) {
  using namespace std::string_literals;
  std::unique_ptr<Process> sim;
  std::string device = startSim(sim, {"--radios", "1"});
  const std::string contents[] = {
      "",
      "\x7f"
      "ELF\x02\x01\r\n\xff\xfe"s +
          "\0\0\r\nno key\r\n"s,
      "[Project]\r\nGroup ID=3\r\n[Radio\0 7]\r\nRadio ID=7\r\n"s,
  };
  for (const char* command : {"monitor", "emulate"}) {
    for (size_t i = 0; i < std::size(contents); ++i) {
      const std::string path = file("refused" + std::to_string(i) + ".vro");
      std::ofstream(path, std::ios::binary) << contents[i];
      Process p({command, path, device, "--timeout", "5"}, dir_);
      EXPECT_EQ(p.wait(10000), 1) << command << " " << i;
      EXPECT_NE(p.err().find("has no radios"), std::string::npos) << p.err();
      EXPECT_EQ(slurp(path), contents[i]) << command << " " << i;
      if (i == 2) {
        const std::string says = path + " line 3 holds a NUL byte";
        const size_t at = p.err().find(says);
        EXPECT_NE(at, std::string::npos) << p.err();
        EXPECT_EQ(p.err().find(says, at + 1), std::string::npos) << "once: " << p.err();
      }
      fs::remove(path);
    }
  }
}

TEST_F(CliEndToEnd, ALogThatCannotBeWrittenIsNamedAndTheCommandStillRuns) {
  std::unique_ptr<Process> sim;
  std::string device = startSim(sim, {"--radios", "1"});
  fs::create_directories(dir_ + "/.config/Corvane");
  std::ofstream(file("not-a-folder")) << "x";
  std::ofstream(dir_ + "/.config/Corvane/Tessel.conf")
      << "[General]\nLogPath=" << file("not-a-folder") << "\n";
  Process get({"get-local", device, "--log", "--timeout", "20"}, dir_);
  EXPECT_EQ(get.wait(25000), 0) << get.err();
  EXPECT_NE(get.err().find("the log folder " + file("not-a-folder") + " is not a folder"),
            std::string::npos)
      << get.err();
  EXPECT_NE(get.out().find("Radio ID = 1"), std::string::npos) << get.out();
}

// However a monitor ends, the next read reaches the local radio, not the
// remote one it last dialled: at its end the program hangs up, and a
// program killed while dialled leaves a link that the next connect clears.
TEST_F(CliEndToEnd, AfterAMonitorTheLocalRadioAnswersAgain) {
  std::string project = file("group.vro");
  writeGroup(project, 5, {0, 1});
  std::unique_ptr<Process> sim;
  std::string device = startSim(sim, {"--command-mode"});
  ASSERT_FALSE(device.empty());
  auto expectLocal = [&](const char* after) {
    SCOPED_TRACE(after);
    Process get({"get-local", device, "--timeout", "20"}, dir_);
    ASSERT_EQ(get.wait(25000), 0) << get.err();
    auto printed = keyValues(get.out());
    EXPECT_EQ(printed["Radio ID"], "1");
    EXPECT_EQ(printed["Radio Mode"], "Master");
  };
  const std::vector<std::string> monitor = {"monitor", project, device, "--interval", "0.02"};
  auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = monitor;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };

  {
    Process mon(with({"--cycles", "1", "--timeout", "20"}), dir_);
    ASSERT_EQ(mon.wait(25000), 0) << mon.err();
  }
  expectLocal("a monitor of one cycle");
  {
    Process mon(with({"--cycles", "1", "--timeout", "20"}), dir_);
    ASSERT_EQ(mon.wait(25000), 0) << "a second monitor starts at the local radio\n" << mon.err();
  }
  // Interrupted, or killed, while a remote radio is being polled: the poll
  // lines show that radio 2 answered, so the link is up to radio 2 or 3.
  for (int sig : {SIGINT, SIGTERM, SIGKILL}) {
    Process mon(with({"--timeout", "20"}), dir_);
    std::string line;
    for (int i = 0; i < 20 && line.find(",2,") == std::string::npos; ++i) line = mon.readLine();
    ASSERT_NE(line.find(",2,"), std::string::npos) << mon.err();
    mon.signal(sig);
    mon.wait(5000);
    expectLocal(sig == SIGINT ? "SIGINT" : sig == SIGTERM ? "SIGTERM" : "kill -9");
  }
  Process mon(with({"--cycles", "1", "--timeout", "20"}), dir_);
  EXPECT_EQ(mon.wait(25000), 0) << "a monitor after kill -9\n" << mon.err();
  sim->signal(SIGTERM);
  sim->wait(5000);
}
