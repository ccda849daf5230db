// The program on simulated radios over a pseudo-terminal: the window reads
// the local radio with Get Local Radio Parameters and shows its values, sets
// it, discovers a group into a new project, monitors it and exports the log.
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <set>
#include <thread>

#include "http_get.h"
#include "metrics/metrics_server.h"
#include "model/brand.h"
#include "model/catalogue.h"
#include "model/group_commands.h"
#include "model/ini_file.h"
#include "model/monitor_history.h"
#include "model/project.h"
#include "model/radio.h"
#include "model/send_builder.h"
#include "serial/tserial.h"
#include "sim/sim_project.h"
#include "sim/sim_pty.h"
#include "ui/change_group_dialog.h"
#include "ui/compare_group_dialog.h"
#include "ui/status_bar_widget.h"
#include "ui/terminal_window.h"
#include "window_sim_fixture.h"

namespace tessel::testing {
namespace {

TEST_F(WindowOnSimulatedRadios, GetLocalRadioParametersFillsThePanel) {
  startOnSim();
  window().show();
  wiring->terminal().show();
  ASSERT_TRUE(runUntil([&] { return wiring->serial().Active(); }, 3000)) << "port never opened";
  // The panel starts from its defaults, unlike the radio.
  panel().setText(ctl::groupID, "0");
  panel().setText(ctl::securityID, "");

  action("GetLocal")->trigger();
  EXPECT_TRUE(panel().panelLoading);
  // The read takes seconds: the busy cursor shows over the panel meanwhile.
  EXPECT_EQ(panel().cursor().shape(), Qt::WaitCursor);
  ASSERT_TRUE(runUntil([&] {
    return !panel().panelLoading && wiring->engine().task() == tkLocalOnly &&
           wiring->engine().state() == psIdle;
  })) << "state "
      << stateName(wiring->engine().state());
  EXPECT_EQ(panel().cursor().shape(), Qt::ArrowCursor);

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
  startOnSim();
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
  startOnSim();
  ASSERT_TRUE(runUntil([&] { return wiring->serial().Active(); }, 3000)) << "port never opened";
  action("GetLocal")->trigger();
  ASSERT_EQ(wiring->engine().task(), tkGetLocal);
  panel().setText(ctl::groupID, "5");
  panel().setText(ctl::securityID, "1");
  panel().setText(ctl::flushTime, "1");
  window().okClick();
  EXPECT_EQ(wiring->engine().queue().Count(), 0);
  EXPECT_EQ(wiring->engine().task(), tkGetLocal);
  EXPECT_EQ(window().statusBar()->currentMessage().toStdString(),
            refusalText(Command::GetLocal, Command::SetRadio));
}

TEST_F(WindowOnSimulatedRadios, MonitorFillsTheColumnsOfEveryRadioAndTheTree) {
  ASSERT_NO_FATAL_FAILURE(monitorFiveRadios(false));
  QTreeWidget* list = window().views().list();
  ASSERT_EQ(list->topLevelItemCount(), 5);
  // Every radio reports its RSSI and the time of its poll; V and \u00b0C come
  // from registers that the model-2 radio (ID 3 here) lacks.
  auto filled = [&] {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      const bool model2 = list->topLevelItem(i)->text(1) == QLatin1String("3");
      for (int c = 2; c <= 5; ++c)
        if ((!model2 || c == 2 || c == 5) && list->topLevelItem(i)->text(c).isEmpty()) return false;
    }
    return true;
  };
  ASSERT_TRUE(runUntil(filled, 120000)) << "state " << stateName(wiring->engine().state()) << [&] {
    std::string s;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      for (int c = 0; c <= 5; ++c) s += list->topLevelItem(i)->text(c).toStdString() + "|";
      s += "\n";
    }
    return s;
  }();
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
  // The status bar's gauge shows the radio being polled and the round; it
  // goes with the monitor.
  QProgressBar* gauge = window().statusBarWidget()->progress();
  EXPECT_TRUE(gauge->isVisible());
  // It follows within its refresh.
  ASSERT_TRUE(
      runUntil([&] { return gauge->text().startsWith(QLatin1String("Monitor: radio")); }, 2000));
  EXPECT_EQ(gauge->maximum(), 5);
  const std::string shown = gauge->text().toStdString();
  EXPECT_EQ(shown, "Monitor: radio " + std::to_string(gauge->value()) + " of 5, round " +
                       shown.substr(shown.rfind(' ') + 1));
  EXPECT_GE(std::stoi(shown.substr(shown.rfind(' ') + 1)), 1) << shown;
  action("monitorStop")->trigger();
  EXPECT_FALSE(gauge->isVisible());
}

