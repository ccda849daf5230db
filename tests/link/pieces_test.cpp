// The engine's pure pieces: send queue, radio list, settings codes, reply
// classes, dump lines.
#include <gtest/gtest.h>

#include "link/dump_line.h"
#include "link/port_settings.h"
#include "link/radio_number.h"
#include "link/send_queue.h"
#include "link/status_bar.h"
#include "link/tcom_port.h"

namespace tessel {
namespace {

TEST(SendQueue, FifoWithPeekPopAndChangeNotices) {
  TsendQueue q;
  int changes = 0;
  q.setOnChange([&] { ++changes; });
  q.Push("a");
  q.Push("b");
  q.Push("c");
  std::string line = "untouched";
  ASSERT_TRUE(q.Peek(line));
  EXPECT_EQ(line, "a");
  EXPECT_EQ(q.Pop(line), 1);
  EXPECT_EQ(line, "a");
  q.Pop(line);
  EXPECT_EQ(line, "b");
  q.Push("dd");  // pushing between pops keeps the order
  q.Pop(line);
  EXPECT_EQ(line, "c");
  EXPECT_EQ(q.Pop(line), 2);
  EXPECT_EQ(line, "dd");
  EXPECT_EQ(q.Pop(line), -1);
  EXPECT_EQ(line, "");
  line = "kept";
  EXPECT_FALSE(q.Peek(line));
  EXPECT_EQ(line, "kept");
  EXPECT_EQ(changes, 9);  // four pushes, five pops
}

TEST(SendQueue, ClearEmptiesAndAnnounces) {
  TsendQueue q;
  int changes = 0;
  q.Push("ATs1=2\r");
  q.Push("AT&W\r");
  q.setOnChange([&] { ++changes; });
  q.Clear();
  EXPECT_EQ(q.Count(), 0);
  EXPECT_EQ(changes, 1);
  std::string line;
  EXPECT_EQ(q.Pop(line), -1);
}

TEST(RadioList, WrapsAndEmptyListIsHarmless) {
  TradioNumber list(TpollArray{{5, 0}, {7, 1}, {9, 2}});
  for (int i = 0; i < 3; ++i) list.Next();
  EXPECT_EQ(list.CurrentNumber(), 5);
  list.Next();
  list.SetModel(2);
  EXPECT_EQ(list.CurrentText(), "7");
  EXPECT_EQ(list.CurrentModel(), 2);
  EXPECT_FALSE(list.Seek([](int r) { return r == 4; }));
  EXPECT_EQ(list.CurrentNumber(), 7);  // a failed search leaves the cursor
  EXPECT_TRUE(list.Seek([](int r) { return r == 5; }));
  EXPECT_EQ(list.Cursor(), 0);

  TradioNumber empty;
  empty.Next();
  empty.SetModel(1);
  EXPECT_EQ(empty.CurrentNumber(), -1);
  EXPECT_EQ(empty.CurrentModel(), -1);
  EXPECT_EQ(empty.CurrentText(), "");
  EXPECT_FALSE(empty.Seek([](int) { return true; }));
}

TEST(SettingsCode, SearchVisitsFortyEightCodesAndSkipsParityThree) {
  std::vector<int> visited;
  for (int c = 0; c < kSearchEnd; c = nextSearchCode(c)) visited.push_back(c);
  ASSERT_EQ(visited.size(), 48u);
  EXPECT_EQ(std::vector<int>(visited.begin(), visited.begin() + 7),
            (std::vector<int>{0, 2, 4, 6, 8, 10, 16}));
  EXPECT_EQ(visited.back(), 122);  // 300 baud, even parity, 7 bits
  for (int c : visited) {
    EXPECT_TRUE(isSettingsCode(c)) << c;
    EXPECT_EQ(c & 1, 0) << "always one stop bit";
  }
  for (int bad : {-1, 12, 13, 14, 15, 128, 1000}) EXPECT_FALSE(isSettingsCode(bad)) << bad;
}

TEST(ReplyClass, ClassifiesUpperCasedLines) {
  struct Case {
    const char* line;
    ReplyClass rc;
  } cases[] = {
      {"OK", rcOK},
      {"ok", rcOK},
      {"ERROR", rcError},
      {"IGNORED", rcIgnored},
      {"ATI", rcATI},
      {"ati1", rcATI1},
      {"ATI2", rcATI2},
      {"ATI3", rcATI3},
      {"ATI9", rcATIx},
      {"ATD", rcATD},
      {"ATD12", rcATDn},
      {"AT&W", rcATW},
      {"AT&R", rcATR},
      {"AT", rcAT},
      {"+++", rcEscape},
      {"ATS101?", rcSQuery},
      {"ATs1=12s0=1", rcSSet},
      {"V2.0", rcText},
      {"", rcText},
      {"ATS1=OK", rcOK},
      {"  AT", rcText},
  };
  for (const auto& c : cases) EXPECT_EQ(classifyReply(c.line), c.rc) << c.line;
}

TEST(DumpLine, ParsesFixedWidthFields) {
  auto v = parseDumpLine(
      "   10 -   -151    YES    255     10     50  12000     26     22  -----     NO");
  ASSERT_EQ(v.size(), 10u);
  EXPECT_EQ(v[0], (DumpValue{10, -1, "-151"}));
  EXPECT_EQ(v[1], (DumpValue{11, -1, "YES"}));
  EXPECT_EQ(v[2], (DumpValue{12, 255, "255"}));
  EXPECT_EQ(v[8], (DumpValue{18, -1, "-----"}));
  EXPECT_EQ(v[9], (DumpValue{19, -1, "NO"}));

  // Header and rule lines report nothing.
  EXPECT_TRUE(parseDumpLine("S-Reg    +0     +1     +2").empty());
  EXPECT_TRUE(parseDumpLine("*****************************").empty());
  EXPECT_TRUE(parseDumpLine("").empty());

  // A short line gives what is there, a cut field included.
  auto s = parseDumpLine("   30 -   9027   91");
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0], (DumpValue{30, 9027, "9027"}));
  EXPECT_EQ(s[1], (DumpValue{31, 91, "91"}));
  EXPECT_TRUE(parseDumpLine("   40").empty());
}

