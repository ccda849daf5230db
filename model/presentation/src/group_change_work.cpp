#include "model/group_change_work.h"

#include <algorithm>

#include "model/group_commands.h"
#include "model/main_window_model.h"
#include "model/project.h"

namespace tessel {

namespace {
inline constexpr char kTitle[] = "Change Group Settings";
}  // namespace

// The commands' events for the change: the sends' lines and ends, and the
// read after them.
struct GroupChangeWork::Listener : CommandListener {
  explicit Listener(GroupChangeWork& w) : work(w) {}
  void lineConfirmed(Command command, const std::string&) override {
    if (command == Command::SetRadio && work.sending_) work.lineConfirmed();
  }
  void commandEnded(Command command, const Outcome& outcome) override {
    if (command == Command::SetRadio && work.sending_) {
      const TaskEnd ending = outcome.ending;
      GroupChangeWork* w = &work;
      work.engine_.later([w, ending] { w->sendEnded(ending); });
    } else if (command == Command::Compare && work.reading_) {
      work.read_->taskEnded();
      work.changed();
    }
  }
  void commandProgress(const CommandProgress& p) override {
    if (!work.reading_ || p.command != Command::Compare || p.radio < 0) return;
    work.read_->dialling(p.radio);
    work.changed();
  }
  GroupChangeWork& work;
};

GroupChangeWork::GroupChangeWork(MainWindowModel& window, const BrandModels& models, GroupPlan plan,
                                 Engine engine)
    : window_(window),
      models_(models),
      engine_(std::move(engine)),
      plan_(std::move(plan)),
      listener_(std::make_unique<Listener>(*this)) {
  if (!engine_.nowMs) engine_.nowMs = [] { return int64_t{0}; };
  if (!engine_.later) engine_.later = [](std::function<void()> fn) { fn(); };
}

GroupChangeWork::~GroupChangeWork() {
  if (reading_ || sending_) {
    reading_ = sending_ = false;
    window_.commands.stop(kCancelCaption, {});
  }
  release();
}

void GroupChangeWork::changed() const {
  if (onChange) onChange();
}

bool GroupChangeWork::start() {
  if (plan_.steps.empty() || !plan_.error.empty() || running() || run_ || !window_.tasks)
    return false;
  if (!takeEngine()) return false;
  run_ = std::make_unique<GroupChangeRun>(
      plan_,
      [this](const std::string& title, const TpollArray& list,
             const std::vector<std::string>& lines) {
        return window_.commands.setRadio(title, list, lines, Command::GroupChange);
      },
      kTitle);
  timeLeft_ = std::make_unique<GroupChangeTimeLeft>(*run_);
  run_->onProgress = [this] { changed(); };
  run_->start();
  afterStep();
  return run_->state() == GroupChangeRun::State::Running ||
         run_->state() == GroupChangeRun::State::Applied;
}

void GroupChangeWork::sendEnded(TaskEnd ending) {
  if (!sending_ || !run_) return;
  run_->sendEnded(ending);
  afterStep();
}

void GroupChangeWork::lineConfirmed() {
  if (!sending_ || !run_) return;
  run_->lineConfirmed();
  changed();
}

void GroupChangeWork::sendTimedOut() {
  if (!sending_ || !run_) return;
  // The end the stop gives the send is no end of the step's.
  sending_ = false;
  window_.commands.stop(kCancelCaption, {});
  if (run_->applying() && !run_->restoring()) {
    sending_ = true;
    sendEnded(TaskEnd::NoAnswer);
    return;
  }
  run_->cancel();
  release();
  said_ = run_->failureText();
  changed();
}

void GroupChangeWork::afterStep() {
  using State = GroupChangeRun::State;
  const State state = run_->state();
  if (state == State::Running) {
    changed();
    return;
  }
  sending_ = false;
  if (state == State::Applied) {
    Tproject* project = window_.project();
    applied_ = true;
    committed_ = project && commitGroupValues(*project, plan_.newValues);
    said_.clear();
    for (const std::string& line : run_->missedText())
      said_ += (said_.empty() ? "" : " ") + ("The " + line);
    // The link stays held for the read again (or until finish()).
    changed();
    return;
  }
  release();
  said_ = state == State::Restored ? std::string(GroupChangeRun::restoredText()) + "."
                                   : run_->failureText();
  changed();
}

bool GroupChangeWork::takeEngine() {
  // The change holds the link until release(): whatever else is given
  // meanwhile meets it as the commands' table says.
  const CommandStart why = window_.commands.beginSession(Command::GroupChange);
  if (why != CommandStart::Started) {
    // Nothing to say when the user chose to let what runs go on.
    const std::string text = window_.commands.whyNot(kTitle, why);
    if (!text.empty()) said_ = text;
    return false;
  }
  // Only the plan's local radio is local while the sends run, and their
  // ends are told here, not by a box each.
  if (engine_.attachCallbacks) engine_.attachCallbacks(&callbacks_);
  if (engine_.quietSends) engine_.quietSends(true);
  if (!holding_) window_.commands.addListener(listener_.get());
  holding_ = true;
  sending_ = true;
  return true;
}

void GroupChangeWork::release() {
  window_.commands.endSession(Command::GroupChange);
  // Only what was taken is given back.
  if (!holding_) return;
  if (engine_.quietSends) engine_.quietSends(false);
  if (engine_.attachCallbacks) engine_.attachCallbacks(nullptr);
  window_.commands.removeListener(listener_.get());
  holding_ = false;
}

bool GroupChangeWork::readAgain() {
  Tproject* project = window_.project();
  if (!applied_ || running() || read_) return false;
  if (!project || !window_.tasks) {
    finish();
    return false;
  }
  read_ = std::make_unique<GroupCompareRun>(*project, models_);
  read_->reader().onRead = [this](int) { changed(); };
  reading_ = true;
  if (engine_.quietSends) engine_.quietSends(false);
  if (engine_.attachCallbacks) engine_.attachCallbacks(&read_->reader());
  if (engine_.setPollInterval) engine_.setPollInterval(0);
  changed();
  const CommandStart why =
      window_.commands.compare(kOnlineMonitorTitle, read_->list(), Command::GroupChange);
  if (why == CommandStart::Started) return true;
  reading_ = false;
  release();
  if (engine_.restorePollInterval) engine_.restorePollInterval();
  readRefusal_ = window_.commands.whyNot(kOnlineMonitorTitle, why);
  changed();
  return false;
}

void GroupChangeWork::readEnded() {
  if (!reading_) return;
  reading_ = false;
  window_.commands.stop(kCancelCaption, {read_->list().front()});
  release();
  if (engine_.restorePollInterval) engine_.restorePollInterval();
  checked_ = checkGroup(*read_, plan_.oldValues, plan_.newValues);
  changed();
}

int GroupChangeWork::answeringNew() const {
  return static_cast<int>(std::count_if(checked_.begin(), checked_.end(), [](const auto& row) {
    return row.kind == GroupCheckRow::Kind::NewValues;
  }));
}

std::string GroupChangeWork::timeLeft() {
  if (!timeLeft_) return {};
  const int64_t now = engine_.nowMs();
  timeLeft_->update(now);
  return timeLeft_->text(now);
}

void GroupChangeWork::finish() {
  if (reading_) {
    readEnded();
    return;
  }
  release();
}

void GroupChangeWork::abandon() {
  if (!sending_ || !run_) return;
  stopSend();
}

void GroupChangeWork::stopSend() {
  sending_ = false;
  window_.commands.stop(kCancelCaption, {});
  run_->cancel();
  release();
  said_ = run_->failureText();
  changed();
}

void GroupChangeWork::cancel() {
  if (reading_) {
    readEnded();
    return;
  }
  if (!sending_ || !run_ || run_->phase() != 1) return;
  // The send under way stops; nothing was reset, so every radio runs as
  // it did.
  stopSend();
}

bool GroupChangeWork::retry() {
  if (running() || !run_ || run_->state() != GroupChangeRun::State::Stopped) return false;
  if (!takeEngine()) return false;
  said_.clear();
  run_->retry();
  afterStep();
  return sending_;
}

bool GroupChangeWork::restore() {
  if (running() || !run_ || run_->state() != GroupChangeRun::State::Stopped || run_->restoring() ||
      run_->phase() != 1)
    return false;
  if (!takeEngine()) return false;
  said_.clear();
  run_->restore();
  afterStep();
  return true;
}

}  // namespace tessel