// tessel --metrics: what the window's monitor polls is served for a
// monitoring server, and the monitor stopped says so.
TEST_F(WindowOnSimulatedRadios, MetricsServeWhatTheWindowsMonitorPolls) {
  metricsAddress = "127.0.0.1:0";
  ASSERT_NO_FATAL_FAILURE(monitorFiveRadios());
  ASSERT_NE(wiring->metricsServer(), nullptr) << prompts.texts().front();
  const int port = wiring->metricsServer()->port();
  ASSERT_TRUE(runUntil([&] { return everyRadioPolled(1); }, 60000));
  const std::string text = httpGet(port, "/metrics").body;
  EXPECT_NE(text.find("tessel_monitor_running{group_id=\"0\"} 1\n"), std::string::npos) << text;
  for (int id : radioIDs) {
    const std::string series = "tessel_radio_polls_answered_total{group_id=\"0\",radio_id=\"" +
                               std::to_string(id) + "\",name=\"Radio 00" + std::to_string(id) +
                               "\",model=\"" + brandModels(0).names[models[id - 1]] + "\"} ";
    EXPECT_NE(text.find(series), std::string::npos) << series << "\n" << text;
  }
  EXPECT_NE(text.find("tessel_radio_rssi_dbm{group_id=\"0\",radio_id=\"2\""), std::string::npos)
      << text;
  // The model-2 radio has no supply volts: none is served, not a 0.
  EXPECT_EQ(text.find("tessel_radio_supply_volts{group_id=\"0\",radio_id=\"3\""), std::string::npos)
      << text;

  // "Cancel" on the panel ends the monitor.
  auto* cancel = window().findChild<QPushButton*>(QStringLiteral("advanced"));
  ASSERT_NE(cancel, nullptr);
  cancel->click();
  ASSERT_TRUE(runUntil([&] {
    return httpGet(port, "/metrics").body.find("tessel_monitor_running{group_id=\"0\"} 0\n") !=
           std::string::npos;
  }));
  EXPECT_NE(httpGet(port, "/metrics").body.find("tessel_radio_rssi_dbm{"), std::string::npos)
      << "the radios' series stay while the project is open";
  action("projectClose")->trigger();
  EXPECT_EQ(httpGet(port, "/metrics").body.find("tessel_radio_rssi_dbm{"), std::string::npos)
      << "and go with it";
}

TEST_F(WindowTest, MetricsOnAPortInUseAreRefusedWithTheReason) {
  MetricsServer other([] { return std::string(); });
  std::string error;
  ASSERT_TRUE(other.start("127.0.0.1:0", error)) << error;
  metricsAddress = "127.0.0.1:" + std::to_string(other.port());
  start();
  EXPECT_EQ(wiring->metricsServer(), nullptr);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text,
            "cannot serve metrics on " + metricsAddress + ": Address already in use");
}

TEST_F(WindowOnSimulatedRadios, NewProjectDiscoversTheGroupUnderDefaultNames) {
  ASSERT_TRUE(discoverIntoNewProject())
      << "state " << stateName(wiring->engine().state()) << ", last sent " << traffic.lastSent;
  expectEveryRadioFound();
}

// A discovery shows how far it got (the ID dialled of 255, the radios found)
// and stops from the Online Monitor menu; Close Project offers New Project
// again.
TEST_F(WindowOnSimulatedRadios, DiscoveryShowsItsProgressAndStopsFromTheMenu) {
  startOnSim();
  window().show();
  ASSERT_TRUE(runUntil([&] { return wiring->serial().Active(); }, 3000));
  QProgressBar* gauge = window().statusBarWidget()->progress();
  EXPECT_FALSE(gauge->isVisible());
  EXPECT_FALSE(action("monitorStop")->isEnabled());
  answerFileDialog(QString::fromStdString(dir + "/found"));
  action("discoverNew")->trigger();
  ASSERT_EQ(panel().WindowMode, wmMonitor);
  EXPECT_TRUE(action("monitorStop")->isEnabled());
  EXPECT_TRUE(gauge->isVisible());
  EXPECT_EQ(gauge->maximum(), 255);
  // The gauge follows within its refresh.
  ASSERT_TRUE(runUntil([&] { return traffic.lastDialled >= 40 && gauge->value() >= 40; }, 20000));
  EXPECT_EQ(gauge->text().toStdString(),
            "Discovery: ID " + std::to_string(gauge->value() - 1) + " of 255, 5 radios found");
  // The round that found the radios shows them all: every slave under the
  // master, and the time of its poll for every model (ID 3 is a model 2,
  // without volts or temperature).
  QTreeWidget* tree = window().views().tree();
  ASSERT_EQ(tree->topLevelItemCount(), 1);
  EXPECT_EQ(tree->topLevelItem(0)->childCount(), 4);
  QTreeWidget* list = window().views().list();
  ASSERT_EQ(list->topLevelItemCount(), 5);
  for (int i = 0; i < 5; ++i)
    EXPECT_FALSE(list->topLevelItem(i)->text(5).isEmpty())
        << list->topLevelItem(i)->text(0).toStdString();
  if (const char* shots = std::getenv("TESSEL_SHOTS"))
    window().grab().save(QString::fromLocal8Bit(shots) + "/discovery.png");

  action("monitorStop")->trigger();
  EXPECT_EQ(wiring->engine().task(), tkLocalOnly);
  EXPECT_EQ(panel().WindowMode, wmProject);
  EXPECT_FALSE(window().views().monitorColumns());
  EXPECT_FALSE(gauge->isVisible());
  EXPECT_FALSE(action("monitorStop")->isEnabled());
  EXPECT_FALSE(action("discoverNew")->isEnabled());
  EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().front();
  action("projectClose")->trigger();
  EXPECT_TRUE(action("discoverNew")->isEnabled());
}

