#pragma once

// A real ser2net serving one device through a Telnet accepter with port
// control (RFC 2217) and a raw one, on free loopback ports; stopped when the
// object goes. Its configuration and log live in the folder given.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace tessel::testing {

class Ser2netServer {
 public:
  explicit Ser2netServer(std::string dir) : dir_(std::move(dir)) {}
  ~Ser2netServer() { stop(); }
  Ser2netServer(const Ser2netServer&) = delete;
  Ser2netServer& operator=(const Ser2netServer&) = delete;

  // Starts serving device at 9600 8N1; false when it did not listen in time.
  bool start(const std::string& device) {
    telnetPort_ = freePort();
    rawPort_ = freePort();
    const std::string config = dir_ + "/ser2net.yaml";
    std::ofstream(config) << "connection: &rfc2217\n"
                          << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << telnetPort_ << "\n"
                          << "  connector: serialdev," << device << ",9600n81,local\n"
                          << "connection: &raw\n"
                          << "  accepter: tcp,127.0.0.1," << rawPort_ << "\n"
                          << "  connector: serialdev," << device << ",9600n81,local\n";
    const std::string log = dir_ + "/ser2net.log";
    const std::string pidFile = dir_ + "/ser2net.pid";
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls here: the test process has threads.
      const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0) ::_exit(126);
      ::dup2(out, 1);
      ::dup2(out, 2);
      // The test's own descriptors (a pseudo-terminal it holds, say) are
      // not the server's to keep.
      for (int fd = 3; fd < 1024; ++fd) ::close(fd);
      ::execlp("ser2net", "ser2net", "-c", config.c_str(), "-n", "-d", "-P", pidFile.c_str(),
               static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 250 && !(listening(telnetPort_) && listening(rawPort_)); ++i)
      ::usleep(20000);
    return listening(telnetPort_) && listening(rawPort_);
  }

  void stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  // ser2net lets go of the device a moment after its client left; a client
  // that comes before finds the device busy and is turned away. False when
  // it still holds it after five seconds.
  bool waitDeviceFree(const std::string& device) const {
    const std::string real = std::filesystem::canonical(device).string();
    const auto holds = [&] {
      std::error_code ec;
      for (const auto& fd :
           std::filesystem::directory_iterator("/proc/" + std::to_string(pid_) + "/fd", ec))
        if (std::filesystem::read_symlink(fd.path(), ec) == real) return true;
      return false;
    };
    for (int i = 0; i < 250 && holds(); ++i) ::usleep(20000);
    return !holds();
  }

  std::string log() const {
    std::ifstream in(dir_ + "/ser2net.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string rfc2217() const { return "rfc2217://127.0.0.1:" + std::to_string(telnetPort_); }
  std::string raw() const { return "tcp://127.0.0.1:" + std::to_string(rawPort_); }

 private:
  // A TCP port nobody listens on now.
  static int freePort() {
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

  // Whether something listens on the loopback port, read from /proc so that
  // no probing connection takes the server's one client slot.
  static bool listening(int port) {
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

  std::string dir_;
  pid_t pid_ = -1;
  int telnetPort_ = 0;
  int rawPort_ = 0;
};

}  // namespace tessel::testing
