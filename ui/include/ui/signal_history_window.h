#pragma once

// A radio's signal history: RSSI, supply volts and temperature over time,
// one chart each, from the monitor history; new polls are added as they
// come.
#include <QStringList>
#include <QWidget>
#include <array>

#include "model/monitor_history.h"

class QChart;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace tessel {

class SignalHistoryWindow : public QWidget {
  Q_OBJECT
 public:
  SignalHistoryWindow(const MonitorHistory& history, int radio, const QString& name,
                      QWidget* parent = nullptr);

  int radio() const { return radio_; }
  // A new sample of any radio; this window takes its own radio's.
  void add(const PollReading& s);
  // Points shown in chart 0 (RSSI), 1 (volts) or 2 (temperature).
  int pointCount(int chart) const;
  // The labels under a chart's ticks, as the axis draws them.
  QStringList timeLabels(int chart) const;

 protected:
  // Escape closes the window, as it does a dialog.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Chart {
    QLineSeries* series = nullptr;
    QDateTimeAxis* time = nullptr;
    QValueAxis* values = nullptr;
    double lo = 0;
    double hi = 0;
    bool any = false;
  };
  // Adds a point of reading (in the radio's unit, so many to one shown).
  void append(Chart& c, std::int64_t time, const std::optional<std::int16_t>& reading,
              double unit = 1);

  int radio_;
  std::array<Chart, 3> charts_{};
};

}  // namespace tessel