// Close or Load Project during a monitor leave the monitor's layout first,
// as its Cancel button does; so does Escape in the radio list.
TEST_F(WindowOnSimulatedRadios, ProjectCommandsAndEscapeLeaveTheMonitorLayout) {
  ASSERT_NO_FATAL_FAILURE(monitorFiveRadios());
  QTreeWidget* list = window().views().list();
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Escape);
  EXPECT_EQ(panel().WindowMode, wmProject);
  EXPECT_EQ(wiring->engine().task(), tkLocalOnly);
  EXPECT_FALSE(window().views().monitorColumns());

  action("discoverThis")->trigger();
  ASSERT_EQ(panel().WindowMode, wmMonitor);
  action("file1")->trigger();  // Load Project's path to a file
  EXPECT_EQ(panel().WindowMode, wmProject);
  EXPECT_NE(panel().text(ctl::advanced), "Cancel");
  EXPECT_FALSE(window().views().monitorColumns());
  EXPECT_FALSE(window().views().tree()->isVisible());

  action("discoverThis")->trigger();
  ASSERT_EQ(panel().WindowMode, wmMonitor);
  action("projectClose")->trigger();
  EXPECT_EQ(panel().WindowMode, wmManual);
  EXPECT_NE(panel().text(ctl::advanced), "Cancel");
  EXPECT_FALSE(window().views().monitorColumns());
  EXPECT_EQ(wiring->engine().task(), tkLocalOnly);
}

// The port is open before the window takes a command: Get Local given at
// once starts its read rather than being dropped.
TEST_F(WindowOnSimulatedRadios, AFirstCommandFindsThePortOpen) {
  startOnSim();
  window().show();
  EXPECT_EQ(ticks, 0);
  action("GetLocal")->trigger();
  EXPECT_EQ(wiring->engine().task(), tkGetLocal);
  EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().front();
}

// Online Monitor > Stop while a remote radio is polled brings the link back
// to the local radio before anything else goes out: the Set Radio of
// Radio 001 that follows reaches radio 1, and radio 2 keeps its settings.
TEST_F(WindowOnSimulatedRadios, StopWhileARemoteIsPolledLeavesTheNextSetRadioToTheLocalRadio) {
  ASSERT_NO_FATAL_FAILURE(openProject(saveGroup("group.vro")));
  action("discoverThis")->trigger();
  ASSERT_EQ(panel().WindowMode, wmMonitor);
  ASSERT_TRUE(runUntil(
      [&] { return traffic.lastDialled == 2 && traffic.lastSent.rfind("ATS", 0) == 0; }, 30000));
  ASSERT_EQ(group->addressedIndex(), 1u) << "radio 2 is being polled";
  action("monitorStop")->trigger();
  ASSERT_TRUE(runUntil([&] { return traffic.unanswered == 0; }, 3000));
  EXPECT_EQ(group->addressedIndex(), group->localIndex()) << "the link is on the local radio";

  window().model().chooseRadio(window().views().rowAt(0));
  ASSERT_EQ(panel().text(ctl::radioID), "1");
  panel().setText(ctl::retries, "77");
  panel().findChild<QPushButton*>(QStringLiteral("ok"))->click();
  ASSERT_TRUE(runUntil(
      [&] { return wiring->engine().queue().Count() == 0 && wiring->engine().state() == psIdle; },
      30000))
      << stateName(wiring->engine().state());
  EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Set Radio complete, radio reset"});
  const sim::SimRadio& radio1 = group->radios()[0];
  const sim::SimRadio& radio2 = group->radios()[1];
  EXPECT_EQ(radio1.saved(13), "77");
  EXPECT_EQ(radio2.saved(param::radioID), "2");
  EXPECT_EQ(radio2.saved(param::radioMode), "S");
  EXPECT_NE(radio2.saved(13), "77");
}

// Set Parameters on a radio the monitor polls, at each pacing: a line per
// tick, or as fast as replies without waiting for a tick at all; the status
// bar says which while the send runs, and the radio holds the values.
TEST_F(WindowOnSimulatedRadios, SetParametersOnARemoteRadioGoesAtTheChosenPace) {
  for (const char* pacing : {"poll1000", "pollFast"}) {
    SCOPED_TRACE(pacing);
    const bool fast = std::string(pacing) == "pollFast";
    ASSERT_NO_FATAL_FAILURE(openProject(saveGroup("group.vro")));
    action("discoverThis")->trigger();
    ASSERT_EQ(panel().WindowMode, wmMonitor);
    // The menu item says what it paces.
    EXPECT_NE(action(pacing)->toolTip().indexOf(QLatin1String("send")), -1);
    action(pacing)->trigger();
    ASSERT_TRUE(runUntil([&] { return everyRadioPolled(1); }, 30000));
    prompts.shown.clear();
    window().model().chooseRadio(window().views().rowAt(1));
    ASSERT_EQ(panel().text(ctl::radioID), "2");
    panel().setText(ctl::retries, fast ? "77" : "66");
    const int ticksBefore = ticks, linesBefore = traffic.lines;
    action("setRemote")->trigger();
    ASSERT_EQ(wiring->engine().task(), tkSendValues)
        << ::testing::PrintToString(prompts.texts()) << " "
        << window().statusBarWidget()->currentMessage().toStdString();
    std::set<std::string> captions;
    const char* shots = std::getenv("TESSEL_SHOTS");
    ASSERT_TRUE(runUntil(
        [&] {
          const std::string caption = window().statusBarWidget()->panel(2)->toolTip().toStdString();
          if (shots && !caption.empty() && !captions.count(caption))
            window().grab().save(QString::fromLocal8Bit(shots) + "/sending-" + pacing + ".png");
          captions.insert(caption);
          return !prompts.shown.empty();
        },
        30000));
    // As fast as replies the send may be over before the bar's first
    // refresh on a loaded machine: what it showed, if anything, says so.
    if (fast) {
      for (const std::string& caption : captions)
        if (!caption.empty()) EXPECT_EQ(caption, "Sending as fast as replies");
    } else {
      EXPECT_TRUE(captions.count("Sending a line per 2.5 s")) << ::testing::PrintToString(captions);
    }
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Set Radio complete, radio reset"});
    // About half the lines are the radio's answers; each line after the
    // dial waits for a tick, unless as fast as replies.
    const int lines = (traffic.lines - linesBefore) / 2;
    if (fast)
      EXPECT_LT(ticks - ticksBefore, 3);
    else
      EXPECT_GE(ticks - ticksBefore, lines / 2);
    EXPECT_EQ(group->radios()[1].saved(13), fast ? "77" : "66");
    EXPECT_TRUE(window().statusBarWidget()->panel(2)->caption().isEmpty());
    wiring.reset();
    traffic = Traffic{};
    ticks = 0;
  }
}

