// tessel-cli monitor: the project's radios polled in rounds, a CSV line per
// radio and round.

#include "cli/cli_session.h"

#include "model/group_commands.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <ostream>

#include "metrics/metrics_server.h"
#include "metrics/monitor_metrics.h"
#include "model/poll_readings.h"
#include "model/project.h"
#include "model/radio.h"
#include "round_output.h"

namespace tessel::cli {

int Session::monitor(const std::string& project, int intervalMs, int cycles) {
  // The readings for a monitoring server: listening before the port opens,
  // so an address that cannot be served ends the command before any poll.
  MonitorMetrics metrics(window_);
  MetricsServer server([&metrics] { return metrics.exposition(); });
  if (!options_.metrics.empty()) {
    std::string error;
    if (!server.start(options_.metrics, error)) {
      err_ << "tessel-cli: " << error << std::endl;
      return 1;
    }
    err_ << "tessel-cli: metrics at " << server.url() << std::endl;
    engine_->addObserver(&metrics);
  }
  struct Unobserve {
    TcomPort& engine;
    MonitorMetrics& metrics;
    ~Unobserve() { engine.removeObserver(&metrics); }
  } unobserve{*engine_, metrics};
  if (!openUserProject(project)) return 1;
  // The monitor layout, as "Online Monitor" > "Existing Project" sets it.
  views_.setMonitorColumns(true);
  window_.switchMode(wmMonitor);
  window_.setPanelView(PanelView::Monitor);
  TpollArray list = window_.project()->BuildPollList(true);
  if (!hasRadios(list, project)) return 1;
  engine_->setPollInterval(intervalMs);
  return monitorRounds(list, cycles);
}

// The rounds over list until cycles of them are printed (0: until
// interrupted or the time limit), the engine back at the local radio after.
int Session::monitorRounds(const TpollArray& list, int cycles) {
  std::map<int, int> polled;  // radio ID -> completed polls
  int rounds = 0;
  bool done = false;
  auto finished = [&] {
    return cycles > 0 && (rounds > cycles || std::all_of(list.begin(), list.end(), [&](auto& e) {
                            return polled[e.radio] >= cycles;
                          }));
  };
  OncePerRound once;
  auto printPoll = [&](int radio) {
    if (!once.first(radio, rounds)) return;
    ++polled[radio];
    const Tradio* r = window_.project()->radio(radio);
    if (!r || r->listItem == kNoRow) return;
    writeReadingCsv(out_, window_.pollReadings.of(radio, std::time(nullptr)), r->settings.name);
    out_ << std::flush;
  };
  auto check = [&] {
    if (!finished()) return;
    done = true;
    loop_.quit();
  };
  // A radio that stopped answering halfway through its poll still makes
  // its line, with what it did not report missing. Radios that never
  // answer still end the rounds.
  progress_.onRadioRead = [&](Command command, int radio, bool) {
    if (command != Command::Monitor) return;
    printPoll(radio);
    check();
  };
  progress_.onProgress = [&](const CommandProgress& p) {
    if (p.command != Command::Monitor || p.radio < 0) return;
    rounds = p.round;
    check();
  };
  progress_.onEnded = [&](Command command, const Outcome& outcome) {
    if (command == Command::Monitor && outcome.ending == TaskEnd::Cancelled) loop_.quit();
  };
  DropNotice drops(*engine_, err_);
  if (!started(kOnlineMonitorTitle, window_.commands.monitor(kOnlineMonitorTitle, list))) {
    progress_.clear();
    window_.closeProject();
    return 1;
  }
  bool ok = runUntilDone([&] { return done; });
  progress_.clear();
  if (!prompts_.failed()) stopAtLocal(list.front());
  window_.closeProject();
  if (prompts_.failed()) return 1;
  // Without a number of cycles, monitoring runs until interrupted or until
  // the time limit: both are its normal end.
  if (interrupted_ || cycles <= 0) return 0;
  if (!ok) {
    err_ << "tessel-cli: the monitor did not complete " << cycles << " cycle(s) within "
         << options_.timeoutMs / 1000.0 << " s" << std::endl;
    return 1;
  }
  return 0;
}

}  // namespace tessel::cli
