#include "model/group_change_run.h"

#include <algorithm>

namespace tessel {

namespace {

// A port whose device went away is no radio refusing: the radio is not
// heard from, as one that does not answer.
GroupChangeRun::Failure failureOf(TaskEnd ending) {
  switch (ending) {
    case TaskEnd::Refused:
      return GroupChangeRun::Failure::Refused;
    case TaskEnd::LinkLost:
      return GroupChangeRun::Failure::LinkLost;
    case TaskEnd::Done:
    case TaskEnd::Cancelled:
    case TaskEnd::NoAnswer:
    case TaskEnd::LineLost:
    case TaskEnd::NotStarted:
    case TaskEnd::TimedOut:
    case TaskEnd::Interrupted:
      break;
  }
  return GroupChangeRun::Failure::NoAnswer;
}

// "did not answer", "refused a line": what a radio did to a step.
const char* didWhat(GroupChangeRun::Failure failure) {
  switch (failure) {
    case GroupChangeRun::Failure::Refused:
      return "refused a line";
    case GroupChangeRun::Failure::LinkLost:
      return "lost its link";
    case GroupChangeRun::Failure::Refusal:
      return "was not sent to";
    case GroupChangeRun::Failure::Cancelled:
      return "was cancelled";
    case GroupChangeRun::Failure::None:
    case GroupChangeRun::Failure::NoAnswer:
      break;
  }
  return "did not answer";
}

}  // namespace

GroupChangeRun::GroupChangeRun(GroupPlan plan, SendLines send, std::string title)
    : plan_(std::move(plan)), send_(std::move(send)), title_(std::move(title)) {}

int GroupChangeRun::phase() const {
  if (restoring_) return 1;
  if (state_ == State::Ready) return 0;
  if (const GroupStep* s = current()) return s->phase;
  return 2;
}

const GroupStep* GroupChangeRun::current() const {
  return next_ < count() ? &steps()[static_cast<size_t>(next_)] : nullptr;
}

void GroupChangeRun::changed() {
  if (onProgress) onProgress();
}

bool GroupChangeRun::start() {
  if (state_ != State::Ready) return state_ == State::Running;
  return sendCurrent();
}

bool GroupChangeRun::sendCurrent() {
  const GroupStep* step = current();
  confirmedLines_ = 0;
  if (!step) {
    state_ = restoring_ ? State::Restored : State::Applied;
    changed();
    return true;
  }
  const PlanRadio* r = plan_.radio(step->radio);
  const TpollArray list{{step->radio, r ? r->settings.model : 1}};
  const LinkTasks::TaskStart why = send_(title_, list, step->lines);
  if (why != LinkTasks::TaskStart::Started) {
    state_ = State::Stopped;
    failure_ = Failure::Refusal;
    failedRadio_ = step->radio;
    why_ = why == LinkTasks::TaskStart::PortClosed ? "The COM port is not open."
                                                   : "The link is busy with another task.";
    changed();
    return false;
  }
  state_ = State::Running;
  changed();
  return true;
}

void GroupChangeRun::lineConfirmed() {
  if (state_ == State::Running) ++confirmedLines_;
}

bool GroupChangeRun::reached() const {
  const GroupStep* step = current();
  return step && (step->local || confirmedLines_ > 0);
}

void GroupChangeRun::noteStaged(int radio, bool confirmed) {
  for (std::vector<int>* list : {&staged_, &notKnown_})
    list->erase(std::remove(list->begin(), list->end(), radio), list->end());
  (confirmed ? staged_ : notKnown_).push_back(radio);
}

void GroupChangeRun::sendEnded(TaskEnd outcome) {
  if (state_ != State::Running) return;
  const GroupStep* step = current();
  if (!step) return;
  const bool staging = !restoring_ && step->kind == GroupStep::Kind::Stage;
  if (outcome == TaskEnd::Done) {
    // Every line, "AT&W" the last, was answered "OK".
    if (staging) noteStaged(step->radio, true);
    ++next_;
    sendCurrent();
    return;
  }
  const Failure failure = failureOf(outcome);
  if (!restoring_ && step->phase == 2) {
    missed_.push_back({step->radio, step->kind, failure, reached()});
    ++next_;
    sendCurrent();
    return;
  }
  // A radio reached may have taken every line, "AT&W" too, and lost only
  // the answers: it is staged or not known.
  if (staging && reached()) noteStaged(step->radio, false);
  state_ = State::Stopped;
  failure_ = failure;
  failedRadio_ = step->radio;
  changed();
}

void GroupChangeRun::cancel() {
  if (state_ != State::Running || (!restoring_ && phase() == 2)) return;
  const GroupStep* step = current();
  if (step && !restoring_ && step->kind == GroupStep::Kind::Stage && reached())
    noteStaged(step->radio, false);
  state_ = State::Stopped;
  failure_ = Failure::Cancelled;
  failedRadio_ = step ? step->radio : -1;
  changed();
}

bool GroupChangeRun::retry() {
  if (state_ != State::Stopped) return false;
  failure_ = Failure::None;
  failedRadio_ = -1;
  why_.clear();
  return sendCurrent();
}

bool GroupChangeRun::restore() {
  if (state_ != State::Stopped || restoring_ || phase() != 1) return false;
  std::vector<int> radios = staged_;
  radios.insert(radios.end(), notKnown_.begin(), notKnown_.end());
  restore_ = restoreSteps(plan_, radios);
  restoring_ = true;
  next_ = 0;
  failure_ = Failure::None;
  failedRadio_ = -1;
  why_.clear();
  return sendCurrent();
}

std::string GroupChangeRun::stagedText() const {
  std::string text = std::to_string(staged_.size()) + " radio(s) hold them staged";
  auto list = [this](const std::vector<int>& radios) {
    std::string out;
    for (int id : radios) out += (out.empty() ? "" : ", ") + radioNamed(plan_, id);
    return out;
  };
  if (!staged_.empty()) text += " (AT&W answered OK): " + list(staged_);
  if (!notKnown_.empty()) text += "; staged or not known (AT&W not confirmed): " + list(notKnown_);
  return text + ".";
}

const char* GroupChangeRun::restoredText() {
  return "The old values are back on every staged radio; no radio changed its settings";
}

std::string GroupChangeRun::failureText() const {
  if (failure_ == Failure::None) return std::string();
  const std::string who = radioNamed(plan_, failedRadio_);
  std::string what;
  switch (failure_) {
    case Failure::None:
      return std::string();
    case Failure::NoAnswer:
      what = "The " + who + " did not answer";
      break;
    case Failure::Refused:
      what = "The " + who + " refused a line";
      break;
    case Failure::LinkLost:
      what = "The link to the " + who + " was lost";
      break;
    case Failure::Refusal:
      what = why_ + " Nothing was sent to the " + who;
      break;
    case Failure::Cancelled:
      what = "Cancelled at the " + who;
      break;
  }
  if (restoring_) return what + " while its old values were written back.";
  if (phase() == 1) return what + " in phase 1: no radio runs the new values; " + stagedText();
  return what +
         " in phase 2: the radios reset before it run the new values; the others hold them "
         "saved and run them once they restart.";
}

std::vector<std::string> GroupChangeRun::missedText() const {
  std::vector<std::string> out;
  for (const Missed& m : missed_) {
    std::string text = radioNamed(plan_, m.radio) + " " +
                       (m.kind == GroupStep::Kind::Reset && !m.reached ? "did not answer its dial"
                                                                       : didWhat(m.failure)) +
                       " in phase 2: ";
    if (m.kind == GroupStep::Kind::Reset)
      text += "it holds the new values saved and joins the group at its next restart.";
    else
      text += "it may still run the old values, out of reach of the group; set it by hand.";
    out.push_back(text);
  }
  return out;
}

}  // namespace tessel
