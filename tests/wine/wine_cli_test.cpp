// tessel-cli.exe, the Windows build, under Wine against simulated radios on
// a pseudo-terminal that the Wine prefix maps to COM7, beside the Linux
// build against the same radios: what it prints, what it sends, what the
// radios answer and what its traffic log holds are the Linux build's; its
// project files are replaced whole and held by one program at a time.
// ./test --windows runs it with TESSEL_CLI_EXE and WINEPREFIX set.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli_e2e_fixture.h"
#include "model/ini_file.h"

using namespace tessel;
using namespace tessel::testing;
namespace fs = std::filesystem;

namespace {

std::string environment(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Texts that change with the moment of the run: the radios' uptime, the
// clock a set gives the model-E radio (S111, the time of day), the process
// IDs in a refusal.
std::string timeless(const std::string& text) {
  static const std::regex uptime("Uptime( *): [0-9]+ s");
  static const std::regex clock("s111=[0-9][0-9]:[0-9][0-9]");
  static const std::regex process("\\(process [0-9]+\\)");
  std::string t = std::regex_replace(text, uptime, "Uptime$1: # s");
  t = std::regex_replace(t, clock, "s111=HH:MM");
  return std::regex_replace(t, process, "(process #)");
}

// The bytes of the simulator's trace ("SECONDS > COUNT BYTES", CR and LF
// spelt out) in each direction, as one stream each: how the line cut them
// into reads does not matter.
struct Wire {
  std::string sent;      // by the configurator, to the radios
  std::string received;  // from the radios
};

Wire wireOf(const std::string& trace) {
  Wire w;
  std::istringstream in(trace);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string stamp, direction;
    size_t count = 0;
    if (!(fields >> stamp >> direction >> count) || (direction != ">" && direction != "<"))
      continue;
    std::string shown;
    std::getline(fields, shown);
    if (!shown.empty() && shown[0] == ' ') shown.erase(0, 1);
    std::string bytes;
    for (size_t i = 0; i < shown.size(); ++i) {
      if (shown[i] == '\\' && i + 1 < shown.size() &&
          (shown[i + 1] == 'r' || shown[i + 1] == 'n')) {
        bytes += shown[++i] == 'r' ? '\r' : '\n';
      } else {
        bytes += shown[i];
      }
    }
    (direction == ">" ? w.sent : w.received) += bytes;
  }
  return w;
}

// The traffic log of a run without its time stamps (the first 25 columns),
// up to the last line sent: the answer to the closing hang-up may come
// after the program ended.
std::string logWithoutStamps(const std::string& folder) {
  std::string all;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    std::istringstream in(slurp(e.path().string()));
    for (std::string line; std::getline(in, line);)
      all += (line.size() > 25 ? line.substr(25) : line) + "\n";
  }
  const size_t last = all.rfind(" Send(): ");
  const size_t end = last == std::string::npos ? std::string::npos : all.find('\n', last);
  return timeless(end == std::string::npos ? all : all.substr(0, end + 1));
}

// The lines a log says were sent, in order.
std::string sends(const std::string& log) {
  std::string all;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);)
    if (line.find(" Send(): ") != std::string::npos)
      all += line.substr(line.find(" Send(): ")) + "\n";
  return all;
}

// The radios' answers with their numbers masked: their readings drift with
// the time a run takes.
std::string shapeOf(const std::string& replies) {
  static const std::regex number("[0-9]+");
  return std::regex_replace(replies, number, "#");
}

// Whether two runs heard the same answers. The last answer reaches the line
// only while the program still has it open, so one run may end a line or
// two short of the other; nothing else may differ.
::testing::AssertionResult sameAnswers(const std::string& a, const std::string& b) {
  const std::string sa = shapeOf(a), sb = shapeOf(b);
  const std::string& shorter = sa.size() <= sb.size() ? sa : sb;
  const std::string& longer = sa.size() <= sb.size() ? sb : sa;
  const std::string rest = longer.substr(shorter.size());
  if (longer.compare(0, shorter.size(), shorter) == 0 &&
      std::count(rest.begin(), rest.end(), '\n') <= 2)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the answers differ:\n" << sa << "\n---\n" << sb;
}

