#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "serial/gui_dispatcher.h"

namespace tessel {

// A GUI dispatcher without a GUI: the thread that constructs it is the "GUI"
// thread and runs the queued jobs when it pumps (run, runUntil,
// processPending). Used by the headless front end and the tests.
class LoopDispatcher : public GuiDispatcher {
 public:
  LoopDispatcher();
  // Drops the jobs that never ran; their waiters return.
  ~LoopDispatcher() override;
  LoopDispatcher(const LoopDispatcher&) = delete;
  LoopDispatcher& operator=(const LoopDispatcher&) = delete;

  void invokeAndWait(std::function<void()> fn) override;
  void post(std::function<void()> fn) override;
  void processPending() override;

  // GUI thread: runs jobs as they come until done() holds or limit passes.
  // Returns done().
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
  // GUI thread: runs jobs for the given time.
  void runFor(std::chrono::milliseconds limit);
  // GUI thread: runs jobs until quit() is called (from any thread); the
  // batch in hand when it comes still runs, what is queued after it waits.
  void run();
  void quit();

  bool onGuiThread() const { return std::this_thread::get_id() == guiThread_; }
  // Jobs queued and not yet run.
  size_t pendingCount() const;

 private:
  // Runs every job queued before the call; returns how many ran.
  size_t runQueued();

  const std::thread::id guiThread_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool quit_ = false;
  bool closing_ = false;
};

}  // namespace tessel