// Reset from the radio list dials the radio and resets it through the engine;
// Emulate Group from the Project menu plays the project's radios.
TEST_F(WindowOnSimulatedRadios, ResetAndEmulateGroupRunThroughTheEngine) {
  const std::string path = dir + "/two.vro";
  std::ofstream(path) << "[Project]\n[Radio1]\nRadio Name=one\n[Radio2]\nRadio Name=two\n";
  settings.strings["file1"] = path;
  start(0, true);
  wiring->engine().addObserver(&traffic);
  window().show();
  action("file1")->trigger();
  QTreeWidget* list = window().views().list();
  ASSERT_EQ(list->topLevelItemCount(), 2);
  window().model().chooseRadio(window().views().rowAt(1));
  action("ResetRadio")->trigger();
  EXPECT_EQ(wiring->engine().task(), tkSendValues);
  ASSERT_TRUE(runUntil([&] { return prompts.shown.size() >= 2; }, 15000))
      << stateName(wiring->engine().state());
  EXPECT_EQ(prompts.texts().front(), "Reset radio 2 (two)? The radio restarts.");
  EXPECT_NE(prompts.texts()[1].find("Reset complete"), std::string::npos) << prompts.texts()[1];
  const auto sent = [&](const std::string& line) {
    return std::find(traffic.transcript.begin(), traffic.transcript.end(), " < " + line) !=
           traffic.transcript.end();
  };
  EXPECT_TRUE(sent("ATD2"));
  EXPECT_TRUE(sent("AT&R"));
  EXPECT_EQ(wiring->engine().queue().Count(), 0);

  ASSERT_TRUE(action("EmulateGroup1")->isVisible());
  action("EmulateGroup1")->trigger();
  EXPECT_EQ(wiring->engine().state(), psEmulate);
  EXPECT_EQ(wiring->engine().taskText(), kEmulateGroupTitle);
}

// The group's radio IDs have holes: the IDs nobody answers are tried and
// passed over, and the radios above them are found in the same round.
class WindowOnRadiosWithGaps : public WindowOnSimulatedRadios {
 protected:
  void SetUp() override {
    radioIDs = {1, 2, 4, 7};
    models = {0, 1, 0, 1};
    WindowOnSimulatedRadios::SetUp();
  }
};

TEST_F(WindowOnRadiosWithGaps, NewProjectFindsTheRadiosBeyondEachGapInOneRound) {
  ASSERT_TRUE(discoverIntoNewProject())
      << "state " << stateName(wiring->engine().state()) << ", last sent " << traffic.lastSent;
  EXPECT_EQ(traffic.rounds, 1);
  expectEveryRadioFound();
  for (int id : {1, 2, 4, 7}) EXPECT_GE(traffic.polls[id], 1) << id;
}

// Splits one CSV line; a quoted field may hold commas and doubled quotes.
std::vector<std::string> csvFields(const std::string& line) {
  std::vector<std::string> out(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      out.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  return out;
}

// A field as the history keeps the reading: empty is none.
bool sameCell(const std::string& text, const std::optional<std::int16_t>& kept) {
  if (text.empty()) return !kept;
  return kept && std::to_string(*kept) == text;
}

TEST_F(WindowOnSimulatedRadios, ExportMonitorLogWritesOneLinePerPollAsTheHistoryKeptIt) {
  const std::time_t begun = std::time(nullptr);
  ASSERT_NO_FATAL_FAILURE(monitorFiveRadios());
  ASSERT_TRUE(runUntil([&] { return everyRadioPolled(2); }))
      << "state " << stateName(wiring->engine().state());
  const std::string csvPath = dir + "/log.csv";
  answerFileDialog(QString::fromStdString(csvPath));
  action("exportMonitorLog")->trigger();
  EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().front();

  const MonitorHistory& history = window().monitorHistory();
  int polls = 0;
  for (const auto& [id, count] : traffic.polls) polls += count;
  EXPECT_EQ(static_cast<int>(history.size()), polls) << "one sample per poll";

  std::ifstream in(csvPath);
  ASSERT_TRUE(in) << "no file written";
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "time,radio_id,name,rssi,volts,temp_c");
  ASSERT_EQ(lines.size(), history.size() + 1) << "the header and one line per poll";
  std::map<int, int> perRadio;
  for (size_t i = 1; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    const std::vector<std::string> f = csvFields(lines[i]);
    ASSERT_EQ(f.size(), 6u);
    const PollReading& kept = history.samples()[i - 1];
    std::tm tm{};
    ASSERT_NE(strptime(f[0].c_str(), "%Y-%m-%dT%H:%M:%S", &tm), nullptr);
    tm.tm_isdst = -1;
    const std::time_t at = std::mktime(&tm);
    EXPECT_EQ(at, static_cast<std::time_t>(kept.time));
    EXPECT_GE(at, begun);
    EXPECT_LE(at, std::time(nullptr));
    const int id = std::stoi(f[1]);
    EXPECT_EQ(id, kept.radio);
    ++perRadio[id];
    char name[16];
    std::snprintf(name, sizeof name, "Radio %03d", id);
    EXPECT_EQ(f[2], name);
    EXPECT_TRUE(sameCell(f[3], kept.rssi));
    EXPECT_TRUE(sameCell(f[4], kept.volts));
    EXPECT_TRUE(sameCell(f[5], kept.tempC));
    // Every radio reports its RSSI; the model-2 radio (ID 3) has no V and C.
    EXPECT_FALSE(f[3].empty());
    EXPECT_EQ(f[4].empty(), id == 3);
    EXPECT_EQ(f[5].empty(), id == 3);
  }
  for (int id : radioIDs) EXPECT_EQ(perRadio[id], traffic.polls[id]) << id;
}

