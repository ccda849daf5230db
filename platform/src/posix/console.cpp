#include "platform/console.h"

#include <pthread.h>
#include <signal.h>

namespace tessel::platform {

void prepareConsole() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

namespace {

// The watcher's own end comes as this signal, sent to its thread alone and
// blocked there, so its wait needs no timeout to notice it.
constexpr int kWakeSignal = SIGUSR2;

}  // namespace

InterruptWatch::InterruptWatch(std::function<void(int)> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
  sigset_t wake, old;
  sigemptyset(&wake);
  sigaddset(&wake, kWakeSignal);
  // The thread inherits the mask: blocked from its first instruction on.
  pthread_sigmask(SIG_BLOCK, &wake, &old);
  thread_ = std::thread([this] {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    // A terminal that goes away ends the command as an interrupt does.
    sigaddset(&set, SIGHUP);
    sigaddset(&set, kWakeSignal);
    while (!stop_) {
      int sig = 0;
      if (sigwait(&set, &sig) != 0 || sig == kWakeSignal) continue;
      if (onInterrupt_) onInterrupt_(sig);
    }
  });
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

InterruptWatch::~InterruptWatch() {
  stop_ = true;
  pthread_kill(thread_.native_handle(), kWakeSignal);
  thread_.join();
}

}  // namespace tessel::platform
