// tessel-cli group-set against simulated radios that run assignments only
// after "AT&R" and answer a dial only in the local radio's group: the
// command's order changes a group across a repeater and strands no radio,
// the same change made radio by radio in a wrong order strands one, and a
// radio that fails in phase 1 leaves every radio running as before.
#include <gtest/gtest.h>

#include <algorithm>
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

class CliGroupSet : public CliProcessTest {
 protected:
  // Radio 1 is the local master, 3 a repeater that radio 5 is heard
  // through, 4 a model 2; the group runs with group ID 7, security ID 1234.
  void SetUp() override {
    CliProcessTest::SetUp();
    project_ = file("group.vro");
    writeGroup(project_, 5, {1, 1, 1, 2});
    IniFile ini(project_);
    ASSERT_TRUE(ini.writeString("Radio3", "Radio Mode", "Repeater"));
    ASSERT_TRUE(ini.writeString("Radio5", "Master ID", "3"));
    ::setenv("TESSEL_TIME_SCALE", "50", 1);
  }

  // A simulator of the group, radio 5 behind radio 3, misbehaving as asked.
  std::string startGroup(std::unique_ptr<Process>& sim, std::vector<std::string> more = {}) {
    const std::string own = file("sim" + std::to_string(sims_++) + ".vro");
    fs::copy_file(project_, own);
    std::vector<std::string> args = {"--project", own, "--behind", "5:3"};
    args.insert(args.end(), more.begin(), more.end());
    return startSim(sim, args);
  }
  // Reads standard output until a line holding part; false when none came.
  static bool until(Process& p, const std::string& part) {
    for (std::string line = p.readLine(60000); !line.empty(); line = p.readLine(60000))
      if (line.find(part) != std::string::npos) return true;
    return false;
  }

  // A copy of the project with edits.
  std::string projectWith(const std::string& name,
                          const std::vector<std::array<const char*, 3>>& edits) {
    const std::string path = file(name);
    fs::copy_file(project_, path);
    IniFile ini(path);
    for (const auto& e : edits) EXPECT_TRUE(ini.writeString(e[0], e[1], e[2]));
    return path;
  }

  int run(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr,
          const std::string& typed = std::string()) {
    args.insert(args.end(), {"--timeout", "60"});
    Process p(args, dir_, typed);
    const int status = p.wait(90000);
    if (out) *out = p.out();
    if (err) *err = p.err();
    return status;
  }

