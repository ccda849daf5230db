// The engine over a device server: a real ser2net serves the pseudo-terminal
// whose far end the test plays, and COM1 is ser2net's RFC 2217 address.
#include <termios.h>

#include <filesystem>

#include "../serial/pty_fixture.h"
#include "fake_tick_timer.h"
#include "link/com_port_view.h"
#include "link/link_serial.h"
#include "link/tcom_port.h"
#include "ser2net_server.h"
#include "serial/net_port.h"

namespace tessel::testing {
namespace {

class EngineThroughSer2net : public SerialOverPty {
 protected:
  void SetUp() override {
    SerialOverPty::SetUp();
    char tmpl[] = "/tmp/ser2net_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    server_ = std::make_unique<Ser2netServer>(dir_);
  }
  void TearDown() override {
    SerialOverPty::TearDown();
    server_.reset();
    std::filesystem::remove_all(dir_);
  }
  speed_t farSpeed() const {
    termios t{};
    ::tcgetattr(slave_, &t);
    return ::cfgetospeed(&t);
  }

  std::string dir_;
  std::unique_ptr<Ser2netServer> server_;
};

// A radio that hears only at 2400 baud: Auto Configure's search sets each
// code on the far port through the protocol, tick by tick, until the radio
// answers, all on the one connection.
TEST_F(EngineThroughSer2net, AutoConfigureFindsARadioThatHearsOnlyItsOwnSpeed) {
  ASSERT_TRUE(server_->start(slavePath_)) << server_->log();
  settings_.writeString("COM1", server_->rfc2217());
  TSerial& serial = openSerial();
  configureLinkSerial(serial);
  FakeTickTimer timer;
  MemoryComPortView view;
  TcomPort engine(serial, timer, prompts_, settings_, view);
  NetPort* net = serial.OpenNetPort();
  ASSERT_NE(net, nullptr);
  ASSERT_TRUE(gui_.runUntil([&] { return net->Connected(); }, 5s));

  engine.StartTask(tkAutoConfigure, "&Auto Configure", {{0, 0}});
  std::string heard;
  bool answered = false;
  int ticks = 0;
  for (; ticks < 60 && !answered; ++ticks) {
    // The engine's bytes come through ser2net after the settings before them.
    const auto until = std::chrono::steady_clock::now() + 2s;
    std::string got;
    while (got.find("+++") == std::string::npos && got.find("AT\r") == std::string::npos &&
           std::chrono::steady_clock::now() < until) {
      gui_.runFor(5ms);
      got += readMaster(64, 5ms);
    }
    heard += got;
    if (!got.empty() && farSpeed() == B2400) {
      writeMaster("OK\r\n");
      answered = true;
      break;
    }
    ASSERT_TRUE(timer.fire()) << "the search stopped at tick " << ticks;
  }
  ASSERT_TRUE(answered) << heard;
  // The answer ends the search: the engine goes on to read the radio.
  EXPECT_TRUE(
      gui_.runUntil([&] { return readMaster(4, 5ms).find("ATI") != std::string::npos; }, 5s));
  EXPECT_EQ(serial.Baudrate(), 2400);
  EXPECT_GT(ticks, 20);  // every faster speed was tried first
  EXPECT_TRUE(net->Connected());
  EXPECT_TRUE(prompts_.shown.empty());
}

}  // namespace
}  // namespace tessel::testing
