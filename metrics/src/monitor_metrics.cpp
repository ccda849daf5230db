#include "metrics/monitor_metrics.h"

#include <chrono>
#include <cmath>

#include "metrics/exposition.h"
#include "model/factory_defaults.h"
#include "model/main_window_model.h"
#include "model/project.h"
#include "model/project_keys.h"
#include "model/radio.h"

namespace tessel {

namespace {

// Times to the millisecond the clock gives, without the noise of the
// subtraction in the last digits.
double toMilliseconds(double seconds) {
  return std::round(seconds * 1000) / 1000;
}

}  // namespace

double MonitorMetrics::wallClock() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() / 1000.0;
}

MonitorMetrics::MonitorMetrics(const MainWindowModel& window, Clock now)
    : window_(window), now_(std::move(now)) {}

void MonitorMetrics::sync() {
  const Tproject* p = window_.project();
  std::map<int, Radio> now;
  if (p) {
    const std::string group =
        p->readKey(kProjectSection, groupkey::groupID.name, groupkey::groupID.def);
    for (int id = 0; id < kRadioSlots; ++id) {
      const Tradio* r = p->radio(id);
      if (!r) continue;
      Radio& n = now[id];
      n.group = group;
      n.name = r->settings.name;
      n.model = r->modelIndex >= 0 && r->modelIndex < kModelCount
                    ? window_.models.names[r->modelIndex]
                    : "";
    }
  }
  const bool sameProject = window_.projectSerial() == projectSerial_;
  if (!sameProject) {
    projectSerial_ = window_.projectSerial();
    pending_ = roundFirst_ = -1;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (!sameProject) {
    roundSeconds_.reset();
    rounds_ = 0;
  }
  for (auto& [id, n] : now) {
    auto old = radios_.find(id);
    if (!sameProject || old == radios_.end()) continue;
    // The same radio: only its labels may have changed.
    Radio kept = old->second;
    kept.group = n.group;
    kept.name = n.name;
    kept.model = n.model;
    n = kept;
  }
  radios_ = std::move(now);
}

void MonitorMetrics::taskChanged(TaskCode from, TaskCode to) {
  task_ = to;
  // A remote read or a send in between is no poll: the attempt and the
  // round under way are not counted.
  pending_ = roundFirst_ = -1;
  sync();
  if (to == tkMonitor) {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = true;
  } else if (to == tkLocalOnly || to == tkGetLocal || to == tkEmulate) {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
  }
}

void MonitorMetrics::missed(int radio) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = radios_.find(radio);
  if (it == radios_.end()) return;
  ++it->second.missed;
  it->second.answering = false;
}

void MonitorMetrics::dialling(int radio) {
  if (task_ != tkMonitor || radio < 0) return;
  sync();
  // The same radio dialled again before it answered is a retry of the
  // same poll; another radio means the monitor gave the last one up.
  if (radio == pending_ && !pendingAnswered_) return;
  if (pending_ >= 0 && !pendingAnswered_) missed(pending_);
  const double t = now_();
  if (roundFirst_ < 0) {
    roundFirst_ = radio;
    roundStart_ = t;
  } else if (radio == roundFirst_) {
    std::lock_guard<std::mutex> lock(mutex_);
    roundSeconds_ = toMilliseconds(t - roundStart_);
    ++rounds_;
    roundStart_ = t;
  }
  pending_ = radio;
  pendingAnswered_ = false;
}

void MonitorMetrics::radioPolled(int radio) {
  if (window_.panel.WindowMode != wmMonitor) return;
  sync();
  if (radio == pending_) pendingAnswered_ = true;
  const Tproject* p = window_.project();
  const Tradio* r = p && radio >= 0 && radio < kRadioSlots ? p->radio(radio) : nullptr;
  if (!r) return;
  // The readings of this poll; one the radio did not give is left out
  // rather than shown as 0.
  const double t = now_();
  const PollReading reading = window_.pollReadings.of(radio, static_cast<std::int64_t>(t));
  auto value = [](const std::optional<std::int16_t>& v, double unit) -> std::optional<double> {
    if (!v) return std::nullopt;
    return *v / unit;
  };
  std::lock_guard<std::mutex> lock(mutex_);
  Radio& m = radios_[radio];
  ++m.answered;
  m.answering = true;
  m.lastAnswer = t;
  m.rssi = value(reading.rssi, 1);
  // The supply register counts tenths of a volt.
  m.volts = value(reading.volts, 10);
  m.tempC = value(reading.tempC, 1);
}

std::string MonitorMetrics::exposition() const {
  const double now = now_();
  std::lock_guard<std::mutex> lock(mutex_);
  Exposition x;
  auto labels = [](int id, const Radio& r) {
    return MetricLabels{{"group_id", r.group},
                        {"radio_id", std::to_string(id)},
                        {"name", r.name},
                        {"model", r.model}};
  };
  using Value = std::function<std::optional<double>(const Radio&)>;
  auto perRadio = [&](const char* name, const char* type, const char* help, const Value& value) {
    x.family(name, type, help);
    for (const auto& [id, r] : radios_) {
      if (auto v = value(r)) x.sample(labels(id, r), *v);
    }
  };
  perRadio("tessel_radio_rssi_dbm", "gauge",
           "Received signal strength the radio reported at its last answered poll, in dBm.",
           [](const Radio& r) { return r.rssi; });
  perRadio("tessel_radio_supply_volts", "gauge",
           "Supply voltage the radio reported at its last answered poll.",
           [](const Radio& r) { return r.volts; });
  perRadio("tessel_radio_temperature_celsius", "gauge",
           "Temperature the radio reported at its last answered poll.",
           [](const Radio& r) { return r.tempC; });
  perRadio("tessel_radio_last_answer_timestamp_seconds", "gauge",
           "Time of the radio's last answered poll, in seconds since the epoch.",
           [](const Radio& r) { return r.lastAnswer; });
  perRadio("tessel_radio_last_answer_age_seconds", "gauge",
           "Seconds since the radio last answered a poll.",
           [now](const Radio& r) -> std::optional<double> {
             if (!r.lastAnswer) return std::nullopt;
             return now > *r.lastAnswer ? toMilliseconds(now - *r.lastAnswer) : 0.0;
           });
  perRadio("tessel_radio_polls_answered_total", "counter", "Polls the radio answered.",
           [](const Radio& r) { return static_cast<double>(r.answered); });
  perRadio("tessel_radio_polls_missed_total", "counter",
           "Polls the radio did not answer before the monitor moved on.",
           [](const Radio& r) { return static_cast<double>(r.missed); });

  const MetricLabels group =
      radios_.empty() ? MetricLabels{} : MetricLabels{{"group_id", radios_.begin()->second.group}};
  x.family("tessel_monitor_running", "gauge", "1 while the monitor polls the group, else 0.");
  x.sample(group, running_ ? 1 : 0);
  x.family("tessel_monitor_radios", "gauge", "Radios in the monitored project.");
  x.sample(group, static_cast<double>(radios_.size()));
  int answering = 0;
  for (const auto& [id, r] : radios_) answering += r.answering ? 1 : 0;
  x.family("tessel_monitor_radios_answering", "gauge", "Radios whose last poll was answered.");
  x.sample(group, answering);
  x.family("tessel_monitor_round_duration_seconds", "gauge",
           "How long the last complete round over the project's radios took.");
  if (roundSeconds_) x.sample(group, *roundSeconds_);
  x.family("tessel_monitor_rounds_total", "counter", "Complete rounds over the project's radios.");
  x.sample(group, static_cast<double>(rounds_));
  return x.text();
}

}  // namespace tessel