  std::string project_;
  int sims_ = 0;
};

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(CliGroupSet, CommandsOrderCrossesARepeaterWhereAWrongOrderStrandsARadio) {
  {
    SCOPED_TRACE("the command's order, as fast as replies");
    std::unique_ptr<Process> sim;
    const std::string device = startGroup(sim);
    const std::string project = projectWith("changed.vro", {});
    std::string out, err;
    // The blocked frequencies changed, and a dialled radio does not report
    // them: only the local radio's are confirmed. (The other tests here
    // send a line per tick.)
    ASSERT_EQ(run({"group-set", project, device, "--group-id", "9", "--security-id", "4321",
                   "--blocked", "915.7", "--flush-time", "12.5", "--fast", "--yes"},
                  &out, &err),
              1)
        << out << err;
    EXPECT_TRUE(has(out, "Sending as fast as replies\n")) << out;
    // The tree and the order are shown first: radio 5 is reset before its
    // repeater, the local radio last, the model 2 written in its turn.
    const std::string plan =
        "Group tree (each radio under the radio it is heard through):\n"
        "  1 Radio 001 (Master, local radio)\n"
        "    2 Radio 002 (Slave)\n"
        "    3 Radio 003 (Repeater)\n"
        "      5 Radio 005 (Slave)\n"
        "    4 Radio 004 (Slave)\n";
    EXPECT_TRUE(has(out, plan)) << out;
    EXPECT_TRUE(has(out,
                    "Phase 2, apply with AT&R, farthest radio first, the local radio last:\n"
                    "  1. radio 5 (Radio 005): reset\n"
                    "  2. radio 2 (Radio 002): reset\n"
                    "  3. radio 3 (Radio 003): reset\n"
                    "  4. radio 4 (Radio 004): write (runs the values at once)\n"
                    "  5. radio 1 (Radio 001): reset\n"))
        << out;
    const std::string unread =
        ": new values where read; blocked frequencies not read (a dialled radio does not report "
        "them)\n";
    EXPECT_TRUE(has(out,
                    "radio 1 (Radio 001): new values\n"
                    "radio 2 (Radio 002)" +
                        unread + "radio 3 (Radio 003)" + unread + "radio 4 (Radio 004)" + unread +
                        "radio 5 (Radio 005)" + unread +
                        "1 of 5 radio(s) answer with the new values\n"))
        << out;
    IniFile ini(project);
    EXPECT_EQ(ini.readString("Project", "Group ID", ""), "9");
    EXPECT_EQ(ini.readString("Project", "Security ID", ""), "4321");
    EXPECT_EQ(ini.readString("Project", "s30", ""), "915.7");
    EXPECT_EQ(ini.readString("Project", "s31", "x"), "");
    EXPECT_EQ(ini.readString("Project", "Flush Time", ""), "12.5");
    // The group under its new settings matches the project in every value.
    EXPECT_EQ(run({"compare", project, device}, &out, &err), 0) << out << err;
  }
  {
    SCOPED_TRACE("a repeater reset before the radio behind it strands that radio");
    std::unique_ptr<Process> sim;
    const std::string device = startGroup(sim);
    const std::string project = projectWith("wrong1.vro", {{{"Project", "Group ID", "9"}}});
    // Radio by radio, each a whole send ending in "AT&R": the repeater goes
    // before the radio behind it, which is then out of reach.
    EXPECT_EQ(run({"set", project, "2", device, "--remote"}), 0);
    EXPECT_EQ(run({"set", project, "3", device, "--remote"}), 0);
    EXPECT_EQ(run({"set", project, "5", device, "--remote"}), 1);
    EXPECT_EQ(run({"set", project, "1", device}), 0);
    // The local radio joins the others; radio 5 is out of reach for good.
    EXPECT_EQ(run({"set", project, "5", device, "--remote"}), 1);
    std::string out;
    EXPECT_EQ(run({"compare", project, device, "--radios", "2,3,5"}, &out), 1);
    EXPECT_EQ(out, "5,Radio 005,No answer,,\n");
  }
  {
    SCOPED_TRACE("the local radio changed first strands every remote one");
    std::unique_ptr<Process> sim;
    const std::string device = startGroup(sim);
    const std::string project = projectWith("wrong2.vro", {{{"Project", "Group ID", "9"}}});
    EXPECT_EQ(run({"set", project, "1", device}), 0);
    EXPECT_EQ(run({"set", project, "2", device, "--remote"}), 1);
  }
}

