// The monitor history in the window: polls recorded, the chart window kept
// up to date, the CSV export, and the ways to open a radio's history.
#include <QChartView>
#include <QLineSeries>
#include <QMenu>
#include <QSet>
#include <QTest>
#include <QTreeWidget>
#include <fstream>
#include <sstream>

#include "model/project.h"
#include "model/radio.h"
#include "model/register_values.h"
#include "ui/signal_history_window.h"
#include "window_fixture.h"

namespace tessel::testing {
namespace {

class HistoryWindowTest : public WindowTest {
 protected:
  void monitorProject() {
    const std::string path = dir + "/group.vro";
    std::ofstream(path) << "[Radio1]\nRadio Name=Pump, north\nRadio Mode=Master\n"
                        << "[Radio2]\nRadio Name=Tank\nRadio Mode=Slave\n";
    MainWindowModel& m = window().model();
    m.openProject(path);
    m.loadProjectRadios();
    m.switchMode(wmMonitor);
  }
  // A poll of radio with these replies, as the engine hands them over.
  void poll(int radio, const char* rssi, const char* volts, const char* temp) {
    RegisterValues values(window().model());
    values.beginReplies();
    const std::string id = std::to_string(radio);
    values.ApplyReply(1, radio, id);
    values.ApplyReply(10, 0, rssi);
    values.ApplyReply(16, 0, volts);
    values.ApplyReply(17, 0, temp);
    values.endReplies();
    window().historyRecorder()->radioPolled(radio);
  }
};

TEST_F(HistoryWindowTest, PollsAreKeptChartedLiveAndExported) {
  start();
  window().start(dir);
  monitorProject();
  poll(1, "-70", "125", "30");
  poll(2, "-80", "119", "");
  poll(1, "-71", "124", "31");
  ASSERT_EQ(window().monitorHistory().size(), 3u);

  SignalHistoryWindow* w = window().openSignalHistory(1);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->pointCount(0), 2);
  EXPECT_EQ(window().openSignalHistory(1), w) << "one window per radio";
  poll(1, "-69", "126", "");
  EXPECT_EQ(w->pointCount(0), 3) << "updated live";
  EXPECT_EQ(w->pointCount(2), 2) << "an empty cell is a gap, not a zero";
  poll(2, "-81", "118", "29");
  EXPECT_EQ(w->pointCount(1), 3) << "another radio's poll is not this chart's";
  // The radio counts tenths of a volt; the chart is in volts.
  auto* volts = w->findChild<QChartView*>(QStringLiteral("voltsChart"));
  ASSERT_NE(volts, nullptr);
  auto* series = qobject_cast<QLineSeries*>(volts->chart()->series().value(0));
  ASSERT_NE(series, nullptr);
  EXPECT_DOUBLE_EQ(series->at(0).y(), 12.5);
  EXPECT_DOUBLE_EQ(series->at(2).y(), 12.6);

  const std::string csvPath = dir + "/log.csv";
  ASSERT_TRUE(window().exportMonitorLog(csvPath));
  std::ifstream in(csvPath);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 6u) << "the header and one line per poll";
  EXPECT_EQ(lines[0], "time,radio_id,name,rssi,volts,temp_c");
  EXPECT_NE(lines[1].find(",1,\"Pump, north\",-70,125,30"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find(",2,Tank,-80,119,"), std::string::npos) << lines[2];

  EXPECT_FALSE(window().exportMonitorLog(dir)) << "a folder is no file to write";
  EXPECT_EQ(prompts.texts().back(), "Cannot write the monitor log " + dir);
}

// The time axis never labels two ticks alike, over seconds or hours, and
// Escape closes the chart window.
TEST(SignalHistoryChart, TimeLabelsDifferAndEscapeCloses) {
  MonitorHistory history;
  SignalHistoryWindow w(history, 1, QStringLiteral("Pump"));
  w.show();
  const std::int64_t t0 = 1'700'000'000;
  auto poll = [&](std::int64_t t) {
    PollReading r;
    r.radio = 1;
    r.time = t;
    r.rssi = -70;
    w.add(r);
  };
  for (std::int64_t span : {0, 2, 20, 400, 2 * 3600}) {
    SCOPED_TRACE(span);
    poll(t0 + span);
    const QStringList labels = w.timeLabels(0);
    ASSERT_GE(labels.size(), 2);
    EXPECT_EQ(QSet<QString>(labels.begin(), labels.end()).size(), labels.size())
        << labels.join(QLatin1Char(' ')).toStdString();
  }
  QTest::keyClick(&w, Qt::Key_Escape);
  EXPECT_FALSE(w.isVisible());
}

TEST_F(HistoryWindowTest, PollsOutsideTheMonitorAreNotKept) {
  start();
  window().start(dir);
  monitorProject();
  window().model().switchMode(wmProject);
  poll(1, "-70", "125", "30");
  EXPECT_EQ(window().monitorHistory().size(), 0u);
}

TEST_F(HistoryWindowTest, ContextMenuAndDoubleClickOpenTheHistory) {
  start();
  window().start(dir);
  monitorProject();
  QMenu* menu = window().listMenu();
  ASSERT_NE(menu, nullptr);
  QAction* entry = window().action(QStringLiteral("signalHistory"));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->text(), "Signal History...");
  EXPECT_TRUE(menu->actions().contains(entry));
  EXPECT_EQ(window().action(QStringLiteral("exportMonitorLog"))->text(), "Export Monitor Log...");

  QTreeWidget* list = window().views().list();
  QTreeWidgetItem* row = window().views().list()->topLevelItem(1);
  ASSERT_NE(row, nullptr);
  emit list->itemDoubleClicked(row, 0);
  auto windows = window().findChildren<SignalHistoryWindow*>();
  ASSERT_EQ(windows.size(), 1);
  Tradio* r = window().views().rowRadio(window().views().rowOf(row));
  EXPECT_EQ(windows[0]->radio(), r->slotID);

  // The menu charts the radio under the mouse when it opened.
  window().prepareListMenu(list->visualItemRect(list->topLevelItem(0)).center());
  entry->trigger();
  EXPECT_EQ(window().findChildren<SignalHistoryWindow*>().size(), 2);
}

}  // namespace
}  // namespace tessel::testing
