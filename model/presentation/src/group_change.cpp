#include "model/group_change.h"

#include <algorithm>
#include <functional>
#include <set>

#include "model/catalogue.h"
#include "model/group_compare.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/parameter_table.h"
#include "model/project.h"
#include "model/project_keys.h"
#include "model/radio_codec.h"
#include "model/send_builder.h"
#include "model/text.h"

namespace tessel {

namespace {

// A radio ID; -1 when it names no radio.
int idOf(int n) {
  return n >= 0 && n <= kHighestRadioID ? n : -1;
}

std::string named(const PlanRadio* r, int id) {
  std::string s = "radio " + std::to_string(id);
  if (r && !r->settings.name.empty()) s += " (" + r->settings.name + ")";
  return s;
}

const char* verb(GroupStep::Kind kind) {
  switch (kind) {
    case GroupStep::Kind::Stage:
      return "stage";
    case GroupStep::Kind::Check:
      return "check (written in phase 2)";
    case GroupStep::Kind::Reset:
      return "reset";
    case GroupStep::Kind::Write:
      return "write (runs the values at once)";
    case GroupStep::Kind::Restore:
      return "restore the old values";
  }
  return "";
}

}  // namespace

bool isSharedParameter(int p) {
  switch (p) {
    case param::groupID:
    case param::securityID:
    case param::rfband:
    case param::flushTime:
    case param::repeaters:
    case param::reTXBroadcasts:
      return true;
    default:
      return p >= param::blockedFreq1 && p <= param::blockedFreq12;
  }
}

std::vector<std::string> sharedLines(const RadioSettings& radio, const GroupSettings& values) {
  RadioSettings s = radio;
  s.group = values;
  AtLineBatcher batcher;
  batcher.reset();
  for (const RegisterRow& row : registerMap(s.model)) {
    if (!isSharedParameter(row.param) || !codec::sendWrites(s, row)) continue;
    batcher.batchAtCommand(false, "s" + std::to_string(row.reg) + "=" +
                                      codec::registerText(s, row.param, s.model == 2));
  }
  batcher.batchAtCommand(true, "&W");
  std::vector<std::string> lines = batcher.takeLines();
  for (std::string& line : lines)
    while (!line.empty() && line.back() == '\r') line.pop_back();
  return lines;
}

const PlanRadio* GroupPlan::radio(int id) const {
  for (const PlanRadio& r : radios)
    if (r.id == id) return &r;
  return nullptr;
}

int GroupPlan::phaseSteps(int phase) const {
  int n = 0;
  for (const GroupStep& s : steps)
    if (s.phase == phase) ++n;
  return n;
}

GroupPlan planGroupChange(const std::vector<RadioSettings>& radios, const GroupSettings& newValues,
                          int local) {
  GroupPlan plan;
  plan.newValues = newValues;
  std::map<int, RadioSettings> byId;
  for (const RadioSettings& s : radios) {
    const int id = idOf(s.radioID);
    if (id >= 0) byId.emplace(id, s);
  }
  if (byId.empty()) {
    plan.error = "The project has no radios.";
    return plan;
  }
  if (!byId.count(local)) {
    local = -1;
    for (const auto& [id, s] : byId)
      if (s.radioMode == RadioMode::master) {
        local = id;
        break;
      }
    if (local < 0) local = byId.begin()->first;
  }
  plan.local = local;
  plan.oldValues = byId.at(local).group;

  // A radio is heard through the repeater its master ID names; a master ID
  // that names no repeater of the project is a master it hears directly.
  std::map<int, int> parent;
  for (const auto& [id, s] : byId) {
    if (id == local) continue;
    const int via = idOf(s.masterID);
    auto it = byId.find(via);
    parent[id] =
        it != byId.end() && via != id && via != local && it->second.radioMode == RadioMode::repeater
            ? via
            : local;
  }
  std::map<int, int> depth{{local, 0}};
  std::function<int(int, size_t)> depthOf = [&](int id, size_t hops) -> int {
    if (auto d = depth.find(id); d != depth.end()) return d->second;
    if (hops > byId.size()) return -1;
    const int up = depthOf(parent.at(id), hops + 1);
    if (up < 0) return -1;
    return depth[id] = up + 1;
  };
  std::vector<int> circle;
  for (const auto& [id, s] : byId)
    if (depthOf(id, 0) < 0) circle.push_back(id);
  if (!circle.empty()) {
    std::string ids;
    for (int id : circle) ids += (ids.empty() ? "" : ", ") + std::to_string(id);
    plan.error = "The master IDs of radios " + ids +
                 " lead round in a circle of repeaters: the order of the change cannot be derived.";
    return plan;
  }

  std::function<void(int)> place = [&](int id) {
    PlanRadio r;
    r.id = id;
    r.settings = byId.at(id);
    r.local = id == local;
    r.parent = r.local ? -1 : parent.at(id);
    r.depth = depth.at(id);
    plan.radios.push_back(r);
    for (const auto& [child, up] : parent)
      if (up == id) place(child);
  };
  place(local);

  std::vector<const PlanRadio*> remotes;
  for (const PlanRadio& r : plan.radios)
    if (!r.local) remotes.push_back(&r);
  const PlanRadio* localRadio = plan.radio(local);
  auto dial = [](const PlanRadio& r, std::vector<std::string> lines) {
    if (!r.local) lines.insert(lines.begin(), "ATD" + std::to_string(r.id));
    return lines;
  };
  auto add = [&](int phase, GroupStep::Kind kind, const PlanRadio& r,
                 std::vector<std::string> lines) {
    GroupStep step;
    step.phase = phase;
    step.kind = kind;
    step.radio = r.id;
    step.local = r.local;
    step.lines = dial(r, std::move(lines));
    plan.steps.push_back(std::move(step));
  };
  // Phase 1, nearest first: a repeater that does not answer stops the
  // change before the radios behind it are tried.
  std::stable_sort(remotes.begin(), remotes.end(), [](const PlanRadio* a, const PlanRadio* b) {
    return a->depth != b->depth ? a->depth < b->depth : a->id < b->id;
  });
  for (const PlanRadio* r : remotes) {
    if (r->settings.model == 2)
      add(1, GroupStep::Kind::Check, *r, {"AT"});
    else
      add(1, GroupStep::Kind::Stage, *r, sharedLines(r->settings, newValues));
  }
  if (localRadio->settings.model == 2)
    add(1, GroupStep::Kind::Check, *localRadio, {"AT"});
  else
    add(1, GroupStep::Kind::Stage, *localRadio, sharedLines(localRadio->settings, newValues));
  // Phase 2, farthest first: a radio runs the new values before the
  // repeater it is heard through does, the local radio last.
  std::stable_sort(remotes.begin(), remotes.end(), [](const PlanRadio* a, const PlanRadio* b) {
    return a->depth != b->depth ? a->depth > b->depth : a->id < b->id;
  });
  for (const PlanRadio* r : remotes) {
    if (r->settings.model == 2)
      add(2, GroupStep::Kind::Write, *r, sharedLines(r->settings, newValues));
    else
      add(2, GroupStep::Kind::Reset, *r, {"AT&R"});
  }
  if (localRadio->settings.model == 2)
    add(2, GroupStep::Kind::Write, *localRadio, sharedLines(localRadio->settings, newValues));
  else
    add(2, GroupStep::Kind::Reset, *localRadio, {"AT&R"});
  return plan;
}

std::vector<GroupStep> restoreSteps(const GroupPlan& plan, const std::vector<int>& radios) {
  std::vector<GroupStep> out;
  for (const GroupStep& s : plan.steps) {
    if (s.phase != 1 || s.kind != GroupStep::Kind::Stage) continue;
    if (std::find(radios.begin(), radios.end(), s.radio) == radios.end()) continue;
    const PlanRadio* r = plan.radio(s.radio);
    if (!r) continue;
    GroupStep back = s;
    back.kind = GroupStep::Kind::Restore;
    back.lines = sharedLines(r->settings, r->settings.group);
    if (!r->local) back.lines.insert(back.lines.begin(), "ATD" + std::to_string(r->id));
    out.push_back(std::move(back));
  }
  return out;
}

std::string radioNamed(const GroupPlan& plan, int radio) {
  return named(plan.radio(radio), radio);
}

std::vector<std::string> planText(const GroupPlan& plan) {
  std::vector<std::string> out;
  if (!plan.error.empty()) return {plan.error};
  out.push_back("Group tree (each radio under the radio it is heard through):");
  for (const PlanRadio& r : plan.radios) {
    std::string line(static_cast<size_t>(2 + 2 * r.depth), ' ');
    line += std::to_string(r.id) + " " + r.settings.name + " (" +
            parameterText(r.settings, param::radioMode);
    if (r.local) line += ", local radio";
    out.push_back(line + ")");
  }
  int phase = 0, n = 0;
  for (const GroupStep& s : plan.steps) {
    if (s.phase != phase) {
      phase = s.phase;
      n = 0;
      out.push_back(phase == 1 ? "Phase 1, stage the new values with AT&W and no reset, remote "
                                 "radios first:"
                               : "Phase 2, apply with AT&R, farthest radio first, the local "
                                 "radio last:");
    }
    out.push_back("  " + std::to_string(++n) + ". " + named(plan.radio(s.radio), s.radio) + ": " +
                  verb(s.kind));
  }
  return out;
}

std::string stepText(const GroupPlan& plan, const GroupStep& step) {
  const std::string who = named(plan.radio(step.radio), step.radio);
  if (step.kind == GroupStep::Kind::Restore) return "Restoring the old values: " + who;
  return "Phase " + std::to_string(step.phase) + " of 2: " + who + ": " + verb(step.kind);
}

bool PlanCallbacks::isMaster(int radio) {
  const PlanRadio* r = plan_.radio(radio);
  return r && r->settings.radioMode == RadioMode::master;
}

bool commitGroupValues(Tproject& project, const GroupSettings& values) {
  const bool ok = writeGroupValues(project, values);
  // The panel holds the open project's group: closing the project writes
  // it back, so it shows the new values too.
  if (project.window) project.showGroup();
  return ok;
}

std::vector<std::string> changedValuesText(const GroupSettings& from, const GroupSettings& to) {
  std::vector<std::string> out;
  RadioSettings a, b;
  a.group = from;
  b.group = to;
  const int shared[] = {param::groupID,   param::securityID, param::rfband,
                        param::flushTime, param::repeaters,  param::reTXBroadcasts};
  std::vector<int> params(std::begin(shared), std::end(shared));
  for (int p = param::blockedFreq1; p <= param::blockedFreq12; ++p) params.push_back(p);
  for (int p : params) {
    const std::string x = trimBlanks(parameterText(a, p)), y = trimBlanks(parameterText(b, p));
    if (x == y) continue;
    out.push_back(parameterCaption(p) + " " + (x.empty() ? "none" : x) + " -> " +
                  (y.empty() ? "none" : y));
  }
  return out;
}

namespace {

// The shared values the change altered, as the registers hold them.
std::set<int> changedValues(const GroupSettings& before, const GroupSettings& after) {
  RadioSettings from, to;
  from.group = before;
  to.group = after;
  std::set<int> changed;
  for (int p = param::groupID; p <= param::blockedFreq12; ++p)
    if (isSharedParameter(p) &&
        codec::registerText(from, p, false) != codec::registerText(to, p, false))
      changed.insert(p);
  return changed;
}

// One radio's read set against the values it should hold now.
void checkRadio(GroupCheckRow& row, const RadioSettings& expected, const RadioReading& got,
                const std::set<int>& changed) {
  std::vector<std::string> differ, unread;
  bool blockedUnread = false;
  for (int p = param::groupID; p <= param::blockedFreq12; ++p) {
    if (!isSharedParameter(p)) continue;
    switch (readVerdict(expected, got, p)) {
      case ReadVerdict::Differs:
        differ.push_back(parameterCaption(p) + " " + readText(got, p) + " (not " +
                         trimBlanks(parameterText(expected, p)) + ")");
        break;
      case ReadVerdict::Refused:
        unread.push_back(parameterCaption(p) + " " + kRefused);
        break;
      case ReadVerdict::NotReported:
        // A value the change left alone was there before; a dialled radio
        // never reports its blocked frequencies.
        if (!changed.count(p)) break;
        if (p >= param::blockedFreq1)
          blockedUnread = true;
        else
          unread.push_back(parameterCaption(p) + " not read");
        break;
      case ReadVerdict::Same:
        break;
    }
  }
  if (blockedUnread) unread.push_back(kBlockedNotRead);
  row.kind = !differ.empty()   ? GroupCheckRow::Kind::OtherValues
             : !unread.empty() ? GroupCheckRow::Kind::NotConfirmed
                               : GroupCheckRow::Kind::NewValues;
  differ.insert(differ.end(), unread.begin(), unread.end());
  for (const std::string& d : differ) row.detail += (row.detail.empty() ? "" : "; ") + d;
}

}  // namespace

std::vector<GroupCheckRow> checkGroup(const GroupCompareRun& read, const GroupSettings& before,
                                      const GroupSettings& after) {
  const std::set<int> changed = changedValues(before, after);
  std::vector<GroupCheckRow> out;
  for (int id : read.radios()) {
    GroupCheckRow row;
    row.radio = id;
    const RadioSettings* project = read.projectRadio(id);
    if (project) row.name = project->name;
    if (const RadioReading* got = read.reading(id); got && project) {
      RadioSettings expected = *project;
      expected.group = after;
      checkRadio(row, expected, *got, changed);
    }
    out.push_back(row);
  }
  return out;
}

std::string checkText(const GroupCheckRow& row) {
  const std::string who = "radio " + std::to_string(row.radio) +
                          (row.name.empty() ? std::string() : " (" + row.name + ")");
  switch (row.kind) {
    case GroupCheckRow::Kind::NewValues:
      return who + ": new values";
    case GroupCheckRow::Kind::OtherValues:
      return who + ": other values: " + row.detail;
    case GroupCheckRow::Kind::NotConfirmed:
      return who + ": new values where read; " + row.detail;
    case GroupCheckRow::Kind::NoAnswer:
      break;
  }
  return who + ": no answer";
}

}  // namespace tessel
