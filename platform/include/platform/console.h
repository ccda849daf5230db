#pragma once

// A program started from a console: its arguments, its standard streams,
// and the user's request to stop it (Ctrl+C, or a request to end from the
// system: SIGINT, SIGTERM and SIGHUP on POSIX, the console's control events on
// Windows).
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tessel::platform {

// In main(), before any thread starts: requests to stop go only to an
// InterruptWatch (no other thread takes them, and without a watch they end
// the program as usual); a reader that went away makes a write fail instead
// of ending the program; standard output and error carry the bytes written
// unchanged (on Windows no CR is put before each LF).
void prepareConsole();

// The command line's arguments after the program name, as UTF-8.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Calls onInterrupt (with the signal number, or the console event) on a
// thread of its own for each request to stop while the watch lives.
class InterruptWatch {
 public:
  explicit InterruptWatch(std::function<void(int)> onInterrupt);
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

 private:
  std::function<void(int)> onInterrupt_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace tessel::platform