TEST(DumpLine, EmulatedPageKeepsFieldsInPlaceForLongNumbers) {
  for (std::string radio : {"1", "42", "254"}) {
    auto page = emulatedPage1(radio);
    ASSERT_EQ(page.size(), 8u);
    auto v = parseDumpLine(page[3]);
    ASSERT_EQ(v.size(), 10u) << radio;
    EXPECT_EQ(v[1].value, std::stoi(radio));
    EXPECT_EQ(v[2], (DumpValue{2, 980, "980"}));
    EXPECT_EQ(page[3].size(), page[4].size());
  }
  EXPECT_EQ(emulatedPage1("1")[3],
            "    0 -      9      1    980   MSTR    YES     NO      1     NO      0      0");
}

TEST(ReplyNumber, SignedNumbersOnly) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {{"-151", -151}, {"255", 255}, {"YES", 0},         {"1-", 0},
               {"-", 0},       {"", 0},      {"99999999999", 0}, {"-2147483648", -2147483647 - 1}};
  for (const auto& c : cases) EXPECT_EQ(replyNumber(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace tessel

namespace tessel::testing {
namespace {
TEST(SendQueueGauge, TwoPixelsPerQueuedLine) {
  EXPECT_EQ(sendQueueGaugeWidth(30), 60);
  EXPECT_EQ(sendQueueGaugeWidth(1), 2);
  EXPECT_EQ(sendQueueGaugeWidth(0), 0);
  EXPECT_EQ(sendQueueGaugeWidth(-3), 0);
}
}  // namespace
}  // namespace tessel::testing
