#include "cli/cli_loop.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <map>

namespace tessel::cli {

using Clock = CliLoop::Clock;

struct CliLoop::TimerState {
  struct Entry {
    std::function<void()> handler;
    int interval = 1000;
    bool active = false;
    bool posted = false;  // a tick is queued on the loop and has not run
    uint64_t generation = 0;
    Clock::time_point due;
  };
  std::mutex mutex;
  std::condition_variable wake;
  std::map<int, Entry> entries;
  int nextId = 1;
  bool stopping = false;
  CliLoop::TimeSource now;  // empty: the steady clock
  int timeScale = 1;

  // A timer's interval as the loop counts it.
  std::chrono::milliseconds span(const Entry& e) const {
    return std::chrono::milliseconds(std::max(e.interval / timeScale, 1));
  }

  Clock::time_point timeNow() const { return now ? now() : Clock::now(); }
};

namespace {

class LoopTimer : public TickTimer {
 public:
  LoopTimer(std::shared_ptr<CliLoop::TimerState> state) : state_(std::move(state)) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    id_ = state_->nextId++;
    state_->entries[id_];
  }
  ~LoopTimer() override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->entries.erase(id_);
  }
  void setHandler(std::function<void()> handler) override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->entries[id_].handler = std::move(handler);
  }
  void setInterval(int ms) override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->entries[id_].interval = ms > 0 ? ms : 1;
  }
  int interval() const override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->entries.at(id_).interval;
  }
  void start() override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto& e = state_->entries[id_];
    e.active = true;
    ++e.generation;  // a tick queued for the previous run is void
    e.posted = false;
    e.due = state_->timeNow() + state_->span(e);
    state_->wake.notify_all();
  }
  void stop() override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto& e = state_->entries[id_];
    e.active = false;
    ++e.generation;
    e.posted = false;
  }
  bool isActive() const override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->entries.at(id_).active;
  }

 private:
  std::shared_ptr<CliLoop::TimerState> state_;
  int id_ = 0;
};

}  // namespace

CliLoop::CliLoop() : CliLoop(TimeSource()) {}

CliLoop::CliLoop(TimeSource now) : state_(std::make_shared<TimerState>()) {
  state_->now = std::move(now);
  thread_ = std::thread([this] { timerThread(); });
}

CliLoop::~CliLoop() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stopping = true;
    state_->wake.notify_all();
  }
  thread_.join();
}

std::unique_ptr<TickTimer> CliLoop::createTimer() {
  return std::make_unique<LoopTimer>(state_);
}

// Hands every due tick to the loop; the next due time, or max when none.
// Called with the state's mutex held.
Clock::time_point CliLoop::postDue() {
  std::weak_ptr<TimerState> weak = state_;
  const auto now = state_->timeNow();
  Clock::time_point next = Clock::time_point::max();
  for (auto& [id, e] : state_->entries) {
    if (!e.active || e.posted) continue;
    if (e.due <= now) {
      // Hand the tick to the loop; the next one counts from now, like a
      // timer whose handler was late.
      e.posted = true;
      uint64_t generation = e.generation;
      int timerId = id;
      e.due = now + state_->span(e);
      dispatcher_.post([weak, timerId, generation] {
        auto state = weak.lock();
        if (!state) return;
        std::function<void()> handler;
        {
          std::lock_guard<std::mutex> l(state->mutex);
          auto it = state->entries.find(timerId);
          if (it == state->entries.end()) return;
          auto& entry = it->second;
          if (!entry.active || entry.generation != generation) return;
          entry.posted = false;
          handler = entry.handler;
          // The timer thread skipped this timer while its tick was queued.
          state->wake.notify_all();
        }
        if (handler) handler();
      });
      continue;
    }
    next = std::min(next, e.due);
  }
  return next;
}

void CliLoop::timerThread() {
  std::unique_lock<std::mutex> lock(state_->mutex);
  while (!state_->stopping) {
    const Clock::time_point next = postDue();
    if (next == Clock::time_point::max() || state_->now) {
      state_->wake.wait(lock);  // an injected clock's time passes only in timeMoved()
    } else {
      state_->wake.wait_until(lock, next);
    }
  }
}

void CliLoop::setTimeScale(int scale) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->timeScale = std::max(scale, 1);
}

void CliLoop::timeMoved() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  postDue();
}

bool CliLoop::run(std::chrono::milliseconds limit) {
  if (limit == std::chrono::milliseconds::zero()) {
    dispatcher_.run();
    return true;
  }
  // A watchdog turns the time limit into a quit, so the loop still sleeps
  // while idle.
  std::mutex m;
  std::condition_variable cv;
  bool done = false, timedOut = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(m);
    if (!cv.wait_for(lock, limit, [&] { return done; })) {
      timedOut = true;
      dispatcher_.quit();
    }
  });
  dispatcher_.run();
  {
    std::lock_guard<std::mutex> lock(m);
    done = true;
  }
  cv.notify_all();
  watchdog.join();
  return !timedOut;
}

void CliLoop::quit() {
  dispatcher_.quit();
}

}  // namespace tessel::cli
