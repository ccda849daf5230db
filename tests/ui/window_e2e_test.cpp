// The program on simulated radios over a pseudo-terminal: the window reads
// the local radio with Get Local Radio Parameters and shows its values.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <fstream>
#include <thread>

#include "model/send_builder.h"
#include "serial/tserial.h"
#include "sim/sim_project.h"
#include "sim/sim_pty.h"
#include "ui/status_bar_widget.h"
#include "ui/terminal_window.h"
#include "window_fixture.h"

namespace tessel::testing {
namespace {

class WindowOnSimulatedRadios : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    sim::SimSetup setup;
    std::string error;
    ASSERT_TRUE(sim::defaultSetup(5, {0, 1, 2, 0, 1}, setup, error)) << error;
    group = std::make_unique<sim::SimRadioGroup>(std::move(setup.radios), setup.local);
    pty = std::make_unique<sim::SimPty>(*group, sim::SimPty::Options{});
    ASSERT_TRUE(pty->open()) << pty->error();
    // What the local radio holds, read before the simulator serves.
    const sim::SimRadio& local = group->radios()[group->localIndex()];
    for (int reg : {0, 1, 2}) expected[reg] = local.saved(reg);
    model = local.model();
    server = std::thread([this] { pty->run(); });
    settings.strings["ComPort"] = "1";
    settings.strings["COM1"] = pty->slavePath();
    settings.setExists(true);
  }
  void TearDown() override {
    wiring.reset();
    if (pty) pty->stop();
    if (server.joinable()) server.join();
    WindowTest::TearDown();
  }

  // Drives the engine's timer only when the line has gone quiet, as the
  // 2.5 s tick would, without waiting for it. A slow machine delays the
  // replies; a tick fired while they are still coming would count as a
  // radio that did not answer.
  bool runUntil(const std::function<bool()>& done, int limitMs = 15000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < limitMs) {
      const int lines = wiring->terminal().screen()->blockCount();
      if (pumpUntil(done, 150)) break;
      if (wiring->terminal().screen()->blockCount() == lines) timer.fire();
    }
    return done();
  }

  std::unique_ptr<sim::SimRadioGroup> group;
  std::unique_ptr<sim::SimPty> pty;
  std::thread server;
  std::map<int, std::string> expected;
  int model = -1;
};

TEST_F(WindowOnSimulatedRadios, GetLocalRadioParametersFillsThePanel) {
  start();
  window().show();
  wiring->terminal().show();
  ASSERT_TRUE(runUntil([&] { return wiring->serial().Active(); }, 3000)) << "port never opened";
  // The panel starts from its defaults, unlike the radio.
  panel().setText(ctl::groupID, "0");
  panel().setText(ctl::securityID, "");

  action("GetLocal")->trigger();
  EXPECT_TRUE(panel().panelLoading);
  ASSERT_TRUE(runUntil([&] {
    return !panel().panelLoading && wiring->engine().task() == tkLocalOnly &&
           wiring->engine().state() == psIdle;
  })) << "state "
      << stateName(wiring->engine().state());

  EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().front();
  EXPECT_EQ(panel().text(ctl::groupID), expected[0]);
  EXPECT_EQ(panel().text(ctl::radioID), expected[1]);
  EXPECT_EQ(panel().text(ctl::securityID), expected[2]);
  EXPECT_EQ(panel().text(ctl::radioMode), "Master");
  EXPECT_EQ(panel().itemIndex(ctl::radioType), model);
  // The traffic went through the terminal, both ways.
  const QString traffic = wiring->terminal().screen()->toPlainText();
  EXPECT_TRUE(traffic.contains(QLatin1String(" < ATI1"))) << traffic.toStdString();
  EXPECT_TRUE(traffic.contains(QLatin1String(" > OK")));
  // The status bar names the port and its line settings.
  EXPECT_TRUE(window().statusBarWidget()->panel(0)->text().startsWith(QLatin1String("Active COM1")))
      << window().statusBarWidget()->panel(0)->text().toStdString();

  if (const char* shots = std::getenv("TESSEL_SHOTS")) {
    window().grab().save(QString::fromLocal8Bit(shots) + "/get-local.png");
    wiring->terminal().grab().save(QString::fromLocal8Bit(shots) + "/terminal.png");
  }
}

