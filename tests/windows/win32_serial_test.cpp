// The serial component on the Win32 comm functions: the line settings the
// driver gets, a port that is not there, and, over the COM port the test
// script maps to simulated radios (TESSEL_TEST_COM), the exchange, the
// framed messages read by the event thread, and a close that ends the wait.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "dcb_line.h"
#include "prompt_script.h"
#include "serial/loop_dispatcher.h"
#include "serial/tserial.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;

TEST(DcbLine, TheSettingsReachTheDriversFields) {
  struct Case {
    const char* name;
    eParity parity;
    eDataBits bits;
    eStopBits stop;
    eFlowControl flow;
    BYTE parityCode, stopCode;
    bool cts, dsr, xon;
    DWORD dtr, rts;
  } cases[] = {
      {"8N1", paNone, d8bit, st1bit, fcNone, NOPARITY, ONESTOPBIT, false, false, false,
       DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},
      {"7O1", paOdd, d7bit, st1bit, fcNone, ODDPARITY, ONESTOPBIT, false, false, false,
       DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},
      {"7E2", paEven, d7bit, st2bit, fcNone, EVENPARITY, TWOSTOPBITS, false, false, false,
       DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},
      {"mark", paMark, d8bit, st1bit, fcNone, MARKPARITY, ONESTOPBIT, false, false, false,
       DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},
      {"space", paSpace, d8bit, st1bit, fcNone, SPACEPARITY, ONESTOPBIT, false, false, false,
       DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},
      {"rts/cts", paNone, d8bit, st1bit, fcRTS_CTS, NOPARITY, ONESTOPBIT, true, false, false,
       DTR_CONTROL_DISABLE, RTS_CONTROL_HANDSHAKE},
      {"dtr/dsr", paNone, d8bit, st1bit, fcDTR_DSR, NOPARITY, ONESTOPBIT, false, true, false,
       DTR_CONTROL_HANDSHAKE, RTS_CONTROL_DISABLE},
      {"xon/xoff", paNone, d8bit, st1bit, fcXON_XOF, NOPARITY, ONESTOPBIT, false, false, true,
       DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DCB dcb{};
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = dcb.fNull = TRUE;  // stale
    dcb.StopBits = ONE5STOPBITS;
    applyLineSettings(buildLineSettings(14400, c.parity, c.bits, c.stop, c.flow, true, 1024), dcb);
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, 14400u);
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_TRUE(dcb.fParity);
    EXPECT_TRUE(dcb.fAbortOnError);
    EXPECT_FALSE(dcb.fNull) << "a NUL byte must reach the reader";
    EXPECT_EQ(dcb.ByteSize, c.bits == d8bit ? 8 : 7);
    EXPECT_EQ(dcb.Parity, c.parityCode);
    EXPECT_EQ(dcb.StopBits, c.stopCode);
    EXPECT_EQ(static_cast<bool>(dcb.fOutxCtsFlow), c.cts);
    EXPECT_EQ(static_cast<bool>(dcb.fOutxDsrFlow), c.dsr);
    EXPECT_EQ(static_cast<bool>(dcb.fOutX), c.xon);
    EXPECT_EQ(static_cast<bool>(dcb.fInX), c.xon);
    EXPECT_EQ(dcb.fDtrControl, c.dtr);
    EXPECT_EQ(dcb.fRtsControl, c.rts);
    EXPECT_EQ(dcb.XonLim, 341);
    EXPECT_EQ(dcb.XoffLim, 341);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
  }
  EXPECT_EQ(commEventMask(true), 0x017Du);
  EXPECT_EQ(commEventMask(false), static_cast<DWORD>(EV_RXCHAR | EV_TXEMPTY));
}

TEST(Win32Serial, APortThatIsNotThereIsReportedWithTheSystemsCodeAndText) {
  LoopDispatcher gui;
  testing::PromptScript prompts;
  TSerial s(gui, &prompts);
  s.setPort(9);  // no COM9 in the test's Wine prefix
  s.setActive(true);
  EXPECT_FALSE(s.Active());
  EXPECT_EQ(s.getFErrorCode(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(s.getFErrorCode(), 0) << "read and cleared";
  ASSERT_EQ(prompts.texts().size(), 1u);
  EXPECT_EQ(prompts.texts()[0].rfind("There is no COM9 on this computer", 0), 0u)
      << prompts.texts()[0];
  EXPECT_FALSE(TSerial::errorText(ERROR_FILE_NOT_FOUND).empty());
  char c = 0;
  EXPECT_EQ(s.ReadChar(c), 0);
  EXPECT_EQ(prompts.texts().back(), "The port is not active");
}

// Over the COM port the test script maps to simulated radios in command mode.
class Win32SerialOverCom : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* com = std::getenv("TESSEL_TEST_COM");
    if (!com || std::string(com).size() != 4) GTEST_SKIP() << "TESSEL_TEST_COM is not set";
    port_ = com[3] - '0';
  }
  // Sends line and reads what comes back until until appears (at most 3 s).
  std::string exchange(TSerial& s, const std::string& line, const std::string& until) {
    std::string got;
    s.setOnRxData([&] {
      char c = 0;
      while (s.ReadChar(c) == 1) got += c;
    });
    s.WriteString(line);
    gui_.runUntil([&] { return got.find(until) != std::string::npos; }, 3000ms);
    s.setOnRxData(nullptr);
    return got;
  }

  int port_ = 0;
  LoopDispatcher gui_;
  testing::PromptScript prompts_;
};

