#pragma once

// The master side of a pseudo-terminal, whose slave side another program
// opens as it opens a serial device: the line of the simulated radios. A
// system without pseudo-terminals (Windows) has none to open.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tessel::platform {

class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Makes it, its slave side raw at 9600 baud; linkPath, when given, becomes
  // a symbolic link to the slave (a link an earlier one left that points at
  // a pseudo-terminal is replaced; anything else there is the user's and
  // stays). False with error().
  bool open(const std::string& linkPath = std::string());
  bool isOpen() const { return master_ >= 0; }
  const std::string& slavePath() const { return slavePath_; }
  const std::string& error() const { return error_; }

  // The speed the slave side is set to; 0 when it does not say.
  int lineSpeed() const;
  // What is there to read, into buf: the count, 0 when nothing is (or no
  // one has the slave open), -1 on a failure (error()).
  long read(char* buf, size_t size);
  // As much as the line takes now: the count, 0 when it is full, -1 on a
  // failure (error()).
  long write(const char* data, size_t size);
  // Drops what the slave side did not read.
  void dropUnread();

  struct Ready {
    bool input = false;
    bool output = false;
    bool users = false;  // the slave was opened or closed (userChanges())
    bool failed = false;
  };
  // Waits for input (wantInput), room for output (wantOutput), an open or
  // close of the slave by another program, wake(), or timeout (none: no
  // limit). failed with error() when the wait or the terminal failed.
  Ready wait(bool wantInput, bool wantOutput, std::optional<std::chrono::nanoseconds> timeout);
  // Ends a wait; from any thread, also from a signal handler.
  void wake();
  // Whether opens and closes of the slave are seen at all.
  bool watchesUsers() const { return watch_ >= 0; }
  // The opens (+1) and closes (-1) of the slave since the last call, in order.
  std::vector<int> userChanges();

 private:
  int master_ = -1;
  int slaveHold_ = -1;  // keeps the slave side open so the master never sees a hang-up
  int wakeRead_ = -1, wakeWrite_ = -1;
  int watch_ = -1;  // inotify on the slave device: opens and closes by others
  bool linked_ = false;
  std::string linkPath_;
  std::string slavePath_;
  std::string error_;
};

}  // namespace tessel::platform