class WineCli : public CliProcessTest {
 protected:
  static void SetUpTestSuite() {
    exe_ = environment("TESSEL_CLI_EXE");
    prefix_ = environment("WINEPREFIX");
    if (exe_.empty() || prefix_.empty()) return;
    // The Windows build keeps its log where its registry settings say.
    logs_ = "/tmp/wine-cli-logs-" + std::to_string(::getpid());
    fs::create_directories(logs_);
    std::string windowsName = "Z:" + logs_;
    for (char& c : windowsName)
      if (c == '/') c = '\\';
    Process reg({"reg", "add", "HKCU\\Software\\Corvane\\Tessel", "/v", "LogPath", "/t", "REG_SZ",
                 "/d", windowsName, "/f"},
                "/tmp", "", {"wine"});
    EXPECT_EQ(reg.wait(60000), 0) << reg.err();
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    if (!logs_.empty()) fs::remove_all(logs_, ec);
  }
  void SetUp() override {
    if (exe_.empty() || prefix_.empty())
      GTEST_SKIP() << "TESSEL_CLI_EXE and WINEPREFIX name the program and its Wine prefix";
    CliProcessTest::SetUp();
    // The engine's ticks ten times sooner, for both builds alike (no poll
    // interval below 0.5 s then: under Wine the line is looked at every 10 ms).
    ::setenv("TESSEL_TIME_SCALE", "10", 1);
    // The Linux build's settings: its log goes beside the test's files.
    fs::create_directories(dir_ + "/.config/Corvane");
    std::ofstream(dir_ + "/.config/Corvane/Tessel.conf")
        << "[General]\nLogPath=" << file("linux-logs") << "\n";
  }
  void TearDown() override {
    ::unsetenv("TESSEL_TIME_SCALE");
    if (!exe_.empty()) CliProcessTest::TearDown();
  }

  // tessel-cli with args, as the Windows build (under Wine) or the Linux
  // build; "DEVICE" in args stands for the port: COM7 or the device itself.
  std::unique_ptr<Process> start(bool windows, std::vector<std::string> args,
                                 const std::string& device) {
    for (std::string& a : args)
      if (a == "DEVICE") a = windows ? "COM7" : device;
    if (!windows) return std::make_unique<Process>(args, dir_);
    mapCom7(device);
    return std::make_unique<Process>(args, dir_, "", std::vector<std::string>{"wine", exe_});
  }
  void mapCom7(const std::string& device) {
    const std::string link = prefix_ + "/dosdevices/com7";
    std::error_code ec;
    fs::remove(link, ec);
    fs::create_symlink(device, link);
  }

  struct Run {
    int status = -1;
    std::string out, err, log;
    Wire wire;
  };
  // One command against a simulator of its own (simArgs; the same seed for
  // both builds), traced and stopped after.
  Run run(bool windows, std::vector<std::string> simArgs, const std::vector<std::string>& args,
          int ms = 90000) {
    const std::string logs = windows ? logs_ : file("linux-logs");
    std::error_code ec;
    fs::remove_all(logs, ec);
    fs::create_directories(logs);
    simArgs.push_back("--trace");
    std::unique_ptr<Process> sim;
    const std::string device = startSim(sim, simArgs);
    Run r;
    if (device.empty()) return r;
    auto p = start(windows, args, device);
    r.status = p->wait(ms);
    r.out = p->out();
    r.err = p->err();
    sim->signal(SIGTERM);
    sim->wait(5000);
    r.wire = wireOf(sim->err());
    r.log = logWithoutStamps(logs);
    return r;
  }
  // The same command with both builds: they must agree.
  void expectAlike(const Run& win, const Run& linux) {
    EXPECT_EQ(win.status, linux.status) << win.err << "\n---\n" << linux.err;
    EXPECT_EQ(timeless(win.out), timeless(linux.out));
    EXPECT_EQ(timeless(win.err), timeless(linux.err));
    EXPECT_FALSE(linux.wire.sent.empty());
    EXPECT_EQ(timeless(win.wire.sent), timeless(linux.wire.sent)) << "the bytes on the wire";
    EXPECT_TRUE(sameAnswers(win.wire.received, linux.wire.received));
  }

