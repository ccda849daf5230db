#include "ui/signal_history_window.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QKeyEvent>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

namespace tessel {

SignalHistoryWindow::SignalHistoryWindow(const MonitorHistory& history, int radio,
                                         const QString& name, QWidget* parent)
    : QWidget(parent, Qt::Window), radio_(radio) {
  setObjectName(QStringLiteral("signalHistory%1").arg(radio));
  setWindowTitle(QStringLiteral("Signal History: %1 (%2)").arg(name).arg(radio));
  setAccessibleName(windowTitle());
  auto* column = new QVBoxLayout(this);
  const char* const titles[] = {"RSSI", "Volts",
                                "Temperature (\xb0"
                                "C)"};
  const char* const names[] = {"rssiChart", "voltsChart", "tempChart"};
  for (int i = 0; i < 3; ++i) {
    Chart& c = charts_[i];
    auto* chart = new QChart;
    chart->setTitle(QString::fromLatin1(titles[i]));
    chart->legend()->hide();
    // Follows the palette, so a dark theme gets dark charts.
    chart->setTheme(palette().color(QPalette::Window).lightness() < 128 ? QChart::ChartThemeDark
                                                                        : QChart::ChartThemeLight);
    c.series = new QLineSeries(chart);
    chart->addSeries(c.series);
    c.time = new QDateTimeAxis(chart);
    c.time->setFormat(QStringLiteral("HH:mm"));
    c.values = new QValueAxis(chart);
    chart->addAxis(c.time, Qt::AlignBottom);
    chart->addAxis(c.values, Qt::AlignLeft);
    c.series->attachAxis(c.time);
    c.series->attachAxis(c.values);
    auto* view = new QChartView(chart, this);
    view->setObjectName(QLatin1String(names[i]));
    view->setAccessibleName(QString::fromLatin1(titles[i]));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(160);
    column->addWidget(view);
  }
  for (const PollReading& s : history.samples()) add(s);
  resize(640, 560);
}

void SignalHistoryWindow::append(Chart& c, std::int64_t time,
                                 const std::optional<std::int16_t>& reading, double unit) {
  if (!reading) return;
  const double v = *reading / unit;
  c.series->append(static_cast<qreal>(time) * 1000.0, v);
  if (!c.any || v < c.lo) c.lo = v;
  if (!c.any || v > c.hi) c.hi = v;
  c.any = true;
  // A day, as the history keeps.
  const qreal oldest = static_cast<qreal>(time - MonitorHistory::kSpanSeconds) * 1000.0;
  while (c.series->count() > 1 && c.series->at(0).x() <= oldest) c.series->remove(0);
  const qint64 from = static_cast<qint64>(c.series->at(0).x()), to = time * 1000 + 1000;
  c.time->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
  // No two labels alike: seconds shown over the first minutes, and no more
  // ticks than the span has seconds (or minutes) to tell apart.
  const qint64 span = (to - from) / 1000;
  const bool seconds = span < 600;
  c.time->setFormat(seconds ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
  c.time->setTickCount(
      static_cast<int>(std::clamp<qint64>((seconds ? span : span / 60) + 1, 2, 5)));
  const double pad = std::max(1.0, (c.hi - c.lo) * 0.1);
  c.values->setRange(c.lo - pad, c.hi + pad);
}

void SignalHistoryWindow::add(const PollReading& s) {
  if (s.radio != radio_) return;
  append(charts_[0], s.time, s.rssi);
  // The radio counts tenths of a volt.
  append(charts_[1], s.time, s.volts, 10);
  append(charts_[2], s.time, s.tempC);
}

void SignalHistoryWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

QStringList SignalHistoryWindow::timeLabels(int chart) const {
  const QDateTimeAxis* axis = charts_.at(chart).time;
  QStringList labels;
  const qint64 from = axis->min().toMSecsSinceEpoch(), to = axis->max().toMSecsSinceEpoch();
  const int n = axis->tickCount();
  for (int i = 0; i < n; ++i)
    labels << QDateTime::fromMSecsSinceEpoch(from + (to - from) * i / std::max(1, n - 1))
                  .toString(axis->format());
  return labels;
}

int SignalHistoryWindow::pointCount(int chart) const {
  return charts_.at(chart).series->count();
}

}  // namespace tessel
