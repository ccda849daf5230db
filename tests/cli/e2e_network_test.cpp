// tessel-cli over the network: simulated radios on a pseudo-terminal served
// by a real ser2net, reached through its Telnet accepter with port control
// (rfc2217://) and through a raw one (tcp://).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "cli_e2e_fixture.h"
#include "model/ini_file.h"

using namespace tessel;
using namespace tessel::testing;
namespace fs = std::filesystem;

namespace {

// A TCP port nobody listens on now.
int freePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

// Whether something listens on the loopback port (read from /proc, so that
// no probing connection takes the server's one user slot).
bool listening(int port) {
  char local[32];
  std::snprintf(local, sizeof local, "0100007F:%04X", port);
  std::ifstream in("/proc/net/tcp");
  for (std::string line; std::getline(in, line);) {
    std::istringstream f(line);
    std::string slot, address, remote, state;
    f >> slot >> address >> remote >> state;
    if (address == local && state == "0A") return true;
  }
  return false;
}

std::string run(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    ::pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

std::map<std::string, std::string> keyValues(const std::string& text) {
  std::map<std::string, std::string> kv;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    auto eq = line.find(" = ");
    if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 3);
  }
  return kv;
}

class CliOverSer2net : public CliProcessTest {
 protected:
  void TearDown() override {
    stopServer();
    CliProcessTest::TearDown();
  }

  // ser2net with both accepters on free ports, serving device at 9600 8N1.
  void startServer(const std::string& device) {
    telnetPort_ = freePort();
    rawPort_ = freePort();
    const std::string config = file("ser2net.yaml");
    std::ofstream(config) << "connection: &rfc2217\n"
                          << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << telnetPort_ << "\n"
                          << "  connector: serialdev," << device << ",9600n81,local\n"
                          << "connection: &raw\n"
                          << "  accepter: tcp,127.0.0.1," << rawPort_ << "\n"
                          << "  connector: serialdev," << device << ",9600n81,local\n";
    server_ = ::fork();
    if (server_ == 0) {
      const std::string log = file("ser2net.log");
      FILE* f = std::freopen(log.c_str(), "w", stdout);
      (void)f;
      ::dup2(1, 2);
      ::execlp("ser2net", "ser2net", "-c", config.c_str(), "-n", "-d", "-P",
               file("ser2net.pid").c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 250 && !(listening(telnetPort_) && listening(rawPort_)); ++i)
      ::usleep(20000);
    ASSERT_TRUE(listening(telnetPort_) && listening(rawPort_)) << serverLog();
  }
  void stopServer() {
    if (server_ <= 0) return;
    ::kill(server_, SIGTERM);
    ::waitpid(server_, nullptr, 0);
    server_ = -1;
  }
  // ser2net lets go of the device a moment after its client left; a client
  // that comes before finds the device busy and is turned away.
  void waitDeviceFree(const std::string& device) {
    const std::string real = fs::canonical(device).string();
    const auto holds = [&] {
      std::error_code ec;
      for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(server_) + "/fd", ec))
        if (fs::read_symlink(fd.path(), ec) == real) return true;
      return false;
    };
    for (int i = 0; i < 250 && holds(); ++i) ::usleep(20000);
    ASSERT_FALSE(holds()) << "ser2net keeps " << device << " open";
  }
  std::string serverLog() const {
    std::ifstream in(file("ser2net.log"));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string rfc2217() const { return "rfc2217://127.0.0.1:" + std::to_string(telnetPort_); }
  std::string raw() const { return "tcp://127.0.0.1:" + std::to_string(rawPort_); }

  pid_t server_ = -1;
  int telnetPort_ = 0;
  int rawPort_ = 0;
};

