// tessel-cli compare: the radios read once and set beside the project.

#include "cli/cli_session.h"

#include <ostream>
#include <set>

#include "cli/commands.h"
#include "model/brand.h"
#include "model/group_commands.h"
#include "model/group_compare.h"
#include "model/project.h"
#include "round_output.h"

namespace tessel::cli {

bool Session::readOnce(GroupCompareRun& run, bool& began) {
  const TpollArray& list = run.list();
  bool done = false;
  auto check = [&] {
    if (run.complete()) {
      done = true;
      loop_.quit();
    }
  };
  run.reader().onRead = [&](int) { check(); };
  progress_.onProgress = [&](const CommandProgress& p) {
    if (p.command != Command::Compare || p.radio < 0) return;
    run.dialling(p.radio);
    check();
  };
  progress_.onEnded = [&](Command command, const Outcome&) {
    if (command != Command::Compare) return;
    run.taskEnded();
    loop_.quit();
  };
  engine_->AttachMainWindow(&status_, &run.reader());
  engine_->setPollInterval(0);
  DropNotice drops(*engine_, err_);
  began = started(kOnlineMonitorTitle, window_.commands.compare(kOnlineMonitorTitle, list));
  const bool ok = began && runUntilDone([&] { return done || run.ended(); }) && done;
  progress_.clear();
  run.reader().onRead = nullptr;
  if (began && (!prompts_.failed() || engine_->linkDialled())) stopAtLocal(list.front());
  engine_->AttachMainWindow(&status_, &host_->values());
  return ok;
}

int Session::compare(const std::string& project, const std::vector<int>& radios) {
  // Only read: the project is opened as a send opens it, and the radios'
  // replies go to the comparison, never to the file or the panel.
  if (!openUserProject(project, true)) return 1;
  GroupCompareRun run(*window_.project(), brand(), std::set<int>(radios.begin(), radios.end()));
  const TpollArray& list = run.list();
  // A radio asked for that the project lacks is a mistake in the command:
  // nothing is read.
  for (int id : run.unknown())
    err_ << "tessel-cli: the project " << project << " has no radio " << id << std::endl;
  if (!run.unknown().empty()) {
    window_.closeProject();
    return kUsageError;
  }
  if (!hasRadios(list, project)) return 1;

  bool began = false;
  const bool ok = readOnce(run, began);
  if (!began) {
    window_.closeProject();
    return 1;
  }

  int differs = 0, missing = 0;
  for (const CompareRow& row : run.rows()) {
    out_ << compareCsvLine(row) << "\n";
    const bool unread =
        row.kind == CompareRow::Kind::Silent || row.kind == CompareRow::Kind::NotRead;
    ++(unread ? missing : differs);
  }
  out_.flush();
  window_.closeProject();
  if (interrupted_ && !ok) {
    err_ << "tessel-cli: interrupted before every radio was read" << std::endl;
    return 1;
  }
  if (!ok && !prompts_.failed() && !run.ended())
    err_ << "tessel-cli: the radios were not all read within " << options_.timeoutMs / 1000.0
         << " s" << std::endl;
  if (missing || !ok) return 1;
  return differs ? kExitDiffers : kExitDone;
}

}  // namespace tessel::cli
