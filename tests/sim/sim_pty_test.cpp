#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "sim/sim_project.h"
#include "sim/sim_pty.h"

using namespace tessel::sim;
using Clock = std::chrono::steady_clock;

namespace {

SimRadioGroup defaultGroup(int count) {
  SimSetup s;
  std::string error;
  EXPECT_TRUE(defaultSetup(count, {0, 1}, s, error));
  return SimRadioGroup(std::move(s.radios), s.local);
}

// The configurator's side: the slave device opened like a serial port.
class Port {
 public:
  explicit Port(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    if (fd_ >= 0 && ::tcgetattr(fd_, &tio) == 0) {
      ::cfmakeraw(&tio);
      ::cfsetspeed(&tio, B19200);
      ::tcsetattr(fd_, TCSANOW, &tio);
    }
  }
  ~Port() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void write(const std::string& s) {
    ASSERT_EQ(::write(fd_, s.data(), s.size()), (ssize_t)s.size());
  }
  // Reads until the text ends with `until` or the time is up.
  std::string readUntil(const std::string& until, int ms = 3000) {
    std::string got;
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
      if (got.size() >= until.size() &&
          got.compare(got.size() - until.size(), until.size(), until) == 0)
        break;
      pollfd p{fd_, POLLIN, 0};
      ::poll(&p, 1, 20);
      char buf[256];
      ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n > 0) got.append(buf, static_cast<size_t>(n));
    }
    return got;
  }

 private:
  int fd_ = -1;
};

SimPty::Options options(bool pace, int baud, std::string link) {
  SimPty::Options o;
  o.pace = pace;
  o.baud = baud;
  o.linkPath = std::move(link);
  return o;
}

struct Served {
  SimRadioGroup group;
  SimPty pty;
  std::thread thread;
  bool result = false;
  Served(int radios, SimPty::Options o) : group(defaultGroup(radios)), pty(group, std::move(o)) {}
  bool start() {
    if (!pty.open()) return false;
    thread = std::thread([this] { result = pty.run(); });
    return true;
  }
  ~Served() {
    pty.stop();
    if (thread.joinable()) thread.join();
  }
};

}  // namespace

TEST(SimPty, ServesTheGroupOnTheSlaveDevice) {
  std::string link = "/tmp/sim_pty_test_link_" + std::to_string(::getpid());
  {
    Served s(3, options(false, 0, link));
    ASSERT_TRUE(s.start()) << s.pty.error();
    EXPECT_EQ(s.pty.slavePath().rfind("/dev/pts/", 0), 0u);
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(s.pty.slavePath(), target);

    Port port(link);
    ASSERT_TRUE(port.ok());
    port.write("AT\r");  // data mode: no answer
    port.write("+++\r");
    EXPECT_EQ(port.readUntil("OK\r\n"), "OK\r\n");
    port.write("ATD3\rATS1?\r");
    EXPECT_EQ(port.readUntil("3\r\nOK\r\n"), "OK\r\n3\r\nOK\r\n");
    port.write("ATI1\r");
    std::string page = port.readUntil("\r\nOK\r\n");
    EXPECT_NE(page.find("S-Registers"), std::string::npos);
    EXPECT_EQ(page.find('\n'), page.find('\r') + 1);  // CR LF framing
  }
  // The link goes with the simulator.
  struct stat st {};
  EXPECT_NE(::lstat(link.c_str(), &st), 0);

  // A stale link to a pseudo-terminal is replaced; a link of the user's to
  // anything else is not touched.
  ASSERT_EQ(::symlink("/dev/pts/999", link.c_str()), 0);
  {
    Served s(1, options(false, 0, link));
    EXPECT_TRUE(s.start()) << s.pty.error();
  }
  ASSERT_EQ(::symlink("/etc/hostname", link.c_str()), 0);
  {
    Served s(1, options(false, 0, link));
    EXPECT_FALSE(s.start());
    EXPECT_NE(s.pty.error().find(link), std::string::npos) << s.pty.error();
  }
  char target[256] = {};
  EXPECT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ(target, "/etc/hostname");
  ::unlink(link.c_str());
}