  static std::string exe_, prefix_, logs_;
};

std::string WineCli::exe_, WineCli::prefix_, WineCli::logs_;

TEST_F(WineCli, GetLocalOfEachModelPrintsSendsAndLogsWhatTheLinuxBuildDoes) {
  for (const char* model : {"0", "1", "2"}) {
    SCOPED_TRACE(std::string("model ") + model);
    const std::vector<std::string> sim = {"--radios", "1", "--models", model};
    const std::vector<std::string> args = {"get-local", "DEVICE", "--log", "--timeout", "30"};
    const Run win = run(true, sim, args);
    const Run linux = run(false, sim, args);
    expectAlike(win, linux);
    EXPECT_EQ(win.status, 0);
    EXPECT_NE(win.out.find("Radio ID = 1\n"), std::string::npos) << win.out;
    EXPECT_NE(win.log.find("Send(): ATI1"), std::string::npos) << win.log;
    // The same records; what the radios tell of the time of day may differ.
    EXPECT_EQ(shapeOf(win.log), shapeOf(linux.log));
    EXPECT_EQ(sends(win.log), sends(linux.log));
  }
}

// The values the project gives, none of them what the simulator starts with
// (no group ID, security ID or RF band: a remote radio would run them after
// its reset and answer no dial any more).
void changeProject(const std::string& project) {
  IniFile ini(project);
  ini.writeString("Project", "Flush Time", "300");
  ini.writeString("Radio1", "Retries", "77");
  ini.writeString("Radio2", "Retries", "66");
  ini.writeString("Radio2", "Parity", "Even");
}

TEST_F(WineCli, SetToTheLocalAndARemoteRadioSendsTheLinuxBuildsLines) {
  const std::string simProject = file("sim.vro");
  writeGroup(simProject, 2, {0, 1});
  for (const bool remote : {false, true}) {
    SCOPED_TRACE(remote ? "remote" : "local");
    std::map<bool, Run> runs;
    for (const bool windows : {true, false}) {
      // Each build sends to radios that start as the simulator's project says.
      const std::string radios = file(windows ? "radios-win.vro" : "radios-linux.vro");
      const std::string project = file(windows ? "set-win.vro" : "set-linux.vro");
      for (const std::string& copy : {radios, project}) {
        fs::remove(copy);
        fs::copy_file(simProject, copy);
      }
      changeProject(project);
      const std::string before = slurp(project);
      std::vector<std::string> args = {
          "set", project, remote ? "2" : "1", "DEVICE", "--verify", "--timeout", "150"};
      if (remote) args.push_back("--remote");
      runs[windows] = run(windows, {"--project", radios}, args, 170000);
      EXPECT_EQ(slurp(project), before) << "a set only reads the project";
    }
    // The two projects have other names; what is printed of them is alike.
    std::string linuxOut = runs[false].out;
    for (size_t at; (at = linuxOut.find("set-linux.vro")) != std::string::npos;)
      linuxOut.replace(at, 13, "set-win.vro");
    Run linux = runs[false];
    linux.out = linuxOut;
    expectAlike(runs[true], linux);
    EXPECT_EQ(runs[true].status, 0) << runs[true].out << runs[true].err;
    EXPECT_NE(runs[true].out.find("verify: every parameter reads as sent"), std::string::npos)
        << runs[true].out;
    EXPECT_EQ(runs[true].wire.sent.find("ATD") != std::string::npos, remote);
    // The radios kept what was sent, as the simulator writes them back.
    IniFile held(file("radios-win.vro"));
    EXPECT_EQ(held.readString(remote ? "Radio2" : "Radio1", "Retries", ""), remote ? "66" : "77");
  }
}

// The monitor's lines: radio ID and name of each poll, in order (the
// readings drift with time, and the time is the moment of the poll).
std::vector<std::string> polled(const std::string& out) {
  std::vector<std::string> radios;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f;
    size_t from = 0;
    for (size_t comma; (comma = line.find(',', from)) != std::string::npos; from = comma + 1)
      f.push_back(line.substr(from, comma - from));
    f.push_back(line.substr(from));
    if (f.size() == 6) radios.push_back(f[1] + "," + f[2]);
  }
  return radios;
}

