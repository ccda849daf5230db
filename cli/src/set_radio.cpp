// tessel-cli set: a radio of a project written to the local radio or through
// it, and read back on --verify.

#include "cli/cli_session.h"

#include "model/group_commands.h"
#include "model/panel_settings.h"

#include <ostream>
#include <set>

#include "model/brand.h"
#include "model/entry_rules.h"
#include "model/project.h"
#include "model/project_keys.h"
#include "model/radio.h"
#include "model/send_builder.h"
#include "model/text.h"
#include "model/value_texts.h"

namespace tessel::cli {

namespace {

// Each line written and each line received, as "> " and "< " lines.
class LineEcho : public LinkObserver {
 public:
  explicit LineEcho(std::ostream& out) : out_(out) {}
  void lineSent(const std::string& line) override { out_ << "> " << bare(line) << std::endl; }
  void lineReceived(const std::string& line) override {
    if (!bare(line).empty()) out_ << "< " << bare(line) << std::endl;
  }

 private:
  static std::string bare(const std::string& line) {
    std::string t;
    for (char c : line) {
      if (c != '\r' && c != '\n') t += c;
    }
    return t;
  }
  std::ostream& out_;
};

// Only what a send writes to this type of radio can read back the same (the
// name lives in the project alone; types 0 and 1 hold no master ID).
std::set<std::string> keysWritten(int type) {
  std::set<std::string> written;
  for (const RegisterRow& row : registerMap(type)) {
    if (row.access <= 0 || row.param < 0) continue;
    if (row.param >= param::blockedFreq1 && row.param <= param::blockedFreq12)
      written.insert("s" + std::to_string(row.param));
    else if (const ProjectKey* k = keyOf(row.param))
      written.insert(k->name);
  }
  return written;
}

}  // namespace

int Session::set(const std::string& project, int radio, bool remote, bool fast, bool verify) {
  // Sending and verifying read the project and never write it: it keeps
  // what the user asked for, whatever the radio reports, and a monitor may
  // have it open meanwhile.
  if (!openUserProject(project, true)) return 1;
  Tradio* r = window_.project()->radio(radio);
  if (!r) {
    err_ << "tessel-cli: the project " << project << " has no radio " << radio << std::endl;
    return 1;
  }
  // A remote radio is reached as the monitor reaches it: dialled first.
  window_.switchMode(remote ? wmMonitor : wmProject);
  window_.setCurrentRadio(r);
  r->LoadIntoPanel();
  const auto sent = settingsReport(settingsOfPanel(panel_), brand());
  EntryRules rules(window_);
  RadioSender sender(window_, rules, host_->values());
  // "set PROJECT RADIO" names the radio to write into the one on the port.
  sender.confirmTarget = false;
  engine_->setPollInterval(fast ? 0 : 1000);
  LineEcho echo(out_);
  engine_->addObserver(&echo);
  SendOutcome outcome;
  const Outcome sentEnd = runTask(Command::SetRadio, "send", [&] {
    outcome = sender.okClick();
    if (!outcome.started) {
      if (!outcome.notice.empty() && !prompts_.failed())
        err_ << "tessel-cli: " << outcome.notice << std::endl;
    }
    return outcome.started;
  });
  engine_->removeObserver(&echo);
  if (!sentEnd.done()) return exitStatusOf(sentEnd.ending);
  return verify ? verifySent(*r, remote, sent) : kExitDone;
}

int Session::verifySent(Tradio& radio, bool remote, const SettingsReport& sent) {
  Tradio* r = &radio;
  // The local radio is read back in Manual mode, into the panel alone. A
  // remote one is read as the monitor reads it (only there does a radio with
  // a record count as remote); the project is read only, so what the radio
  // reports reaches the panel and not the file.
  const int id = r->slotID;
  const int type = r->modelIndex;
  if (remote) {
    r->responded = false;
    window_.setCurrentRadio(r);
  } else {
    window_.switchMode(wmManual);
    window_.setCurrentRadio(nullptr);
  }
  const Outcome read = runTask(remote ? Command::GetRadio : Command::GetLocal, "read", [&] {
    if (remote)
      return started(kGetRadioParametersTitle,
                     window_.commands.getRadio(kGetRadioParametersTitle, {id, type}));
    return started(kGetLocalTitle, window_.commands.getLocal(kGetLocalTitle, {{0, type}}));
  });
  panel_.panelLoading = false;
  if (!read.done()) return exitStatusOf(read.ending);
  const auto got = settingsReport(settingsOfPanel(panel_), brand());
  const std::set<std::string> written = keysWritten(type);
  int differ = 0;
  for (const auto& [key, value] : sent) {
    if (!written.count(key)) continue;
    for (const auto& [k2, v2] : got) {
      if (k2 != key || trimBlanks(v2) == trimBlanks(value)) continue;
      out_ << "differs: " << key << " sent " << value << ", read " << v2 << "\n";
      ++differ;
    }
  }
  out_ << (differ ? "verify: " + std::to_string(differ) + " parameter(s) differ"
                  : std::string("verify: every parameter reads as sent"))
       << std::endl;
  return differ ? kExitDiffers : kExitDone;
}

}  // namespace tessel::cli