// "As Fast as Replies", the eighth poll interval: each register is asked as
// soon as the last one is answered, and every radio, of every model, is
// polled and fills its columns.
TEST_F(WindowOnSimulatedRadios, AsFastAsRepliesPollsEveryRadioOfEveryModel) {
  ASSERT_NO_FATAL_FAILURE(monitorFiveRadios());
  QMenu* poll = window().findChild<QMenu*>(QStringLiteral("SetPollInterval"));
  ASSERT_NE(poll, nullptr);
  ASSERT_EQ(poll->actions().size(), 8);
  QAction* fast = poll->actions()[7];
  EXPECT_EQ(fast->text(), "As Fast as Replies");
  // Chosen while the monitor runs: it takes effect from the next poll.
  fast->trigger();
  EXPECT_TRUE(fast->isChecked());
  EXPECT_TRUE(wiring->engine().fastPolls());

  QTreeWidget* list = window().views().list();
  auto filled = [&] {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      const bool model2 = list->topLevelItem(i)->text(1) == QLatin1String("3");
      for (int c = 2; c <= (model2 ? 2 : 5); ++c)
        if (list->topLevelItem(i)->text(c).isEmpty()) return false;
    }
    return true;
  };
  ASSERT_TRUE(runUntil([&] { return everyRadioPolled(3) && filled(); }))
      << "state " << stateName(wiring->engine().state()) << ", last sent " << traffic.lastSent;
  EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().front();
  // Model 1 (IDs 2 and 5) lacks the model-0 registers: it is polled all the
  // same, and its row shows what it has.
  for (int id : radioIDs) EXPECT_GE(traffic.polls[id], 3) << id;
  // The replies pace the polls: far fewer ticks than registers asked.
  int asked = 0;
  for (const std::string& line : traffic.transcript)
    if (line.rfind(" < ATS", 0) == 0) ++asked;
  EXPECT_LT(ticks * 2, asked) << ticks << " ticks for " << asked << " registers";
  if (const char* shots = std::getenv("TESSEL_SHOTS"))
    window().grab().save(QString::fromLocal8Bit(shots) + "/monitor.png");
}

}  // namespace
}  // namespace tessel::testing