// What a local port does, each accepter does: the same read, a verified
// send, and a monitor of every radio.
TEST_F(CliOverSer2net, GetLocalSetAndMonitorThroughBothAccepters) {
  const std::string simProject = file("sim.vro");
  writeGroup(simProject, 3, {0, 1});
  std::unique_ptr<Process> sim;
  const std::string device = startSim(sim, {"--project", simProject, "--command-mode"});
  ASSERT_FALSE(device.empty());
  startServer(device);

  Process local({"get-local", device, "--timeout", "20"}, dir_);
  ASSERT_EQ(local.wait(25000), 0) << local.err();
  const auto expected = keyValues(local.out());
  ASSERT_GT(expected.size(), 20u) << local.out();
  for (const std::string& address : {rfc2217(), raw()}) {
    SCOPED_TRACE(address);
    waitDeviceFree(device);
    Process get({"get-local", address, "--timeout", "20"}, dir_);
    ASSERT_EQ(get.wait(25000), 0) << get.err() << serverLog();
    EXPECT_EQ(keyValues(get.out()), expected);
  }

  const std::string project = file("group.vro");
  fs::copy_file(simProject, project);
  {
    IniFile ini(project);
    ASSERT_TRUE(ini.writeString("Project", "Security ID", "4321"));
    ASSERT_TRUE(ini.writeString("Radio1", "Retries", "77"));
  }
  ::setenv("TESSEL_TIME_SCALE", "10", 1);
  waitDeviceFree(device);
  Process set({"set", project, "1", rfc2217(), "--verify", "--timeout", "60"}, dir_);
  ASSERT_EQ(set.wait(65000), 0) << set.out() << set.err();
  EXPECT_NE(set.out().find("verify: every parameter reads as sent"), std::string::npos)
      << set.out();
  ::unsetenv("TESSEL_TIME_SCALE");

  waitDeviceFree(device);
  Process mon(
      {"monitor", project, rfc2217(), "--interval", "0.2", "--cycles", "2", "--timeout", "60"},
      dir_);
  ASSERT_EQ(mon.wait(65000), 0) << mon.err();
  std::map<std::string, int> polls;
  std::istringstream lines(mon.out());
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> f;
    std::stringstream s(line);
    for (std::string x; std::getline(s, x, ',');) f.push_back(x);
    ASSERT_EQ(f.size(), 6u) << line;
    ++polls[f[1]];
  }
  for (const char* id : {"1", "2", "3"}) EXPECT_GE(polls[id], 2) << "radio " << id;

  stopServer();
  sim->signal(SIGTERM);
  ASSERT_EQ(sim->wait(5000), 0) << sim->err();
  IniFile held(simProject);
  EXPECT_EQ(held.readString("Project", "Security ID", ""), "4321");
  EXPECT_EQ(held.readString("Radio1", "Retries", ""), "77");
}

// The line settings reach the far port through port control, and only
// there: the raw accepter keeps the server's. ser2net puts the port back as
// it was when its client leaves, so the speed is read while a monitor runs.
// A server that goes away ends that monitor with one message naming the
// address.
TEST_F(CliOverSer2net, BaudRateReachesThePortThroughRfc2217AndAServerGoneEndsTheTask) {
  std::unique_ptr<Process> sim;
  const std::string simProject = file("sim.vro");
  writeGroup(simProject, 2, {0, 1});
  const std::string device = startSim(sim, {"--project", simProject, "--command-mode"});
  ASSERT_FALSE(device.empty());
  startServer(device);
  const std::string speed = "stty -F " + device + " speed";

  for (const bool telnet : {false, true}) {
    SCOPED_TRACE(telnet ? "rfc2217" : "raw");
    waitDeviceFree(device);
    ASSERT_EQ(run("stty -F " + device + " 9600 && " + speed), "9600");
    Process mon({"monitor", simProject, telnet ? rfc2217() : raw(), "--baud", "38400", "--interval",
                 "0.2", "--timeout", "60"},
                dir_);
    ASSERT_FALSE(mon.readLine(20000).empty()) << mon.err() << serverLog();
    EXPECT_EQ(run(speed), telnet ? "38400" : "9600");
    if (!telnet) {
      mon.signal(SIGINT);
      EXPECT_EQ(mon.wait(10000), 0) << mon.err();
      continue;
    }
    stopServer();
    EXPECT_EQ(mon.wait(15000), 1);
    const std::string says = "Network port " + rfc2217() + ": the server closed the connection";
    const auto at = mon.err().find(says);
    EXPECT_NE(at, std::string::npos) << mon.err();
    EXPECT_EQ(mon.err().find(says, at + 1), std::string::npos) << mon.err();
  }
}

}  // namespace
