#pragma once

#include <functional>

#include "seams/tick_timer.h"

namespace tessel::testing {

// A tick timer that never fires by itself: fire() advances a virtual clock by
// the interval and runs the handler, so no test waits for a real tick.
class FakeTickTimer : public TickTimer {
 public:
  void setHandler(std::function<void()> handler) override { handler_ = std::move(handler); }
  void setInterval(int ms) override { interval_ = ms; }
  int interval() const override { return interval_; }
  void start() override {
    active_ = true;
    ++starts_;
  }
  void stop() override { active_ = false; }
  bool isActive() const override { return active_; }

  // Runs one tick if the timer is running; false when it was stopped.
  bool fire() {
    if (!active_ || !handler_) return false;
    nowMs_ += interval_;
    handler_();
    return true;
  }
  long nowMs() const { return nowMs_; }
  void advance(long ms) { nowMs_ += ms; }
  int starts() const { return starts_; }

 private:
  std::function<void()> handler_;
  int interval_ = 0;
  bool active_ = false;
  long nowMs_ = 0;
  int starts_ = 0;
};

}  // namespace tessel::testing