namespace tessel::testing {
namespace {

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The group's project with radio 3's retries drifted, opened, and the
// compare started from the menu.
class WindowComparing : public WindowOnSimulatedRadios {
 protected:
  CompareGroupDialog* startCompare() {
    const std::string path = dir + "/drift.vro";
    std::string error;
    EXPECT_TRUE(sim::saveProject(path, *group, {}, error)) << error;
    {
      IniFile ini(path);
      EXPECT_TRUE(ini.writeString("Radio3", "Retries", "3"));
    }
    settings.strings["file1"] = path;
    startOnSim();
    window().show();
    if (!runUntil([&] { return wiring->serial().Active(); }, 3000)) return nullptr;
    action("file1")->trigger();
    action("compareGroup")->trigger();
    return window().compareDialog();
  }
};

// The radios pace their line at 19200 baud, so the read is still under way
// when Cancel comes.
class WindowComparingPaced : public WindowComparing {
 protected:
  void SetUp() override {
    WindowComparing::SetUp();
    pty->stop();
    server.join();
    sim::SimPty::Options paced;
    paced.pace = true;
    paced.baud = 19200;
    pty = std::make_unique<sim::SimPty>(*group, paced);
    ASSERT_TRUE(pty->open()) << pty->error();
    server = std::thread([this] { pty->run(); });
    settings.strings["COM1"] = pty->slavePath();
  }
};

TEST_F(WindowComparingPaced, CancelStopsTheReadAndGivesTheEngineBack) {
  CompareGroupDialog* dialog = startCompare();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(runUntil([&] { return traffic.lastDialled >= 3; })) << "radio 3 never dialled";
  QPushButton* cancel = nullptr;
  for (QPushButton* b : dialog->findChildren<QPushButton*>())
    if (b->accessibleName() == QStringLiteral("Cancel")) cancel = b;
  ASSERT_NE(cancel, nullptr);
  cancel->click();
  ASSERT_TRUE(runUntil([&] { return !dialog->running(); }, 1000));
  EXPECT_EQ(wiring->engine().task(), tkLocalOnly);
  // The button now closes the dialog, and says so to a screen reader too.
  EXPECT_EQ(cancel->text(), QStringLiteral("Close"));
  EXPECT_EQ(cancel->accessibleName(), QStringLiteral("Close"));
  const std::string summary =
      dialog->findChild<QLabel*>(QStringLiteral("compareSummary"))->text().toStdString();
  EXPECT_EQ(summary.rfind("Cancelled after ", 0), 0u) << summary;
  // The radios not read yet are listed as not answering.
  QTableWidget* table = dialog->table();
  ASSERT_GE(table->rowCount(), 1);
  EXPECT_EQ(table->item(table->rowCount() - 1, 0)->text(), QStringLiteral("5"));
  EXPECT_EQ(table->item(table->rowCount() - 1, 2)->text(), QStringLiteral("No answer"));
  // Ticks go on; no radio is asked anything any more.
  const size_t said = traffic.transcript.size();
  runUntil([] { return false; }, 300);
  for (size_t i = said; i < traffic.transcript.size(); ++i) {
    EXPECT_NE(traffic.transcript[i].rfind(" < ATS", 0), 0u) << traffic.transcript[i];
    EXPECT_NE(traffic.transcript[i].rfind(" < ATD", 0), 0u) << traffic.transcript[i];
  }
}

TEST_F(WindowComparing, SendProjectsValuesPutsThemIntoTheDriftedRadio) {
  CompareGroupDialog* dialog = startCompare();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(runUntil([&] { return !dialog->running(); }, 30000));
  QTableWidget* table = dialog->table();
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("Retries"));
  table->selectRow(0);
  auto* take = dialog->findChild<QPushButton*>(QStringLiteral("compareTake"));
  auto* send = dialog->findChild<QPushButton*>(QStringLiteral("compareSend"));
  ASSERT_TRUE(take && send);
  EXPECT_TRUE(take->isEnabled() && send->isEnabled());
  auto summary = [&] {
    return dialog->findChild<QLabel*>(QStringLiteral("compareSummary"))->text().toStdString();
  };
  ASSERT_TRUE(dialog->sendProjectValues());
  // Until the radio is read again its row is stale: neither button acts on it.
  EXPECT_EQ(dialog->staleRadio(), 3);
  EXPECT_FALSE(take->isEnabled() || send->isEnabled());
  EXPECT_NE(summary().find("being sent"), std::string::npos) << summary();
  if (const char* shots = std::getenv("TESSEL_SHOTS"))
    dialog->grab().save(QString::fromLocal8Bit(shots) + "/compare-stale.png");
  ASSERT_TRUE(runUntil(
      [&] {
        return dialog->staleRadio() < 0 && !dialog->running() && wiring->engine().state() == psIdle;
      },
      30000))
      << stateName(wiring->engine().state()) << " " << summary();
  EXPECT_EQ(group->radios()[2].saved(13), "3");
  // Read again, the radio matches its project, and the send is over.
  EXPECT_EQ(dialog->table()->rowCount(), 0);
  EXPECT_EQ(summary().rfind("Radio 3 was read again: it matches the project.", 0), 0u) << summary();
  EXPECT_EQ(wiring->engine().task(), tkLocalOnly);
}

// Online Monitor > "Compare Group with Project...": the group read once,
// a drifted radio, a silent one, one of another model and one refusing a
// register listed, nothing written until the user takes a radio's values
// into the project.
TEST_F(WindowOnSimulatedRadios, CompareGroupListsDifferencesAndTakesARadiosValues) {
  const std::string path = dir + "/group.vro";
  std::string error;
  ASSERT_TRUE(sim::saveProject(path, *group, {}, error)) << error;
  {
    IniFile ini(path);
    ASSERT_TRUE(ini.writeString("Radio3", "Retries", "3"));
    ASSERT_TRUE(ini.writeString("Radio4", brandModels(0).modelKey, brandModels(0).names[1]));
    ASSERT_TRUE(ini.writeString("Radio9", "Radio Name", "Pump 9"));
  }
  group->radios()[4].setFixedAnswer(20, sim::SimRadio::kRefusal);
  settings.strings["file1"] = path;
  startOnSim();
  window().show();
  ASSERT_TRUE(runUntil([&] { return wiring->serial().Active(); }, 3000)) << "port never opened";
  action("file1")->trigger();
  auto* online = window().findChild<QMenu*>(QStringLiteral("autoDiscover"));
  ASSERT_NE(online, nullptr);
  emit online->aboutToShow();
  ASSERT_TRUE(action("compareGroup")->isEnabled());
  const std::string before = fileText(path);

  action("compareGroup")->trigger();
  CompareGroupDialog* dialog = window().compareDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->running());
  EXPECT_TRUE(dialog->progressLabel()->text().startsWith(QStringLiteral("Radio 1 of 6")));
  ASSERT_TRUE(runUntil([&] { return !dialog->running(); }, 30000))
      << "state " << stateName(wiring->engine().state());
  QTableWidget* table = dialog->table();
  std::vector<std::string> rows;
  for (int r = 0; r < table->rowCount(); ++r) {
    std::string line;
    for (int c = 0; c < table->columnCount(); ++c)
      line += (c ? "," : "") + table->item(r, c)->text().toStdString();
    rows.push_back(line);
  }
  const std::string radio3Retries = group->radios()[2].saved(13);
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "3,Radio 003,Retries,3," + radio3Retries,
                      "4,Radio 004,Radio Model,Vireo Version 2,Vireo E",
                      "5,Radio 005,Baud rate,9600,not read: refused",
                      "9,Pump 9,No answer,,",
                  }));
  EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("compareSummary"))->text(),
            QStringLiteral("2 difference(s), 1 radio(s) did not answer, 1 register(s) refused."));
  if (const char* shots = std::getenv("TESSEL_SHOTS"))
    dialog->grab().save(QString::fromLocal8Bit(shots) + "/compare.png");
  // Only read: the file as it was, and no line that writes a radio.
  EXPECT_EQ(fileText(path), before);
  for (const std::string& line : traffic.transcript) {
    EXPECT_EQ(line.find('='), std::string::npos) << line;
    EXPECT_EQ(line.find("AT&W"), std::string::npos) << line;
  }
  EXPECT_EQ(wiring->engine().task(), tkLocalOnly);

  const std::string csv = dir + "/compare.csv";
  ASSERT_TRUE(dialog->saveCsv(QString::fromStdString(csv)));
  EXPECT_EQ(fileText(csv), "radio_id,name,parameter,project,radio\n3,Radio 003,Retries,3," +
                               radio3Retries +
                               "\n4,Radio 004,Radio Model,Vireo Version 2,Vireo E\n"
                               "5,Radio 005,Baud rate,9600,not read: refused\n"
                               "9,Pump 9,No answer,,\n");

  // Radio 3's values into the project: its section now holds what it holds.
  table->selectRow(0);
  ASSERT_TRUE(dialog->takeRadioValues());
  EXPECT_EQ(window().model().project()->readKey("Radio3", "Retries", ""), radio3Retries);
  EXPECT_EQ(table->rowCount(), 3);
  // What is saved now is set against the project as it is now.
  ASSERT_TRUE(dialog->saveCsv(QString::fromStdString(csv)));
  EXPECT_EQ(fileText(csv),
            "radio_id,name,parameter,project,radio\n"
            "4,Radio 004,Radio Model,Vireo Version 2,Vireo E\n"
            "5,Radio 005,Baud rate,9600,not read: refused\n"
            "9,Pump 9,No answer,,\n");
  EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().front();
}

}  // namespace
}  // namespace tessel::testing

