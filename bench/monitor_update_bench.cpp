// The window's cost of one polled radio's update in the monitor layout with a
// full group (254 radios) in the list: its four monitor cells are written and
// the event loop runs the repaint that follows.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "ui/group_views_widget.h"

namespace {

constexpr int kRadios = 254;

void BM_PolledRadioUpdate(benchmark::State& state) {
  tessel::QtGroupViews views;
  std::vector<tessel::RowId> rows;
  for (int i = 0; i < kRadios; ++i) {
    tessel::RowId row = views.addRow(nullptr);
    views.setCaption(row, "Radio " + std::to_string(i + 1));
    views.setSubItem(row, 0, std::to_string(i + 1));
    rows.push_back(row);
  }
  views.setMonitorColumns(true);
  views.list()->resize(640, 800);
  views.list()->show();
  QApplication::processEvents();
  int n = 0;
  for (auto _ : state) {
    const tessel::RowId row = rows[n % kRadios];
    // Values that change from poll to poll, as a drifting radio's do.
    views.setSubItem(row, 1, std::to_string(-50 - n % 40));
    views.setSubItem(row, 2, std::to_string(12 + n % 3) + ".4");
    views.setSubItem(row, 3, std::to_string(30 + n % 5));
    views.setSubItem(row, 4, "12:" + std::to_string(10 + n % 50));
    QApplication::processEvents();
    ++n;
  }
  state.counters["rows"] = views.rowCount();
}
BENCHMARK(BM_PolledRadioUpdate)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
