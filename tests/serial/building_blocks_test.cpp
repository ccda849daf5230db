#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "pty_fixture.h"
#include "serial/com_ports.h"
#include "serial/line_settings.h"
#include "serial/loop_dispatcher.h"
#include "serial/message_assembler.h"
#include "termios_line.h"

namespace tessel {
namespace testing {
namespace {

struct LineCase {
  const char* name;
  eParity parity;
  eDataBits bits;
  eStopBits stop;
  eFlowControl flow;
  tcflag_t cflagSet, cflagClear, iflagSet, iflagClear;
};

TEST(LineSettings, MapToTermiosFlags) {
  const tcflag_t parityBits = PARENB | PARODD | CMSPAR;
  const LineCase cases[] = {
      {"8N1", paNone, d8bit, st1bit, fcNone, 0, parityBits | CSTOPB | CRTSCTS, 0, IXON | IXOFF},
      {"7O1", paOdd, d7bit, st1bit, fcNone, PARENB | PARODD, CMSPAR, 0, 0},
      {"7E2", paEven, d7bit, st2bit, fcNone, PARENB | CSTOPB, PARODD | CMSPAR, 0, 0},
      {"mark", paMark, d8bit, st1bit, fcNone, PARENB | CMSPAR | PARODD, 0, 0, 0},
      {"space", paSpace, d8bit, st1bit, fcNone, PARENB | CMSPAR, PARODD, 0, 0},
      {"rts/cts", paNone, d8bit, st1bit, fcRTS_CTS, CRTSCTS, 0, 0, IXON | IXOFF},
      {"dtr/dsr", paNone, d8bit, st1bit, fcDTR_DSR, 0, CRTSCTS, 0, IXON | IXOFF},
      {"xon/xoff", paNone, d8bit, st1bit, fcXON_XOF, 0, CRTSCTS, IXON | IXOFF, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    termios t{};
    t.c_cflag = CSTOPB | CRTSCTS | PARENB | PARODD | CMSPAR;  // stale state must go
    t.c_iflag = IXON | IXOFF | IGNPAR | PARMRK;
    t.c_lflag = ICANON | ECHO;
    applyLineSettings(buildLineSettings(9600, c.parity, c.bits, c.stop, c.flow, true, 1024), t);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(c.bits == d8bit ? CS8 : CS7));
    EXPECT_EQ(t.c_cflag & c.cflagSet, c.cflagSet);
    EXPECT_EQ(t.c_cflag & c.cflagClear, 0u);
    EXPECT_EQ(t.c_iflag & c.iflagSet, c.iflagSet);
    EXPECT_EQ(t.c_iflag & c.iflagClear, 0u);
    EXPECT_EQ(t.c_iflag & (IGNPAR | PARMRK), 0u) << "a bad byte must reach the reader";
    EXPECT_TRUE(t.c_iflag & INPCK);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
  }
  TLineSettings defaults = buildLineSettings(9600, paNone, d7bit, st1bit, fcNone, true, 1024);
  EXPECT_EQ(defaults.xonLim, 341);
  EXPECT_EQ(defaults.xoffLim, 341);
  EXPECT_EQ(defaults.byteSize, 7);
}

TEST(MessageAssembler, FramesMessagesWithTheirTrailer) {
  struct Case {
    const char* name;
    uint16_t appendCount;
    std::string bytes;
    std::vector<std::string> messages;
    TMessageAssembler::State last;
  } cases[] = {
      {"noise around",
       0,
       "A\x02"
       "AB\x03"
       "C",
       {"\x02"
        "AB\x03"},
       TMessageAssembler::maDone},
      {"trailer takes start and end",
       2,
       "\x02"
       "1\x03\x03\x02",
       {"\x02"
        "1\x03\x03\x02"},
       TMessageAssembler::maDone},
      {"a start restarts",
       0,
       "\x02"
       "1\x02"
       "2\x03",
       {"\x02"
        "2\x03"},
       TMessageAssembler::maDone},
      {"end outside a message",
       0,
       "\x03"
       "x",
       {},
       TMessageAssembler::maIdle},
      {"two in a row",
       1,
       "\x02"
       "a\x03"
       "1\x02"
       "b\x03"
       "2",
       {"\x02"
        "a\x03"
        "1",
        "\x02"
        "b\x03"
        "2"},
       TMessageAssembler::maDone},
      {"end after a message is ignored",
       0,
       "\x02\x03\x03"
       "z",
       {"\x02\x03"},
       TMessageAssembler::maDone},
      {"unfinished trailer",
       3,
       "\x02\x03"
       "12",
       {},
       TMessageAssembler::maTrailer},
      {"unfinished message",
       0,
       "\x02"
       "ab",
       {},
       TMessageAssembler::maInside},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMessageAssembler a;
    std::vector<std::string> got;
    for (char ch : c.bytes)
      if (a.feed(ch, '\x02', '\x03', c.appendCount)) got.push_back(a.text());
    EXPECT_EQ(got, c.messages);
    EXPECT_EQ(a.state(), c.last);
  }
}

TEST(ComPorts, NumbersMapToDevicesInFixedOrderAndTheSettingWins) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("tessel-dev-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  for (const char* name :
       {"ttyS10", "ttyS2", "ttyS0", "ttyACM0", "ttyUSB1", "ttyUSBx", "tty0", "ttySX1", "console"})
    std::ofstream(dir / name).put('\0');

  const std::vector<std::string> expected = {"ttyUSB1", "ttyACM0", "ttyS0", "ttyS2", "ttyS10"};
  auto devices = serialDevices(dir.string());
  ASSERT_EQ(devices.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(devices[i], (dir / expected[i]).string());
    EXPECT_EQ(comDevicePath(static_cast<int>(i) + 1, nullptr, dir.string()), devices[i]);
  }
  EXPECT_EQ(comDevicePath(6, nullptr, dir.string()), "");

  MemorySettingsStore settings;
  settings.writeString("COM2", "/dev/pts/7");
  settings.writeString("COM3", "");  // empty means "not set"
  EXPECT_EQ(comDevicePath(2, &settings, dir.string()), "/dev/pts/7");
  EXPECT_EQ(comDevicePath(3, &settings, dir.string()), (dir / "ttyS0").string());
  EXPECT_EQ(comDevicePath(1, &settings, dir.string()), (dir / "ttyUSB1").string());
  fs::remove_all(dir);
}

TEST(LoopDispatcher, RunsOnItsOwnThreadAndReleasesWaitersWhenDestroyed) {
  using namespace std::chrono_literals;
  auto gui = std::make_unique<LoopDispatcher>();
  const auto guiThread = std::this_thread::get_id();

  bool direct = false;
  gui->invokeAndWait([&] { direct = true; });  // on the GUI thread: at once
  EXPECT_TRUE(direct);

  std::thread::id ranOn;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    gui->invokeAndWait([&] { ranOn = std::this_thread::get_id(); });
    returned = true;
  });
  EXPECT_TRUE(gui->runUntil([&] { return returned.load(); }, 500ms));
  worker.join();
  EXPECT_EQ(ranOn, guiThread);

  // A waiter whose job never runs is let go when the dispatcher goes.
  std::atomic<bool> ran{false};
  returned = false;
  std::thread stuck([&] {
    gui->invokeAndWait([&] { ran = true; });
    returned = true;
  });
  while (gui->pendingCount() == 0) std::this_thread::sleep_for(1ms);
  gui.reset();
  stuck.join();
  EXPECT_TRUE(returned);
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace testing
}  // namespace tessel
