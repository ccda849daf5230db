#include <termios.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "pty_fixture.h"
#include "termios2_probe.h"

namespace tessel {
namespace testing {
namespace {

using Clock = std::chrono::steady_clock;

long msSince(Clock::time_point t0) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

TEST_F(SerialOverPty, WrittenBytesArriveExactlyWithNothingAdded) {
  TSerial& s = openSerial();
  s.setWaitOnTxFull(false);
  const std::string line("AT\r\0\x7f\xff", 6);
  s.WriteString(line);
  EXPECT_EQ(readMaster(line.size()), line);

  // Longer than TxQueueSize without WaitOnTxFull: all of it goes out.
  std::string big;
  for (int i = 0; i < 3000; ++i) big += static_cast<char>('A' + i % 26);
  s.WriteString(big);
  EXPECT_EQ(readMaster(big.size() + 1, 100ms), big);
  EXPECT_TRUE(prompts_.texts().empty());
}

TEST_F(SerialOverPty, TextThatCanNeverFitIsRefusedWhole) {
  TSerial& s = openSerial();
  s.setTxQueueSize(8);
  ASSERT_TRUE(s.Active());
  s.WriteString("123456789");
  EXPECT_EQ(prompts_.texts(), std::vector<std::string>{"String too long for Tx buffer"});
  EXPECT_EQ(readMaster(1, 50ms), "");

  s.WriteString("12345678");  // exactly the queue size fits
  EXPECT_EQ(readMaster(8), "12345678");
}

TEST_F(SerialOverPty, FullDriverBufferWriteContinuesUntilAllBytesAreOut) {
  TSerial& s = openSerial();
  s.setWaitOnTxFull(false);
  s.setTimeout(3000);
  std::string big(200000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 128);
  std::string received;
  std::thread farEnd([&] {
    std::this_thread::sleep_for(50ms);  // let the pseudo-terminal fill up first
    received = readMaster(big.size(), 3000ms);
  });
  s.WriteString(big);
  farEnd.join();
  EXPECT_EQ(received.size(), big.size());
  EXPECT_TRUE(received == big);
  EXPECT_EQ(s.getFErrorCode(), 0);
}

TEST_F(SerialOverPty, StalledOutputEndsAfterTimeoutWithAnError) {
  TSerial& s = openSerial();
  s.setWaitOnTxFull(false);
  s.setTimeout(100);
  s.setNotifyErrors(neEvent);
  int errors = 0;
  s.setOnError([&](TSerial&) { ++errors; });
  const auto t0 = Clock::now();
  s.WriteString(std::string(200000, 'x'));  // nobody reads the far end
  EXPECT_LT(msSince(t0), 600);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(s.getFErrorCode(), ETIMEDOUT);
}

TEST_F(SerialOverPty, ClosedPortAndFailedOpenAreReportedAndErrorCodeClearsOnRead) {
  serial_ = makeSerial();
  TSerial& s = *serial_;
  char c = 0;
  s.WriteString("AT\r");
  EXPECT_EQ(s.ReadChar(c), 0);
  EXPECT_EQ(prompts_.texts(),
            (std::vector<std::string>{"The port is not active", "The port is not active"}));

  s.setNotifyErrors(neEvent);
  int errors = 0;
  s.setOnError([&](TSerial& sender) {
    EXPECT_EQ(&sender, &s);
    ++errors;
  });
  s.WriteString("AT\r");
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(s.getFErrorCode(), -1);
  EXPECT_EQ(s.getFErrorCode(), 0);

  // While closed a setter only stores its value.
  s.setRxQueueSize(1024);
  s.setBaudrate(19200);
  EXPECT_FALSE(s.Active());
  EXPECT_EQ(errors, 1);

  s.setDevicePath("/nonexistent/ttyUSB0");
  s.setActive(true);
  EXPECT_FALSE(s.Active());
  EXPECT_EQ(errors, 2);
  EXPECT_EQ(s.ErrorCode(), ENOENT);
  EXPECT_EQ(s.ErrorCode(), 0);

  s.setNotifyErrors(neDialog);
  s.setActive(true);
  EXPECT_EQ(prompts_.texts().back(), std::strerror(ENOENT));
}

TEST_F(SerialOverPty, BytesBehindADiscardedByteAreReadOnTheNextReceiveEvent) {
  TSerial& s = openSerial();
  std::vector<std::string> drains;
  s.setOnRxData([&] {
    std::string got;
    char c;
    while (s.ReadChar(c) == 1) got += c;
    drains.push_back(got);
  });
  writeMaster("\xffOK");
  EXPECT_TRUE(gui_.runUntil([&] { return drains.size() >= 2; }, 500ms));
  gui_.runFor(30ms);
  EXPECT_EQ(drains, (std::vector<std::string>{"", "OK"}));
}

TEST_F(SerialOverPty, OpenStartsWithAnEmptyReceiveQueue) {
  writeMaster("OK\r\n");  // left over from an earlier user of the device
  std::this_thread::sleep_for(20ms);
  TSerial& s = openSerial();
  int events = 0;
  s.setOnRxData([&] { ++events; });
  gui_.runFor(30ms);
  EXPECT_EQ(s.RxWaiting(), 0);
  EXPECT_EQ(events, 0);
  writeMaster("AT");
  EXPECT_TRUE(gui_.runUntil([&] { return events > 0; }, 500ms));
  char c = 0;
  ASSERT_EQ(s.ReadChar(c), 1);
  EXPECT_EQ(c, 'A');
}

TEST_F(SerialOverPty, RxDataRunsOnTheGuiThreadOncePerArrival) {
  TSerial& s = openSerial();
  std::vector<std::thread::id> threads;
  std::string text;
  int inside = 0, overlaps = 0;
  s.setOnRxData([&] {
    if (++inside > 1) ++overlaps;
    threads.push_back(std::this_thread::get_id());
    char c;
    while (s.ReadChar(c) == 1) text += c;
    --inside;
  });
  for (int i = 0; i < 3; ++i) {
    writeMaster(std::string(1, static_cast<char>('a' + i)));
    EXPECT_TRUE(gui_.runUntil([&] { return threads.size() == static_cast<size_t>(i + 1); }, 500ms));
    gui_.runFor(40ms);
    EXPECT_EQ(threads.size(), static_cast<size_t>(i + 1));
  }
  EXPECT_EQ(text, "abc");
  EXPECT_EQ(overlaps, 0);
  for (auto id : threads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST_F(SerialOverPty, TxEmptyFollowsEachWriteOnceOnTheGuiThread) {
  TSerial& s = openSerial();
  int empties = 0;
  s.setOnTxEmpty([&](TSerial& sender) {
    EXPECT_EQ(&sender, &s);
    EXPECT_TRUE(gui_.onGuiThread());
    ++empties;
  });
  for (int i = 1; i <= 2; ++i) {
    s.WriteString("AT\r");
    EXPECT_TRUE(gui_.runUntil([&] { return empties == i; }, 500ms));
    gui_.runFor(40ms);
    EXPECT_EQ(empties, i);
  }
  EXPECT_EQ(readMaster(6), "AT\rAT\r");
}

TEST_F(SerialOverPty, SettersReopenOnlyWhenTheyShould) {
  TSerial& s = openSerial();
  EXPECT_EQ(probeBaud(slave_), 9600);

  // A reopen applies the settings again, which undoes a change from outside.
  ASSERT_TRUE(probeSetBaud(slave_, 1200));
  s.setPort(1);
  EXPECT_EQ(probeBaud(slave_), 1200) << "same Port must not reopen";
  s.setRxQueueSize(1024);
  EXPECT_EQ(probeBaud(slave_), 9600) << "same RxQueueSize reopens";

  ASSERT_TRUE(probeSetBaud(slave_, 1200));
  s.setActive(true);
  EXPECT_TRUE(s.Active());
  EXPECT_EQ(probeBaud(slave_), 9600) << "Active := true on an open port reopens";

  s.setBaudrate(14400);
  EXPECT_TRUE(s.Active());
  EXPECT_EQ(s.Baudrate(), 14400);
  EXPECT_EQ(probeBaud(slave_), 14400);

  s.setNotifyErrors(neNone);  // the message shows all the same
  s.setBaudrate(250);
  EXPECT_EQ(prompts_.texts(), std::vector<std::string>{"Baudrate is not valid"});
  EXPECT_EQ(s.Baudrate(), 14400);
  EXPECT_EQ(probeBaud(slave_), 14400);
  EXPECT_TRUE(s.Active());
}

TEST_F(SerialOverPty, LineSettingsReachTheDriver) {
  serial_ = makeSerial();
  TSerial& s = *serial_;
  s.setFlowMode(fcXON_XOF);
  s.setStopBits(st2bit);
  s.setBaudrate(256000);
  s.setActive(true);
  ASSERT_TRUE(s.Active());
  termios t{};
  ASSERT_EQ(::tcgetattr(slave_, &t), 0);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
  EXPECT_EQ(t.c_cc[VSTART], 0x11);
  EXPECT_EQ(t.c_cc[VSTOP], 0x13);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_TRUE(t.c_cflag & CLOCAL);
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));
  EXPECT_EQ(probeBaud(slave_), 256000);
}

TEST_F(SerialOverPty, OpenIsExclusiveAndCloseGivesTheLineBack) {
  termios before{};
  ASSERT_EQ(::tcgetattr(slave_, &before), 0);
  ASSERT_TRUE(before.c_lflag & ICANON);
  TSerial& first = openSerial();

  auto second = makeSerial();
  second->setNotifyErrors(neNone);
  second->setActive(true);
  EXPECT_FALSE(second->Active());
  EXPECT_EQ(second->getFErrorCode(), EBUSY);

  first.setActive(false);
  termios after{};
  ASSERT_EQ(::tcgetattr(slave_, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));

  second->setActive(true);
  EXPECT_TRUE(second->Active());
  second.reset();
  first.setActive(true);
  EXPECT_TRUE(first.Active());
}

TEST_F(SerialOverPty, FailingLineSetupLeavesThePortClosedAndTheLineAsItWas) {
  termios before{};
  ASSERT_EQ(::tcgetattr(slave_, &before), 0);
  ASSERT_TRUE(before.c_lflag & ICANON);
  serial_ = makeSerial();
  TSerial& s = *serial_;
  // The driver takes part of the settings and then refuses.
  s.setLineSetter([this](const TLineSettings&) {
    termios raw{};
    ::tcgetattr(slave_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave_, TCSANOW, &raw);
    return EINVAL;
  });
  int arrivals = 0;
  s.setOnRxData([&] { ++arrivals; });
  s.setActive(true);
  EXPECT_FALSE(s.Active());
  EXPECT_EQ(prompts_.texts(), std::vector<std::string>{std::strerror(EINVAL)});
  EXPECT_EQ(s.getFErrorCode(), EINVAL);
  EXPECT_EQ(s.OpenDevice(), "");
  termios after{};
  ASSERT_EQ(::tcgetattr(slave_, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag) << "the half-taken settings are undone";

  // Nothing serves the port, and nothing writes to it.
  writeMaster("OK\r\n");
  gui_.runFor(50ms);
  EXPECT_EQ(arrivals, 0);
  char c = 0;
  EXPECT_EQ(s.ReadChar(c), 0);
  EXPECT_EQ(prompts_.texts().back(), "The port is not active");

  // The device was let go: the next open, with a willing driver, succeeds.
  s.setLineSetter(nullptr);
  s.setActive(true);
  EXPECT_TRUE(s.Active());
  writeMaster("OK\r\n");
  EXPECT_TRUE(gui_.runUntil([&] { return arrivals > 0; }, 500ms));
}

TEST_F(SerialOverPty, AHandlerMayCloseAndReopenThePort) {
  TSerial& s = openSerial();
  std::string text;
  long closeMs = -1;
  s.setOnRxData([&] {
    char c;
    while (s.ReadChar(c) == 1) text += c;
    if (closeMs < 0) {
      // The worker waits for this very handler; the close must not wait for it.
      const auto t0 = Clock::now();
      s.setActive(false);
      s.setActive(true);
      closeMs = msSince(t0);
    }
  });
  writeMaster("AT");
  ASSERT_TRUE(gui_.runUntil([&] { return closeMs >= 0; }, 500ms));
  EXPECT_LT(closeMs, 300);
  EXPECT_TRUE(s.Active());
  writeMaster("OK");
  EXPECT_TRUE(gui_.runUntil([&] { return text == "ATOK"; }, 500ms)) << text;
  EXPECT_TRUE(prompts_.texts().empty());
}

TEST_F(SerialOverPty, CloseWhileTheWorkerWaitsIsQuickAndSilent) {
  TSerial& s = openSerial();
  s.setNotifyErrors(neEvent);
  int errors = 0;
  s.setOnError([&](TSerial&) { ++errors; });
  gui_.runFor(20ms);  // the worker is blocked in its wait now
  const auto t0 = Clock::now();
  s.setActive(false);
  EXPECT_LT(msSince(t0), 750);
  EXPECT_FALSE(s.Active());
  gui_.runFor(20ms);
  EXPECT_EQ(errors, 0);
  EXPECT_EQ(s.getFErrorCode(), 0);
  EXPECT_TRUE(prompts_.texts().empty());
}

struct MessageCase {
  uint16_t appendCount;
  std::vector<std::string> arrivals;
  std::vector<std::string> messages;
};

TEST_F(SerialOverPty, MessageModeDeliversFramedMessages) {
  const MessageCase cases[] = {
      {0, {"\x41\x02\x41\x42\x03\x43"}, {"\x02\x41\x42\x03"}},
      {2, {"\x02\x31\x03\x03\x02"}, {"\x02\x31\x03\x03\x02"}},
      {0, {"\x02\x31\x02\x32\x03"}, {"\x02\x32\x03"}},
      // State carries from one arrival to the next; an end outside a message is ignored.
      {1, {"\x03\x02\x31", "\x32\x03", "\x7f\x02"}, {"\x02\x31\x32\x03\x7f"}},
      // A dropped byte ends a reading pass; the rest is read at once, in the same message.
      {0, {"\x02\x31\xff\x32\x03"}, {"\x02\x31\x32\x03"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.messages.front());
    auto s = makeSerial();
    s->setRxEventMode(rxMessage);
    s->setMessageAppendCount(c.appendCount);
    std::vector<std::string> got;
    s->setOnMessage([&](TSerial&, const std::string& m) {
      EXPECT_TRUE(gui_.onGuiThread());
      got.push_back(m);
    });
    s->setActive(true);
    ASSERT_TRUE(s->Active());
    for (const auto& chunk : c.arrivals) {
      writeMaster(chunk);
      gui_.runFor(20ms);
    }
    gui_.runUntil([&] { return got.size() >= c.messages.size(); }, 500ms);
    gui_.runFor(20ms);
    EXPECT_EQ(got, c.messages);
  }
}

TEST_F(SerialOverPty, MessageModeWithoutHandlerLeavesBytesQueuedAndDoesNotSpin) {
  TSerial& s = openSerial();
  s.setRxEventMode(rxMessage);
  writeMaster("abc");
  gui_.runFor(60ms);
  EXPECT_EQ(s.RxWaiting(), 3);
  const uint64_t before = s.workerWakeups();
  writeMaster("de");
  gui_.runFor(200ms);
  EXPECT_EQ(s.RxWaiting(), 5);
  EXPECT_LT(s.workerWakeups() - before, 12u);
}

TEST_F(SerialOverPty, VanishedDeviceIsReportedOnceAndNotServedAgain) {
  TSerial& s = openSerial();
  s.setNotifyErrors(neEvent);
  int errors = 0;
  s.setOnError([&](TSerial&) { ++errors; });

  gui_.runFor(20ms);
  uint64_t before = s.workerWakeups();
  gui_.runFor(200ms);
  EXPECT_LE(s.workerWakeups() - before, 2u) << "an open silent port costs nothing";

  closeMaster();
  EXPECT_TRUE(gui_.runUntil([&] { return !s.Active(); }, 500ms));
  before = s.workerWakeups();
  gui_.runFor(200ms);
  EXPECT_LE(s.workerWakeups() - before, 2u) << "no busy loop after the hang-up";
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(s.getFErrorCode(), EIO);
  EXPECT_EQ(s.LineLostText(), slavePath_ + ": " + TSerial::errorText(EIO));
  char c;
  EXPECT_EQ(s.ReadChar(c), 0);  // the port is closed now: the usual error
  EXPECT_EQ(errors, 2);
}

TEST_F(SerialOverPty, DestroyingTheComponentDuringAHandOverNeitherHangsNorCallsBack) {
  TSerial& s = openSerial();
  int calls = 0;
  s.setOnRxData([&] { ++calls; });
  writeMaster("OK\r\n");
  // The worker has handed the event over; the GUI thread does not run it yet.
  const auto t0 = Clock::now();
  while (gui_.pendingCount() == 0 && msSince(t0) < 500) std::this_thread::sleep_for(1ms);
  ASSERT_EQ(gui_.pendingCount(), 1u);

  const auto t1 = Clock::now();
  serial_.reset();
  EXPECT_LT(msSince(t1), 500);
  gui_.runFor(20ms);  // the stale hand-over runs now and must leave the freed component alone
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace testing
}  // namespace tessel