// Phase 1 stops at a radio that does not answer, refuses a line, loses its
// link or whose "AT&W" goes unanswered; the old values go back onto every
// radio staged and every one that may be, and the group runs and holds what
// it did. Nothing meant for radio 3 reaches the local radio.
TEST_F(CliGroupSet, ARadioFailingInPhaseOneLeavesTheGroupAsItWasAndTheOldValuesBack) {
  struct Case {
    const char* what;
    std::vector<std::array<const char*, 3>> edits;
    std::vector<std::string> sim;
    std::string failure;
    std::vector<std::string> restored;
    std::vector<std::string> options = {};
  };
  const std::vector<Case> cases = {
      {"a silent radio",
       {{"Radio9", "Radio ID", "9"}, {"Radio9", "Radio Name", "Pump 9"}},
       {},
       "The radio 9 (Pump 9) did not answer in phase 1: no radio runs the new values; 2 radio(s) "
       "hold them staged (AT&W answered OK): radio 2 (Radio 002), radio 3 (Radio 003).",
       {"radio 2", "radio 3"}},
      // The first line (the group ID) is taken, the next (the new flush
      // time) refused: the radio gets its old values back too.
      {"a radio that refuses a line",
       {},
       {"--refuse", "2:S15=30"},
       "The radio 2 (Radio 002) refused a line in phase 1: no radio runs the new values; 0 "
       "radio(s) hold them staged; staged or not known (AT&W not confirmed): radio 2 (Radio 002).",
       {"radio 2"},
       {"--flush-time", "3"}},
      {"a link that drops",
       {},
       {"--drop", "3:2"},
       "The link to the radio 3 (Radio 003) was lost in phase 1: no radio runs the new values; 1 "
       "radio(s) hold them staged (AT&W answered OK): radio 2 (Radio 002); staged or not known "
       "(AT&W not confirmed): radio 3 (Radio 003).",
       {"radio 2", "radio 3"}},
      // The radio saved the values; none of its four answers came.
      {"an AT&W whose answers are lost",
       {},
       {"--lose-answer", "3:AT&W:4"},
       "The radio 3 (Radio 003) did not answer in phase 1: no radio runs the new values; 1 "
       "radio(s) hold them staged (AT&W answered OK): radio 2 (Radio 002); staged or not known "
       "(AT&W not confirmed): radio 3 (Radio 003).",
       {"radio 2", "radio 3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<Process> sim;
    const std::string device = startGroup(sim, c.sim);
    const std::string project = projectWith("failing.vro", c.edits);
    std::string out, err;
    std::vector<std::string> args = {"group-set", project, device, "--group-id", "9", "--yes"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    EXPECT_EQ(run(args, &out, &err), 1) << out << err;
    EXPECT_TRUE(has(err, c.failure)) << err;
    EXPECT_FALSE(has(out, "Phase 2 of 2")) << "nothing applied";
    std::string restored;
    for (size_t at = out.find("Restoring the old values: "); at != std::string::npos;
         at = out.find("Restoring the old values: ", at + 1))
      restored += out.substr(at + 26, 7) + ";";
    std::string expected;
    for (const std::string& r : c.restored) expected += r + ";";
    EXPECT_EQ(restored, expected) << out;
    EXPECT_TRUE(has(out, "The old values are back on every staged radio")) << out;
    EXPECT_EQ(IniFile(project).readString("Project", "Group ID", ""), "7");
    // Every radio still runs, and holds, the old group: the group matches
    // the project it started from.
    EXPECT_EQ(run({"compare", project_, device}, &out, &err), 0) << out << err;
    fs::remove(project);
  }
}

// Without --yes the user's answers decide: "n" sends nothing; after a
// silent radio stops phase 1, "w" writes the old values back and "l"
// leaves the staged radios as they are (no reset, so still running the old
// values, with the new ones stored).
TEST_F(CliGroupSet, TheAnswersTypedDecideWhatIsSent) {
  struct Case {
    const char* typed;
    std::vector<std::array<const char*, 3>> edits;
    const char* said;
    bool restored;
    int compare;  // exit status of a compare with the old project after
  };
  const std::vector<Case> cases = {
      {"n\n", {}, "not confirmed; nothing was sent", false, 0},
      {"y\nw\n",
       {{"Radio9", "Radio ID", "9"}, {"Radio9", "Radio Name", "Pump 9"}},
       "did not answer in phase 1",
       true,
       0},
      {"y\nl\n",
       {{"Radio9", "Radio ID", "9"}, {"Radio9", "Radio Name", "Pump 9"}},
       "did not answer in phase 1",
       false,
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    std::unique_ptr<Process> sim;
    const std::string device = startGroup(sim);
    const std::string project = projectWith("typed.vro", c.edits);
    std::string out, err;
    EXPECT_EQ(run({"group-set", project, device, "--group-id", "9"}, &out, &err, c.typed), 1)
        << out << err;
    EXPECT_TRUE(has(err, c.said)) << err;
    EXPECT_EQ(has(out, "The old values are back on every staged radio"), c.restored) << out;
    EXPECT_FALSE(has(out, "Phase 2 of 2")) << "nothing applied";
    EXPECT_EQ(IniFile(project).readString("Project", "Group ID", ""), "7");
    // Every radio still runs the old group: each answers its dial. Staged
    // values left in place show as differences, restored ones do not.
    EXPECT_EQ(run({"compare", project_, device}, &out, &err), c.compare) << out << err;
    fs::remove(project);
  }
}

// Phase 2 runs through to the local radio's reset whatever happens to one
// remote radio: one whose dial goes unanswered (a wrong tree resets its
// repeater first; or it went out of reach), or whose link drops right after
// its dial (its "AT&R" must not reset the local radio). It holds the new
// values saved and joins at its next restart; every other radio runs them.
TEST_F(CliGroupSet, PhaseTwoGoesOnPastARadioItCannotReset) {
  struct Case {
    const char* what;
    std::vector<std::array<const char*, 3>> edits;
    std::vector<std::string> sim;
    std::string said;
  };
  const std::vector<Case> cases = {
      {"a wrong tree", {{"Radio5", "Master ID", "1"}}, {}, "did not answer its dial in phase 2"},
      {"out of reach in phase 2", {}, {"--dials", "5:1"}, "did not answer its dial in phase 2"},
      {"its link drops", {}, {"--drop", "5:0@2"}, "lost its link in phase 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<Process> sim;
    const std::string device = startGroup(sim, c.sim);
    const std::string project = projectWith("through.vro", c.edits);
    std::string out, err;
    EXPECT_EQ(run({"group-set", project, device, "--group-id", "9", "--yes"}, &out, &err), 1)
        << out << err;
    EXPECT_TRUE(has(err, "radio 5 (Radio 005) " + c.said +
                             ": it holds the new values saved and joins the group at its next "
                             "restart."))
        << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_TRUE(has(out, "[10/10] Phase 2 of 2: radio 1 (Radio 001): reset")) << out;
    EXPECT_TRUE(has(out,
                    "radio 5 (Radio 005): no answer\n4 of 5 radio(s) answer with the new "
                    "values"))
        << out;
    EXPECT_EQ(IniFile(project).readString("Project", "Group ID", ""), "9");
    fs::remove(project);
  }
}

// SIGINT, SIGTERM or SIGHUP once phase 2 began wait for its end: every radio
// is reset, the project takes the new values, and only the read after is
// left out. In phase 1 each ends as Cancel does: the old values go back.
TEST_F(CliGroupSet, SignalsWaitForPhaseTwoAndEndPhaseOneAsCancelDoes) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    for (int phase : {1, 2}) {
      SCOPED_TRACE(std::to_string(sig) + " in phase " + std::to_string(phase));
      std::unique_ptr<Process> sim;
      const std::string device = startGroup(sim);
      const std::string project = projectWith("signalled.vro", {});
      Process p({"group-set", project, device, "--group-id", "9", "--yes", "--timeout", "60"},
                dir_);
      ASSERT_TRUE(until(p, phase == 1 ? "Phase 1 of 2: radio 3" : "Phase 2 of 2: radio 2"));
      p.signal(sig);
      EXPECT_EQ(p.wait(90000), 1) << p.out() << p.err();
      std::string out, err;
      if (phase == 1) {
        EXPECT_TRUE(has(p.out(), "The old values are back on every staged radio")) << p.out();
        EXPECT_EQ(IniFile(project).readString("Project", "Group ID", ""), "7");
        EXPECT_EQ(run({"compare", project_, device}, &out, &err), 0) << out << err;
      } else {
        EXPECT_TRUE(has(p.out(), "[10/10] Phase 2 of 2: radio 1")) << p.out();
        EXPECT_TRUE(has(p.err(), "phase 2 was seen through first")) << p.err();
        EXPECT_FALSE(has(p.out(), "Reading the group")) << p.out();
        EXPECT_EQ(IniFile(project).readString("Project", "Group ID", ""), "9");
        EXPECT_EQ(run({"compare", project, device}, &out, &err), 0) << out << err;
      }
      fs::remove(project);
    }
  }
}

}  // namespace
