#include "serial/loop_dispatcher.h"

#include <memory>

namespace tessel {

namespace {

// Shared by a waiting thread and the job it queued. The job holds the only
// Release; when the job has run and is destroyed, or is dropped unrun, the
// Release goes and wakes the waiter, so no waiter outlives its job.
struct Completion {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
};

struct Release {
  explicit Release(std::shared_ptr<Completion> c) : completion(std::move(c)) {}
  ~Release() {
    std::lock_guard<std::mutex> lock(completion->mutex);
    completion->finished = true;
    completion->done.notify_all();
  }
  std::shared_ptr<Completion> completion;
};

}  // namespace

LoopDispatcher::LoopDispatcher() : guiThread_(std::this_thread::get_id()) {}

LoopDispatcher::~LoopDispatcher() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    dropped.swap(jobs_);
  }
  // Destroying the jobs outside the lock releases their waiters.
  dropped.clear();
}

void LoopDispatcher::invokeAndWait(std::function<void()> fn) {
  if (onGuiThread()) {
    fn();
    return;
  }
  auto completion = std::make_shared<Completion>();
  {
    auto release = std::make_shared<Release>(completion);
    std::lock_guard<std::mutex> lock(mutex_);
    if (closing_) return;
    jobs_.emplace_back([fn = std::move(fn), release]() { fn(); });
    wake_.notify_all();
  }
  std::unique_lock<std::mutex> lock(completion->mutex);
  completion->done.wait(lock, [&] { return completion->finished; });
}

void LoopDispatcher::post(std::function<void()> fn) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (closing_) {
    lock.unlock();
    return;  // fn is destroyed here, unrun
  }
  jobs_.push_back(std::move(fn));
  wake_.notify_all();
}

size_t LoopDispatcher::pendingCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return jobs_.size();
}

size_t LoopDispatcher::runQueued() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch.swap(jobs_);
  }
  size_t ran = 0;
  while (!batch.empty()) {
    std::function<void()> job = std::move(batch.front());
    batch.pop_front();
    job();
    ++ran;
    // job goes out of scope here, so its waiter wakes right after it ran
  }
  return ran;
}

void LoopDispatcher::processPending() {
  runQueued();
}

bool LoopDispatcher::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    runQueued();
    if (done()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    // done() may turn true without a job being queued, so look again soon.
    const auto slice =
        std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(2));
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, slice, [&] { return !jobs_.empty(); });
  }
}

void LoopDispatcher::runFor(std::chrono::milliseconds limit) {
  runUntil([] { return false; }, limit);
}

void LoopDispatcher::run() {
  for (;;) {
    runQueued();
    std::unique_lock<std::mutex> lock(mutex_);
    // A quit ends the run once the jobs in hand have run: a port that keeps
    // receiving keeps the queue from ever running dry, and what comes after
    // the quit runs with the next pump.
    if (!quit_) wake_.wait(lock, [&] { return quit_ || !jobs_.empty(); });
    if (quit_) {
      quit_ = false;
      return;
    }
  }
}

void LoopDispatcher::quit() {
  std::lock_guard<std::mutex> lock(mutex_);
  quit_ = true;
  wake_.notify_all();
}

}  // namespace tessel
