#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <future>
#include <thread>

#include "qtglue/qt_gui_dispatcher.h"
#include "serial/tserial.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;

// Pumps the Qt event loop until done() holds or ms pass.
bool pumpUntil(const std::function<bool()>& done, int ms = 1000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return done();
}

TEST(QtGuiDispatcher, OnTheGuiThreadRunsAtOnce) {
  QtGuiDispatcher gui;
  bool ran = false;
  gui.invokeAndWait([&] { ran = true; });  // would deadlock if it were queued to itself
  EXPECT_TRUE(ran);
}

TEST(QtGuiDispatcher, FromAWorkerRunsOnTheGuiThreadAndWaits) {
  QtGuiDispatcher gui;
  QThread* guiThread = QThread::currentThread();
  QThread* ranOn = nullptr;
  QThread* postedOn = nullptr;
  std::atomic<bool> ranBeforeReturn{false}, returned{false};
  bool ran = false;
  std::thread worker([&] {
    gui.invokeAndWait([&] {
      ranOn = QThread::currentThread();
      ran = true;
    });
    ranBeforeReturn = ran;
    returned = true;
    gui.post([&] { postedOn = QThread::currentThread(); });
  });
  EXPECT_TRUE(pumpUntil([&] { return returned && postedOn; }));
  worker.join();
  EXPECT_TRUE(ranBeforeReturn);
  EXPECT_EQ(ranOn, guiThread);
  EXPECT_EQ(postedOn, guiThread);
}

TEST(QtGuiDispatcher, DestroyingItLetsAWaitingWorkerGo) {
  auto gui = std::make_unique<QtGuiDispatcher>();
  std::atomic<bool> ran{false};
  auto finished = std::async(std::launch::async, [&] { gui->invokeAndWait([&] { ran = true; }); });
  std::this_thread::sleep_for(30ms);  // the worker is blocked; the GUI thread does not pump
  gui.reset();
  EXPECT_EQ(finished.wait_for(1s), std::future_status::ready);
  EXPECT_FALSE(ran);
}

TEST(QtGuiDispatcher, SerialEventsReachTheGuiThread) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  QtGuiDispatcher gui;
  {
    TSerial serial(gui);
    serial.setDevicePath(name);
    std::string text;
    QThread* ranOn = nullptr;
    serial.setOnRxData([&] {
      ranOn = QThread::currentThread();
      char c;
      while (serial.ReadChar(c) == 1) text += c;
    });
    serial.setActive(true);
    ASSERT_TRUE(serial.Active());
    ASSERT_EQ(::write(master, "OK\r\n", 4), 4);
    EXPECT_TRUE(pumpUntil([&] { return text == "OK\r\n"; }));
    EXPECT_EQ(ranOn, QThread::currentThread());

    // Destroyed while the worker waits for a hand-over the GUI has not run.
    ASSERT_EQ(::write(master, "more", 4), 4);
    std::this_thread::sleep_for(30ms);
  }
  QCoreApplication::processEvents();  // the stale hand-over must leave the freed component alone
  ::close(master);
  ::close(slave);
}

}  // namespace
}  // namespace tessel
