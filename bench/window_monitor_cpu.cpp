// The window's CPU while it monitors a group "As Fast as Replies": the
// program's own wiring on DEVICE (radios served by another process), the
// project opened and Online Monitor > Existing Project started, then the
// process's CPU time and the polls over SECONDS after a warm-up.
//   window_monitor_cpu DEVICE PROJECT [SECONDS]
// Prints "cpu <percent of one core> polls <n> ms/poll <cpu ms per poll>".
// Run it under xvfb-run for a real X server (what the user has), or with
// QT_QPA_PLATFORM=offscreen.
#include <sys/resource.h>
#include <time.h>

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/wiring.h"
#include "link/link_observer.h"
#include "link/tcom_port.h"
#include "ui/main_window.h"

namespace {

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Polls : tessel::LinkObserver {
  void radioPolled(int) override { ++count; }
  long count = 0;
};

// The program's own event loop for ms, sleeping while nothing is due, as
// the window's does (processEvents with a time limit would spin).
void runFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: window_monitor_cpu DEVICE PROJECT [SECONDS]\n");
    return 2;
  }
  const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 30;
  QApplication app(argc, argv);
  QTemporaryDir dir;
  // The user's settings are never read: COM1 is DEVICE, the poll interval
  // as fast as replies, the project the first recent one.
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
  {
    QSettings s(QStringLiteral("Corvane"), QStringLiteral("Tessel"));
    s.setValue(QStringLiteral("ComPort"), QStringLiteral("1"));
    s.setValue(QStringLiteral("COM1"), QString::fromLocal8Bit(argv[1]));
    s.setValue(QStringLiteral("PollInterval"), 0);
    s.setValue(QStringLiteral("file1"), QString::fromLocal8Bit(argv[2]));
  }
  tessel::WiringOptions options;
  options.dataDir = dir.path().toStdString();
  tessel::Wiring wiring(options);
  Polls polls;
  wiring.engine().addObserver(&polls);
  wiring.window().show();
  runFor(500);
  wiring.window().action(QStringLiteral("file1"))->trigger();
  wiring.window().action(QStringLiteral("discoverThis"))->trigger();
  runFor(3000);  // connected, the first round under way
  const double cpu0 = cpuSeconds();
  const long polls0 = polls.count;
  runFor(seconds * 1000);
  const double cpu = cpuSeconds() - cpu0;
  const long n = polls.count - polls0;
  std::printf("cpu %.1f %% polls %ld ms/poll %.2f\n", cpu * 100.0 / seconds, n,
              n ? cpu * 1000.0 / n : 0.0);
  wiring.engine().removeObserver(&polls);
  return 0;
}