namespace tessel::testing {
namespace {

// Project > "Change Group Settings...": the panel's group values sent to
// every radio of the open project, remote radios first, then reset, the
// local radio last.
class WindowChangingGroup : public WindowOnSimulatedRadios {
 protected:
  ChangeGroupDialog* openDialog() {
    path = saveGroup("group.vro");
    openProject(path);
    if (HasFatalFailure()) return nullptr;
    panel().setText(ctl::groupID, "9");
    auto* menu = window().findChild<QMenu*>(QStringLiteral("ProjectMenu"));
    emit menu->aboutToShow();
    EXPECT_TRUE(action("changeGroup")->isEnabled());
    action("changeGroup")->trigger();
    return window().changeDialog();
  }
  static QPushButton* button(QDialog* dialog, const char* name) {
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
      if (b->accessibleName() == QLatin1String(name)) return b;
    return nullptr;
  }
  // Group ID (S0) as each radio runs it and as it holds it saved.
  std::string running() const {
    std::string s;
    for (const sim::SimRadio& r : group->radios()) s += r.running(0) + " ";
    return s;
  }
  std::string saved() const {
    std::string s;
    for (const sim::SimRadio& r : group->radios()) s += r.saved(0) + " ";
    return s;
  }
  std::string path;
};

TEST_F(WindowChangingGroup, ShowsTheOrderThenChangesEveryRadioAndReadsThemAgain) {
  ChangeGroupDialog* dialog = openDialog();
  ASSERT_NE(dialog, nullptr);
  const std::string order =
      dialog->findChild<QPlainTextEdit*>(QStringLiteral("changePlan"))->toPlainText().toStdString();
  EXPECT_NE(order.find("Group ID 7 -> 9"), std::string::npos) << order;
  EXPECT_NE(order.find("  5. radio 1 (Radio 001): reset"), std::string::npos) << order;
  EXPECT_EQ(running(), "7 7 7 7 7 ") << "nothing sent before Change";

  button(dialog, "Change")->click();
  EXPECT_TRUE(dialog->running());
  // Once the pace is measured the progress says how long the change has left.
  bool timeLeftShown = false;
  ASSERT_TRUE(runUntil(
      [&] {
        if (!timeLeftShown && dialog->progressLabel()->text().contains(" left")) {
          timeLeftShown = true;
          if (const char* shots = std::getenv("TESSEL_SHOTS"))
            dialog->grab().save(QString::fromLocal8Bit(shots) + "/change-time-left.png");
        }
        return !dialog->running();
      },
      60000))
      << dialog->progressLabel()->text().toStdString();
  EXPECT_TRUE(timeLeftShown);
  EXPECT_EQ(running(), "9 9 9 9 9 ");
  std::vector<std::string> rows;
  for (int i = 0; i < dialog->results()->count(); ++i)
    rows.push_back(dialog->results()->item(i)->text().toStdString());
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "radio 1 (Radio 001): new values", "radio 2 (Radio 002): new values",
                      "radio 3 (Radio 003): new values", "radio 4 (Radio 004): new values",
                      "radio 5 (Radio 005): new values"}));
  EXPECT_NE(dialog->summaryLabel()->text().indexOf(QStringLiteral("5 of 5")), -1);
  EXPECT_EQ(window().model().project()->readKey("Project", "Group ID", ""), "9");
  // The sends told their ends to the dialog, not by a box each.
  EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().front();
  EXPECT_EQ(wiring->engine().task(), tkLocalOnly);
}

