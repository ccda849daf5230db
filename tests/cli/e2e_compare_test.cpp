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
  // A silent radio is dialled until the engine gives up: its ticks run
  // fifty times faster.
  ::setenv("TESSEL_TIME_SCALE", "50", 1);

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

}  // namespace
