#include "model/monitor_history.h"

#include <cstdio>
#include <cstdlib>

#include "model/main_window_model.h"
#include "model/project.h"
#include "model/radio.h"

namespace tessel {

namespace {

float readCell(const std::string& text) {
  if (text.empty()) return NAN;
  char* end = nullptr;
  const float v = std::strtof(text.c_str(), &end);
  return end == text.c_str() ? NAN : v;
}

std::string cellText(float v) {
  if (std::isnan(v)) return "";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
  return buf;
}

std::string timeText(std::int64_t t) {
  const std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
  return buf;
}

}  // namespace

void MonitorHistory::add(std::int64_t time, int radio, const std::string& rssi,
                         const std::string& volts, const std::string& tempC) {
  MonitorSample s;
  s.time = time;
  s.radio = static_cast<std::uint8_t>(radio);
  s.rssi = readCell(rssi);
  s.volts = readCell(volts);
  s.tempC = readCell(tempC);
  add(s);
}

void MonitorHistory::add(const MonitorSample& s) {
  samples_.push_back(s);
  while (samples_.size() > kMaxSamples) samples_.pop_front();
  while (!samples_.empty() && samples_.front().time <= s.time - kSpanSeconds) samples_.pop_front();
  if (onAdded) onAdded(s);
}

std::vector<MonitorSample> MonitorHistory::samplesOf(int radio) const {
  std::vector<MonitorSample> out;
  for (const MonitorSample& s : samples_) {
    if (s.radio == radio) out.push_back(s);
  }
  return out;
}

void recordPoll(MonitorHistory& history, const MainWindowModel& window, int radio,
                std::int64_t now) {
  const Tproject* p = window.project();
  const Tradio* r = p && radio >= 0 && radio < kRadioSlots ? p->radio(radio) : nullptr;
  if (!r || r->listItem == kNoRow) return;
  const GroupViews& v = window.views;
  history.add(now, radio, v.subItem(r->listItem, 1), v.subItem(r->listItem, 2),
              v.subItem(r->listItem, 3));
}

std::string csvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

void writeMonitorCsv(std::ostream& out, const MonitorHistory& history,
                     const std::function<std::string(int radio)>& nameOf) {
  out << "time,radio_id,name,rssi,volts,temp_c\n";
  for (const MonitorSample& s : history.samples()) {
    out << timeText(s.time) << "," << static_cast<int>(s.radio) << ","
        << csvField(nameOf ? nameOf(s.radio) : std::string()) << "," << cellText(s.rssi) << ","
        << cellText(s.volts) << "," << cellText(s.tempC) << "\n";
  }
}

}  // namespace tessel
