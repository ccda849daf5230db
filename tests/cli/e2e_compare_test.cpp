// tessel-cli compare against simulated radios: what differs between a group
// and its project, radios that do not answer and radios of another model,
// each with its exit status, and nothing written anywhere.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

class CliCompare : public CliProcessTest {};

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Edit {
  const char* section;
  const char* key;
  const char* value;
};

struct Case {
  const char* what;
  std::vector<Edit> edits;  // made to a copy of the group's project
  std::vector<std::string> options;
  int status;
  std::string out;
};

TEST_F(CliCompare, ReportsEachDifferenceSilentRadioAndWrongModelWithItsStatus) {
  // Radio 1 (model E) is the local master; 2 is model 2, 3 model 1, 4 model E.
  const std::string simProject = file("sim.vro");
  writeGroup(simProject, 4, {0, 2, 1});
  std::unique_ptr<Process> sim;
  const std::string device = startSim(sim, {"--project", simProject});
  ASSERT_FALSE(device.empty());
  // A silent radio is dialled until the engine gives up: its ticks run ten
  // times faster (faster still, a loaded machine misses a reply's tick).
  ::setenv("TESSEL_TIME_SCALE", "10", 1);

  const std::vector<Case> cases = {
      {"matching group", {}, {}, 0, ""},
      {"drifted radios",
       {{"Radio2", "Retries", "7"},
        {"Radio4", "Parity", "Even"},
        {"Radio1", "PLC Address", "12"},
        {"Project", "s33", "915.5"}},
       {},
       3,
       "1,Radio 001,Blocked Frequency 4,915.5,\n"
       "1,Radio 001,PLC Address,12,0\n"
       "2,Radio 002,Retries,7,10\n"
       "4,Radio 004,Parity,Even,None\n"},
      {"only the radios asked for",
       {{"Radio2", "Retries", "7"}, {"Radio4", "Parity", "Even"}},
       {"--radios", "4"},
       3,
       "4,Radio 004,Parity,Even,None\n"},
      {"wrong models",
       {{"Radio3", "Radio Model", "Vireo E"}, {"Radio2", "Radio Model", "Vireo Version 2"}},
       {},
       3,
       "2,Radio 002,Radio Model,Vireo Version 2,Vireo Version 1\n"
       "3,Radio 003,Radio Model,Vireo E,Vireo Version 2\n"},
      {"silent radio",
       {{"Radio9", "Radio ID", "9"},
        {"Radio9", "Radio Name", "Pump 9"},
        {"Radio3", "Retries", "3"}},
       {},
       1,
       "3,Radio 003,Retries,3,50\n"
       "9,Pump 9,No answer,,\n"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string project = file("compare" + std::to_string(n++) + ".vro");
    fs::copy_file(simProject, project);
    {
      IniFile ini(project);
      for (const Edit& e : c.edits) ASSERT_TRUE(ini.writeString(e.section, e.key, e.value));
    }
    const std::string before = contents(project);
    std::vector<std::string> args = {"compare", project, device, "--trace", "--timeout", "60"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    Process compare(args, dir_);
    EXPECT_EQ(compare.wait(70000), c.status) << compare.err();
    EXPECT_EQ(compare.out(), c.out);
    // Only read: the project as it was, and no line that writes a radio.
    EXPECT_EQ(contents(project), before);
    const std::string trace = compare.err();
    EXPECT_EQ(trace.find("&W"), std::string::npos);
    EXPECT_EQ(trace.find("="), std::string::npos) << trace;
    EXPECT_NE(trace.find("ATS26?"), std::string::npos);
  }
  sim->signal(SIGTERM);
  sim->wait(5000);
}

// A model-1 local master is read in full like every other radio and the
// read goes on to the next radio (it once dialled the local radio for ever).
TEST_F(CliCompare, AModelOneLocalMasterIsReadOnceAndTheOthersAfterIt) {
  const std::string simProject = file("sim.vro");
  writeGroup(simProject, 3, {1});
  std::unique_ptr<Process> sim;
  const std::string device = startSim(sim, {"--project", simProject});
  ASSERT_FALSE(device.empty());
  ::setenv("TESSEL_TIME_SCALE", "50", 1);
  const std::string project = file("group.vro");
  fs::copy_file(simProject, project);
  Process compare({"compare", project, device, "--timeout", "20"}, dir_);
  EXPECT_EQ(compare.wait(30000), 0) << compare.out() << compare.err();
  EXPECT_EQ(compare.out(), "");
  sim->signal(SIGTERM);
  sim->wait(5000);
}

// Radios refusing one register each: the refusal is a row, the registers
// after it are still compared, a model E refusing S20 is still a model E,
// and the status says the group was not fully read. A radio the project
// lacks is a wrong command: nothing is read.
TEST_F(CliCompare, ARefusedRegisterIsARowAndTheReadGoesOn) {
  // Radios 1, 3 and 5 are model E, 2 and 4 model 1.
  const std::string simProject = file("sim.vro");
  writeGroup(simProject, 5, {0, 1});
  std::unique_ptr<Process> sim;
  const std::string device =
      startSim(sim, {"--project", simProject, "--answer", "2:13=ERROR,3:20=ERROR,5:102=ERROR"});
  ASSERT_FALSE(device.empty());
  const std::string project = file("group.vro");
  fs::copy_file(simProject, project);
  {
    IniFile ini(project);
    ASSERT_TRUE(ini.writeString("Radio2", "Parity", "Even"));
    ASSERT_TRUE(ini.writeString("Radio5", "Radio OFF Time", "200"));
  }
  Process compare({"compare", project, device, "--timeout", "30"}, dir_);
  EXPECT_EQ(compare.wait(40000), 1) << compare.err();
  EXPECT_EQ(compare.out(),
            "2,Radio 002,Retries,50,not read: refused\n"
            "2,Radio 002,Parity,Even,None\n"
            "3,Radio 003,Baud rate,9600,not read: refused\n"
            "5,Radio 005,Main Serial Port,232,not read: refused\n"
            "5,Radio 005,Radio OFF Time,200,100\n");

  for (const char* radios : {"8", "2,8"}) {
    Process unknown({"compare", project, device, "--radios", radios, "--trace"}, dir_);
    EXPECT_EQ(unknown.wait(10000), 2) << radios;
    EXPECT_EQ(unknown.out(), "");
    EXPECT_NE(unknown.err().find("tessel-cli: the project " + project + " has no radio 8"),
              std::string::npos)
        << unknown.err();
    EXPECT_EQ(unknown.err().find("ATI"), std::string::npos) << "nothing is read";
  }
  sim->signal(SIGTERM);
  sim->wait(5000);
}

// The local radio's pages carry its blocked frequencies, also on a model 2
// (read from its pages, then dialled like the others); the flush time is
// compared in the tenths its register holds.
TEST_F(CliCompare, BlockedFrequenciesAndTenthsOfTheFlushTimeAreCompared) {
  const std::string simProject = file("sim.vro");
  writeGroup(simProject, 2, {2, 0});
  {
    IniFile ini(simProject);
    ASSERT_TRUE(ini.writeString("Project", "Flush Time", "1200.5"));
  }
  std::unique_ptr<Process> sim;
  const std::string device = startSim(sim, {"--project", simProject});
  ASSERT_FALSE(device.empty());
  const std::string same = file("same.vro");
  fs::copy_file(simProject, same);
  Process matching({"compare", same, device, "--timeout", "30"}, dir_);
  EXPECT_EQ(matching.wait(40000), 0) << matching.out() << matching.err();
  EXPECT_EQ(matching.out(), "");

  const std::string moved = file("moved.vro");
  fs::copy_file(simProject, moved);
  {
    IniFile ini(moved);
    ASSERT_TRUE(ini.writeString("Project", "s30", "915.8"));
    ASSERT_TRUE(ini.writeString("Project", "s31", ""));
    ASSERT_TRUE(ini.writeString("Project", "Flush Time", "1200"));
  }
  Process differing({"compare", moved, device, "--timeout", "30"}, dir_);
  EXPECT_EQ(differing.wait(40000), 3) << differing.err();
  EXPECT_EQ(differing.out(),
            "1,Radio 001,Flush Time,1200,1200.5\n"
            "1,Radio 001,Blocked Frequency 1,915.8,902.7\n"
            "1,Radio 001,Blocked Frequency 2,,912.7\n"
            "2,Radio 002,Flush Time,1200,1200.5\n");
  sim->signal(SIGTERM);
  sim->wait(5000);
}

}  // namespace
