// A project named on the command line, as the file manager starts the
// program for a .vro file.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/program_path.h"
#include "model/project.h"
#include "model/project_lock.h"
#include "window_fixture.h"

namespace tessel::testing {
namespace {

TEST(StartProjectArgument, FirstArgumentOrTheOneAfterEmulate) {
  struct Case {
    std::vector<std::string> args;
    std::string project;
  };
  for (const Case& c :
       {Case{{"tessel"}, ""}, Case{{"tessel", "/p/group.vro"}, "/p/group.vro"},
        Case{{"tessel", "-emulate"}, ""}, Case{{"tessel", "-emulate", "g.vro"}, "g.vro"},
        Case{{"tessel", "--version"}, ""}, Case{{"tessel", "-x", "g.vro"}, ""},
        Case{{"tessel", "-emulate", "-x"}, ""}, Case{{"tessel", ""}, ""}}) {
    std::vector<char*> argv;
    for (const std::string& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
    EXPECT_EQ(projectArgument(static_cast<int>(argv.size()), argv.data()), c.project)
        << c.args.back();
  }
}

TEST(StartMetricsArgument, TakenOutOfTheArgumentsWhereverItIs) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    std::string address;
    std::vector<std::string> rest;
  };
  for (const Case& c :
       {Case{{"tessel", "g.vro"}, true, "", {"tessel", "g.vro"}},
        Case{{"tessel", "--metrics", ":9100", "g.vro"}, true, ":9100", {"tessel", "g.vro"}},
        Case{{"tessel", "-emulate", "g.vro", "--metrics=127.0.0.1:0"},
             true,
             "127.0.0.1:0",
             {"tessel", "-emulate", "g.vro"}},
        Case{{"tessel", "--metrics"}, false, "", {}},
        Case{{"tessel", "--metrics", "9100"}, false, "", {}}}) {
    std::vector<char*> argv;
    for (const std::string& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int argc = static_cast<int>(c.args.size());
    std::string address, error;
    ASSERT_EQ(takeMetricsOption(argc, argv.data(), address, error), c.ok) << c.args.back();
    if (!c.ok) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(address, c.address);
    EXPECT_EQ(std::vector<std::string>(argv.begin(), argv.begin() + argc), c.rest);
    EXPECT_EQ(argv[argc], nullptr);
  }
}

class StartProjectTest : public WindowTest {
 protected:
  Wiring& startWith(const std::string& project) {
    WiringOptions o;
    o.dataDir = dir;
    o.settings = &settings;
    o.prompts = &prompts;
    o.timer = &timer;
    o.projectPath = project;
    wiring = std::make_unique<Wiring>(o);
    return *wiring;
  }
};

TEST_F(StartProjectTest, ReadableProjectOpensInProjectMode) {
  const std::string path = dir + "/site group.vro";
  std::ofstream(path) << "[Group]\n";
  startWith(path);
  ASSERT_NE(window().model().project(), nullptr);
  EXPECT_EQ(window().model().project()->fileName(), path);
  EXPECT_EQ(panel().WindowMode, wmProject);
  EXPECT_TRUE(action("projectClose")->isEnabled());
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(StartProjectTest, UnreadablePathIsNamedAndTheDefaultProjectStays) {
  std::filesystem::create_directories(dir + "/folder.vro");
  struct Case {
    std::string path;
    std::string reason;
  };
  for (const Case& c : {Case{dir + "/missing.vro", "No such file or directory"},
                        Case{dir + "/folder.vro", "not a regular file"}}) {
    SCOPED_TRACE(c.path);
    prompts.shown.clear();
    startWith(c.path);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_NE(prompts.shown[0].text.find(c.path), std::string::npos);
    EXPECT_NE(prompts.shown[0].text.find(c.reason), std::string::npos);
    ASSERT_NE(window().model().project(), nullptr);
    EXPECT_EQ(window().model().project()->fileName(), window().defaultProjectPath());
    EXPECT_NE(panel().WindowMode, wmProject);
    EXPECT_FALSE(std::filesystem::exists(dir + "/missing.vro"));  // nothing made
    wiring.reset();
  }
}

TEST_F(StartProjectTest, AProjectAnotherProgramHasOpenIsRefusedWithItsHolderNamed) {
  const std::string path = dir + "/site group.vro";
  std::ofstream(path) << "[Radio4]\nRadio ID=4\n";
  ProjectLock other;  // another program's, as far as the window can tell
  std::string error;
  ASSERT_TRUE(other.take(path, error)) << error;
  startWith(path);
  EXPECT_EQ(prompts.texts(),
            (std::vector<std::string>{"The project could not be opened: " + path + " is open in " +
                                      program_invocation_short_name + " (process " +
                                      std::to_string(::getpid()) + "); close it there first"}));
  ASSERT_NE(window().model().project(), nullptr);
  EXPECT_EQ(window().model().project()->fileName(), window().defaultProjectPath());
  EXPECT_NE(panel().WindowMode, wmProject);
  EXPECT_FALSE(action("projectClose")->isEnabled());
}

}  // namespace
}  // namespace tessel::testing