// With the group values as the project has them there is nothing to
// change: Change is not offered, and the dialog says why.
TEST_F(WindowChangingGroup, OffersNoChangeWhenNothingChanges) {
  path = saveGroup("group.vro");
  ASSERT_NO_FATAL_FAILURE(openProject(path));
  window().changeGroupClick();
  ChangeGroupDialog* dialog = window().changeDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(button(dialog, "Change")->isEnabled());
  EXPECT_TRUE(dialog->summaryLabel()->text().startsWith(QStringLiteral("Nothing to change")))
      << dialog->summaryLabel()->text().toStdString();
  EXPECT_FALSE(dialog->start());
}

// Radio 4 stores the values but none of the four answers to its "AT&W"
// arrives: no box of the engine's comes up; the dialog names radio 4 as
// staged or not known (radio 3, a model 2 only checked, is not counted) and
// offers its Retry. Retried, phase 2 runs, and says that it runs through.
class WindowChangingGroupLosingAnAnswer : public WindowChangingGroup {
 protected:
  void misbehave(sim::SimRadioGroup& g) override { g.loseAnswer(4, "AT&W", 4); }
};

TEST_F(WindowChangingGroupLosingAnAnswer, NamesTheRadioNotConfirmedAndRetriesItItself) {
  ChangeGroupDialog* dialog = openDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_NE(dialog->summaryLabel()->text().indexOf(QStringLiteral("runs through to the local "
                                                                  "radio's reset")),
            -1);
  button(dialog, "Change")->click();
  ASSERT_TRUE(runUntil([&] { return !dialog->running(); }, 60000));
  EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().front();
  EXPECT_EQ(dialog->summaryLabel()->text().toStdString(),
            "The radio 4 (Radio 004) did not answer in phase 1: no radio runs the new values; 1 "
            "radio(s) hold them staged (AT&W answered OK): radio 2 (Radio 002); staged or not "
            "known (AT&W not confirmed): radio 4 (Radio 004).");
  ASSERT_TRUE(button(dialog, "Retry")->isEnabled());
  if (const char* shots = std::getenv("TESSEL_SHOTS"))
    dialog->grab().save(QString::fromLocal8Bit(shots) + "/change-not-confirmed.png");
  button(dialog, "Retry")->click();
  ASSERT_TRUE(runUntil([&] { return dialog->applying(); }, 60000));
  EXPECT_TRUE(dialog->summaryLabel()->text().startsWith(QStringLiteral("Phase 2:")))
      << dialog->summaryLabel()->text().toStdString();
  EXPECT_FALSE(button(dialog, "Cancel")->isEnabled());
  // Closing the program waits for phase 2 to end.
  window().close();
  EXPECT_TRUE(window().isVisible());
  ASSERT_TRUE(runUntil([&] { return !window().isVisible(); }, 60000));
  EXPECT_EQ(running(), "9 9 9 9 9 ");
  EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().front();
}

TEST_F(WindowChangingGroup, CancelInPhaseOneLeavesEveryRadioRunningAsBefore) {
  ChangeGroupDialog* dialog = openDialog();
  ASSERT_NE(dialog, nullptr);
  button(dialog, "Change")->click();
  // Radio 2 staged, radio 3 under way.
  ASSERT_TRUE(runUntil([&] { return dialog->run()->position() >= 1; }, 30000));
  EXPECT_EQ(saved().substr(0, 4), "7 9 ");
  button(dialog, "Cancel")->click();
  EXPECT_FALSE(dialog->running());
  EXPECT_EQ(wiring->engine().task(), tkLocalOnly);
  runUntil([] { return false; }, 300);
  EXPECT_EQ(running(), "7 7 7 7 7 ");
  EXPECT_EQ(window().model().project()->readKey("Project", "Group ID", ""), "7");
  EXPECT_NE(dialog->summaryLabel()->text().indexOf(QStringLiteral("no radio runs the new values")),
            -1)
      << dialog->summaryLabel()->text().toStdString();
  // The staged radio gets its old values back.
  ASSERT_TRUE(button(dialog, "Write Old Values Back")->isEnabled());
  button(dialog, "Write Old Values Back")->click();
  ASSERT_TRUE(runUntil([&] { return !dialog->running(); }, 30000));
  EXPECT_EQ(saved(), "7 7 7 7 7 ");
  EXPECT_EQ(running(), "7 7 7 7 7 ");
  EXPECT_NE(dialog->summaryLabel()->text().indexOf(QStringLiteral("old values are back")), -1);
  // The progress says so too, with no time left of the write-back that ended.
  EXPECT_EQ(dialog->progressLabel()->text().toStdString(), "The old values are written back");
}

}  // namespace
}  // namespace tessel::testing
