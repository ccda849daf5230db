#pragma once

// Serves a simulated radio group on the master side of a pseudo-terminal.
// The configurator opens the slave side (/dev/pts/N, or a symlink to it) as
// it would open a serial device.
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <string>

#include "platform/pseudo_terminal.h"
#include "sim/sim_radio_group.h"

namespace tessel::sim {

class SimPty {
 public:
  struct Options {
    // Deliver bytes at the line's speed (10 bits per byte) in both
    // directions, as a real serial line would.
    bool pace = false;
    // Speed for pacing; 0 = the speed the slave side is set to.
    int baud = 0;
    // Optional symlink to the slave side, removed again on destruction.
    std::string linkPath;
    // Sees every batch of bytes as the radios take it in ('r', once its
    // last bit has arrived) and as it leaves them ('t', once written), with
    // the time in seconds since open.
    std::function<void(char direction, const std::string& bytes, double seconds)> trace;
  };

  SimPty(SimRadioGroup& group, Options options);
  ~SimPty();
  SimPty(const SimPty&) = delete;
  SimPty& operator=(const SimPty&) = delete;

  // Creates the pseudo-terminal; false with error() when that fails.
  bool open();
  const std::string& slavePath() const { return slavePath_; }
  const std::string& error() const { return error_; }

  // Serves until stop() is called; false with error() on an I/O failure.
  bool run();
  // Safe from another thread and from a signal handler.
  void stop();

  // Bytes received and sent since open (for measurements).
  uint64_t bytesIn() const { return bytesIn_; }
  uint64_t bytesOut() const { return bytesOut_; }

 private:
  using Clock = std::chrono::steady_clock;
  int64_t nowMs() const;
  double seconds(Clock::time_point t) const;
  std::chrono::nanoseconds byteTime() const;
  bool readInput(Clock::time_point now);
  void deliverInput(Clock::time_point now);
  void queueOutput(const std::string& bytes, Clock::time_point now);
  void readOpenEvents();
  bool writeOutput(Clock::time_point now);

  SimRadioGroup& group_;
  Options options_;
  platform::PseudoTerminal pty_;
  int users_ = 0;  // programs that have the slave open
  std::string slavePath_;
  std::string error_;
  std::atomic<bool> stopping_{false};
  Clock::time_point start_;

  // Paced input: bytes with the time their last bit arrives.
  std::deque<std::pair<Clock::time_point, char>> input_;
  Clock::time_point rxFreeAt_{};
  // Output waiting for the line; when pacing, txFreeAt_ is when the last
  // byte written has left.
  std::string output_;
  Clock::time_point txFreeAt_{};
  bool writeBlocked_ = false;
  std::atomic<uint64_t> bytesIn_{0}, bytesOut_{0};
};

}  // namespace tessel::sim