TEST_F(WindowOnSimulatedRadios, SetRadioLeavesTheLocalRadioHoldingThePanelsValues) {
  start();
  window().show();
  wiring->terminal().show();  // runUntil watches its lines
  ASSERT_TRUE(runUntil([&] { return wiring->serial().Active(); }, 3000)) << "port never opened";
  action("GetLocal")->trigger();
  ASSERT_TRUE(runUntil([&] {
    return !panel().panelLoading && wiring->engine().task() == tkLocalOnly &&
           wiring->engine().state() == psIdle;
  }));
  panel().setText(ctl::securityID, "4321");
  panel().setText(ctl::retries, "77");
  panel().setText(ctl::flushTime, "300");
  auto* ok = panel().findChild<QPushButton*>(QStringLiteral("ok"));
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->accessibleName(), QStringLiteral("Set Radio"));
  ok->click();
  EXPECT_EQ(wiring->engine().task(), tkSendValues);
  ASSERT_TRUE(runUntil(
      [&] { return wiring->engine().queue().Count() == 0 && wiring->engine().state() == psIdle; },
      30000))
      << stateName(wiring->engine().state());
  EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Set Radio complete, radio reset"})
      << wiring->terminal().screen()->toPlainText().toStdString();
  const sim::SimRadio& local = group->radios()[group->localIndex()];
  EXPECT_EQ(local.saved(2), "4321");
  EXPECT_EQ(local.saved(13), "77");
  EXPECT_EQ(local.saved(15), "3000");  // tenths of a second
}

TEST_F(WindowOnSimulatedRadios, SetRadioWithTheLinkBusyQueuesNothingAndSaysWhy) {
  start();
  ASSERT_TRUE(runUntil([&] { return wiring->serial().Active(); }, 3000)) << "port never opened";
  action("GetLocal")->trigger();
  ASSERT_EQ(wiring->engine().task(), tkGetLocal);
  panel().setText(ctl::groupID, "5");
  panel().setText(ctl::securityID, "1");
  panel().setText(ctl::flushTime, "1");
  window().okClick();
  EXPECT_EQ(wiring->engine().queue().Count(), 0);
  EXPECT_EQ(wiring->engine().task(), tkGetLocal);
  EXPECT_EQ(window().statusBar()->currentMessage().toStdString(), kBusyNotice);
}

TEST_F(WindowOnSimulatedRadios, MonitorFillsTheColumnsOfEveryRadioAndTheTree) {
  const std::string path = dir + "/five.vro";
  {
    std::ofstream f(path);
    f << "[Project]\n";
    for (int id = 1; id <= 5; ++id) f << "[Radio" << id << "]\nRadio Name=Radio 00" << id << "\n";
  }
  settings.strings["file1"] = path;
  start();
  window().show();
  ASSERT_TRUE(runUntil([&] { return wiring->serial().Active(); }, 3000)) << "port never opened";
  action("file1")->trigger();
  action("discoverThis")->trigger();
  ASSERT_EQ(panel().WindowMode, wmMonitor);
  QTreeWidget* list = window().views().list();
  ASSERT_EQ(list->topLevelItemCount(), 5);
  // Every radio reports its RSSI; V, \u00b0C and the time of the poll come from
  // registers that the model-2 radio (ID 3 here) lacks.
  auto filled = [&] {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      const bool model2 = list->topLevelItem(i)->text(1) == QLatin1String("3");
      for (int c = 2; c <= (model2 ? 2 : 5); ++c)
        if (list->topLevelItem(i)->text(c).isEmpty()) return false;
    }
    return true;
  };
  ASSERT_TRUE(runUntil(filled, 120000)) << "state " << stateName(wiring->engine().state());
  EXPECT_TRUE(prompts.shown.empty());
  QTreeWidget* tree = window().views().tree();
  auto masterWithSlaves = [&] {
    return tree->topLevelItemCount() == 1 && tree->topLevelItem(0)->childCount() == 4;
  };
  EXPECT_TRUE(runUntil(masterWithSlaves, 30000));
  ASSERT_GE(tree->topLevelItemCount(), 1);
  EXPECT_EQ(tree->topLevelItem(0)->text(0), "Radio 001");
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    bool number = false;
    list->topLevelItem(i)->text(2).toInt(&number);
    EXPECT_TRUE(number) << list->topLevelItem(i)->text(2).toStdString();
    EXPECT_FALSE(window().views().signalQualityText(window().views().rowAt(i)).isEmpty());
  }
}

}  // namespace
}  // namespace tessel::testing
