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
    link.submitted(line);
    link.written(line);  // as the engine does for every line it writes
  }};
};

// What the link is after a run of events: lines written ("> "), answers
// ("< " command, then the answer), "NO CARRIER" ("!").
struct Event {
  const char* what;
  const char* line = "";
  ReplyClass rc = rcOK;
};
Event out(const char* line) {
  return {">", line};
}
Event in(const char* command, ReplyClass rc = rcOK) {
  return {"<", command, rc};
}
Event carrier() {
  return {"!"};
}

TEST(DialledLinkTest, LinesAndAnswersTellWhereTheLinkIs) {
  struct Case {
    const char* name;
    std::vector<Event> events;
    LinkOn on;
    int radio;
    bool dialled;  // a hang-up is due
    bool mayAddress;
    int lost = -1;  // the radio the last "NO CARRIER" cut off
  };
  const Case cases[] = {
      {"nothing yet", {}, LinkOn::Local, -1, false, true},
      {"a dial answered", {out("ATD3"), in("ATD3")}, LinkOn::Remote, 3, true, true},
      {"a dial in any case, ended as queued",
       {out("atd12\r"), in("ATD12")},
       LinkOn::Remote,
       12,
       true,
       true},
      {"a dial not answered yet", {out("ATD3")}, LinkOn::Unknown, 3, true, false},
      {"a dial refused from the local radio",
       {out("ATD3"), in("ATD3", rcError)},
       LinkOn::Local,
       -1,
       false,
       true},
      {"a dial answered out of step",
       {out("ATD3"), in("ATD3", rcText)},
       LinkOn::Unknown,
       -1,
       true,
       false},
      {"another command's answer leaves the dial open",
       {out("ATD3"), in("AT")},
       LinkOn::Unknown,
       3,
       true,
       false},
      {"a hang-up on its way",
       {out("ATD3"), in("ATD3"), out("ATH")},
       LinkOn::Unknown,
       -1,
       false,
       false},
      {"a hang-up answered",
       {out("ATD3"), in("ATD3"), out("ATH"), in("ATH")},
       LinkOn::Local,
       -1,
       false,
       true},
      {"a bare ATD puts a model 2 back on line",
       {out("ATD3"), in("ATD3"), out("ATD"), in("ATD")},
       LinkOn::Local,
       -1,
       false,
       true},
      {"a reset drops the link",
       {out("ATD3"), in("ATD3"), out("AT&R\r")},
       LinkOn::Local,
       -1,
       false,
       true},
      {"lines for the radio leave the link",
       {out("ATD3"), in("ATD3"), out("ATS5?"), out("AT&W"), out("+++"), out("ATHX")},
       LinkOn::Remote,
       3,
       true,
       true},
      {"NO CARRIER cuts a link",
       {out("ATD3"), in("ATD3"), out("ATS5?"), carrier()},
       LinkOn::Local,
       -1,
       false,
       false,
       3},
      {"NO CARRIER answers a dial", {out("ATD5"), carrier()}, LinkOn::Local, -1, false, false, 5},
      {"after a lost link a new dial goes on",
       {out("ATD3"), in("ATD3"), carrier(), out("ATD4"), in("ATD4")},
       LinkOn::Remote,
       4,
       true,
       true,
       3},
      {"NO CARRIER without a link", {carrier()}, LinkOn::Local, -1, false, true},
      {"a dialled hang-up's answer comes late",
       {out("ATD3"), in("ATD3"), out("ATH"), carrier()},
       LinkOn::Local,
       -1,
       false,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkRig rig;
    int lost = -1;
    for (const Event& e : c.events) {
      if (e.what[0] == '>') {
        rig.link.submitted(e.line);
        rig.link.written(e.line);
      } else if (e.what[0] == '<') {
        rig.link.answered(e.line, e.rc);
      } else {
        lost = rig.link.carrierLost();
      }
    }
    EXPECT_EQ(rig.link.on(), c.on);
    EXPECT_EQ(rig.link.radio(), c.radio);
    EXPECT_EQ(rig.link.dialled(), c.dialled);
    EXPECT_EQ(rig.link.mayAddress(), c.mayAddress);
    EXPECT_EQ(lost, c.lost);
  }
  // The task that lost its radio ended: the next one may talk again.
  LinkRig rig;
  rig.link.written("ATD3");
  rig.link.answered("ATD3", rcOK);
  rig.link.carrierLost();
  rig.link.taskOver();
  EXPECT_TRUE(rig.link.mayAddress());
}

// Out of command mode only the escape reaches the local radio: after its
// hang-up was answered, or after it was reset; any answer of its since
// shows it back in command mode.
TEST(DialledLinkTest, TheLocalRadioIsOnLineAfterItsHangUpOrItsReset) {
  struct Case {
    const char* name;
    std::vector<Event> events;
    bool onLine;
  };
  const Case cases[] = {
      {"nothing yet", {}, false},
      {"a hang-up answered", {out("ATH"), in("ATH")}, true},
      {"a hang-up refused", {out("ATH"), in("ATH", rcError)}, false},
      {"a dialled radio hung up", {out("ATD3"), in("ATD3"), out("ATH"), in("ATH")}, true},
      {"the escape answered since", {out("ATH"), in("ATH"), out("+++"), in("+++")}, false},
      {"the local radio reset", {out("AT&R\r")}, true},
      {"a dialled radio reset", {out("ATD3"), in("ATD3"), out("AT&R\r")}, false},
      {"dialling the local radio back", {out("ATD1"), in("ATD1")}, false},
      {"NO CARRIER from the local radio", {out("ATH"), in("ATH"), carrier()}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkRig rig;
    for (const Event& e : c.events) {
      if (e.what[0] == '>') {
        rig.link.submitted(e.line);
        rig.link.written(e.line);
      } else if (e.what[0] == '<') {
        rig.link.answered(e.line, e.rc);
      } else {
        rig.link.carrierLost();
      }
    }
    EXPECT_EQ(rig.link.localOnLine(), c.onLine);
  }
}

TEST(DialledLinkTest, LinkLinesAreTheDialsHangUpsAndTheConnect) {
  for (const char* line : {"AT", "at\r", "+++", "ATH", "ATD", "ATD7", "ATD254\r", ""})
    EXPECT_TRUE(DialledLink::linkLine(line)) << line;
  for (const char* line : {"ATS5?", "ATs2=7", "AT&W", "AT&R", "ATI", "ATI1", "ATDX", "ATD1234"})
    EXPECT_FALSE(DialledLink::linkLine(line)) << line;
  EXPECT_TRUE(DialledLink::dialLine("ATD9\r"));
  EXPECT_FALSE(DialledLink::dialLine("AT"));
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
    rig.link.setLocalRadio(c.local);
    if (c.dialled) {
      rig.link.written("ATD9");
      rig.link.answered("ATD9", rcOK);
    }
    rig.link.hangUp(c.portOpen);
    EXPECT_EQ(rig.sent, c.sent);
    // A second end of the task sends no second hang-up.
    rig.link.hangUp(c.portOpen);
    EXPECT_EQ(rig.sent, c.sent);
  }
}

TEST(DialledLinkTest, ReleaseHangsUpThenEscapesThenLetsTheConnectGoOn) {
  LinkRig rig;
  rig.link.written("ATD5");
  rig.link.answered("ATD5", rcOK);
  rig.link.releaseOnConnect();
  EXPECT_FALSE(rig.link.releaseStep(rcText));  // only an answer moves it on
  EXPECT_TRUE(rig.link.releaseStep(rcOK));
  EXPECT_FALSE(rig.link.dialled());
  rig.link.answered("ATH", rcError);  // no link to hang up: ERROR
  EXPECT_TRUE(rig.link.releaseStep(rcError));
  EXPECT_EQ(rig.link.on(), LinkOn::Local);
  EXPECT_FALSE(rig.link.releaseStep(rcOK));  // the escape's answer is the connect's
  EXPECT_FALSE(rig.link.releaseStep(rcOK));
  EXPECT_EQ(rig.sent, (std::vector<std::string>{"ATH", "+++"}));
}

// A send clears the link only when it is not known to be on the local
// radio: a hang-up that went unanswered, a link cut off mid-dial.
TEST(DialledLinkTest, ASendReleasesOnlyALinkNotKnownToBeLocal) {
  for (bool away : {false, true}) {
    LinkRig rig;
    if (away) rig.link.written("ATH");  // never answered
    rig.link.releaseUnlessLocal();
    EXPECT_EQ(rig.link.releaseStep(rcOK), away);
    EXPECT_EQ(rig.sent, away ? std::vector<std::string>{"ATH"} : std::vector<std::string>{});
    // The hang-up goes unanswered; once the escape is, the link is the
    // local radio's.
    if (away) {
      EXPECT_TRUE(rig.link.releaseStep(rcOK));
      EXPECT_FALSE(rig.link.mayAddress());
      EXPECT_FALSE(rig.link.releaseStep(rcOK));
      EXPECT_EQ(rig.link.on(), LinkOn::Local);
      EXPECT_TRUE(rig.link.mayAddress());
    }
  }
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
