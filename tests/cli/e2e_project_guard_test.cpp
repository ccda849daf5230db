// tessel-cli against other programs and misbehaving radios: a project is
// written by one program at a time, a verify never writes it, a discovery
// that finds nothing leaves it alone, the emulator stores nothing a register
// cannot hold, and readings of the wrong form show as missing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli_e2e_fixture.h"
#include "model/ini_file.h"

using namespace tessel;
using namespace tessel::testing;
namespace fs = std::filesystem;

namespace {

class CliProjectGuard : public CliProcessTest {
 protected:
  static std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void TearDown() override {
    ::unsetenv("TESSEL_TIME_SCALE");
    CliProcessTest::TearDown();
  }
};

// The CSV lines of a monitor, by radio: each line's six fields.
std::map<int, std::vector<std::vector<std::string>>> csvByRadio(const std::string& out) {
  std::map<int, std::vector<std::vector<std::string>>> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f;
    size_t from = 0;
    for (size_t comma; (comma = line.find(',', from)) != std::string::npos; from = comma + 1)
      f.push_back(line.substr(from, comma - from));
    f.push_back(line.substr(from));
    if (f.size() == 6) lines[std::stoi(f[1])].push_back(f);
  }
  return lines;
}

// One AT line to the far end of a pseudo-terminal pair, and the lines it
// answers within a moment.
std::string askLine(const std::string& device, const std::string& line) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return "<cannot open>";
  (void)!::write(fd, (line + "\r").data(), line.size() + 1);
  std::string got;
  const auto end = Clock::now() + std::chrono::milliseconds(1500);
  while (Clock::now() < end && got.find("\r\n") == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) > 0) {
      char buf[256];
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0) got.append(buf, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  return got;
}

}  // namespace

// While a monitor has the project open, a second monitor, an emulator and
// a forced discovery of it are refused with the file and the monitor named,
// and leave it alone; a set only reads it and goes ahead.
TEST_F(CliProjectGuard, ASecondProgramOnAnOpenProjectIsRefusedAndASetOnlyReadsIt) {
  const std::string simProject = file("radios.vro");
  writeGroup(simProject, 3, {0, 1});
  std::unique_ptr<Process> sim, sim2;
  const std::string device = startSim(sim, {"--project", simProject, "--command-mode"});
  const std::string simProject2 = file("radios2.vro");
  fs::copy_file(simProject, simProject2);
  const std::string device2 = startSim(sim2, {"--project", simProject2, "--command-mode"});
  ASSERT_FALSE(device.empty());
  ASSERT_FALSE(device2.empty());

  const std::string project = file("group.vro");
  fs::copy_file(simProject, project);
  Process monitor({"monitor", project, device, "--interval", "0.05", "--timeout", "60"}, dir_);
  ASSERT_NE(monitor.readLine(20000), "") << monitor.err();

  const std::string told = project + " is open in tessel-cli (process ";
  const std::vector<std::vector<std::string>> refused = {
      {"monitor", project, device2, "--timeout", "5"},
      {"emulate", project, device2, "--timeout", "5"},
      {"discover", project, device2, "--force", "--timeout", "5"}};
  for (const std::vector<std::string>& args : refused) {
    const std::string before = slurp(project);
    Process second(args, dir_);
    EXPECT_EQ(second.wait(10000), 1) << args[0];
    EXPECT_NE(second.err().find(told), std::string::npos) << args[0] << ": " << second.err();
    EXPECT_NE(second.err().find("); close it there first"), std::string::npos) << second.err();
    EXPECT_EQ(second.out(), "") << args[0];
    EXPECT_EQ(slurp(project), before) << args[0];
  }

  ::setenv("TESSEL_TIME_SCALE", "10", 1);
  Process set({"set", project, "1", device2, "--timeout", "60"}, dir_);
  EXPECT_EQ(set.wait(70000), 0) << set.out() << set.err();
  EXPECT_NE(set.out().find("> AT&W\n< OK\n"), std::string::npos) << set.out();

  monitor.signal(SIGINT);
  EXPECT_EQ(monitor.wait(10000), 0) << monitor.err();
  // Closed, the project is free again, and no lock file is left beside it.
  EXPECT_FALSE(fs::exists(file(".group.vro.lock")));
  Process after(
      {"monitor", project, device, "--interval", "0.05", "--cycles", "1", "--timeout", "30"}, dir_);
  EXPECT_EQ(after.wait(35000), 0) << after.err();
}

// A radio that reports other values than it was sent: the verify prints
// each difference, and the project keeps what the user asked for, byte for
// byte (the radio's Retries and the group's Flush Time included).
TEST_F(CliProjectGuard, VerifyPrintsTheDifferencesAndNeverWritesTheProject) {
  const std::string simProject = file("radios.vro");
  writeGroup(simProject, 2, {1});
  const std::string project = file("group.vro");
  fs::copy_file(simProject, project);
  {
    IniFile ini(project);
    ASSERT_TRUE(ini.writeString("Radio2", "Retries", "44"));
    ASSERT_TRUE(ini.writeString("Project", "Flush Time", "300"));
  }
  const std::string before = slurp(project);
  std::unique_ptr<Process> sim;
  // Radio 2 reports Retries (S13) as 50 and the flush time (S15) as 1200
  // seconds, whatever it is sent. (Another RF band would take it out of
  // the group once it is reset.)
  const std::string device =
      startSim(sim, {"--project", simProject, "--command-mode", "--answer", "2:13=50,2:15=12000"});
  ASSERT_FALSE(device.empty());

  ::setenv("TESSEL_TIME_SCALE", "10", 1);
  Process set({"set", project, "2", device, "--remote", "--verify", "--timeout", "150"}, dir_);
  EXPECT_EQ(set.wait(170000), 3) << set.out() << set.err();
  EXPECT_NE(set.out().find("differs: Retries sent 44, read 50\n"), std::string::npos) << set.out();
  EXPECT_NE(set.out().find("differs: Flush Time sent 300, read 1200\n"), std::string::npos)
      << set.out();
  EXPECT_NE(set.out().find("verify: 2 parameter(s) differ"), std::string::npos) << set.out();
  EXPECT_EQ(slurp(project), before);
}

