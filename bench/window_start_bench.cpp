// Start-up cost of the windowed program: from the start of the process to
// the main window's first paint, and the resident memory once it is up.
// Each sample is a fresh process (this program runs itself with --once).
//   window_start_bench [--runs N]      prints each sample and the median
// Run it under xvfb-run for a real X server, or with QT_QPA_PLATFORM=offscreen.
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/wiring.h"
#include "ui/main_window.h"
#include "ui/pictures.h"

namespace {

// Milliseconds since this process started, from the kernel's own record.
double msSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // Fields after the command name, which is in parentheses and may hold blanks.
  std::istringstream rest(text.substr(text.rfind(')') + 2));
  std::string field;
  unsigned long long start = 0;
  for (int i = 3; i <= 22 && rest >> field; ++i)
    if (i == 22) start = std::stoull(field);
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  return (now.tv_sec + now.tv_nsec / 1e9 - start / ticks) * 1000.0;
}

long residentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

class FirstPaint : public QObject {
 public:
  bool painted = false;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted = true;
    return false;
  }
};

int once(int argc, char** argv) {
  const double entered = msSinceProcessStart();
  QApplication app(argc, argv);
  const double appMade = msSinceProcessStart();
  QTemporaryDir dir;
  // Settings and files of a first start, kept out of the user's own.
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
  tessel::WiringOptions options;
  options.dataDir = dir.path().toStdString();
  tessel::Wiring wiring(options);
  const double wired = msSinceProcessStart();
  FirstPaint paint;
  wiring.window().installEventFilter(&paint);
  wiring.window().show();
  while (!paint.painted) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  const double shownMs = msSinceProcessStart();
  QApplication::processEvents();
  std::printf("%.1f %ld\n", shownMs, residentKb());
  // Where the time went, for whoever looks at a slow start.
  std::fprintf(stderr, "  main at %.0f ms, QApplication %.0f, windows made %.0f, painted %.0f\n",
               entered, appMade, wired, shownMs);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--once") return once(argc, argv);
  int runs = 5;
  if (argc > 2 && std::string(argv[1]) == "--runs") runs = std::max(1, std::atoi(argv[2]));
  std::vector<double> times;
  std::vector<long> rss;
  for (int i = 0; i < runs; ++i) {
    std::string command = std::string("'") + argv[0] + "' --once";
    FILE* p = popen(command.c_str(), "r");
    if (!p) return 1;
    double ms = 0;
    long kb = 0;
    const int got = std::fscanf(p, "%lf %ld", &ms, &kb);
    if (pclose(p) != 0 || got != 2) {
      std::fprintf(stderr, "window_start_bench: a sample failed\n");
      return 1;
    }
    std::printf("start to first paint %.0f ms, resident %.1f MB\n", ms, kb / 1024.0);
    times.push_back(ms);
    rss.push_back(kb);
  }
  std::sort(times.begin(), times.end());
  std::sort(rss.begin(), rss.end());
  std::printf("median: %.0f ms (goal < 300), %.1f MB resident (goal < 80)\n",
              times[times.size() / 2], rss[rss.size() / 2] / 1024.0);
  return 0;
}
