#include "model/time_left.h"

#include <algorithm>

#include "model/group_change_run.h"

namespace tessel {

void PaceEstimate::update(int done, int total, bool running, int64_t nowMs) {
  total_ = total;
  if (!running) {
    running_ = false;
    return;
  }
  if (!running_ || done < lastDone_) {
    // Started, or started over (other work): the pace is measured from here.
    running_ = true;
    startDone_ = done;
    startMs_ = nowMs;
  }
  lastDone_ = done;
  lastMs_ = nowMs;
}

std::optional<int64_t> PaceEstimate::leftMs(int64_t nowMs) const {
  const int measured = lastDone_ - startDone_;
  if (!running_ || measured <= 0 || lastMs_ <= startMs_) return std::nullopt;
  const double msPerUnit = static_cast<double>(lastMs_ - startMs_) / measured;
  const double left = msPerUnit * std::max(total_ - lastDone_, 0) - (nowMs - lastMs_);
  return static_cast<int64_t>(std::max(left, 0.0));
}

std::string timeLeftText(int64_t ms) {
  const int64_t s = (std::max<int64_t>(ms, 0) + 999) / 1000;
  std::string text;
  if (s < 60)
    text = std::to_string(std::max<int64_t>(s, 1)) + " s";
  else if (s < 3600)
    text = std::to_string(s / 60) + " min" + (s % 60 ? " " + std::to_string(s % 60) + " s" : "");
  else
    text = std::to_string(s / 3600) + " h" +
           (s % 3600 / 60 ? " " + std::to_string(s % 3600 / 60) + " min" : "");
  return "about " + text + " left";
}

void GroupChangeTimeLeft::update(int64_t nowMs) {
  const std::vector<GroupStep>& steps = run_.steps();
  int done = 0, total = 0;
  for (size_t i = 0; i < steps.size(); ++i) {
    const int units = static_cast<int>(steps[i].lines.size()) + 1;
    total += units;
    if (static_cast<int>(i) < run_.position()) done += units;
  }
  if (run_.current()) done += 1 + run_.linesConfirmed();
  // Writing the old values back is other work: its pace starts anew.
  const bool restarted = run_.restoring() != restoring_;
  restoring_ = run_.restoring();
  if (restarted) pace_.update(0, total, false, nowMs);
  pace_.update(done, total, run_.state() == GroupChangeRun::State::Running, nowMs);
}

std::string GroupChangeTimeLeft::text(int64_t nowMs) const {
  const std::optional<int64_t> left = pace_.leftMs(nowMs);
  return left ? timeLeftText(*left) : std::string();
}

}  // namespace tessel