TEST_F(WineCli, AMonitorRoundPollsTheSameRadiosWithTheSameLinesAndKeepsTheProjectWhole) {
  // Polls tick at the poll interval: four times sooner leaves a dial and its
  // answer the time they take on a busy machine, for both builds alike.
  ::setenv("TESSEL_TIME_SCALE", "4", 1);
  const std::string simProject = file("sim.vro");
  writeGroup(simProject, 3, {0, 1, 2});
  std::map<bool, Run> runs;
  std::map<bool, std::string> projects;
  for (const bool windows : {true, false}) {
    projects[windows] = file(windows ? "mon-win.vro" : "mon-linux.vro");
    fs::copy_file(simProject, projects[windows]);
    runs[windows] = run(windows, {"--project", simProject, "--command-mode"},
                        {"monitor", projects[windows], "DEVICE", "--interval", "1", "--cycles", "1",
                         "--timeout", "60"});
  }
  const Run& win = runs[true];
  EXPECT_EQ(win.status, 0) << win.err;
  EXPECT_EQ(polled(win.out), polled(runs[false].out));
  EXPECT_EQ(polled(win.out).size(), 3u) << win.out;
  EXPECT_EQ(win.wire.sent, runs[false].wire.sent);
  // The readings went into the project, written the way the Linux build
  // writes it: the same sections and keys.
  IniFile w(projects[true]), l(projects[false]);
  EXPECT_EQ(w.sectionNames(), l.sectionNames());
  for (const std::string& section : l.sectionNames())
    EXPECT_EQ(w.keyNames(section), l.keyNames(section)) << section;
  EXPECT_FALSE(fs::exists(file(".mon-win.vro.lock"))) << "let go at the end";
}

TEST_F(WineCli, CompareFindsTheSameDifferences) {
  // Polls tick at the poll interval: four times sooner leaves a dial and its
  // answer the time they take on a busy machine, for both builds alike.
  ::setenv("TESSEL_TIME_SCALE", "4", 1);
  const std::string simProject = file("sim.vro");
  writeGroup(simProject, 3, {0, 1});
  const std::string project = file("cmp.vro");
  fs::copy_file(simProject, project);
  {
    IniFile ini(project);
    ini.writeString("Radio2", "Retries", "7");
    ini.writeString("Radio3", "Radio Name", "Pump house");
  }
  const std::vector<std::string> args = {"compare", project, "DEVICE", "--timeout", "60"};
  const Run win = run(true, {"--project", simProject}, args);
  const Run linux = run(false, {"--project", simProject}, args);
  EXPECT_EQ(win.status, linux.status) << win.err << "\n---\n" << linux.err;
  EXPECT_EQ(win.out, linux.out);
  EXPECT_EQ(win.err, linux.err);
  // The same lines up to the dial back to the local radio after the last
  // one read; what follows goes in the moment the program gives its
  // hang-up (100 ms), and how far that gets depends on how fast the line
  // answers.
  auto upToReturn = [](const std::string& sent) {
    const size_t back = sent.find("ATD1\r", sent.rfind("ATD3\r"));
    return back == std::string::npos ? sent : sent.substr(0, back + 5);
  };
  EXPECT_NE(linux.wire.sent.find("ATD3\r"), std::string::npos) << linux.wire.sent;
  EXPECT_EQ(upToReturn(win.wire.sent), upToReturn(linux.wire.sent));
  EXPECT_EQ(win.status, 3) << win.out << win.err;
  EXPECT_NE(win.out.find("Retries"), std::string::npos) << win.out;
}

