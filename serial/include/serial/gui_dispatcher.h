#pragma once

#include <functional>

namespace tessel {

// Runs routines on the GUI thread for threads that are not it. The Qt program
// wraps its event loop; the headless front end and the tests use
// LoopDispatcher.
class GuiDispatcher {
 public:
  virtual ~GuiDispatcher() = default;

  // Runs fn on the GUI thread and returns once it has run. Called on the GUI
  // thread itself, fn runs at once. Returns without running fn when the GUI
  // side drops it (its loop is being torn down).
  virtual void invokeAndWait(std::function<void()> fn) = 0;

  // Queues fn to run on the GUI thread and returns at once. A job that is
  // dropped unrun is destroyed, which is how a waiter on it learns of it.
  virtual void post(std::function<void()> fn) = 0;

  // GUI thread only: runs the work that is pending now (keeps the GUI live
  // while the caller waits for something).
  virtual void processPending() = 0;
};

}  // namespace tessel
