// The network serial port: the Telnet side of RFC 2217 as bytes, the
// addresses it takes, and the ways a connect fails. Talking to a real device
// server is in the end-to-end tests over ser2net.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "flood_server.h"
#include "memory_settings_store.h"
#include "pty_fixture.h"
#include "ser2net_server.h"
#include "serial/loop_dispatcher.h"
#include "serial/net_address.h"
#include "serial/net_port.h"
#include "serial/telnet_com_port.h"

using namespace tessel;

namespace {

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s += static_cast<char>(b);
  return s;
}

constexpr int IAC = 255, SB = 250, SE = 240, WILL = 251, WONT = 252, DO = 253, DONT = 254;
constexpr int CPO = 44;  // COM-PORT-OPTION

TEST(TelnetComPort, NegotiatesPortControlAndSendsTheLineAsItsCommands) {
  TelnetComPort t;
  t.start();
  EXPECT_EQ(t.takeOutput(), bytes({IAC, WILL, CPO, IAC, WILL, 0, IAC, DO, 0}));
  EXPECT_EQ(t.control(), TelnetComPort::Control::Asked);
  // The server agrees, and offers an echo we do not want.
  const std::string agree = bytes({IAC, DO, CPO, IAC, DO, 0, IAC, WILL, 0, IAC, WILL, 1});
  t.receive(agree.data(), agree.size());
  EXPECT_EQ(t.control(), TelnetComPort::Control::Agreed);
  EXPECT_TRUE(t.binary());
  EXPECT_EQ(t.takeOutput(), bytes({IAC, DONT, 1}));

  TLineSettings line;
  line.baudRate = 19200;  // 0x4B00
  line.byteSize = 8;
  line.parity = paEven;
  line.stopBits = st2bit;
  line.flow = fcRTS_CTS;
  t.setLine(line);
  EXPECT_EQ(t.takeOutput(), bytes({IAC, SB, CPO, 1, 0, 0,   0x4B, 0, IAC, SE,  // baud
                                   IAC, SB, CPO, 2, 8, IAC, SE,                // data size
                                   IAC, SB, CPO, 3, 3, IAC, SE,                // even parity
                                   IAC, SB, CPO, 4, 2, IAC, SE,                // two stop bits
                                   IAC, SB, CPO, 5, 3, IAC, SE}));             // RTS/CTS
  line.baudRate = 0xFF00FF;  // an IAC inside a command is doubled too
  line.flow = fcNone;
  t.setLine(line);
  EXPECT_EQ(t.takeOutput().substr(0, 11), bytes({IAC, SB, CPO, 1, 0, IAC, IAC, 0, IAC, IAC, IAC}));
  t.setDtr(false);
  t.setRts(true);
  EXPECT_EQ(t.takeOutput(), bytes({IAC, SB, CPO, 5, 9, IAC, SE, IAC, SB, CPO, 5, 11, IAC, SE}));

  // Data both ways: IAC doubled out, undoubled in, the server's answers
  // taken out of the stream.
  t.sendData(std::string("AT\xFF\r"));
  EXPECT_EQ(t.takeOutput(), std::string("AT\xFF\xFF\r"));
  const std::string in =
      std::string("O\xFF\xFF") +
      bytes({IAC, SB, CPO, 101, 0, 0, 0x4B, 0, IAC, SE, IAC, SB, CPO, 107, 0x30, IAC, SE}) +
      "K\r\n";
  t.receive(in.data(), 3);  // split anywhere
  t.receive(in.data() + 3, in.size() - 3);
  EXPECT_EQ(t.takeData(), std::string("O\xFFK\r\n"));
  EXPECT_EQ(t.serverBaud(), 19200u);
  EXPECT_EQ(t.modemState(), 0x30);
  EXPECT_TRUE(t.error().empty());

  TelnetComPort refused;
  refused.start();
  refused.takeOutput();
  const std::string no = bytes({IAC, DONT, CPO, IAC, WONT, 0});
  refused.receive(no.data(), no.size());
  EXPECT_EQ(refused.control(), TelnetComPort::Control::Refused);
}