// A forced discovery replaces the old project only once a radio was found:
// over a line where no radio answers the old file stays as it was.
TEST_F(CliProjectGuard, ForcedDiscoveryReplacesTheProjectOnlyWhenARadioWasFound) {
  const std::string project = file("kept.vro");
  const std::string old = "[Project]\nGroup ID=4\n\n[Radio9]\nRadio ID=9\nRadio Name=Pump\n";
  std::ofstream(project, std::ios::binary) << old;

  PtyPair silent;  // nothing answers on the other side
  Process none(
      {"discover", project, silent.path(0), "--force", "--interval", "0.02", "--timeout", "3"},
      dir_);
  EXPECT_EQ(none.wait(10000), 1) << none.err();
  EXPECT_NE(none.err().find("no radio found; " + project + " is left as it was"), std::string::npos)
      << none.err();
  EXPECT_EQ(slurp(project), old);
  EXPECT_FALSE(fs::exists(file(".kept.vro.lock")));

  std::unique_ptr<Process> sim;
  const std::string device = startSim(sim, {"--radios", "2"});
  ASSERT_FALSE(device.empty());
  Process found({"discover", project, device, "--force", "--interval", "0.02", "--timeout", "30"},
                dir_);
  ASSERT_EQ(found.wait(35000), 0) << found.err();
  IniFile ini(project);
  EXPECT_EQ(ini.readString("Radio2", "Radio Name", ""), "Radio 002");
  EXPECT_FALSE(ini.sectionExists("Radio9"));
}

// The emulator answers a value outside its register's range "ERROR", as it
// answers a value of the wrong form, and the project keeps its own.
TEST_F(CliProjectGuard, TheEmulatorRefusesValuesOutsideARegistersRange) {
  const std::string project = file("played.vro");
  writeGroup(project, 2, {0});
  {
    IniFile ini(project);
    ASSERT_TRUE(ini.writeString("Project", "Group ID", "7"));
    ASSERT_TRUE(ini.writeString("Radio1", "Retries", "10"));
  }
  const std::string securityID = IniFile(project).readString("Project", "Security ID", "");
  PtyPair pair;
  Process emu({"emulate", project, pair.path(0)}, dir_);
  ASSERT_EQ(emu.readLine().rfind("emulating 2 radio(s)", 0), 0u) << emu.err();
  EXPECT_EQ(askLine(pair.path(1), "ATI"), "V2.0\r\n");
  for (const char* line : {"ATS0=4294967296", "ATS0=64", "ATS2=-1", "ATS13=256", "ATS13=X"})
    EXPECT_EQ(askLine(pair.path(1), line), "ERROR\r\n") << line;
  EXPECT_EQ(askLine(pair.path(1), "ATS13=12"), "OK\r\n");
  emu.signal(SIGINT);
  EXPECT_EQ(emu.wait(5000), 0) << emu.err();
  IniFile ini(project);
  EXPECT_EQ(ini.readString("Project", "Group ID", ""), "7");
  EXPECT_EQ(ini.readString("Project", "Security ID", ""), securityID);
}

// Readings that are empty or not of the register's form show as empty CSV
// fields; the radio's other readings still print, and a radio with an empty
// answer still has its line every round, with the readings after it.
TEST_F(CliProjectGuard, MalformedAndEmptyReadingsPrintAsMissing) {
  const std::string simProject = file("radios.vro");
  writeGroup(simProject, 5, {0, 1});
  std::unique_ptr<Process> sim;
  // S10 RSSI, S16 supply volts, S17 temperature.
  const std::string device = startSim(sim, {"--project", simProject, "--command-mode", "--answer",
                                            "2:10=dB,3:16=,4:17=999999,5:10=-"});
  ASSERT_FALSE(device.empty());
  const std::string project = file("group.vro");
  fs::copy_file(simProject, project);
  Process mon(
      {"monitor", project, device, "--interval", "0.05", "--cycles", "2", "--timeout", "60"}, dir_);
  ASSERT_EQ(mon.wait(65000), 0) << mon.err();
  const auto lines = csvByRadio(mon.out());
  for (int id = 1; id <= 5; ++id) {
    SCOPED_TRACE("radio " + std::to_string(id) + "\n" + mon.out());
    auto it = lines.find(id);
    ASSERT_NE(it, lines.end());
    EXPECT_GE(it->second.size(), 2u);
    for (const auto& f : it->second) {
      const bool rssiMissing = id == 2 || id == 5;
      EXPECT_EQ(f[3].empty(), rssiMissing) << f[3];
      if (!rssiMissing) EXPECT_LT(std::stoi(f[3]), -30);
      // Radio 3's blank volts are its answer: its temperature is asked
      // after them.
      EXPECT_EQ(f[4].empty(), id == 3) << f[4];
      EXPECT_EQ(f[5].empty(), id == 4) << f[5];
    }
  }
}
