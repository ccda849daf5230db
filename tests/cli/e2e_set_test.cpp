// tessel-cli set against simulated radios: what it writes is what the radio
// then holds, for each model, to the local radio and dialled through it.
#include <gtest/gtest.h>

#include <array>
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

TEST_F(CliSet, ARadioNumberOutOfRangeIsAUsageError) {
  const std::string project = file("p.vro");
  writeGroup(project, 2, {1});
  Process bad({"set", project, "300", "/dev/null"}, dir_);
  EXPECT_NE(bad.wait(10000), 0);
  EXPECT_NE(bad.err().find("RADIO takes 0 to 254"), std::string::npos) << bad.err();
}

}  // namespace
