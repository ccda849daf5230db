#include "model/monitor_history.h"

#include "model/main_window_model.h"
#include "model/project.h"
#include "model/radio.h"

namespace tessel {

void MonitorHistory::add(const PollReading& reading) {
  samples_.push_back(reading);
  while (samples_.size() > kMaxSamples) samples_.pop_front();
  while (!samples_.empty() && samples_.front().time <= reading.time - kSpanSeconds)
    samples_.pop_front();
  if (onAdded) onAdded(reading);
}

std::vector<PollReading> MonitorHistory::samplesOf(int radio) const {
  std::vector<PollReading> out;
  for (const PollReading& s : samples_) {
    if (s.radio == radio) out.push_back(s);
  }
  return out;
}

void recordPoll(MonitorHistory& history, const MainWindowModel& window, int radio,
                std::int64_t now) {
  // A compare reads the radios for its own table, not for the panel's
  // readings: its reads are no polls of the monitor.
  if (window.commands.running() && window.commands.current() == Command::Compare) return;
  const Tproject* p = window.project();
  const Tradio* r = p && radio >= 0 && radio < kRadioSlots ? p->radio(radio) : nullptr;
  if (!r || r->listItem == kNoRow) return;
  history.add(window.pollReadings.of(radio, now));
}

void writeMonitorCsv(std::ostream& out, const MonitorHistory& history,
                     const std::function<std::string(int radio)>& nameOf) {
  writeReadingsCsvHeader(out);
  for (const PollReading& s : history.samples())
    writeReadingCsv(out, s, nameOf ? nameOf(s.radio) : std::string());
}

}  // namespace tessel