TEST_F(WineCli, AProjectIsSavedReplacedWholeAndOpenInOneProgramAtATime) {
  const std::string simProject = file("sim.vro");
  writeGroup(simProject, 3, {0, 1});
  std::unique_ptr<Process> sim, sim2;
  const std::string device = startSim(sim, {"--project", simProject, "--command-mode"});
  const std::string simProject2 = file("sim2.vro");
  fs::copy_file(simProject, simProject2);
  const std::string device2 = startSim(sim2, {"--project", simProject2, "--command-mode"});
  ASSERT_FALSE(device.empty());
  ASSERT_FALSE(device2.empty());
  const std::vector<std::string> exe = {"wine", exe_};

  // Saved: a discovery writes the group it found into a new project.
  const std::string project = file("found.vro");
  mapCom7(device);
  {
    Process discover({"discover", project, "COM7", "--interval", "0.5", "--timeout", "60"}, dir_,
                     "", exe);
    ASSERT_EQ(discover.wait(70000), 0) << discover.err();
  }
  IniFile found(project);
  for (const char* section : {"Radio1", "Radio2", "Radio3"})
    EXPECT_TRUE(found.sectionExists(section)) << section << "\n" << slurp(project);

  // Replaced: a monitor writes every poll's readings into it; killed at any
  // moment, it leaves the old file or the new one, never a part.
  for (int kill = 0; kill < 3; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    Process mon({"monitor", project, "COM7", "--interval", "0.5", "--timeout", "60"}, dir_, "",
                exe);
    for (int line = 0; line < 2 + 2 * kill; ++line) ASSERT_NE(mon.readLine(20000), "") << mon.err();
    mon.signal(SIGKILL);
    mon.wait(10000);
    IniFile after(project);
    EXPECT_TRUE(after.lastError().empty()) << after.lastError();
    for (const char* section : {"Project", "Radio1", "Radio2", "Radio3"})
      EXPECT_TRUE(after.sectionExists(section)) << section << "\n" << slurp(project);
  }

  // A set only reads the project; killed half-way it leaves it as it was.
  {
    const std::string before = slurp(project);
    Process set({"set", project, "2", "COM7", "--remote", "--timeout", "60"}, dir_, "", exe);
    ASSERT_NE(set.readLine(20000), "") << set.err();
    set.signal(SIGKILL);
    set.wait(10000);
    EXPECT_EQ(slurp(project), before);
  }

  // Open in one program at a time: while a monitor has it, a second one is
  // refused with the file and the holder named, as on Linux, and a set only
  // reads it.
  Process monitor({"monitor", project, "COM7", "--interval", "0.5", "--timeout", "60"}, dir_, "",
                  exe);
  ASSERT_NE(monitor.readLine(20000), "") << monitor.err();
  const std::string before = slurp(project);
  Process second({"monitor", project, device2, "--timeout", "5"}, dir_, "", exe);
  EXPECT_EQ(second.wait(20000), 1);
  EXPECT_EQ(
      timeless(second.err()),
      "tessel-cli: " + project + " is open in tessel-cli (process #); close it there first\n");
  EXPECT_EQ(slurp(project), before);
  monitor.signal(SIGKILL);
  monitor.wait(10000);
  // The killed holder's lock went with it: the project opens again, and the
  // leftovers of killed writers are gone.
  Process after(
      {"monitor", project, "COM7", "--interval", "0.5", "--cycles", "1", "--timeout", "30"}, dir_,
      "", exe);
  EXPECT_EQ(after.wait(40000), 0) << after.err();
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_EQ(e.path().filename().string().find("found.vro.tmp"), std::string::npos) << e.path();
}

TEST_F(WineCli, WhatTheWindowsBuildLeavesOutItSaysSo) {
  const std::string project = file("p.vro");
  writeGroup(project, 2, {0});
  const std::vector<std::string> exe = {"wine", exe_};
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;
  } cases[] = {
      {{"get-local", "rfc2217://127.0.0.1:4001", "--timeout", "10"}, 1, "no network serial ports"},
      {{"monitor", project, "COM7", "--metrics", "127.0.0.1:9100"}, 2, "no metrics endpoint"},
      {{"sim"}, 1, "pseudo-terminal"},
      {{"demo"}, 1, "pseudo-terminal"},
  };
  for (const Case& c : cases) {
    Process p(c.args, dir_, "", exe);
    EXPECT_EQ(p.wait(30000), c.status) << c.says << ": " << p.err();
    EXPECT_NE(p.err().find(c.says), std::string::npos) << p.err();
  }
}

}  // namespace
