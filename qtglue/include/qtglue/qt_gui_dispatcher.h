#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "serial/gui_dispatcher.h"

class QObject;

namespace tessel {

// Runs routines on the Qt GUI thread: the thread in which the dispatcher is
// created (the thread of the QApplication). Must outlive the components
// that use it.
class QtGuiDispatcher : public GuiDispatcher {
 public:
  QtGuiDispatcher();
  // GUI thread. Callers still waiting in invokeAndWait are let go without
  // their routine running; queued routines are dropped.
  ~QtGuiDispatcher() override;
  QtGuiDispatcher(const QtGuiDispatcher&) = delete;
  QtGuiDispatcher& operator=(const QtGuiDispatcher&) = delete;

  void invokeAndWait(std::function<void()> fn) override;
  void post(std::function<void()> fn) override;
  void processPending() override;

 private:
  bool onGuiThread() const;

  std::unique_ptr<QObject> receiver_;  // lives in the GUI thread; the routines run in its context
  std::mutex mutex_;
  std::condition_variable callersLeft_;
  int callers_ = 0;  // threads inside invokeAndWait
  bool closing_ = false;
};

}  // namespace tessel
