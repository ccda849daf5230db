#pragma once

// Changing the settings a whole group shares (group ID, security ID, RF
// band, repeaters, re-broadcast, flush time, blocked frequencies) in an
// order that strands no radio. Radios hold assignments and "AT&W" until
// "AT&R" restarts them, so every radio is first staged (new values and
// "AT&W", remote radios first) and only then restarted, each radio before
// the repeater it is heard through and the local radio last. A model that
// gets no "AT&R" runs what "AT&W" saves: it is written in its turn of the
// second phase instead. The plan is data; the run (group_change_run.h)
// drives the link engine.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "model/main_window_link.h"
#include "model/radio_settings.h"

namespace tessel {

class GroupCompareRun;
class Tproject;

// Whether a parameter is one the whole group shares.
bool isSharedParameter(int param);

// The assignment lines that give radio the shared values, then "AT&W"; no
// line ends in a carriage return (the engine adds it).
std::vector<std::string> sharedLines(const RadioSettings& radio, const GroupSettings& values);

// A radio of the plan and its place in the group's tree.
struct PlanRadio {
  int id = 0;
  RadioSettings settings;
  bool local = false;
  int parent = -1;  // the radio it is heard through (the local one or a repeater); -1: local
  int depth = 0;    // 0 local, 1 heard directly, one more per repeater between
};

struct GroupStep {
  enum class Kind {
    Stage,    // new values and "AT&W", no reset
    Check,    // a radio written only later: is it reachable now?
    Reset,    // "AT&R": the radio runs what it holds
    Write,    // new values and "AT&W" on a model that runs them at once
    Restore,  // the old values and "AT&W" back on a staged radio
  };
  Kind kind = Kind::Stage;
  int phase = 1;
  int radio = 0;
  bool local = false;
  // Everything the engine sends for the step, the dial of a remote first.
  std::vector<std::string> lines;
};

struct GroupPlan {
  int local = -1;
  std::vector<PlanRadio> radios;  // the tree, depth first: each radio before those behind it
  std::vector<GroupStep> steps;   // phase 1, then phase 2
  GroupSettings oldValues, newValues;
  // Why there is no plan; empty when there is one.
  std::string error;

  const PlanRadio* radio(int id) const;
  // The staging steps of phase 1 (those that write).
  int phaseSteps(int phase) const;
};

// "radio 3 (Radio 003)": a radio of the plan as the texts name it.
std::string radioNamed(const GroupPlan& plan, int radio);

// The plan for radios (each with its project settings and the project's
// current group) and the new shared values. The local radio is local when
// given, otherwise the first master (the first radio when there is none),
// as the monitor finds it. A radio is heard through the repeater its master
// ID names, otherwise directly. Repeaters that lead round in a circle give
// no plan.
GroupPlan planGroupChange(const std::vector<RadioSettings>& radios, const GroupSettings& newValues,
                          int local = -1);

// The old values back onto radios (those staged, or perhaps staged), nearest
// first as they were staged.
std::vector<GroupStep> restoreSteps(const GroupPlan& plan, const std::vector<int>& radios);

// What the user is shown before anything is sent: the tree and the order,
// one a line.
std::vector<std::string> planText(const GroupPlan& plan);
// "Phase 1: stage radio 3 (Radio 003)" and the like.
std::string stepText(const GroupPlan& plan, const GroupStep& step);

// The new shared values into the open project and its panel (so closing
// the project keeps them). False when a write failed.
bool commitGroupValues(Tproject& project, const GroupSettings& values);

// The shared values as "Group ID 7 -> 9" lines, one per value that differs.
std::vector<std::string> changedValuesText(const GroupSettings& from, const GroupSettings& to);

// Stands in for the main window while a plan's sends run: only the plan's
// local radio is local, so going back to it hangs a dialled radio up, and
// nothing the sends do reaches the window's records.
class PlanCallbacks : public MainWindowCallbacks {
 public:
  explicit PlanCallbacks(const GroupPlan& plan) : plan_(plan) {}
  bool isLocal(int radio) override { return radio >= 0 && radio == plan_.local; }
  bool isMaster(int radio) override;
  bool exists(int radio) override { return plan_.radio(radio) != nullptr; }
  bool markPolling(int) override { return false; }
  bool setRead(int, bool) override { return false; }
  bool markLocal(int) override { return false; }
  void radioRenumbered(int, bool) override {}
  void taskCancelled(int) override {}
  void readDone() override {}
  std::string RegisterValue(int, int, bool) override { return std::string(); }
  bool ApplyReply(int, int, const std::string&) override { return false; }

 private:
  const GroupPlan& plan_;
};

// What a radio answered when the group was read again under the new
// settings.
struct GroupCheckRow {
  // NotConfirmed: what was read is new, but a value was refused or, changed,
  // not reported.
  enum class Kind { NewValues, OtherValues, NoAnswer, NotConfirmed };
  Kind kind = Kind::NoAnswer;
  int radio = 0;
  std::string name;
  // "Group ID 7 (not 9)", "Security ID not read: refused", one per
  // parameter, joined by "; ".
  std::string detail;
};
inline constexpr char kBlockedNotRead[] =
    "blocked frequencies not read (a dialled radio does not report them)";
// Each radio of the read (in its order), its shared values set against
// after, the values a change from before gave it.
std::vector<GroupCheckRow> checkGroup(const GroupCompareRun& read, const GroupSettings& before,
                                      const GroupSettings& after);
std::string checkText(const GroupCheckRow& row);

}  // namespace tessel
