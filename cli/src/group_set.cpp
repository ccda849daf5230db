// tessel-cli group-set: the group's shared settings changed on every radio of
// a project in an order that strands none, then the group read again.
#include "cli/group_set.h"

#include <chrono>
#include <iostream>
#include <sstream>

#include "cli/cli_session.h"
#include "model/blocked_frequencies.h"
#include "model/brand.h"
#include "model/group_change_run.h"
#include "model/group_change_work.h"
#include "model/group_commands.h"
#include "model/group_compare.h"
#include "model/parameter_table.h"
#include "model/project.h"
#include "model/text.h"
#include "model/time_left.h"
#include "round_output.h"

namespace tessel::cli {

namespace {

inline constexpr char kTitle[] = "Change Group Settings";

// A whole number in the parameter's range as shown.
bool digitsIn(const std::string& text, int code, std::string& out) {
  const Parameter& p = parameterOf(code);
  const std::string t = trimBlanks(text);
  if (t.empty() || t.size() > 9 || t.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const long v = std::stol(t);
  if (v < shownLow(p) || v > shownHigh(p)) return false;
  out = std::to_string(v);
  return true;
}

// "--group-id takes 1 to 63".
std::string takes(const char* option, int code, const char* unit = "") {
  const Parameter& p = parameterOf(code);
  return std::string(option) + " takes " + shownBound(p, p.lo) + " to " + shownBound(p, p.hi) +
         unit;
}

bool yesNo(const std::string& text, YesNo& out) {
  const std::string t = upperCase(trimBlanks(text));
  if (t == "YES" || t == "Y") {
    out = YesNo::yes;
    return true;
  }
  if (t == "NO" || t == "N") {
    out = YesNo::no;
    return true;
  }
  return false;
}

// Seconds with at most one decimal, as the project file keeps them; the
// register holds tenths.
bool flushSeconds(const std::string& text, std::string& out) {
  const std::string t = trimBlanks(text);
  const size_t point = t.find('.');
  const std::string whole = t.substr(0, point);
  const std::string tenth = point == std::string::npos ? "" : t.substr(point + 1);
  std::string w;
  if (!digitsIn(whole, param::flushTime, w)) return false;
  if (point != std::string::npos &&
      (tenth.size() != 1 || !std::isdigit(static_cast<unsigned char>(tenth[0]))))
    return false;
  const Parameter& p = parameterOf(param::flushTime);
  const long tenths = std::stol(w) * p.scale + (tenth.empty() ? 0 : tenth[0] - '0');
  if (tenths < p.lo || tenths > p.hi) return false;
  out = tenth.empty() || tenth == "0" ? w : w + "." + tenth;
  return true;
}

int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

GroupSettings GroupSetRequest::applied(GroupSettings g) const {
  if (groupID) g.groupID = *groupID;
  if (securityID) g.securityID = *securityID;
  if (rfband) g.rfband = *rfband;
  if (flushTime) g.flushTime = codec::tenthsOfText(*flushTime);
  if (repeaters) g.repeaters = *repeaters;
  if (reTXBroadcasts) g.reTXBroadcasts = *reTXBroadcasts;
  if (blocked) {
    for (size_t i = 0; i < g.blocked.size(); ++i)
      g.blocked[i] = codec::blockedOfText((*blocked)[i]);
  }
  return g;
}

namespace {

// "--blocked MHZ,...": up to the registers' count of frequencies of the band,
// "none" or nothing for an empty slot.
bool parseBlocked(const std::string& value, std::array<std::string, kBlockedFreqCount>& list,
                  std::string& error) {
  list = {};
  std::istringstream in(value);
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
  return true;
}

}  // namespace

bool parseGroupSet(const ParsedArgs& args, GroupSetRequest& out, std::string& error) {
  // The numbers, each in its register's range.
  const struct {
    const char* option;
    int param;
    std::optional<int> GroupSetRequest::*field;
  } numbers[] = {{"--group-id", param::groupID, &GroupSetRequest::groupID},
                 {"--security-id", param::securityID, &GroupSetRequest::securityID},
                 {"--rf-band", param::rfband, &GroupSetRequest::rfband}};
  std::string v;
  for (const auto& n : numbers) {
    if (!args.has(n.option)) continue;
    if (!digitsIn(args.value(n.option), n.param, v)) {
      error = takes(n.option, n.param);
      return false;
    }
    out.*n.field = codec::numberOfText(v);
  }
  if (args.has("--flush-time")) {
    if (!flushSeconds(args.value("--flush-time"), v)) {
      error = takes("--flush-time", param::flushTime, " seconds");
      return false;
    }
    out.flushTime = v;
  }
  const struct {
    const char* option;
    std::optional<YesNo> GroupSetRequest::*field;
  } choices[] = {{"--repeaters", &GroupSetRequest::repeaters},
                 {"--retx", &GroupSetRequest::reTXBroadcasts}};
  for (const auto& c : choices) {
    YesNo choice = YesNo::unset;
    if (!args.has(c.option)) continue;
    if (!yesNo(args.value(c.option), choice)) {
      error = std::string(c.option) + " takes yes or no";
      return false;
    }
    out.*c.field = choice;
  }
  if (args.has("--blocked")) {
    std::array<std::string, kBlockedFreqCount> list;
    if (!parseBlocked(args.value("--blocked"), list, error)) return false;
    out.blocked = list;
  }
  out.yes = args.has("--yes");
  out.fast = args.has("--fast");
  if (!out.any()) {
    error = "group-set needs at least one value to change";
    return false;
  }
  return true;
}

int Session::groupSet(const std::string& project, const GroupSetRequest& request,
                      std::istream& in) {
  if (!openUserProject(project)) return 1;
  auto ask = [&](const std::string& question) {
    out_ << question << std::flush;
    std::string answer;
    if (!std::getline(in, answer)) return std::string();
    return lowerCase(trimBlanks(answer));
  };
  GroupPlan plan;
  if (!groupSetPlan(project, request, plan)) {
    window_.closeProject();
    return 1;
  }
  if (!request.yes) {
    const std::string a = ask("Change the group's settings in this order? [y/N] ");
    if (a != "y" && a != "yes") {
      err_ << "tessel-cli: not confirmed; nothing was sent" << std::endl;
      window_.closeProject();
      return 1;
    }
  }
  engine_->setPollInterval(request.fast ? 0 : 1000);
  out_ << sendPacingText(request.fast) << std::endl;
  if (options_.timeoutMs == 0) options_.timeoutMs = 120'000;
  // The end of a send is taken up once the loop is back here.
  std::function<void()> pending;
  // Only the plan's local radio counts as local while the sends run, so
  // going back to it hangs up the remote one; the records stay as they are.
  // The work reports how each send ended: the engine shows no box for it.
  GroupChangeWork work(
      window_, brandModels(0), plan,
      {[this](MainWindowCallbacks* callbacks) { host_->attach(&status_, callbacks); },
       [this](int ms) { engine_->setPollInterval(ms); }, nullptr,
       [this](bool on) { engine_->setQuietSends(on); }, steadyMs,
       [this, &pending](std::function<void()> fn) {
         pending = std::move(fn);
         loop_.quit();
       }});
  groupSetSteps(work, request.yes, ask, pending);
  if (!work.run()) {
    err_ << "tessel-cli: " << work.said() << std::endl;
    window_.closeProject();
    return 1;
  }
  const GroupChangeRun& run = *work.run();
  if (run.state() == GroupChangeRun::State::Restored)
    out_ << GroupChangeRun::restoredText() << std::endl;
  if (run.state() != GroupChangeRun::State::Applied) {
    if (engine_->linkDialled()) window_.commands.stop(kCancelCaption, {});
    window_.closeProject();
    return 1;
  }
  return groupSetCheck(work, project);
}

// The plan for the values asked, shown before anything is sent; false (told
// why) when there is none or nothing would change.
bool Session::groupSetPlan(const std::string& project, const GroupSetRequest& request,
                           GroupPlan& plan) {
  Tproject* p = window_.project();
  std::vector<RadioSettings> radios;
  for (const TpollEntry& e : p->BuildPollList(true))
    radios.push_back(projectSettings(*p, e.radio, brandModels(0)));
  if (radios.empty()) {
    err_ << "tessel-cli: the project " << project << " has no radios" << std::endl;
    return false;
  }
  const GroupSettings before = radios.front().group;
  const GroupSettings after = request.applied(before);
  // The project's own blocked frequencies meet the check --blocked does.
  std::array<std::string, kBlockedCount> blockedTexts;
  for (size_t i = 0; i < blockedTexts.size(); ++i)
    blockedTexts[i] = codec::blockedText(after.blocked[i]);
  const std::string blocked = blockedListMessage(blockedTexts);
  if (!blocked.empty()) {
    err_ << "tessel-cli: " << blocked << "; give --blocked with frequencies of the band"
         << std::endl;
    return false;
  }
  const std::vector<std::string> changes = changedValuesText(before, after);
  if (changes.empty()) {
    // Every radio would be reset for nothing.
    err_ << "tessel-cli: the values given are those the project has already; nothing to change, "
            "nothing was sent"
         << std::endl;
    return false;
  }
  plan = planGroupChange(radios, after);
  if (!plan.error.empty()) {
    err_ << "tessel-cli: " << plan.error << std::endl;
    return false;
  }
  out_ << "Shared values:\n";
  for (const std::string& c : changes) out_ << "  " << c << "\n";
  for (const std::string& line : planText(plan)) out_ << line << "\n";
  out_.flush();
  return true;
}

// Works the change off: phase 1 until a step fails (then the user, or
// --yes, picks what follows), phase 2 through to the local radio's reset
// with signals held back until it is over.
void Session::groupSetSteps(GroupChangeWork& work, bool yes,
                            const std::function<std::string(const std::string&)>& ask,
                            std::function<void()>& pending) {
  const GroupStep* shown = nullptr;
  work.onChange = [&] {
    deferInterrupts(work.applying());
    const GroupChangeRun* run = work.run();
    const std::string eta = work.timeLeft();
    const GroupStep* step = run ? run->current() : nullptr;
    if (!work.sending() || !step || step == shown) return;
    shown = step;
    out_ << "[" << run->position() + 1 << "/" << run->count() << "] "
         << stepText(run->plan(), *step) << (eta.empty() ? "" : "; " + eta) << std::endl;
  };
  if (!work.start() && !work.run()) return;
  groupSetWork(work, pending);
  deferInterrupts(false);
  // Stopped in phase 1: nothing runs the new values; with --yes (or no
  // answer) the old values go back onto the staged radios, otherwise the
  // user picks. Phase 2 stops only when nothing can be sent any more.
  const GroupChangeRun& run = *work.run();
  while (run.state() == GroupChangeRun::State::Stopped && !prompts_.failed()) {
    err_ << "tessel-cli: " << run.failureText() << std::endl;
    if (run.restoring() || run.phase() == 2) break;
    std::string a;
    if (!yes && !interrupted_)
      a =
          ask("[r]etry the radio, [w]rite the old values back to the staged radios, or [l]eave "
              "them staged? [w] ");
    // A second interrupt while writing back stops for good.
    interrupted_ = false;
    if (a == "r" || a == "retry") {
      work.retry();
    } else if (a != "l" && a != "leave") {
      out_ << "Writing the old values back to the staged radios" << std::endl;
      shown = nullptr;
      work.restore();
    } else {
      break;
    }
    groupSetWork(work, pending);
  }
  work.onChange = nullptr;
}

// The change's sends, each to its end: an interrupt or a time limit stops
// the send under way; in phase 2 the change goes on past the radio.
void Session::groupSetWork(GroupChangeWork& work, std::function<void()>& pending) {
  while (work.sending()) {
    if (runUntilDone([&] { return pending != nullptr; })) {
      auto ended = std::move(pending);
      pending = nullptr;
      ended();
      continue;
    }
    if (interrupted_)
      err_ << "tessel-cli: interrupted" << std::endl;
    else if (!prompts_.failed())
      err_ << "tessel-cli: the radio did not complete the step within "
           << options_.timeoutMs / 1000.0 << " s" << std::endl;
    if (prompts_.failed())
      work.abandon();
    else
      work.sendTimedOut();
    pending = nullptr;
  }
}

// Phase 2 is over: the project has the new values, the radios it went past
// are named, then (unless a signal came meanwhile) the group is read again
// under the new values.
int Session::groupSetCheck(GroupChangeWork& work, const std::string& project) {
  if (!work.committed())
    err_ << "tessel-cli: the new values could not all be written to " << project << std::endl;
  for (const std::string& line : work.run()->missedText())
    err_ << "tessel-cli: " << line << std::endl;
  if (interrupted_) {
    err_ << "tessel-cli: interrupted; phase 2 was seen through first, the group is not read "
            "again"
         << std::endl;
    work.finish();
    window_.closeProject();
    return 1;
  }
  out_ << "Reading the group under the new settings" << std::endl;
  DropNotice drops(*engine_, err_);
  work.onChange = [&] {
    if (work.readOver()) loop_.quit();
  };
  const bool began = work.readAgain();
  const bool ok = began && runUntilDone([&] { return work.readOver(); }) && work.read() &&
                  work.read()->complete();
  const bool dialled = engine_->linkDialled();
  work.onChange = nullptr;
  work.finish();
  // The hang-up is given a moment to leave the port before the port closes.
  if (began && dialled) loop_.run(std::chrono::milliseconds(100));
  for (const GroupCheckRow& row : work.checked()) out_ << checkText(row) << "\n";
  const int fine = work.answeringNew(), total = static_cast<int>(work.checked().size());
  out_ << fine << " of " << total << " radio(s) answer with the new values" << std::endl;
  window_.closeProject();
  if (!ok && !prompts_.failed() && !(work.read() && work.read()->ended()))
    err_ << "tessel-cli: the radios were not all read within " << options_.timeoutMs / 1000.0
         << " s" << std::endl;
  return ok && fine == total && work.run()->missed().empty() ? 0 : 1;
}

}  // namespace tessel::cli
