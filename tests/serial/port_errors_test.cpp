#include <grp.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "pty_fixture.h"
#include "serial/port_errors.h"
#include "temp_tree.h"

namespace tessel {
namespace testing {
namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(PortErrors, MessagesNameTheDeviceAndWhatToDo) {
  struct Case {
    int err;
    std::vector<PortHolder> holders;
    std::vector<std::string> parts;  // each must appear
  } cases[] = {
      {EACCES, {}, {"/dev/ttyUSB0", "\"dialout\"", "sudo usermod -aG dialout $USER", "log in"}},
      {EPERM, {}, {"/dev/ttyUSB0", "dialout"}},
      {EBUSY, {}, {"/dev/ttyUSB0 is busy"}},
      {EBUSY, {{412, "minicom"}}, {"/dev/ttyUSB0 is busy", "(minicom, process 412)"}},
      {EBUSY, {{7, "screen"}, {9, ""}}, {"screen, process 7", "process, process 9"}},
  };
  for (const Case& c : cases) {
    const std::string text = openErrorMessage(c.err, "/dev/ttyUSB0", c.holders);
    for (const std::string& part : c.parts)
      EXPECT_TRUE(contains(text, part)) << c.err << ": " << text << " lacks " << part;
  }
  // Without holders the busy text claims none.
  EXPECT_FALSE(contains(openErrorMessage(EBUSY, "/dev/ttyUSB0"), "("));
  // Codes whose system text says enough get none of ours.
  for (int err : {ENOENT, ENOTTY, EIO}) EXPECT_EQ(openErrorMessage(err, "/dev/ttyUSB0"), "");

  const std::string lost = lineLostMessage(EIO, "/dev/serial/by-id/usb-FTDI_X-if00-port0");
  EXPECT_TRUE(contains(lost, "/dev/serial/by-id/usb-FTDI_X-if00-port0")) << lost;
  EXPECT_TRUE(contains(lost, std::strerror(EIO))) << lost;
}

TEST(PortErrors, HoldersComeFromTheDescriptorLinksOfOtherProcesses) {
  TempTree t;
  const std::string proc = t.path("proc");
  // A stable name that resolves to the device: a process holding the device
  // under its own name holds the link too.
  t.file("dev/ttyUSB0", "");
  t.link("dev/serial/by-id/usb-Radio-if00", t.path("dev/ttyUSB0"));
  const std::string device = t.path("dev/ttyUSB0");
  t.file("proc/100/comm", "minicom\n");
  t.link("proc/100/fd/0", "/dev/null");
  t.link("proc/100/fd/3", device);
  t.file("proc/200/comm", "other\n");
  t.link("proc/200/fd/3", t.path("dev/ttyUSB1"));  // another port
  t.file("proc/300/comm", "ourselves\n");
  t.link("proc/300/fd/5", device);
  t.file("proc/50/comm", "gpsd\n");
  t.link("proc/50/fd/9", device);
  t.file("proc/60/comm", "closed\n");  // no fd folder we may read
  t.file("proc/self/comm", "ourselves\n");
  t.link("proc/self/fd/5", device);

  auto names = [](const std::vector<PortHolder>& hs) {
    std::vector<std::string> n;
    for (const auto& h : hs) n.push_back(std::to_string(h.pid) + " " + h.name);
    return n;
  };
  const std::vector<std::string> expected{"50 gpsd", "100 minicom"};
  EXPECT_EQ(names(portHolders(device, proc, 300)), expected);
  EXPECT_EQ(names(portHolders(t.path("dev/serial/by-id/usb-Radio-if00"), proc, 300)), expected);
  EXPECT_TRUE(portHolders(t.path("dev/ttyUSB7"), proc, 300).empty());
  EXPECT_TRUE(portHolders(device, t.path("no-proc"), 300).empty());
}

// Runs fn in a child process; what it writes to the pipe comes back.
template <typename Fn>
std::string inChild(Fn fn) {
  int p[2];
  if (::pipe(p) != 0) return "pipe failed";
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(p[0]);
    const std::string out = fn();
    (void)!::write(p[1], out.data(), out.size());
    ::_exit(0);
  }
  ::close(p[1]);
  std::string got;
  char buffer[1024];
  ssize_t n;
  while ((n = ::read(p[0], buffer, sizeof buffer)) > 0) got.append(buffer, static_cast<size_t>(n));
  ::close(p[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return got;
}

TEST_F(SerialOverPty, RefusedPermissionNamesTheDeviceAndTheDialoutGroup) {
  // The tests may run as root, who is never refused: the open is tried by a
  // child that has become an unprivileged user without the device's group.
  ASSERT_EQ(::chmod(slavePath_.c_str(), 0600), 0);
  const std::string message = inChild([this] {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
      return std::string("could not drop privileges");
    LoopDispatcher gui;
    PromptScript prompts;
    TSerial s(gui, &prompts, &settings_);
    s.setActive(true);
    if (s.Active()) return std::string("opened");
    if (s.ErrorCode() != EACCES) return std::string("not EACCES");
    return prompts.texts().empty() ? std::string("no box") : prompts.texts().back();
  });
  EXPECT_TRUE(contains(message, slavePath_)) << message;
  EXPECT_TRUE(contains(message, "sudo usermod -aG dialout $USER")) << message;
}

TEST_F(SerialOverPty, BusyPortNamesTheProgramThatHoldsIt) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t holder = ::fork();
  if (holder == 0) {
    // Another program with the port open and locked, as a terminal program keeps it.
    ::prctl(PR_SET_NAME, "picocom", 0, 0, 0);
    int fd = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
    ::flock(fd, LOCK_EX | LOCK_NB);
    (void)!::write(ready[1], "x", 1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ::close(ready[0]);

  serial_ = makeSerial();
  serial_->setActive(true);
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_FALSE(serial_->Active());
  ASSERT_EQ(prompts_.texts().size(), 1u);
  const std::string text = prompts_.texts().back();
  EXPECT_TRUE(contains(text, slavePath_ + " is busy")) << text;
  EXPECT_TRUE(contains(text, "picocom, process " + std::to_string(holder))) << text;
  EXPECT_EQ(serial_->LastErrorMessage(), text);
  EXPECT_EQ(serial_->ErrorCode(), EBUSY);

  // Once the holder is gone the port opens.
  serial_->setActive(true);
  EXPECT_TRUE(serial_->Active());
}

TEST_F(SerialOverPty, PulledCableIsReportedOnceByNameAndThePortReopensWhenPluggedBack) {
  // The port is configured by a stable link, as a /dev/serial/by-id/ name is.
  TempTree t;
  const std::string byId = t.path("usb-Radio_Modem_A1B2-if00-port0");
  t.link("usb-Radio_Modem_A1B2-if00-port0", slavePath_);
  settings_.writeString("COM1", byId);
  serial_ = makeSerial();
  TSerial& s = *serial_;
  s.setNotifyErrors(neNone);  // as the link engine keeps it
  s.setActive(true);
  ASSERT_TRUE(s.Active());
  std::vector<std::string> lost;
  bool activeInHandler = true;
  s.setOnLineLost([&](const std::string& message) {
    lost.push_back(message);
    activeInHandler = s.Active();
  });

  closeMaster();  // the adapter is pulled
  EXPECT_TRUE(gui_.runUntil([&] { return !lost.empty(); }, 500ms));
  gui_.runFor(100ms);
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_TRUE(contains(lost[0], byId)) << lost[0];
  EXPECT_FALSE(activeInHandler);
  EXPECT_TRUE(prompts_.texts().empty());  // neNone: the handler alone tells
  s.WriteString("AT\r");                  // a write after the loss is the closed-port error
  EXPECT_EQ(lost.size(), 1u);

  // Plugged back: udev points the link at the new device.
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  std::filesystem::remove(byId);
  t.link("usb-Radio_Modem_A1B2-if00-port0", name);
  s.setActive(true);
  EXPECT_TRUE(s.Active());
  EXPECT_EQ(s.OpenDevice(), byId);
  s.WriteString("AT\r");
  char buffer[16] = {};
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(::read(master, buffer, sizeof buffer), 3);
  serial_.reset();
  ::close(master);
  ::close(slave);
}

TEST_F(SerialOverPty, ALossFoundByAReopenIsReportedOnceAndTheDestructorReportsNone) {
  TSerial& s = openSerial();
  s.setNotifyErrors(neNone);  // as the link engine keeps it
  int lost = 0;
  s.setOnLineLost([&](const std::string&) { ++lost; });

  closeMaster();
  // The event thread has seen the hang-up and waits for the GUI thread; a
  // tick comes first and reopens the port, cancelling that report.
  const auto t0 = std::chrono::steady_clock::now();
  while (gui_.pendingCount() == 0 && std::chrono::steady_clock::now() - t0 < 500ms)
    std::this_thread::sleep_for(1ms);
  ASSERT_EQ(gui_.pendingCount(), 1u);
  EXPECT_FALSE(s.Active());
  s.setActive(true);
  EXPECT_FALSE(s.Active());  // the device is gone
  EXPECT_EQ(lost, 1);
  gui_.runFor(100ms);
  EXPECT_EQ(lost, 1);

  // A loss nobody was told of before the component goes is not told then:
  // its owner is going too.
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  s.setDevicePath(name);
  s.setActive(true);
  ASSERT_TRUE(s.Active());
  ::close(master);
  std::this_thread::sleep_for(50ms);
  serial_.reset();
  gui_.runFor(20ms);
  EXPECT_EQ(lost, 1);
  ::close(slave);
}

}  // namespace
}  // namespace testing
}  // namespace tessel
