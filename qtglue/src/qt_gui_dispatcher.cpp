#include "qtglue/qt_gui_dispatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <chrono>

namespace tessel {

QtGuiDispatcher::QtGuiDispatcher() : receiver_(std::make_unique<QObject>()) {}

QtGuiDispatcher::~QtGuiDispatcher() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  // A blocking call waits on its posted event; deleting the event unrun lets
  // the caller go. Repeat until no caller is left, since one may be about to
  // post as we look.
  for (;;) {
    QCoreApplication::removePostedEvents(receiver_.get(), QEvent::MetaCall);
    std::unique_lock<std::mutex> lock(mutex_);
    if (callersLeft_.wait_for(lock, std::chrono::milliseconds(1), [&] { return callers_ == 0; }))
      break;
  }
  receiver_.reset();
}

bool QtGuiDispatcher::onGuiThread() const {
  return QThread::currentThread() == receiver_->thread();
}

void QtGuiDispatcher::invokeAndWait(std::function<void()> fn) {
  if (onGuiThread()) {
    fn();  // a blocking queued call to our own thread would wait for itself
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closing_) return;
    ++callers_;
  }
  QMetaObject::invokeMethod(
      receiver_.get(), [fn = std::move(fn)] { fn(); }, Qt::BlockingQueuedConnection);
  std::lock_guard<std::mutex> lock(mutex_);
  --callers_;
  callersLeft_.notify_all();
}

void QtGuiDispatcher::post(std::function<void()> fn) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closing_) return;  // fn is destroyed unrun
  QMetaObject::invokeMethod(
      receiver_.get(), [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

void QtGuiDispatcher::processPending() {
  if (onGuiThread()) QCoreApplication::processEvents();
}

}  // namespace tessel