TEST_F(Win32SerialOverCom, ExchangesReopensAndClosesWhileTheWorkerWaits) {
  TSerial s(gui_, &prompts_);
  s.setPort(port_);
  s.setBaudrate(19200);
  s.setDataBits(d8bit);
  s.setWaitOnTxFull(false);
  s.setActive(true);
  ASSERT_TRUE(s.Active()) << (prompts_.texts().empty() ? "" : prompts_.texts().back());
  EXPECT_EQ(s.OpenDevice(), "COM" + std::to_string(port_));
  EXPECT_NE(exchange(s, "AT\r", "OK\r\n").find("OK\r\n"), std::string::npos);

  // True again on an open port closes and reopens it: the device was let go.
  s.setActive(true);
  ASSERT_TRUE(s.Active());
  EXPECT_NE(exchange(s, "AT\r", "OK\r\n").find("OK\r\n"), std::string::npos);
  s.setBaudrate(14400);  // a rate without a name elsewhere reopens too
  ASSERT_TRUE(s.Active());
  EXPECT_EQ(s.Baudrate(), 14400);

  // The worker waits on the silent port; the close ends its wait at once.
  gui_.runFor(100ms);
  const auto start = std::chrono::steady_clock::now();
  s.setActive(false);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  EXPECT_FALSE(s.Active());
  EXPECT_LT(took.count(), 750) << "ms";
  EXPECT_TRUE(prompts_.texts().empty()) << prompts_.texts().front();
}

// A read with nothing queued returns at once, and leaves no read pending
// that would take the first byte of the next reply where no one looks.
TEST_F(Win32SerialOverCom, AReadOnASilentPortTakesNoByteOfTheNextReply) {
  TSerial s(gui_, &prompts_);
  s.setPort(port_);
  s.setBaudrate(19200);
  s.setDataBits(d8bit);
  s.setActive(true);
  ASSERT_TRUE(s.Active());
  gui_.runFor(50ms);  // whatever the radios had to say is gone
  char c = 0;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(s.ReadChar(c), 0);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    EXPECT_LT(took.count(), 50) << "ms; no wait on an empty queue";
  }
  EXPECT_EQ(exchange(s, "AT\r", "OK\r\n"), "OK\r\n") << "the reply whole";
  EXPECT_TRUE(prompts_.texts().empty()) << prompts_.texts().front();
}

TEST_F(Win32SerialOverCom, TheEventThreadFramesMessagesItReadsItself) {
  TSerial s(gui_, &prompts_);
  s.setPort(port_);
  s.setBaudrate(19200);
  s.setDataBits(d8bit);
  s.setRxEventMode(rxMessage);
  s.setMessageStartChar('O');
  s.setMessageEndChar('K');
  s.setMessageAppendCount(2);
  s.setActive(true);
  ASSERT_TRUE(s.Active());

  // Without a handler nothing is read: the reply stays queued.
  s.WriteString("AT\r");
  gui_.runUntil([&] { return s.RxWaiting() >= 4; }, 3000ms);
  gui_.runFor(200ms);
  EXPECT_EQ(s.RxWaiting(), 4);

  // With one, the next arrival has the event thread read all there is.
  std::vector<std::string> messages;
  s.setOnMessage([&](TSerial&, const std::string& m) { messages.push_back(m); });
  s.WriteString("AT\r");
  gui_.runUntil([&] { return messages.size() >= 2; }, 3000ms);
  EXPECT_EQ(messages, (std::vector<std::string>{"OK\r\n", "OK\r\n"}));
  EXPECT_EQ(s.RxWaiting(), 0);
  s.setActive(false);
  EXPECT_TRUE(prompts_.texts().empty()) << prompts_.texts().front();
}

}  // namespace
}  // namespace tessel
