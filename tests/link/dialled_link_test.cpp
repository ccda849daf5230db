#include "link/dialled_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessel {
namespace {

struct LinkRig {
  std::vector<std::string> sent;
  DialledLink link{[this](const std::string& line) {
    sent.push_back(line);
    link.noteSent(line);  // as the engine does for every line it writes
  }};
};

struct SentCase {
  const char* line;
  bool dialledBefore;
  bool dialledAfter;
};

TEST(DialledLinkTest, LinesSentDecideWhetherALinkMayBeUp) {
  const SentCase cases[] = {
      {"ATD3", false, true}, {"atd12", false, true},   {"ATD3\r", false, true},
      {"ATD", true, false},  {"ATD\r\n", true, false}, {"ATH", true, false},
      {"ath", true, false},  {"ATH\r", true, false},   {"AT&R", true, false},
      {"at&r", true, false}, {"AT&W", true, true},     {"ATS5?", true, true},
      {"+++", true, true},   {"ATI", false, false},    {"ATHX", true, true},
      {"", true, true},      {"XATD3", false, false},
  };
  for (const SentCase& c : cases) {
    LinkRig rig;
    if (c.dialledBefore) rig.link.noteSent("ATD7");
    rig.link.noteSent(c.line);
    EXPECT_EQ(rig.link.dialled(), c.dialledAfter) << '"' << c.line << '"';
  }
}

TEST(DialledLinkTest, HangUpDialsTheLocalRadioOrSendsATH) {
  struct Case {
    bool dialled;
    bool portOpen;
    int local;
    std::vector<std::string> sent;
  };
  const Case cases[] = {
      {true, true, 4, {"ATD4"}}, {true, true, 0, {"ATD0"}}, {true, true, -1, {"ATH"}},
      {true, false, 4, {}},      {false, true, 4, {}},
  };
  for (const Case& c : cases) {
    LinkRig rig;
    if (c.dialled) rig.link.noteSent("ATD9");
    int asked = 0;
    rig.link.hangUp(c.portOpen, [&] {
      ++asked;
      return c.local;
    });
    EXPECT_EQ(rig.sent, c.sent);
    EXPECT_FALSE(rig.link.dialled());
    // The local radio is looked up only for a line that goes out: the
    // look-up moves the lists' cursors and asks the main window.
    EXPECT_EQ(asked, c.sent.empty() ? 0 : 1);
  }
}

TEST(DialledLinkTest, ReleaseHangsUpThenEscapesThenLetsTheConnectGoOn) {
  LinkRig rig;
  rig.link.noteSent("ATD5");
  rig.link.releaseOnConnect();
  EXPECT_FALSE(rig.link.releaseStep(rcText));  // only an answer moves it on
  EXPECT_TRUE(rig.link.releaseStep(rcOK));
  EXPECT_FALSE(rig.link.dialled());
  EXPECT_TRUE(rig.link.releaseStep(rcError));  // no link to hang up: ERROR
  EXPECT_FALSE(rig.link.releaseStep(rcOK));    // the escape's answer is the connect's
  EXPECT_FALSE(rig.link.releaseStep(rcOK));
  EXPECT_EQ(rig.sent, (std::vector<std::string>{"ATH", "+++"}));
}

TEST(DialledLinkTest, NoReleaseLeavesEveryAnswerToTheConnect) {
  LinkRig rig;
  EXPECT_FALSE(rig.link.releaseStep(rcOK));  // none asked for
  rig.link.releaseOnConnect();
  EXPECT_TRUE(rig.link.releaseStep(rcOK));
  rig.link.noRelease();  // a task that goes straight on, half-way through
  EXPECT_FALSE(rig.link.releaseStep(rcOK));
  EXPECT_EQ(rig.sent, (std::vector<std::string>{"ATH"}));
}

}  // namespace
}  // namespace tessel