TEST(SimPty, ReopeningThePortKeepsServing) {
  Served s(1, {});
  ASSERT_TRUE(s.start()) << s.pty.error();
  for (int i = 0; i < 2; ++i) {
    {
      Port port(s.pty.slavePath());
      ASSERT_TRUE(port.ok());
      port.write("+++");
      EXPECT_EQ(port.readUntil("OK\r\n"), "OK\r\n");
      // A reply nobody reads before closing is lost with the port, as on a
      // real line: the next program must not find it.
      port.write("AT\r");
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the close is seen
  }
  Port port(s.pty.slavePath());
  port.write("ATS0?\r");
  EXPECT_EQ(port.readUntil("OK\r\n"), "7\r\nOK\r\n");
  auto t0 = Clock::now();
  s.pty.stop();
  s.thread.join();
  EXPECT_TRUE(s.result) << s.pty.error();
  EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(500));
}

TEST(SimPty, PacingTakesTheWireTime) {
  // 19200 baud, given or taken from the line: about 0.52 ms per byte each
  // way. The trace sees the bytes as they pass, with their times.
  for (int baud : {19200, 0}) {
    SCOPED_TRACE(baud);
    std::mutex m;
    std::string in, out;
    double lastIn = 0, lastOut = 0;
    SimPty::Options o = options(true, baud, "");
    o.trace = [&](char d, const std::string& bytes, double t) {
      std::lock_guard<std::mutex> lock(m);
      (d == 'r' ? in : out) += bytes;
      (d == 'r' ? lastIn : lastOut) = t;
    };
    Served s(1, o);
    ASSERT_TRUE(s.start()) << s.pty.error();
    Port port(s.pty.slavePath());  // sets the line to 19200
    ASSERT_TRUE(port.ok());
    port.write("+++\r");
    ASSERT_EQ(port.readUntil("OK\r\n"), "OK\r\n");
    auto t0 = Clock::now();
    port.write("ATI1\r");
    std::string page = port.readUntil("\r\nOK\r\n");
    double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    double wire = (5.0 + page.size()) * 10.0 / 19200.0;
    EXPECT_GT(page.size(), 600u);
    EXPECT_GE(seconds, 0.95 * wire);
    EXPECT_LE(seconds, 3.0 * wire + 0.5);  // generous: the machine may be busy
    // The trace records a chunk after writing it, so its last bytes may reach
    // the reader a moment before they reach the trace.
    const std::string expected = "OK\r\n" + page;
    for (int i = 0; i < 200; ++i) {
      {
        std::lock_guard<std::mutex> lock(m);
        if (out.size() >= expected.size()) break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(in, "+++\rATI1\r");
    EXPECT_EQ(out, expected);
    EXPECT_GT(lastOut, lastIn);
  }
}

TEST(SimPty, PacedLineHoldsUpAFastWriter) {
  // At 9600 baud the line carries 960 bytes a second; a writer that does
  // not wait must be held up by the full device, not queue megabytes.
  Served s(1, options(true, 9600, ""));
  ASSERT_TRUE(s.start()) << s.pty.error();
  Port port(s.pty.slavePath());
  ASSERT_TRUE(port.ok());
  const std::string chunk(4096, 'A');
  size_t written = 0;
  auto end = Clock::now() + std::chrono::milliseconds(300);
  while (Clock::now() < end) {
    ssize_t n = ::write(port.fd(), chunk.data(), chunk.size());
    if (n > 0) written += static_cast<size_t>(n);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_LT(s.pty.bytesIn(), 4096u);
  EXPECT_LT(written, 64u * 1024);
  // It keeps taking bytes in at the line's speed: about 190 in 200 ms.
  uint64_t before = s.pty.bytesIn();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  uint64_t taken = s.pty.bytesIn() - before;
  EXPECT_GT(taken, 60u);
  EXPECT_LT(taken, 600u);
}
