// tessel-cli discover: a group found by dialling every radio ID, into a new
// project file.

#include "cli/cli_session.h"

#include <filesystem>
#include <ostream>

#include "model/brand.h"
#include "model/file_access.h"
#include "model/group_commands.h"
#include "model/project.h"
#include "model/project_lock.h"
#include "model/radio.h"
#include "platform/files.h"
#include "round_output.h"

namespace tessel::cli {

namespace fs = std::filesystem;

int Session::listDiscovered() {
  Tproject* p = window_.project();
  int radios = 0;
  for (int id = 0; p && id < kRadioSlots; ++id) {
    const std::string section = Tradio::sectionName(id);
    if (!p->sectionExists(section)) continue;
    ++radios;
    out_ << id << "," << csvField(p->readKey(section, "Radio Name", "")) << ","
         << csvField(p->readKey(section, brand().modelKey, "")) << ","
         << csvField(p->readKey(section, "Radio Mode", "")) << ","
         << csvField(p->readKey(section, "Master ID", "")) << std::endl;
  }
  return radios;
}

bool Session::claimTarget(const std::string& project, bool force, ProjectLock& lock) {
  std::error_code ec;
  if (fs::exists(platform::pathFromUtf8(project), ec) && !force) {
    err_ << "tessel-cli: " << project << " exists; --force replaces it" << std::endl;
    return false;
  }
  std::string error;
  if (!lock.take(project, error)) {
    err_ << "tessel-cli: " << error << "; close it there first" << std::endl;
    return false;
  }
  if (!canRewriteFile(project, error)) {
    err_ << "tessel-cli: " << error << std::endl;
    return false;
  }
  return true;
}

void Session::discoveryShort(int rounds, bool ended) {
  if (ended) {
    err_ << "tessel-cli: the monitor ended before " << rounds << " round(s) were complete"
         << std::endl;
  } else if (!interrupted_) {
    err_ << "tessel-cli: discovery did not complete " << rounds << " round(s) within "
         << options_.timeoutMs / 1000.0 << " s" << std::endl;
  }
}

int Session::discover(const std::string& project, int intervalMs, int rounds, bool force) {
  // The radios found go into a new project of the command's own; it
  // replaces the file only once a radio was found, so a discovery that
  // finds nothing leaves the old project as it was. The file stays locked
  // meanwhile, so no other program writes it in between.
  ProjectLock lock;
  if (!claimTarget(project, force, lock) || !makeTempDir()) return 1;
  std::error_code ec;
  std::string error;
  const std::string found = tempDir_ + "/discovered.vro";
  if (!openPort()) return 1;
  window_.openProject(found);
  window_.switchMode(wmProject);
  engine_->setPollInterval(intervalMs);

  // The discovery is done once the radio of round rounds + 1 is dialled.
  bool done = false;
  progress_.onProgress = [&](const CommandProgress& p) {
    if (p.command != Command::Discover || p.radio < 0 || p.round <= rounds) return;
    done = true;
    loop_.quit();
  };
  // A radio that answers a dial with ERROR ends the discovery: what was
  // found so far is kept.
  bool ended = false;
  progress_.onEnded = [&](Command command, const Outcome&) {
    if (command != Command::Discover) return;
    ended = true;
    loop_.quit();
  };
  GroupCommands commands(window_);
  commands.createProject = [] { return true; };
  // A refusal has told why through the prompts.
  const bool began = commands.discoverNew();
  bool ok = began && runUntilDone([&] { return done || ended; }) && done;
  progress_.clear();
  if (!prompts_.failed()) window_.commands.stop(kCancelCaption, {{0, 0}});
  Tproject* p = window_.project();
  const int radios = listDiscovered();
  const int failedWrites = p ? p->failedWrites() : 0;
  window_.closeProject();
  // What was found is kept however the discovery ended (a pulled cable,
  // an interrupt), as a project written through would keep it.
  if (radios > 0 && failedWrites == 0 && !replaceFileWithCopy(project, found, error)) {
    err_ << "tessel-cli: " << error << std::endl;
    return 1;
  }
  if (prompts_.failed()) return 1;
  if (!ok) discoveryShort(rounds, ended && !done);
  if (radios == 0) {
    err_ << "tessel-cli: no radio found; " << project
         << (fs::exists(platform::pathFromUtf8(project), ec) ? " is left as it was"
                                                             : " is not written")
         << std::endl;
    return 1;
  }
  return 0;
}

// Reads every radio of run's list once, as the monitor reads them, the
// replies going to run alone; back at the local radio after. began: the
// engine took the read. True when every radio was read.

}  // namespace tessel::cli
