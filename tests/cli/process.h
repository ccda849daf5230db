#pragma once

// Runs tessel-cli as a child process with its own settings folder and
// collects what it prints; every wait is bounded.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace tessel::testing {

using Clock = std::chrono::steady_clock;

class Process {
 public:
  // input: what the child reads on standard input, then the end of it
  // (never the terminal the tests run from). program: what runs with args
  // after it; tessel-cli unless given ({"wine", "tessel-cli.exe"}).
  Process(const std::vector<std::string>& args, const std::string& home,
          const std::string& input = std::string(),
          std::vector<std::string> program = {TESSEL_CLI}) {
    int in[2], out[2], err[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      ::dup2(err[1], 2);
      for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
      ::setenv("HOME", home.c_str(), 1);
      ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
      ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
      std::vector<char*> argv;
      std::vector<std::string> copy = program;
      copy.insert(copy.end(), args.begin(), args.end());
      for (std::string& a : copy) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execvp(copy[0].c_str(), argv.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    // A few answers fit the pipe at once; the child reads them when it asks.
    for (size_t at = 0; at < input.size();) {
      const ssize_t n = ::write(in[1], input.data() + at, input.size() - at);
      if (n <= 0) break;
      at += static_cast<size_t>(n);
    }
    ::close(in[1]);
    out_ = out[0];
    err_ = err[0];
    ::fcntl(out_, F_SETFL, O_NONBLOCK);
    ::fcntl(err_, F_SETFL, O_NONBLOCK);
  }
  ~Process() {
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
    if (err_ >= 0) ::close(err_);
  }

  // The next line of standard output ("" when none came in time).
  std::string readLine(int ms = 5000) {
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      auto nl = stdout_.find('\n', consumed_);
      if (nl != std::string::npos) {
        std::string line = stdout_.substr(consumed_, nl - consumed_);
        consumed_ = nl + 1;
        return line;
      }
      if (Clock::now() >= end || !pump(20)) return {};
    }
  }

  // Waits for the exit status; -1 (and the child killed) when it takes
  // longer than ms.
  int wait(int ms) {
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (status_ < 0) {
      int st = 0;
      pid_t r = ::waitpid(pid_, &st, WNOHANG);
      if (r == pid_) {
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        break;
      }
      if (Clock::now() >= end) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        status_ = -1;
        return -1;
      }
      pump(10);
    }
    while (pump(0)) {
    }
    return status_;
  }

  void signal(int sig) { ::kill(pid_, sig); }
  pid_t pid() const { return pid_; }
  // True while the program has not ended (its status is kept for wait()).
  bool running() {
    if (status_ >= 0) return false;
    int st = 0;
    if (::waitpid(pid_, &st, WNOHANG) != pid_) return true;
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return false;
  }
  const std::string& out() const { return stdout_; }
  const std::string& err() const { return stderr_; }

 private:
  // Reads what is there; false once both streams are closed.
  bool pump(int ms) {
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    ::poll(fds, 2, ms);
    bool open = false;
    for (auto [fd, text] : {std::pair<int, std::string*>{out_, &stdout_}, {err_, &stderr_}}) {
      char buf[4096];
      for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
          text->append(buf, static_cast<size_t>(n));
          continue;
        }
        if (n < 0 && errno == EAGAIN) open = true;
        break;
      }
    }
    return open;
  }

  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
  int status_ = -1;
  std::string stdout_, stderr_;
  size_t consumed_ = 0;
};

// Two pseudo-terminals joined back to back, like two serial ports with a
// null-modem cable between them: what one side's program writes, the other
// side's program reads.
class PtyPair {
 public:
  PtyPair() {
    for (int i = 0; i < 2; ++i) {
      master_[i] = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
      ::grantpt(master_[i]);
      ::unlockpt(master_[i]);
      char name[128];
      ::ptsname_r(master_[i], name, sizeof name);
      path_[i] = name;
      // Held open and raw, so neither master sees a hang-up or an echo.
      hold_[i] = ::open(name, O_RDWR | O_NOCTTY);
      termios tio{};
      ::tcgetattr(hold_[i], &tio);
      ::cfmakeraw(&tio);
      ::tcsetattr(hold_[i], TCSANOW, &tio);
    }
    ::pipe(wake_);
    thread_ = std::thread([this] { run(); });
  }
  ~PtyPair() {
    char c = 0;
    (void)!::write(wake_[1], &c, 1);
    thread_.join();
    for (int fd : {master_[0], master_[1], hold_[0], hold_[1], wake_[0], wake_[1]}) ::close(fd);
  }
  const std::string& path(int side) const { return path_[side]; }

 private:
  void run() {
    for (;;) {
      pollfd fds[3] = {{master_[0], POLLIN, 0}, {master_[1], POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (::poll(fds, 3, -1) < 0) continue;
      if (fds[2].revents) return;
      for (int i = 0; i < 2; ++i) {
        if (!(fds[i].revents & POLLIN)) continue;
        char buf[512];
        ssize_t n = ::read(master_[i], buf, sizeof buf);
        for (ssize_t done = 0; n > 0 && done < n;) {
          ssize_t w = ::write(master_[1 - i], buf + done, static_cast<size_t>(n - done));
          if (w > 0)
            done += w;
          else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      }
    }
  }
  int master_[2] = {-1, -1}, hold_[2] = {-1, -1}, wake_[2] = {-1, -1};
  std::string path_[2];
  std::thread thread_;
};

}  // namespace tessel::testing