TEST(NetAddress, TakesTheTwoSchemesAndNamesWhatIsWrong) {
  struct Case {
    const char* text;
    NetAddress::Kind kind;
    const char* host;
    const char* service;
    const char* error;
  } cases[] = {
      {"rfc2217://plant-7.example:4001", NetAddress::Rfc2217, "plant-7.example", "4001", ""},
      {"tcp://10.0.0.5:2001", NetAddress::Raw, "10.0.0.5", "2001", ""},
      {"rfc2217://[fe80::1]:7000", NetAddress::Rfc2217, "fe80::1", "7000", ""},
      {"rfc2217://host", NetAddress::None, "", "", "the port number is missing"},
      {"tcp://:4001", NetAddress::None, "", "", "the host is missing"},
      {"tcp://host:0", NetAddress::None, "", "", "from 1 to 65535"},
      {"tcp://host:65536", NetAddress::None, "", "", "from 1 to 65535"},
      {"tcp://host:40x1", NetAddress::None, "", "", "from 1 to 65535"},
      {"tcp://fe80::1:4001", NetAddress::None, "", "", "in brackets"},
      {"tcp://a b:4001", NetAddress::None, "", "", "character"},
      {"telnet://host:23", NetAddress::None, "", "", "rfc2217://HOST:PORT or tcp://HOST:PORT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    NetAddress a;
    std::string error;
    const bool ok = parseNetAddress(c.text, a, error);
    EXPECT_EQ(ok, *c.error == 0) << error;
    if (ok) {
      EXPECT_EQ(a.kind, c.kind);
      EXPECT_EQ(a.host, c.host);
      EXPECT_EQ(a.service, c.service);
    } else {
      EXPECT_NE(error.find(c.text), std::string::npos) << error;
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
  }
}

TEST(NetAddress, ACommNumberMapsToAnAddressAndBackWithoutLosingAPinnedDevice) {
  tessel::testing::MemorySettingsStore settings;
  std::string error, held;
  ASSERT_TRUE(setComNetAddress(3, "tcp://dev-server:4003", settings, error)) << error;
  EXPECT_TRUE(settings.readString("COM3", held));
  EXPECT_EQ(held, "tcp://dev-server:4003");
  EXPECT_FALSE(setComNetAddress(3, "tcp://dev-server", settings, error));
  EXPECT_NE(error.find("port number is missing"), std::string::npos);
  EXPECT_FALSE(setComNetAddress(0, "tcp://dev-server:1", settings, error));
  ASSERT_TRUE(setComNetAddress(3, "", settings, error));
  EXPECT_TRUE(settings.readString("COM3", held));
  EXPECT_EQ(held, "");
  // Clearing the address of a port pinned to an adapter keeps the pin.
  settings.writeString("COM4", "/dev/serial/by-id/usb-FTDI-if00-port0");
  ASSERT_TRUE(setComNetAddress(4, "", settings, error));
  EXPECT_TRUE(settings.readString("COM4", held));
  EXPECT_EQ(held, "/dev/serial/by-id/usb-FTDI-if00-port0");
  // An address over the pin, cleared again, gives the pin back.
  ASSERT_TRUE(setComNetAddress(4, "tcp://dev-server:4004", settings, error));
  ASSERT_TRUE(setComNetAddress(4, "rfc2217://dev-server:4004", settings, error));
  ASSERT_TRUE(setComNetAddress(4, "", settings, error));
  EXPECT_TRUE(settings.readString("COM4", held));
  EXPECT_EQ(held, "/dev/serial/by-id/usb-FTDI-if00-port0");
}

// A listening socket on the loopback interface; port() is its number.
class Listener {
 public:
  Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, 4);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~Listener() { close(); }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd() const { return fd_; }
  std::string port() const { return std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// Each way a connect or a connection fails ends with one report that names
// the address, the port closed, and the open itself never waits for it.
TEST(NetPort, EachFailureEndsWithOneMessageNamingTheAddress) {
  LoopDispatcher loop;
  Listener refusing, silent, dropping;
  refusing.close();  // nobody listens there any more
  std::string received;
  std::thread dropper([&] {
    int c = ::accept(dropping.fd(), nullptr, nullptr);
    if (c < 0) return;
    char buf[64];
    ssize_t n = ::read(c, buf, sizeof buf);
    if (n > 0) received.assign(buf, static_cast<size_t>(n));
    ::close(c);
  });
  struct Case {
    std::string address;
    const char* says;
  } cases[] = {
      {"rfc2217://127.0.0.1:" + refusing.port(), "the connection was refused"},
      // Accepted by the kernel, never answered: no port control agreed.
      {"rfc2217://127.0.0.1:" + silent.port(), "did not agree to serial port control"},
      {"tcp://127.0.0.1:" + dropping.port(), "the server closed the connection"},
      {"rfc2217://no-such-host.invalid:4001", "does not resolve"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    NetPort port(loop);
    port.setConnectTimeout(300);
    port.setAddress(c.address);
    std::vector<std::string> lost;
    port.setOnLineLost([&](const std::string& m) { lost.push_back(m); });
    const auto start = std::chrono::steady_clock::now();
    port.setActive(true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_TRUE(port.Active());  // connecting
    port.WriteString("AT\r");
    ASSERT_TRUE(loop.runUntil([&] { return !lost.empty(); }, std::chrono::seconds(10)));
    loop.runFor(std::chrono::milliseconds(50));
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0].find("Network port " + c.address + ": "), 0u) << lost[0];
    EXPECT_NE(lost[0].find(c.says), std::string::npos) << lost[0];
    EXPECT_FALSE(port.Active());
    EXPECT_EQ(port.LineLostText(), lost[0]);
  }
  dropper.join();
  // Raw TCP carries the bytes as they are, written before the connection was up.
  EXPECT_EQ(received, "AT\r");
}

// A server sending without a line end as fast as loopback goes. While the
// engine reads nothing (a message box is up, say) the port takes no more
// than it holds and TCP stops the server; once it reads, every byte comes,
// in order, at most a batch per receive event, so the loop turns between.
TEST(NetPort, AFloodIsHeldBackWhileUnreadAndHandedOverABatchAtATimeWithNothingLost) {
  using Clock = std::chrono::steady_clock;
  LoopDispatcher loop;
  tessel::testing::FloodServer flood;
  NetPort port(loop);
  port.setAddress(flood.address());
  bool reading = false;
  uint64_t got = 0, outOfOrder = 0;
  size_t largest = 0;
  int events = 0;
  const auto read = [&] {
    if (!reading) return;  // held: the bytes wait in the port
    ++events;
    size_t n = 0;  // one more than a batch tells enough
    for (char c; n <= NetPort::kReceiveLimit && port.ReadChar(c) == 1; ++n, ++got)
      if (c != tessel::testing::FloodServer::byteAt(got)) ++outOfOrder;
    largest = std::max(largest, n);
  };
  port.setOnRxData(read);
  port.setActive(true);

  uint64_t seen = 0;
  auto changed = Clock::now();
  const bool stalled = loop.runUntil(
      [&] {
        if (flood.sent() != seen) {
          seen = flood.sent();
          changed = Clock::now();
        }
        return seen > 0 && Clock::now() - changed > std::chrono::milliseconds(300);
      },
      std::chrono::seconds(5));
  EXPECT_TRUE(stalled) << flood.sent() << " bytes sent, unread, and the port takes more";
  EXPECT_LT(flood.sent(), 32u << 20);  // the port's share and the kernel's socket buffers

  reading = true;
  read();  // as the holder of the event runs it when its box closes
  EXPECT_TRUE(loop.runUntil([&] { return got > 3 * seen + (8u << 20); }, std::chrono::seconds(10)))
      << got;
  EXPECT_EQ(outOfOrder, 0u);
  EXPECT_LE(largest, NetPort::kReceiveLimit);
  EXPECT_GT(events, 10);
  port.setActive(false);
}

// The port as the engine uses it, with COM1 set to a real ser2net serving
// the pseudo-terminal: data both ways, and line settings changed while open
// reach the far port through port control without a new connection.
class SerialThroughSer2net : public tessel::testing::SerialOverPty {
 protected:
  void SetUp() override {
    SerialOverPty::SetUp();
    char tmpl[] = "/tmp/ser2net_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    server_ = std::make_unique<tessel::testing::Ser2netServer>(dir_);
  }
  void TearDown() override {
    SerialOverPty::TearDown();
    server_.reset();
    std::filesystem::remove_all(dir_);
  }
  termios far() const {
    termios t{};
    ::tcgetattr(slave_, &t);
    return t;
  }

  std::string dir_;
  std::unique_ptr<tessel::testing::Ser2netServer> server_;
};

TEST_F(SerialThroughSer2net, LineSettingsSetWhileOpenReachTheFarPortOnTheSameConnection) {
  ASSERT_TRUE(server_->start(slavePath_)) << server_->log();
  settings_.writeString("COM1", server_->rfc2217());
  TSerial& port = openSerial();
  NetPort* net = port.OpenNetPort();
  ASSERT_NE(net, nullptr);
  EXPECT_EQ(port.OpenDevice(), server_->rfc2217());
  std::string got;
  port.setOnRxData([&] {
    char c;
    while (port.ReadChar(c)) got += c;
  });
  port.WriteString("AT\r");  // before the connection is up: sent once it is
  EXPECT_EQ(readMaster(3, std::chrono::seconds(5)), "AT\r");
  EXPECT_TRUE(net->Connected());
  const termios before = far();
  EXPECT_EQ(cfgetospeed(&before), B9600);
  writeMaster("OK\r\n");
  EXPECT_TRUE(gui_.runUntil([&] { return got == "OK\r\n"; }, std::chrono::seconds(5))) << got;

  // As the COM port dialog sets them: each a close and an open of the port.
  port.setBaudrate(38400);
  port.setParity(paEven);
  port.setDataBits(d7bit);
  port.setStopBits(st2bit);
  EXPECT_TRUE(net->Connected());  // the same connection, not a new one
  EXPECT_TRUE(
      gui_.runUntil([&] { return net->ServerBaudrate() == 38400; }, std::chrono::seconds(5)));
  // A pseudo-terminal keeps eight bits and no parity whatever it is told;
  // the speed and the stop bits show what arrived. Each setting is its own
  // port-control command, so the server may still be applying the last one.
  EXPECT_TRUE(gui_.runUntil(
      [&] {
        const termios t = far();
        return cfgetospeed(&t) == B38400 && (t.c_cflag & CSTOPB);
      },
      std::chrono::seconds(5)));
  const termios t = far();
  EXPECT_EQ(cfgetospeed(&t), B38400);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  port.WriteString("ATI\r");
  EXPECT_EQ(readMaster(4, std::chrono::seconds(5)), "ATI\r");
  writeMaster("V2.10\r\n");
  EXPECT_TRUE(gui_.runUntil([&] { return got == "OK\r\nV2.10\r\n"; }, std::chrono::seconds(5)))
      << got;

  // Closed, the port is let go: ser2net frees the device.
  port.setActive(false);
  gui_.runFor(std::chrono::milliseconds(50));
  EXPECT_TRUE(server_->waitDeviceFree(slavePath_)) << server_->log();
}

}  // namespace
