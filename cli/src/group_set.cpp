// tessel-cli group-set: the group's shared settings changed on every radio of
// a project in an order that strands none, then the group read again.
#include "cli/group_set.h"

#include <iostream>
#include <set>
#include <sstream>

#include "cli/cli_session.h"
#include "model/blocked_frequencies.h"
#include "model/brand.h"
#include "model/group_change.h"
#include "model/group_commands.h"
#include "model/group_compare.h"
#include "model/project.h"
#include "model/text.h"

namespace tessel::cli {

namespace {

inline constexpr char kTitle[] = "Change Group Settings";
// The engine's own words when a send gives up or a radio refuses a line;
// here they are the run's to report, not the command's end.
inline constexpr char kTooManyErrors[] =
    "Too many errors in sending to radio, try increasing poll interval";

bool digitsIn(const std::string& text, long min, long max, std::string& out) {
  const std::string t = trimBlanks(text);
  if (t.empty() || t.size() > 5 || t.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const long v = std::stol(t);
  if (v < min || v > max) return false;
  out = std::to_string(v);
  return true;
}

bool yesNo(const std::string& text, int& out) {
  const std::string t = upperCase(trimBlanks(text));
  if (t == "YES" || t == "Y") {
    out = item::yes;
    return true;
  }
  if (t == "NO" || t == "N") {
    out = item::no;
    return true;
  }
  return false;
}

// Seconds with at most one decimal, as the project file keeps them.
bool flushSeconds(const std::string& text, std::string& out) {
  const std::string t = trimBlanks(text);
  const size_t point = t.find('.');
  const std::string whole = t.substr(0, point);
  const std::string tenth = point == std::string::npos ? "" : t.substr(point + 1);
  std::string w;
  if (!digitsIn(whole, 0, 6553, w)) return false;
  if (point != std::string::npos &&
      (tenth.size() != 1 || !std::isdigit(static_cast<unsigned char>(tenth[0])) ||
       (w == "6553" && tenth[0] > '5')))
    return false;
  out = tenth.empty() || tenth == "0" ? w : w + "." + tenth;
  return true;
}

}  // namespace

GroupSettings GroupSetRequest::applied(GroupSettings g) const {
  if (groupID) g.groupID = *groupID;
  if (securityID) g.securityID = *securityID;
  if (rfband) g.rfband = *rfband;
  if (flushTime) g.flushTime = *flushTime;
  if (repeaters) g.repeaters = *repeaters;
  if (reTXBroadcasts) g.reTXBroadcasts = *reTXBroadcasts;
  if (blocked) g.blocked = *blocked;
  return g;
}

bool parseGroupSet(const ParsedArgs& args, GroupSetRequest& out, std::string& error) {
  std::string v;
  if (args.has("--group-id")) {
    if (!digitsIn(args.value("--group-id"), 1, 63, v)) {
      error = "--group-id takes 1 to 63";
      return false;
    }
    out.groupID = v;
  }
  if (args.has("--security-id")) {
    if (!digitsIn(args.value("--security-id"), 0, 65534, v)) {
      error = "--security-id takes 0 to 65534";
      return false;
    }
    out.securityID = v;
  }
  if (args.has("--rf-band")) {
    if (!digitsIn(args.value("--rf-band"), 0, 99, v)) {
      error = "--rf-band takes a band number";
      return false;
    }
    out.rfband = v;
  }
  if (args.has("--flush-time")) {
    if (!flushSeconds(args.value("--flush-time"), v)) {
      error = "--flush-time takes 0 to 6553.5 seconds";
      return false;
    }
    out.flushTime = v;
  }
  int choice = 0;
  if (args.has("--repeaters")) {
    if (!yesNo(args.value("--repeaters"), choice)) {
      error = "--repeaters takes yes or no";
      return false;
    }
    out.repeaters = choice;
  }
  if (args.has("--retx")) {
    if (!yesNo(args.value("--retx"), choice)) {
      error = "--retx takes yes or no";
      return false;
    }
    out.reTXBroadcasts = choice;
  }
  if (args.has("--blocked")) {
    std::array<std::string, kBlockedFreqCount> list{};
    std::istringstream in(args.value("--blocked"));
    size_t n = 0;
    for (std::string item; std::getline(in, item, ',');) {
      item = trimBlanks(item);
      if (item.empty() || upperCase(item) == "NONE") continue;
      const BlockedExit done = blockedExit(item);
      if (blockedTyped(item) != item || !done.message.empty() || done.text.empty()) {
        error = "--blocked: " + (done.message.empty() ? item + " is no frequency" : done.message);
        return false;
      }
      if (n == list.size()) {
        error = "--blocked takes at most " + std::to_string(list.size()) + " frequencies";
        return false;
      }
      list[n++] = done.text;
    }
    out.blocked = list;
  }
  out.yes = args.has("--yes");
  if (!out.any()) {
    error = "group-set needs at least one value to change";
    return false;
  }
  return true;
}

int Session::groupSet(const std::string& project, const GroupSetRequest& request,
                      std::istream& in) {
  const BrandModels& models = brandModels(0);
  if (!openUserProject(project)) return 1;
  Tproject* p = window_.project();
  std::vector<RadioSettings> radios;
  for (const TpollEntry& e : p->BuildPollList(true))
    radios.push_back(projectSettings(*p, e.radio, models));
  if (radios.empty()) {
    err_ << "tessel-cli: the project " << project << " has no radios" << std::endl;
    return 1;
  }
  const GroupSettings before = radios.front().group;
  const GroupSettings after = request.applied(before);
  // The project's own blocked frequencies meet the check --blocked does.
  const std::string blocked = blockedListMessage(after.blocked);
  if (!blocked.empty()) {
    err_ << "tessel-cli: " << blocked << "; give --blocked with frequencies of the band"
         << std::endl;
    window_.closeProject();
    return 1;
  }
  const GroupPlan plan = planGroupChange(radios, after);
  if (!plan.error.empty()) {
    err_ << "tessel-cli: " << plan.error << std::endl;
    return 1;
  }
  // What will happen, before anything is sent.
  const std::vector<std::string> changes = changedValuesText(before, after);
  out_ << "Shared values:" << (changes.empty() ? " as the project has them" : "") << "\n";
  for (const std::string& c : changes) out_ << "  " << c << "\n";
  for (const std::string& line : planText(plan)) out_ << line << "\n";
  out_.flush();
  auto ask = [&](const std::string& question) {
    out_ << question << std::flush;
    std::string answer;
    if (!std::getline(in, answer)) return std::string();
    return lowerCase(trimBlanks(answer));
  };
  if (!request.yes) {
    const std::string a = ask("Change the group's settings in this order? [y/N] ");
    if (a != "y" && a != "yes") {
      err_ << "tessel-cli: not confirmed; nothing was sent" << std::endl;
      window_.closeProject();
      return 1;
    }
  }

  // Only the plan's local radio counts as local while the sends run, so
  // going back to it hangs up the remote one; the records stay as they are.
  PlanCallbacks callbacks(plan);
  engine_->AttachMainWindow(&status_, &callbacks);
  // The run reports a failed send itself; the engine's boxes for it are no
  // end of the command.
  std::set<std::string> notices = {std::string(kTitle) + " complete, radio reset", kTooManyErrors};
  auto allowRefusals = [&](const std::vector<GroupStep>& steps) {
    for (const GroupStep& s : steps)
      for (const std::string& line : s.lines) notices.insert("ERROR from radio on sending " + line);
    prompts_.notices.assign(notices.begin(), notices.end());
  };
  allowRefusals(plan.steps);
  allowRefusals(restoreSteps(plan, static_cast<int>(plan.steps.size())));
  if (options_.timeoutMs == 0) options_.timeoutMs = 120'000;

  GroupChangeRun run(
      plan,
      [this](const std::string& title, const TpollArray& list,
             const std::vector<std::string>& lines) {
        return window_.commands.setRadio(title, list, lines);
      },
      kTitle);
  const GroupStep* shown = nullptr;
  run.onProgress = [&] {
    const GroupStep* step = run.current();
    if (run.state() != GroupChangeRun::State::Running || !step || step == shown) return;
    shown = step;
    out_ << "[" << run.position() + 1 << "/" << run.count() << "] " << stepText(plan, *step)
         << std::endl;
  };
  bool ended = false, completed = false, refused = false;
  progress_.onEnded = [&](Command command, CommandOutcome outcome, const std::string&) {
    if (command != Command::SetRadio) return;
    ended = true;
    completed = outcome == CommandOutcome::Done;
    refused = outcome == CommandOutcome::Failed;
    loop_.quit();
  };
  // Works the run off until it stops or ends; an interrupt or a time limit
  // stops the send under way.
  auto work = [&] {
    while (run.state() == GroupChangeRun::State::Running) {
      ended = false;
      const bool done = runUntilDone([&] { return ended; });
      if (done) {
        run.sendEnded(completed, refused);
        continue;
      }
      window_.commands.stop(kCancelCaption, {});
      if (interrupted_)
        err_ << "tessel-cli: interrupted" << std::endl;
      else if (!prompts_.failed())
        err_ << "tessel-cli: the radio did not complete the step within "
             << options_.timeoutMs / 1000.0 << " s" << std::endl;
      run.cancel();
    }
  };
  run.start();
  work();
  // Stopped: in phase 1 nothing runs the new values; with --yes (or no
  // answer) the old values go back onto the staged radios, otherwise the
  // user picks.
  while (run.state() == GroupChangeRun::State::Stopped && !prompts_.failed()) {
    err_ << "tessel-cli: " << run.failureText() << std::endl;
    if (run.restoring() || (run.phase() == 2 && request.yes)) break;
    std::string a;
    if (!request.yes && !interrupted_) {
      a = ask(run.phase() == 1 ? "[r]etry the radio, [w]rite the old values back to the staged "
                                 "radios, or [l]eave them staged? [w] "
                               : "[r]etry the radio or [s]top? [s] ");
    }
    // A second interrupt while writing back stops for good.
    interrupted_ = false;
    if (a == "r" || a == "retry") {
      run.retry();
    } else if (run.phase() == 1 && a != "l" && a != "leave") {
      out_ << "Writing the old values back to the staged radios" << std::endl;
      shown = nullptr;
      run.restore();
    } else {
      break;
    }
    work();
  }
  progress_.clear();
  engine_->AttachMainWindow(&status_, &values_);
  if (run.state() == GroupChangeRun::State::Restored)
    out_ << "The old values are back on every staged radio; no radio changed its settings"
         << std::endl;
  if (run.state() != GroupChangeRun::State::Applied) {
    if (engine_->linkDialled()) window_.commands.stop(kCancelCaption, {});
    window_.closeProject();
    return 1;
  }

  // Phase 2 is over: the project takes the new values, then the group is
  // read again under them.
  if (!commitGroupValues(*p, after))
    err_ << "tessel-cli: the new values could not all be written to " << project << std::endl;
  out_ << "Reading the group under the new settings" << std::endl;
  GroupCompareRun read(*p, models);
  bool began = false;
  const bool ok = readOnce(read, began);
  int fine = 0, total = 0;
  for (const GroupCheckRow& row : checkGroup(read, after)) {
    out_ << checkText(row) << "\n";
    ++total;
    if (row.kind == GroupCheckRow::Kind::NewValues) ++fine;
  }
  out_ << fine << " of " << total << " radio(s) answer with the new values" << std::endl;
  window_.closeProject();
  if (!ok && !prompts_.failed() && !read.ended())
    err_ << "tessel-cli: the radios were not all read within " << options_.timeoutMs / 1000.0
         << " s" << std::endl;
  return ok && fine == total ? 0 : 1;
}

}  // namespace tessel::cli
