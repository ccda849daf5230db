#pragma once

// The headless front end's event loop: the calling thread plays the GUI
// thread. Serial events arrive through the LoopDispatcher; tick timers fire
// from a timer thread by posting their handler to the same loop, so every
// handler of the engine runs on this one thread, one at a time, and an idle
// loop sleeps.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "seams/tick_timer.h"
#include "serial/loop_dispatcher.h"

namespace tessel::cli {

class CliLoop {
 public:
  using Clock = std::chrono::steady_clock;
  // The time the timers count in. Without one the loop follows the steady
  // clock and its timer thread sleeps until the next due tick; with one (a
  // test's hand-moved clock) nothing is due until timeMoved() says so.
  using TimeSource = std::function<Clock::time_point()>;

  CliLoop();
  explicit CliLoop(TimeSource now);
  ~CliLoop();
  CliLoop(const CliLoop&) = delete;
  CliLoop& operator=(const CliLoop&) = delete;

  LoopDispatcher& dispatcher() { return dispatcher_; }

  // A timer whose handler runs on the loop's thread.
  std::unique_ptr<TickTimer> createTimer();

  // Runs handlers until quit() (from any thread) or until limit passes
  // (a zero limit: no limit). True when quit() ended it.
  bool run(std::chrono::milliseconds limit = std::chrono::milliseconds::zero());
  void quit();

  // Every timer runs this many times faster than its interval says. For
  // tests of commands that wait on the engine's ticks; 1 is real time.
  void setTimeScale(int scale);

  // After the injected clock moved on: posts the ticks now due to the loop
  // before it returns.
  void timeMoved();

  struct TimerState;  // shared with the timers and the timer thread

 private:
  void timerThread();
  std::chrono::steady_clock::time_point postDue();

  LoopDispatcher dispatcher_;
  std::shared_ptr<TimerState> state_;
  std::thread thread_;
};

}  // namespace tessel::cli
