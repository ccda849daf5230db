// tessel-cli set against simulated radios: what it writes is what the radio
// then holds, for each model, to the local radio and dialled through it.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli_e2e_fixture.h"
#include "model/ini_file.h"

using namespace tessel;
using namespace tessel::testing;
namespace fs = std::filesystem;

namespace {

class CliSet : public CliProcessTest {};

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The values the configurator's project gives, none of them what the
// simulator starts with.
struct Change {
  const char* section;
  const char* key;
  const char* value;
};
const Change kChanges[] = {
    // No group ID, security ID or RF band: the remote radio would run them
    // after its reset and answer no dial of the local radio any more.
    {"Project", "ReTXBroadcasts", "No"}, {"Project", "Flush Time", "300"},
    {"Radio1", "Retries", "77"},         {"Radio2", "Retries", "66"},
    {"Radio2", "Data Bits", "7"},        {"Radio2", "Parity", "Even"},
};

TEST_F(CliSet, SetWithVerifyLeavesEachModelHoldingTheProjectsValues) {
  constexpr int kModels = 3;
  std::array<std::unique_ptr<Process>, kModels> sims;
  std::array<std::string, kModels> devices, simProjects, projects;
  for (int m = 0; m < kModels; ++m) {
    simProjects[m] = file("sim" + std::to_string(m) + ".vro");
    projects[m] = file("set" + std::to_string(m) + ".vro");
    writeGroup(simProjects[m], 2, {m});
    fs::copy_file(simProjects[m], projects[m]);
    IniFile ini(projects[m]);
    for (const Change& c : kChanges) ASSERT_TRUE(ini.writeString(c.section, c.key, c.value));
    devices[m] = startSim(sims[m], {"--project", simProjects[m]});
    ASSERT_FALSE(devices[m].empty());
  }
  // A remote send waits a tick per line: the commands run their ticks ten
  // times faster, the three groups side by side.
  ::setenv("TESSEL_TIME_SCALE", "10", 1);
  for (const bool remote : {false, true}) {
    std::array<std::unique_ptr<Process>, kModels> sets;
    for (int m = 0; m < kModels; ++m) {
      std::vector<std::string> args = {
          "set", projects[m], remote ? "2" : "1", devices[m], "--verify", "--timeout", "150"};
      if (remote) args.push_back("--remote");
      sets[m] = std::make_unique<Process>(args, dir_);
    }
    for (int m = 0; m < kModels; ++m) {
      SCOPED_TRACE("model " + std::to_string(m) + (remote ? " remote" : " local"));
      EXPECT_EQ(sets[m]->wait(170000), 0) << sets[m]->out() << sets[m]->err();
      const std::string out = sets[m]->out();
      EXPECT_NE(out.find("verify: every parameter reads as sent"), std::string::npos) << out;
      EXPECT_NE(out.find("> AT&W\n< OK\n"), std::string::npos) << out;
      EXPECT_EQ(out.find("> ATD") != std::string::npos, remote) << out;
      EXPECT_EQ(out.find("> AT&R") != std::string::npos, m != 2) << out;
    }
  }
  for (int m = 0; m < kModels; ++m) {
    sims[m]->signal(SIGTERM);
    sims[m]->wait(5000);
    IniFile held(simProjects[m]);
    for (const Change& c : kChanges) {
      // The simulator keeps group values per radio and writes the local
      // radio's into the project section.
      EXPECT_EQ(held.readString(c.section, c.key, "<absent>"), c.value)
          << "model " << m << " " << c.section << " " << c.key;
    }
  }
}

// A remote radio as fast as replies: every line goes once its "OK" for the
// last one is in, so the whole send takes less than one tick (real ticks
// here); every line is answered and the radio holds the values.
TEST_F(CliSet, AsFastAsRepliesARemoteRadioIsWrittenWithinATick) {
  const std::string simProject = file("sim.vro"), project = file("set.vro");
  writeGroup(simProject, 2, {0});
  fs::copy_file(simProject, project);
  IniFile ini(project);
  for (const Change& c : kChanges) ASSERT_TRUE(ini.writeString(c.section, c.key, c.value));
  std::unique_ptr<Process> sim;
  const std::string device = startSim(sim, {"--project", simProject, "--command-mode"});
  ::setenv("TESSEL_TIME_SCALE", "1", 1);
  const auto start = std::chrono::steady_clock::now();
  Process set({"set", project, "2", device, "--remote", "--fast", "--timeout", "20"}, dir_);
  ASSERT_EQ(set.wait(30000), 0) << set.out() << set.err();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
  const std::string out = set.out();
  EXPECT_NE(out.find("> ATD2\n< OK\n"), std::string::npos) << out;
  EXPECT_NE(out.find("> AT&W\n< OK\n> AT&R\n"), std::string::npos) << out;
  sim->signal(SIGTERM);
  sim->wait(5000);
  IniFile held(simProject);
  EXPECT_EQ(held.readString("Radio2", "Retries", ""), "66");
  EXPECT_EQ(held.readString("Radio2", "Parity", ""), "Even");
}

// A radio that answers "OK" before it is ready for the next line: as fast
// as replies it loses each line that follows an "OK" at once. The try rule
// catches it: a line lost once goes again at the tick and the send goes
// through; a radio never ready in time ends the send with the try message
// and a failure, nothing after the lost line sent. At a line per tick the
// same radio is always ready.
TEST_F(CliSet, ARadioSlowToBeReadyIsCaughtByTheTryRule) {
  struct Case {
    const char* name;
    bool fast;
    const char* settle;
    int status;
  };
  const Case cases[] = {
      {"ready after 100 ms, a line per tick", false, "2:100", 0},
      {"ready after 100 ms, as fast as replies", true, "2:100", 0},
      {"ready after 10 s, as fast as replies", true, "2:10000", 1},
  };
  // Ticks of 250 ms.
  ::setenv("TESSEL_TIME_SCALE", "10", 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string simProject =
        file(std::string("sim-") + c.settle + (c.fast ? "f" : "") + ".vro");
    const std::string project = file("set.vro");
    std::error_code ec;
    fs::remove(project, ec);
    writeGroup(simProject, 2, {0});
    fs::copy_file(simProject, project);
    IniFile ini(project);
    for (const Change& change : kChanges)
      ASSERT_TRUE(ini.writeString(change.section, change.key, change.value));
    std::unique_ptr<Process> sim;
    const std::string device =
        startSim(sim, {"--project", simProject, "--command-mode", "--settle", c.settle});
    std::vector<std::string> args = {"set", project, "2", device, "--remote", "--timeout", "60"};
    if (c.fast) args.push_back("--fast");
    Process set(args, dir_);
    EXPECT_EQ(set.wait(90000), c.status) << set.out() << set.err();
    sim->signal(SIGTERM);
    sim->wait(5000);
    const std::string out = set.out();
    IniFile held(simProject);
    if (c.status == 0) {
      EXPECT_NE(out.find("> AT&W\n< OK\n> AT&R\n"), std::string::npos) << out;
      EXPECT_EQ(held.readString("Radio2", "Retries", ""), "66");
      // Every line answered but the reset; as fast as replies the lines the
      // radio lost went twice.
      const size_t written = count(out, "> "), answered = count(out, "< OK");
      if (c.fast)
        EXPECT_GT(written, answered + 1) << out;
      else
        EXPECT_EQ(written, answered + 1) << out;
      continue;
    }
    EXPECT_NE(set.err().find("Too many errors in sending to radio, try increasing poll interval"),
              std::string::npos)
        << set.err();
    EXPECT_EQ(out.find("AT&W"), std::string::npos) << out;
    EXPECT_EQ(out.find("AT&R"), std::string::npos) << out;
    EXPECT_NE(held.readString("Radio2", "Retries", ""), "66") << "the radio holds nothing new";
  }
}

TEST_F(CliSet, ARadioNumberOutOfRangeIsAUsageError) {
  const std::string project = file("p.vro");
  writeGroup(project, 2, {1});
  Process bad({"set", project, "300", "/dev/null"}, dir_);
  EXPECT_NE(bad.wait(10000), 0);
  EXPECT_NE(bad.err().find("RADIO takes 0 to 254"), std::string::npos) << bad.err();
}

}  // namespace
