#pragma once

// The program as it starts, on fakes: settings in memory, scripted message
// boxes, the engine's timer fired by the test, files in a temporary folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QThread>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/wiring.h"
#include "fake_tick_timer.h"
#include "link/tcom_port.h"
#include "memory_settings_store.h"
#include "prompt_script.h"
#include "ui/main_window.h"
#include "ui/parameter_panel.h"

namespace tessel::testing {

// Answers the next file dialog: a file name to accept, or empty to cancel.
inline void answerFileDialog(const QString& file) {
  QTimer::singleShot(0, [file] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    if (file.isEmpty()) {
      dialog->reject();
    } else {
      dialog->selectFile(file);
      static_cast<QDialog*>(dialog)->accept();
    }
  });
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/window_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir = tmpl;
  }
  void TearDown() override {
    wiring.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // Starts the program with what the test put into settings.
  Wiring& start(int brand = 0, bool emulate = false) {
    WiringOptions o;
    o.brandIndex = brand;
    o.emulateEntry = emulate;
    o.dataDir = dir;
    o.settings = &settings;
    o.prompts = &prompts;
    o.timer = &timer;
    o.devRoot = devRoot;
    o.metricsAddress = metricsAddress;
    wiring = std::make_unique<Wiring>(o);
    return *wiring;
  }

  MainWindow& window() { return wiring->window(); }
  ParameterPanel& panel() { return *wiring->window().panel(); }
  QAction* action(const char* name) { return window().action(QLatin1String(name)); }

  // Runs the event loop until done() or ms pass.
  static bool pumpUntil(const std::function<bool()>& done, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      QThread::msleep(1);
    }
    return done();
  }

  std::string dir;
  std::string devRoot = "/dev";  // where adapters come and go
  std::string metricsAddress;    // the window's --metrics
  MemorySettingsStore settings;
  PromptScript prompts;
  FakeTickTimer timer;
  std::unique_ptr<Wiring> wiring;
};

}  // namespace tessel::testing
