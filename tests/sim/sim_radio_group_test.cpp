#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "model/catalogue.h"
#include "sim/sim_project.h"
#include "sim/sim_radio_group.h"

using namespace tessel;
using namespace tessel::sim;

namespace {

// A group of `count` default radios of the given models, in command mode.
SimRadioGroup makeGroup(int count, std::vector<int> models) {
  SimSetup setup;
  std::string error;
  EXPECT_TRUE(defaultSetup(count, models, setup, error)) << error;
  SimRadioGroup group(std::move(setup.radios), setup.local);
  group.setCommandMode(true);
  return group;
}

std::string send(SimRadioGroup& g, const std::string& line, int64_t t = 0) {
  return g.feed(line + "\r", t);
}

// Splits CR LF framed output into lines; fails on a line without CR LF.
std::vector<std::string> lines(const std::string& out) {
  std::vector<std::string> result;
  size_t at = 0;
  while (at < out.size()) {
    size_t end = out.find("\r\n", at);
    EXPECT_NE(end, std::string::npos) << "unterminated: " << out.substr(at);
    if (end == std::string::npos) break;
    result.push_back(out.substr(at, end - at));
    at = end + 2;
  }
  return result;
}

// Reads one field of a dump line the way the configurator does: up to
// `width` leading blanks dropped, the rest of the field taken.
std::string takeField(std::string& line, size_t width) {
  std::string f = line.substr(0, std::min(width, line.size()));
  line.erase(0, f.size());
  size_t b = f.find_first_not_of(' ');
  return b == std::string::npos ? std::string() : f.substr(b);
}

bool allDigits(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// register -> text from the numbered rows of a page.
std::map<int, std::string> parsePage(const std::vector<std::string>& page) {
  std::map<int, std::string> regs;
  for (std::string line : page) {
    std::string reg = takeField(line, 5);
    takeField(line, 2);
    if (!allDigits(reg)) continue;
    for (int i = 0; i < 10; ++i) regs[std::stoi(reg) + i] = takeField(line, 7);
  }
  return regs;
}

}  // namespace

TEST(SimRadioGroup, DataModeAnswersOnlyTheEscape) {
  SimSetup setup;
  std::string error;
  ASSERT_TRUE(defaultSetup(2, {0}, setup, error));
  SimRadioGroup g(std::move(setup.radios));
  EXPECT_EQ(send(g, "AT"), "");
  EXPECT_EQ(send(g, "ATS0?"), "");
  // The escape is taken without a carriage return; the CR after it is an
  // empty line and gets no answer.
  EXPECT_EQ(g.feed("+++", 0), "OK\r\n");
  EXPECT_EQ(g.feed("\r\n", 0), "");
  EXPECT_EQ(send(g, "AT"), "OK\r\n");
  // The escape again, from command mode, is still answered.
  EXPECT_EQ(send(g, "+++"), "OK\r\n");

  // Data without line ends, even more than a command line holds, does not
  // hide the escape that follows it.
  EXPECT_EQ(send(g, "ATH"), "OK\r\n");
  std::string data(300, '\x01');
  data += "a+b++c";
  EXPECT_EQ(g.feed(data, 0), "");
  EXPECT_EQ(g.feed("+++", 0), "OK\r\n");
  EXPECT_EQ(send(g, "AT"), "OK\r\n");
}

TEST(SimRadioGroup, CommandReplies) {
  // Local radio model 0, then models 1 and 2 (radio IDs 1, 2, 3).
  SimRadioGroup g = makeGroup(3, {0, 1, 2});
  struct Case {
    const char* line;
    const char* reply;
  } cases[] = {
      {"AT", "OK\r\n"},
      {"at", "OK\r\n"},
      {"ATI", "V2.10\r\n"},  // no OK after the version line
      {"ATS0?", "7\r\nOK\r\n"},
      {"ats2?", "1234\r\nOK\r\n"},
      {"ATS3?", "M\r\nOK\r\n"},
      {"ATS15?", "12000\r\nOK\r\n"},
      {"ATS30?", "9027\r\nOK\r\n"},
      {"ATS102?", "232\r\nOK\r\n"},
      {"ATS112?", "06:00\r\nOK\r\n"},
      {"ATS9?", "ERROR\r\n"},
      {"ATS99999999999?", "ERROR\r\n"},
      {"ATS-1?", "ERROR\r\n"},
      {"ATS?", "ERROR\r\n"},
      {"ATD99999999999", "ERROR\r\n"},
      {"ATD9", ""},  // no such radio: the link attempt times out unanswered
      {"ATD0", ""},
      {"ATD254", ""},
      {"ATD255", "ERROR\r\n"},
      {"ATD-1", "ERROR\r\n"},
      {"ATDX", "ERROR\r\n"},
      {"ATD2X", "ERROR\r\n"},
      {"ATI4", "ERROR\r\n"},
      {"ATX", "ERROR\r\n"},
      {"HELLO", "ERROR\r\n"},
      {"", ""},
      {"AT&W", "OK\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(send(g, c.line), c.reply) << c.line;

  // Remote radios answer for themselves once dialled; ATH comes back.
  EXPECT_EQ(send(g, "ATD2"), "OK\r\n");
  EXPECT_EQ(send(g, "ATI"), "V2.04\r\n");
  EXPECT_EQ(send(g, "ATS1?"), "2\r\nOK\r\n");
  EXPECT_EQ(send(g, "ATS100?"), "ERROR\r\n");   // model 1 has no model-E registers
  EXPECT_EQ(send(g, "ATS12?"), "1\r\nOK\r\n");  // the master it is attached to
  EXPECT_EQ(send(g, "ATD3"), "OK\r\n");
  EXPECT_EQ(send(g, "ATI"), "1.14\r\n");
  EXPECT_EQ(send(g, "ATS16?"), "ERROR\r\n");
  EXPECT_EQ(send(g, "ATS17?"), "ERROR\r\n");
  EXPECT_EQ(send(g, "ATS4?"), "N\r\nOK\r\n");
  EXPECT_EQ(send(g, "ATD1"), "OK\r\n");  // the local radio can be dialled too
  EXPECT_EQ(g.addressedIndex(), 0u);
  EXPECT_EQ(send(g, "ATD3"), "OK\r\n");
  EXPECT_EQ(send(g, "ATH"), "OK\r\n");
  EXPECT_EQ(g.addressedIndex(), 0u);
  EXPECT_FALSE(g.inCommandMode());  // hanging up leaves command mode
  EXPECT_EQ(send(g, "ATI"), "");
}

TEST(SimRadioGroup, AnUnansweredDialDropsTheEarlierLink) {
  SimRadioGroup g = makeGroup(3, {0, 1, 2});
  EXPECT_EQ(send(g, "ATD3"), "OK\r\n");
  EXPECT_EQ(g.addressedIndex(), 2u);
  EXPECT_EQ(send(g, "ATD5"), "");
  // Still in command mode, now talking to the local radio again.
  EXPECT_TRUE(g.inCommandMode());
  EXPECT_EQ(g.addressedIndex(), 0u);
  EXPECT_EQ(send(g, "ATI"), "V2.10\r\n");
  // A refused number leaves the link as it was.
  EXPECT_EQ(send(g, "ATD2"), "OK\r\n");
  EXPECT_EQ(send(g, "ATD300"), "ERROR\r\n");
  EXPECT_EQ(g.addressedIndex(), 1u);
}

TEST(SimRadioGroup, LineFraming) {
  SimRadioGroup g = makeGroup(1, {0});
  // LF is ignored wherever it comes; each CR ends a line.
  EXPECT_EQ(g.feed("A\nT\r\n", 0), "OK\r\n");
  EXPECT_EQ(g.feed("AT\rAT\r", 0), "OK\r\nOK\r\n");
  // Configuration lines arrive with two CRs: the empty second line is quiet.
  EXPECT_EQ(g.feed("ATs13=20\r\r", 0), "OK\r\n");
  // Byte by byte gives the same as all at once.
  std::string out;
  for (char c : std::string("ATS13?\r")) out += g.feed(std::string(1, c), 0);
  EXPECT_EQ(out, "20\r\nOK\r\n");
  // An over-long line is refused as a whole, and the next one works.
  EXPECT_EQ(g.feed(std::string(1000, 'A') + "\r", 0), "ERROR\r\n");
  EXPECT_EQ(send(g, "AT"), "OK\r\n");
}

TEST(SimRadioGroup, NulBytesAreDroppedFromCommandLines) {
  using namespace std::string_literals;
  SimRadioGroup g = makeGroup(1, {0});
  EXPECT_EQ(g.feed("A\0T\0\r"s, 0), "OK\r\n");
  EXPECT_EQ(g.feed("AT\r\0ATS13?\r"s, 0), "OK\r\n" + send(g, "ATS13?"));
  EXPECT_EQ(g.feed("\0\0\r"s, 0), "") << "a line of NULs is an empty line";
  EXPECT_EQ(g.feed("+\0++"s, 0), "OK\r\n") << "nor do they break the escape";
}

TEST(SimRadioGroup, AssignmentLines) {
  SimRadioGroup g = makeGroup(2, {0, 2});
  SimRadio& local = g.radios()[0];
  // Several assignments in one line, lower-case "s", letter values that
  // start with "S" themselves.
  EXPECT_EQ(send(g, "ATs1=12s0=1"), "OK\r\n");
  EXPECT_EQ(local.current(1), "12");
  EXPECT_EQ(local.current(0), "1");
  EXPECT_EQ(send(g, "ATs3=Ss4=N"), "OK\r\n");
  EXPECT_EQ(local.current(3), "S");
  EXPECT_EQ(local.current(4), "N");
  EXPECT_EQ(send(g, "ATs20=300s23=e"), "OK\r\n");
  EXPECT_EQ(local.current(23), "E");
  EXPECT_EQ(send(g, "ATs111=9:05"), "OK\r\n");
  EXPECT_EQ(send(g, "ATs13=007"), "OK\r\n");
  EXPECT_EQ(local.current(13), "7");

  // One bad assignment refuses the whole line: nothing of it is taken.
  struct Bad {
    const char* line;
  } bad[] = {{"ATs0=5s13=256"},
             {"ATs0=5s2=65535"},
             {"ATs0=5s3=X"},
             {"ATs0=5s20=1000"},
             {"ATs0=5s13="},
             {"ATs0=5s10=-60"},
             {"ATs0=5s9=1"},
             {"ATs0=5s30=9019"},
             {"ATs0=5s112=24:00"},
             {"ATs0=5s99999999999=1"},
             {"ATs0=5x"},
             {"ATs0=0"},
             {"ATs0=5s=1"},
             {"ATsxs0=5"},
             {"ATs"}};
  for (const Bad& b : bad) {
    EXPECT_EQ(send(g, b.line), "ERROR\r\n") << b.line;
    EXPECT_EQ(local.current(0), "1") << b.line;
  }
  // Blocked frequencies take 0 (none) or the band in tenths.
  EXPECT_EQ(send(g, "ATs30=0s31=9157"), "OK\r\n");

  // A model-2 radio is written with digits for handshaking and buffer mode.
  EXPECT_EQ(send(g, "ATD2"), "OK\r\n");
  EXPECT_EQ(send(g, "ATs24=1s26=1s12=5"), "OK\r\n");
  EXPECT_EQ(g.radios()[1].current(24), "1");
  EXPECT_EQ(send(g, "ATs100=1"), "ERROR\r\n");
}

TEST(SimRadioGroup, SaveAndReset) {
  SimRadioGroup g = makeGroup(2, {0, 1});
  SimRadio& local = g.radios()[0];
  EXPECT_EQ(send(g, "ATs13=20"), "OK\r\n");
  EXPECT_EQ(local.saved(13), "50");
  // A reset without saving restores the saved value, answers nothing and
  // brings the local radio back on line.
  EXPECT_EQ(send(g, "AT&R"), "");
  EXPECT_EQ(local.current(13), "50");
  EXPECT_FALSE(g.inCommandMode());
  EXPECT_EQ(g.feed("+++\r", 0), "OK\r\n");
  EXPECT_EQ(send(g, "ATs13=20"), "OK\r\n");
  EXPECT_EQ(send(g, "AT&W"), "OK\r\n");
  EXPECT_EQ(send(g, "AT&R"), "");
  EXPECT_EQ(local.saved(13), "20");
  EXPECT_EQ(local.current(13), "20");

  // Resetting a remote radio drops the link; the local radio stays in
  // command mode.
  EXPECT_EQ(g.feed("+++\r", 0), "OK\r\n");
  EXPECT_EQ(send(g, "ATD2"), "OK\r\n");
  EXPECT_EQ(send(g, "ATs1=9s13=3"), "OK\r\n");
  EXPECT_EQ(send(g, "AT&W"), "OK\r\n");
  EXPECT_EQ(send(g, "AT&R"), "");
  EXPECT_TRUE(g.inCommandMode());
  EXPECT_EQ(g.addressedIndex(), 0u);
  // Renumbered: reachable under its new radio ID only.
  EXPECT_EQ(send(g, "ATD2"), "");
  EXPECT_EQ(send(g, "ATD9"), "OK\r\n");
  EXPECT_EQ(send(g, "ATS13?"), "3\r\nOK\r\n");
}

TEST(SimRadioGroup, PageOneCarriesEveryReadableRegister) {
  for (int model = 0; model < kModelCount; ++model) {
    SCOPED_TRACE(model);
    SimRadioGroup g = makeGroup(1, {model});
    SimRadio& radio = g.radios()[0];
    std::vector<std::string> page = lines(send(g, "ATI1", 5000));
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(page.back(), "OK");
    page.pop_back();
    for (std::string l : page) {
      std::string copy = l;
      if (allDigits(takeField(copy, 5))) {
        EXPECT_EQ(l.size(), 5u + 2u + 70u) << l;
      }
    }
    std::map<int, std::string> regs = parsePage(page);
    for (const RegisterRow& row : registerMap(model)) {
      if (row.reg < 0 || row.reg > 99) continue;
      ASSERT_TRUE(regs.count(row.reg)) << "S" << row.reg;
      std::string value = *radio.read(row.reg, 5000);
      std::string shown = regs[row.reg];
      // Letter values are shown as words that start with the letter.
      if (allDigits(value) || value[0] == '-') {
        EXPECT_EQ(shown, value) << "S" << row.reg;
      } else {
        EXPECT_EQ(shown.substr(0, 1), value) << "S" << row.reg;
      }
    }
    // Registers the model lacks are dashed.
    EXPECT_EQ(regs[9], "-----");
    EXPECT_EQ(regs[49], "-----");
    if (model == 2) {
      EXPECT_EQ(regs[16], "-----");
    }
  }
}

TEST(SimRadioGroup, PagesNeverLookLikeRepliesOrCommands) {
  // The configurator classifies every received line by substrings; page
  // text must stay plain text, and only register rows may start with a
  // number.
  for (int model = 0; model < kModelCount; ++model) {
    SimRadioGroup g = makeGroup(3, {model});
    for (const char* cmd : {"ATI1", "ATI2", "ATI3"}) {
      std::vector<std::string> page = lines(send(g, cmd, 1000));
      ASSERT_EQ(page.back(), "OK");
      page.pop_back();
      for (std::string l : page) {
        std::string upper = l;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const char* s : {"OK", "ERROR", "IGNORED", "ATI", "ATD", "AT&", "+++", "ATS"})
          EXPECT_EQ(upper.find(s), std::string::npos) << cmd << ": " << l;
        std::string copy = l;
        bool numbered = allDigits(takeField(copy, 5));
        EXPECT_EQ(numbered, std::string(cmd) == "ATI1" && l[0] == ' ') << cmd << ": " << l;
      }
    }
  }
}

TEST(SimRadioGroup, StatusValuesDriftSlowlyAndReproducibly) {
  SimRadioGroup a = makeGroup(2, {0});
  SimRadioGroup b = makeGroup(2, {0});
  SimRadio& ra = a.radios()[1];
  SimRadio& rb = b.radios()[1];
  int first = std::stoi(*ra.read(10, 0));
  std::set<std::string> rssi, volts;
  for (int64_t t = 0; t <= 600'000; t += 1000) {
    std::string r = *ra.read(10, t);
    EXPECT_EQ(r, *rb.read(10, t));
    int v = std::stoi(r);
    EXPECT_LE(std::abs(v - first), 6);
    rssi.insert(r);
    volts.insert(*ra.read(16, t));
    int temp = std::stoi(*ra.read(17, t));
    EXPECT_GE(temp, 20);
    EXPECT_LE(temp, 50);
  }
  EXPECT_GT(rssi.size(), 3u);
  EXPECT_GT(volts.size(), 1u);
  // Reads within the same second give the same value.
  EXPECT_EQ(*ra.read(10, 600'100), *ra.read(10, 600'900));
}

TEST(SimRadioGroup, ClockRuns) {
  SimRadioGroup g = makeGroup(1, {0});
  EXPECT_EQ(send(g, "ATs111=12:30", 1'000), "OK\r\n");
  EXPECT_EQ(send(g, "ATS111?", 1'000 + 61 * 60'000), "13:31\r\nOK\r\n");
  EXPECT_EQ(send(g, "ATS111?", 1'000 + 12 * 60 * 60'000), "00:30\r\nOK\r\n");
}

TEST(SimRadioGroup, EmptyGroupAnswersNothing) {
  SimRadioGroup g({});
  EXPECT_EQ(g.feed("+++\rAT\rATI1\r", 0), "");
}

TEST(SimRadioGroup, TakesAWholeConfigurationAsTheConfiguratorSendsIt) {
  // The lines of a Set Radio, batched to 18 characters, each with the CR of
  // the queue and the one the link adds.
  struct Send {
    int model;
    std::vector<const char*> lines;
    std::vector<std::pair<int, const char*>> expect;
  } sends[] = {
      {0,
       {"ATs1=4s0=12s2=4321", "ATs3=Ss4=Ys5=Ns6=2", "ATs7=Ns8=1s13=40", "ATs15=6000s20=19200",
        "ATs21=7s22=2s23=E", "ATs24=Hs25=1s26=P", "ATs30=9157s31=0", "ATs32=0s33=0s34=0",
        "ATs100=2s101=17", "ATs102=485s110=2", "ATs111=14:05", "ATs112=07:15", "ATs113=20",
        "ATs114=300", "AT&W"},
       {{1, "4"},
        {3, "S"},
        {8, "1"},
        {20, "19200"},
        {24, "H"},
        {30, "9157"},
        {102, "485"},
        {112, "07:15"},
        {114, "300"}}},
      {2,
       {"ATs1=6s0=12s2=4321", "ATs3=Ss4=Ns5=Y", "ATs6=Ns7=3s8=N", "ATs12=1s13=9",
        "ATs15=0s20=  9600", "ATs21=8s22=1s23=N", "ATs24=1s25=2s26=0", "AT&W"},
       {{1, "6"}, {7, "3"}, {8, "N"}, {12, "1"}, {15, "0"}, {20, "9600"}, {24, "1"}, {26, "0"}}},
  };
  for (const Send& s : sends) {
    SCOPED_TRACE(s.model);
    SimRadioGroup g = makeGroup(1, {s.model});
    for (const char* line : s.lines)
      EXPECT_EQ(g.feed(std::string(line) + "\r\r", 0), "OK\r\n") << line;
    EXPECT_EQ(g.feed("AT&R\r\r", 0), "");
    for (auto [reg, value] : s.expect) EXPECT_EQ(g.radios()[0].saved(reg), value) << "S" << reg;
  }
}

// A link outlives the program that dialled it: the escape brings back
// command mode, still to the dialled radio; only the hang-up ends the link.
TEST(SimRadioGroup, DialledLinkSurvivesTheEscape) {
  SimRadioGroup g = makeGroup(3, {0, 1, 2});
  EXPECT_EQ(send(g, "ATD2"), "OK\r\n");
  EXPECT_EQ(g.feed("+++", 0), "OK\r\n");
  EXPECT_EQ(send(g, "ATI"), "V2.04\r\n");
  EXPECT_EQ(g.addressedIndex(), 1u);
  EXPECT_EQ(send(g, "ATH"), "OK\r\n");
  EXPECT_FALSE(g.inCommandMode());
  EXPECT_EQ(g.feed("+++\r", 0), "OK\r\n");
  EXPECT_EQ(send(g, "ATI"), "V2.10\r\n");
}

// Assignments and "AT&W" are held; only "AT&R" makes a radio run them (a
// model-2 radio: "AT&W"). A remote answers a dial only while it runs with
// the local radio's group ID, security ID and RF band, and one heard
// through a repeater only while that repeater answers too. Each step is a
// line and what the group answers; "+++" brings back command mode after
// the local radio restarts.
TEST(SimRadioGroup, RunningSettingsDecideWhoAnswersADial) {
  struct Step {
    const char* line;
    const char* reply;
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
  };
  const char* ok = "OK\r\n";
  const std::vector<Case> cases = {
      {"a staged remote still answers; reset into another group it is stranded",
       {{"ATD2", ok},
        {"ATs0=9s2=77", ok},
        {"AT&W", ok},
        {"ATS0?", "9\r\nOK\r\n"},
        {"ATD1", ok},
        {"ATD2", ok},
        {"AT&R", ""},
        {"ATD2", ""},
        {"ATD3", ok}}},
      {"security ID and RF band count as the group ID does",
       {{"ATD3", ok}, {"ATs6=3", ok}, {"AT&W", ok}, {"AT&R", ""}, {"ATD3", ""}, {"ATD2", ok}}},
      {"a model-2 radio runs what AT&W saves",
       {{"ATD4", ok}, {"ATs2=5", ok}, {"ATD4", ok}, {"AT&W", ok}, {"ATD4", ""}}},
      {"the local radio reset first strands every remote; following it brings one back",
       {{"ATs0=9", ok},
        {"AT&W", ok},
        {"ATD2", ok},
        {"AT&R", ""},  // resets radio 2 only: the link drops
        {"ATD2", ok},  // still in the old group with the local radio
        {"ATD1", ok},
        {"AT&R", ""},
        {"+++", ok},
        {"ATD3", ""},
        {"ATD2", ""},
        {"ATD1", ok}}},
      {"an unsaved change is gone with the reset",
       {{"ATD2", ok}, {"ATs0=9", ok}, {"AT&R", ""}, {"ATD2", ok}, {"ATS0?", "7\r\nOK\r\n"}}},
      {"a renumbered radio answers to its new ID only once it runs it",
       {{"ATD2", ok},
        {"ATs1=8", ok},
        {"AT&W", ok},
        {"ATD2", ok},
        {"AT&R", ""},
        {"ATD2", ""},
        {"ATD8", ok}}},
      {"behind a repeater: reset before the repeater strands it, after does not",
       {{"ATD5", ok},  // 5 is heard through 3
        {"ATD3", ok},
        {"ATs0=9", ok},
        {"AT&W", ok},
        {"AT&R", ""},
        {"ATD5", ""},  // its repeater is in another group now
        {"ATD3", ""}}},
      {"behind a repeater, the command's order: farthest first",
       {{"ATD5", ok},
        {"ATs0=9", ok},
        {"AT&W", ok},
        {"ATD3", ok},
        {"ATs0=9", ok},
        {"AT&W", ok},
        {"ATD1", ok},
        {"ATs0=9", ok},
        {"AT&W", ok},
        {"ATD5", ok},
        {"AT&R", ""},
        {"ATD3", ok},
        {"AT&R", ""},
        {"ATD1", ok},
        {"AT&R", ""},
        {"+++", ok},
        {"ATD5", ok},
        {"ATD3", ok},
        {"ATD2", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimRadioGroup g = makeGroup(5, {0, 1, 1, 2, 1});
    g.setBehind(5, 3);  // the group runs with group ID 7, security ID 1234, RF band 1
    for (const Step& s : c.steps) {
      const std::string line = s.line;
      EXPECT_EQ(line == "+++" ? g.feed(line, 0) : send(g, line), s.reply) << line;
    }
  }
}

// A circle of repeaters reaches no one, and does not loop.
TEST(SimRadioGroup, CircleOfRepeatersAnswersNoDial) {
  SimRadioGroup g = makeGroup(3, {1});
  g.setBehind(2, 3);
  g.setBehind(3, 2);
  EXPECT_EQ(send(g, "ATD2"), "");
  EXPECT_EQ(send(g, "ATD3"), "");
}

// The misbehaviours the configurator's tests ask for: a link that drops
// after so many commands, answers that never arrive, a radio that stops
// answering its dials.
TEST(SimRadioGroup, MisbehavingLinksAndRadios) {
  using Lines = std::vector<std::string>;
  SimRadioGroup g = makeGroup(3, {0});
  g.dropLinkAfter(2, 2);
  g.loseAnswer(3, "at&w", 1);
  g.answerDials(3, 2);
  g.refuse(1, "s6=");
  EXPECT_EQ(lines(send(g, "ATD2")), Lines{"OK"});
  EXPECT_EQ(lines(send(g, "ATS13?")), (Lines{"50", "OK"}));
  EXPECT_EQ(lines(send(g, "ATS13=44")), (Lines{"OK", "NO CARRIER"}));
  EXPECT_EQ(g.addressedIndex(), 0u) << "back on the local radio";
  EXPECT_TRUE(g.inCommandMode());
  EXPECT_EQ(lines(send(g, "ATS13=45")), Lines{"OK"});
  EXPECT_EQ(g.radios()[0].current(13), "45");
  EXPECT_EQ(lines(send(g, "ATs13=46 S6=2")), Lines{"ERROR"});
  EXPECT_EQ(g.radios()[0].current(13), "45") << "a refused line takes nothing";
  EXPECT_EQ(g.radios()[1].current(13), "44");
  // Once only: dialled again, the link holds.
  send(g, "ATD2");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(lines(send(g, "ATS13?")), (Lines{"44", "OK"}));
  // On its third link, right after the dial.
  g.dropLinkAfter(2, 0, 3);
  EXPECT_EQ(lines(send(g, "ATD2")), (Lines{"OK", "NO CARRIER"}));
  EXPECT_EQ(g.addressedIndex(), 0u);

  EXPECT_EQ(lines(send(g, "ATD3")), Lines{"OK"});
  EXPECT_EQ(send(g, "AT&W"), "") << "taken, its answer lost";
  EXPECT_EQ(lines(send(g, "AT&W")), Lines{"OK"});
  EXPECT_EQ(lines(send(g, "ATD3")), Lines{"OK"});
  EXPECT_EQ(send(g, "ATD3"), "") << "the third dial goes unanswered";
  EXPECT_EQ(g.addressedIndex(), 0u);
}

// A radio that answers "OK" before it is ready loses the lines that reach it
// too soon after: no answer, nothing taken. Its "OK" to its dial counts.
TEST(SimRadioGroup, ARadioNotReadyAfterItsOkLosesTheNextLine) {
  using Lines = std::vector<std::string>;
  SimRadioGroup g = makeGroup(2, {0});
  g.settle(2, 100);
  EXPECT_EQ(lines(send(g, "ATD2", 0)), Lines{"OK"});
  EXPECT_EQ(send(g, "ATS13=44", 99), "");
  EXPECT_EQ(g.radios()[1].current(13), "50") << "nothing taken";
  EXPECT_EQ(lines(send(g, "ATS13=44", 100)), Lines{"OK"});
  EXPECT_EQ(g.radios()[1].current(13), "44");
  EXPECT_EQ(send(g, "AT&W", 150), "") << "within 100 ms of the last OK";
  EXPECT_EQ(lines(send(g, "AT&W", 250)), Lines{"OK"});
  // The local radio is ready at once.
  EXPECT_EQ(lines(send(g, "ATH", 260)), Lines{"OK"});
  EXPECT_EQ(lines(send(g, "+++", 261)), Lines{"OK"});
  EXPECT_EQ(lines(send(g, "ATS13?", 262)), (Lines{"50", "OK"}));
}
