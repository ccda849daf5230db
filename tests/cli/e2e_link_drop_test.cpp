// tessel-cli against simulated radios whose link to radio 5 drops with
// "NO CARRIER" part-way through: each command names the radio lost, takes
// none of the local radio's answers for radio 5's, and sends the local radio
// nothing meant for radio 5.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class CliLinkDrop : public CliProcessTest {
 protected:
  void SetUp() override {
    CliProcessTest::SetUp();
    original_ = file("group.vro");
    writeGroup(original_, 5, {0, 1});
    ::setenv("TESSEL_TIME_SCALE", "50", 1);
  }

  // A simulator of the group whose link to radio 5 drops after lines
  // commands; its radios' saved registers go to simProject at the end.
  std::string startDropping(std::unique_ptr<Process>& sim, int lines) {
    simProject_ = file("sim" + std::to_string(sims_++) + ".vro");
    fs::copy_file(original_, simProject_);
    return startSim(sim, {"--project", simProject_, "--drop", "5:" + std::to_string(lines)});
  }
  // What the simulated radios hold once the simulator ended.
  IniFile held(std::unique_ptr<Process>& sim) {
    sim->signal(SIGTERM);
    sim->wait(5000);
    return IniFile(simProject_);
  }

  struct Ran {
    int status;
    std::string out, err;
  };
  Ran run(std::vector<std::string> args) {
    args.insert(args.end(), {"--timeout", "60"});
    Process p(args, dir_);
    const int status = p.wait(90000);
    return {status, p.out(), p.err()};
  }

  std::string original_, simProject_;
  int sims_ = 0;
};

// set --remote: dropped after the dial's first assignment or later, the
// send ends there naming radio 5; the local master keeps its own settings
// and radio 5 saved nothing.
TEST_F(CliLinkDrop, SetRemoteStopsAtTheDropAndTheLocalRadioKeepsItsSettings) {
  const std::string project = file("set.vro");
  fs::copy_file(original_, project);
  {
    IniFile ini(project);
    ASSERT_TRUE(ini.writeString("Radio5", "Retries", "33"));
    ASSERT_TRUE(ini.writeString("Radio5", "Radio Mode", "Slave"));
  }
  for (int lines : {1, 3}) {
    SCOPED_TRACE(lines);
    std::unique_ptr<Process> sim;
    const std::string device = startDropping(sim, lines);
    const Ran set = run({"set", project, "5", device, "--remote"});
    EXPECT_EQ(set.status, 1) << set.out << set.err;
    EXPECT_TRUE(has(set.err, "The link to radio 5 was lost")) << set.err;
    EXPECT_FALSE(has(set.out, "> AT&W")) << set.out;
    IniFile radios = held(sim);
    EXPECT_EQ(radios.readString("Radio1", "Retries", ""), "50");
    EXPECT_EQ(radios.readString("Radio1", "Radio Mode", ""), "Master");
    EXPECT_EQ(radios.readString("Radio1", "Radio ID", ""), "1");
    EXPECT_EQ(radios.readString("Radio5", "Retries", ""), "50") << "nothing saved";
  }
}

// compare and monitor: what radio 5 gave before the drop is its own, the
// rest is not asked of the local radio in its place.
TEST_F(CliLinkDrop, CompareAndMonitorTakeNoneOfTheLocalRadiosAnswersForRadio5) {
  {
    SCOPED_TRACE("compare");
    std::unique_ptr<Process> sim;
    const std::string device = startDropping(sim, 3);
    const Ran compare = run({"compare", original_, device});
    EXPECT_EQ(compare.status, 1) << compare.out << compare.err;
    EXPECT_EQ(compare.out, "5,Radio 005,No answer,,\n") << compare.err;
  }
  {
    SCOPED_TRACE("monitor");
    std::unique_ptr<Process> sim;
    const std::string device = startDropping(sim, 2);
    const Ran monitor = run({"monitor", original_, device, "--interval", "0.2", "--cycles", "1"});
    EXPECT_EQ(monitor.status, 0) << monitor.err;
    EXPECT_TRUE(has(monitor.err, "The link to radio 5 was lost")) << monitor.err;
    std::istringstream in(monitor.out);
    int radio5 = 0;
    for (std::string line; std::getline(in, line);) {
      if (line.find(",5,Radio 005,") == std::string::npos) continue;
      ++radio5;
      // time,radio_id,name,rssi,volts,temp_c: its volts and temperature
      // were never asked.
      EXPECT_EQ(line.substr(line.size() - 2), ",,") << line;
    }
    EXPECT_EQ(radio5, 1) << monitor.out;
  }
}

}  // namespace
