// The window's Set Parameters on a remote radio that the monitor polls, timed
// from the click to the completion message, on simulated radios that pace
// their line at 19200 baud, with the program's own timer: once at a line
// per tick (the default pacing; left out with --no-tick), then RUNS times
// with "As Fast as Replies". Each time is set against the wire time of the
// bytes exchanged meanwhile.
//   window_set_bench [--runs N] [--no-tick]
// Run it under xvfb-run for a real X server, or with QT_QPA_PLATFORM=offscreen.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/wiring.h"
#include "link/tcom_port.h"
#include "model/brand_profile.h"
#include "model/catalogue.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "seams/prompts.h"
#include "serial/tserial.h"
#include "sim/sim_project.h"
#include "sim/sim_pty.h"
#include "ui/main_window.h"
#include "ui/parameter_panel.h"
#include "ui/qt_seams.h"

namespace {

constexpr int kBaud = 19200;

// Message boxes answered at once; the time of the completion message noted.
class TimedPrompts : public tessel::Prompts {
 public:
  tessel::PromptButton show(tessel::PromptIcon, const std::string& text,
                            tessel::PromptButtons buttons) override {
    texts.push_back(text);
    if (text.find("complete") != std::string::npos) completedMs = clock.elapsed();
    return buttons & tessel::pbYes ? tessel::pbYes : tessel::pbOk;
  }
  std::vector<std::string> texts;
  QElapsedTimer clock;
  qint64 completedMs = -1;
};

bool runUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!done()) QThread::usleep(200);
  }
  return done();
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  bool tick = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    if (a == "--no-tick") tick = false;
  }
  QApplication app(argc, argv);
  QTemporaryDir dir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());

  tessel::sim::SimSetup setup;
  std::string error;
  if (!tessel::sim::defaultSetup(3, {0, 0, 1}, setup, error)) {
    std::fprintf(stderr, "window_set_bench: %s\n", error.c_str());
    return 1;
  }
  tessel::sim::SimRadioGroup group(std::move(setup.radios), setup.local);
  const std::string project = dir.path().toStdString() + "/group.vro";
  if (!tessel::sim::saveProject(project, group, {}, error)) {
    std::fprintf(stderr, "window_set_bench: %s\n", error.c_str());
    return 1;
  }
  tessel::sim::SimPty::Options paced;
  paced.pace = true;
  paced.baud = kBaud;
  tessel::sim::SimPty pty(group, paced);
  if (!pty.open()) {
    std::fprintf(stderr, "window_set_bench: %s\n", pty.error().c_str());
    return 1;
  }
  std::thread server([&pty] { pty.run(); });
  {
    const tessel::BrandProfile& brand = tessel::brandProfile(0);
    tessel::QtSettingsStore store(QLatin1String(brand.maker), QLatin1String(brand.productName));
    store.writeString("ComPort", "1");
    store.writeString("COM1", pty.slavePath());
    store.writeString("Baud rate", std::to_string(kBaud));
    store.writeString("file1", project);
  }
  TimedPrompts prompts;
  tessel::WiringOptions options;
  options.dataDir = dir.path().toStdString();
  options.prompts = &prompts;
  int status = 0;
  {
    tessel::Wiring wiring(options);
    tessel::MainWindow& window = wiring.window();
    window.show();
    auto action = [&](const char* name) { return window.action(QLatin1String(name)); };
    if (!runUntil([&] { return wiring.serial().Active(); }, 5000)) {
      std::fprintf(stderr, "window_set_bench: the port did not open\n");
      status = 1;
    }
    action("file1")->trigger();
    action("discoverThis")->trigger();
    std::vector<double> fast;
    for (int run = 0; status == 0 && run < (tick ? 1 : 0) + runs; ++run) {
      const bool asFast = !tick || run > 0;
      action(asFast ? "pollFast" : "poll1000")->trigger();
      // The monitor's round reaches radio 3 first: radio 2 has been read.
      runUntil(
          [&] {
            return wiring.engine().CurrentList() &&
                   wiring.engine().CurrentList()->CurrentNumber() == 3;
          },
          60000);
      window.model().chooseRadio(window.views().rowAt(1));
      window.panel()->setText(tessel::ctl::retries, std::to_string(60 + run));
      prompts.texts.clear();
      prompts.completedMs = -1;
      const uint64_t bytes = pty.bytesIn() + pty.bytesOut();
      prompts.clock.start();
      action("setRemote")->trigger();
      if (!runUntil([&] { return prompts.completedMs >= 0 || prompts.texts.size() > 0; }, 120000) ||
          prompts.completedMs < 0) {
        std::fprintf(stderr, "window_set_bench: no completion message: %s\n",
                     prompts.texts.empty() ? "(none)" : prompts.texts.front().c_str());
        status = 1;
        break;
      }
      const double wire = (pty.bytesIn() + pty.bytesOut() - bytes) * 10.0 / kBaud * 1000.0;
      std::printf("%s: click to completion message %lld ms, wire %.0f ms, ratio %.2f\n",
                  asFast ? "as fast as replies" : "a line per tick",
                  static_cast<long long>(prompts.completedMs), wire, prompts.completedMs / wire);
      if (asFast) fast.push_back(static_cast<double>(prompts.completedMs));
    }
    if (!fast.empty()) {
      std::sort(fast.begin(), fast.end());
      std::printf("as fast as replies, median of %zu: %.0f ms\n", fast.size(),
                  fast[fast.size() / 2]);
    }
    action("monitorStop")->trigger();
  }
  pty.stop();
  server.join();
  return status;
}
