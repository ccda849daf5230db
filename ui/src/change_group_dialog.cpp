#include "ui/change_group_dialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <chrono>

#include "model/group_change_run.h"
#include "model/group_commands.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/panel_settings.h"
#include "model/project.h"

namespace tessel {

namespace {

inline constexpr char kTitle[] = "Change Group Settings";
inline constexpr char kNothingToChange[] =
    "Nothing to change: the shared values are the project's already, and Change would only reset "
    "every radio. Edit the group parameters or the blocked frequencies first.";
inline constexpr char kCheckTheOrder[] =
    "Check the order, then click Change. Until phase 2 no radio runs the new values and Cancel "
    "leaves every radio as it was; once phase 2 has begun it runs through to the local radio's "
    "reset, and closing the dialog or the program waits until it is over.";
inline constexpr char kPhaseTwoRunsThrough[] =
    "Phase 2: the radios are reset, the local radio last. It runs through to the local radio's "
    "reset whatever happens to one radio; closing the dialog or the program waits until it is "
    "over.";

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

QPushButton* button(const char* caption, QWidget* parent) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setAccessibleName(QString::fromUtf8(caption).remove(QLatin1Char('&')));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

// The commands' progress: the steps' sends and the read afterwards. A
// send's end is handed on once the engine's own handling of it is over.
struct ChangeGroupDialog::Progress : CommandListener {
  explicit Progress(ChangeGroupDialog& d) : dialog(d) {}
  void lineConfirmed(Command command, const std::string&) override {
    if (command != Command::SetRadio || !dialog.sending_ || !dialog.run_) return;
    dialog.run_->lineConfirmed();
    dialog.update();
  }
  void commandEnded(Command command, const Outcome& ended) override {
    if (command == Command::SetRadio && dialog.sending_) {
      QMetaObject::invokeMethod(
          &dialog, [d = &dialog, outcome = ended.ending] { d->stepEnded(outcome); },
          Qt::QueuedConnection);
    } else if (command == Command::Compare && dialog.reading_) {
      dialog.read_->taskEnded();
      dialog.update();
    }
  }
  void commandProgress(const CommandProgress& p) override {
    if (!dialog.reading_ || p.command != Command::Compare || p.radio < 0) return;
    dialog.read_->dialling(p.radio);
    dialog.update();
  }
  ChangeGroupDialog& dialog;
};

ChangeGroupDialog::ChangeGroupDialog(MainWindowModel& window, const BrandModels& models,
                                     Hooks hooks, QWidget* parent)
    : QDialog(parent), window_(window), models_(models), hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("changeGroup"));
  setWindowTitle(QString::fromLatin1(kTitle));
  // The values are the panel's group parameters and the blocked
  // frequencies as their dialog left them; the radios are the project's.
  std::vector<RadioSettings> radios;
  GroupSettings before;
  if (Tproject* project = window_.project()) {
    for (const TpollEntry& e : project->BuildPollList(true))
      radios.push_back(projectSettings(*project, e.radio, models_));
    if (!radios.empty()) before = radios.front().group;
  }
  const GroupSettings after = settingsOfPanel(window_.panel).group;
  plan_ = planGroupChange(radios, after);
  plan_.oldValues = before;

  auto* layout = new QVBoxLayout(this);
  auto* orderLabel = new QLabel(QStringLiteral("&Order:"), this);
  planView_ = new QPlainTextEdit(this);
  planView_->setObjectName(QStringLiteral("changePlan"));
  planView_->setAccessibleName(QStringLiteral("Order"));
  planView_->setReadOnly(true);
  orderLabel->setBuddy(planView_);
  std::string text;
  if (radios.empty()) {
    text = "The project has no radios.";
  } else if (plan_.error.empty()) {
    const std::vector<std::string> changes = changedValuesText(before, after);
    // Every radio would be reset for nothing.
    unchanged_ = changes.empty();
    text = changes.empty() ? "Shared values: as the project has them\n" : "Shared values:\n";
    for (const std::string& c : changes) text += "  " + c + "\n";
  }
  for (const std::string& line : planText(plan_)) text += line + "\n";
  planView_->setPlainText(q(text));
  layout->addWidget(orderLabel);
  layout->addWidget(planView_);
  progress_ = new QLabel(this);
  progress_->setObjectName(QStringLiteral("changeProgress"));
  bar_ = new QProgressBar(this);
  bar_->setAccessibleName(QStringLiteral("Steps done"));
  progress_->setBuddy(bar_);
  layout->addWidget(progress_);
  layout->addWidget(bar_);
  auto* resultsLabel = new QLabel(QStringLiteral("&Radios:"), this);
  results_ = new QListWidget(this);
  results_->setObjectName(QStringLiteral("changeResults"));
  results_->setAccessibleName(QStringLiteral("Radios"));
  resultsLabel->setBuddy(results_);
  layout->addWidget(resultsLabel);
  layout->addWidget(results_);
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("changeSummary"));
  summary_->setWordWrap(true);
  layout->addWidget(summary_);
  auto* row = new QHBoxLayout;
  change_ = button("C&hange", this);
  retry_ = button("&Retry", this);
  writeBack_ = button("&Write Old Values Back", this);
  cancel_ = button("Cancel", this);
  for (QPushButton* b : {change_, retry_, writeBack_, cancel_}) row->addWidget(b);
  layout->addLayout(row);
  connect(change_, &QPushButton::clicked, this, [this] { start(); });
  connect(retry_, &QPushButton::clicked, this, [this] { retry(); });
  connect(writeBack_, &QPushButton::clicked, this, [this] { restore(); });
  connect(cancel_, &QPushButton::clicked, this, [this] {
    if (running())
      cancel();
    else
      close();
  });
  observer_ = std::make_unique<Progress>(*this);
  summary_->setText(unchanged_ ? QString::fromLatin1(kNothingToChange)
                    : ready()  ? QString::fromLatin1(kCheckTheOrder)
                               : QStringLiteral("Nothing can be changed."));
  update();
  resize(560, 520);
}

ChangeGroupDialog::~ChangeGroupDialog() {
  if (reading_) {
    reading_ = false;
    window_.commands.stop(kCancelCaption, {});
  }
  if (sending_) {
    sending_ = false;
    window_.commands.stop(kCancelCaption, {});
  }
  release();
}

bool ChangeGroupDialog::start() {
  if (!ready() || unchanged_ || running() || run_ || !window_.tasks) return false;
  if (!takeEngine()) return false;
  run_ = std::make_unique<GroupChangeRun>(
      plan_,
      [this](const std::string& title, const TpollArray& list,
             const std::vector<std::string>& lines) {
        return window_.commands.setRadio(title, list, lines, Command::GroupChange);
      },
      kTitle);
  timeLeft_ = std::make_unique<GroupChangeTimeLeft>(*run_);
  summary_->setText(
      QStringLiteral("Until phase 2 no radio runs the new values: Cancel leaves every radio as "
                     "it was."));
  run_->start();
  afterStep();
  return run_->state() == GroupChangeRun::State::Running ||
         run_->state() == GroupChangeRun::State::Applied;
}

void ChangeGroupDialog::stepEnded(TaskEnd outcome) {
  if (!sending_ || !run_) return;
  run_->sendEnded(outcome);
  afterStep();
}

void ChangeGroupDialog::afterStep() {
  using State = GroupChangeRun::State;
  const State state = run_->state();
  if (state == State::Running) {
    // The phase-1 Cancel text holds no longer.
    if (run_->applying()) summary_->setText(QString::fromLatin1(kPhaseTwoRunsThrough));
    update();
    return;
  }
  sending_ = false;
  if (state == State::Applied) {
    Tproject* project = window_.project();
    const bool written = project && commitGroupValues(*project, plan_.newValues);
    QString said = written ? QString()
                           : QStringLiteral(
                                 "The new values could not all be written to the "
                                 "project.");
    for (const std::string& line : run_->missedText())
      said += (said.isEmpty() ? QString() : QStringLiteral(" ")) + q("The " + line);
    summary_->setText(said);
    if (afterPhaseTwo_) {
      // A close asked for during phase 2 is honoured now, once this
      // handling is over.
      release();
      update();
      QMetaObject::invokeMethod(
          this, [then = std::move(afterPhaseTwo_)] { then(); }, Qt::QueuedConnection);
      afterPhaseTwo_ = nullptr;
      return;
    }
    readBack();
    return;
  }
  release();
  if (state == State::Restored)
    summary_->setText(QString::fromLatin1(GroupChangeRun::restoredText()) + QLatin1Char('.'));
  else
    summary_->setText(q(run_->failureText()));
  update();
}

bool ChangeGroupDialog::takeEngine() {
  // The change holds the link until release(): whatever else is given
  // meanwhile meets it as the commands' table says.
  const CommandStart why = window_.commands.beginSession(Command::GroupChange);
  if (why != CommandStart::Started) {
    const std::string text = window_.commands.whyNot(kTitle, why);
    if (!text.empty()) summary_->setText(q(text));
    return false;
  }
  // Only the plan's local radio is local while the sends run, and their
  // ends are told here, not by a box each.
  if (hooks_.attachCallbacks) hooks_.attachCallbacks(&callbacks_);
  if (hooks_.quietSends) hooks_.quietSends(true);
  if (!observing_) window_.commands.addListener(observer_.get());
  observing_ = true;
  sending_ = true;
  return true;
}

void ChangeGroupDialog::release() {
  window_.commands.endSession(Command::GroupChange);
  // Only what the dialog took is given back (not at all once the window
  // is going).
  if (!observing_) return;
  if (hooks_.quietSends) hooks_.quietSends(false);
  if (hooks_.attachCallbacks) hooks_.attachCallbacks(nullptr);
  window_.commands.removeListener(observer_.get());
  observing_ = false;
}

void ChangeGroupDialog::readBack() {
  Tproject* project = window_.project();
  if (!project || !window_.tasks) {
    release();
    update();
    return;
  }
  read_ = std::make_unique<GroupCompareRun>(*project, models_);
  read_->reader().onRead = [this](int) { update(); };
  reading_ = true;
  if (hooks_.quietSends) hooks_.quietSends(false);
  if (hooks_.attachCallbacks) hooks_.attachCallbacks(&read_->reader());
  if (hooks_.setPollInterval) hooks_.setPollInterval(0);
  update();
  const CommandStart why =
      window_.commands.compare(kOnlineMonitorTitle, read_->list(), Command::GroupChange);
  if (why != CommandStart::Started) {
    reading_ = false;
    release();
    if (hooks_.restorePollInterval) hooks_.restorePollInterval();
    summary_->setText(q(window_.commands.whyNot(kOnlineMonitorTitle, why)));
    update();
  }
}

void ChangeGroupDialog::readEnded() {
  if (!reading_) return;
  reading_ = false;
  window_.commands.stop(kCancelCaption, {read_->list().front()});
  release();
  if (hooks_.restorePollInterval) hooks_.restorePollInterval();
  results_->clear();
  int fine = 0, total = 0;
  for (const GroupCheckRow& row : checkGroup(*read_, plan_.oldValues, plan_.newValues)) {
    results_->addItem(q(checkText(row)));
    ++total;
    if (row.kind == GroupCheckRow::Kind::NewValues) ++fine;
  }
  QString text = QStringLiteral(
                     "The project holds the new values. %1 of %2 radio(s) answer with "
                     "them.")
                     .arg(fine)
                     .arg(total);
  // What phase 2 said (a radio it went past, a write that failed) stays.
  if (!summary_->text().isEmpty()) text = summary_->text() + QLatin1Char(' ') + text;
  summary_->setText(text);
  update();
}

void ChangeGroupDialog::cancel() {
  if (reading_) {
    readEnded();
    return;
  }
  if (!sending_ || !run_ || run_->phase() != 1) return;
  // The send under way stops; nothing was reset, so every radio runs as
  // it did.
  sending_ = false;
  window_.commands.stop(kCancelCaption, {});
  run_->cancel();
  release();
  summary_->setText(q(run_->failureText()));
  update();
}

bool ChangeGroupDialog::retry() {
  if (running() || !run_ || run_->state() != GroupChangeRun::State::Stopped) return false;
  if (!takeEngine()) return false;
  summary_->clear();
  run_->retry();
  afterStep();
  return sending_;
}

bool ChangeGroupDialog::restore() {
  if (running() || !run_ || run_->state() != GroupChangeRun::State::Stopped || run_->restoring() ||
      run_->phase() != 1)
    return false;
  if (!takeEngine()) return false;
  summary_->clear();
  run_->restore();
  afterStep();
  return true;
}

void ChangeGroupDialog::update() {
  const bool stopped = run_ && run_->state() == GroupChangeRun::State::Stopped;
  change_->setEnabled(ready() && !unchanged_ && !run_);
  retry_->setEnabled(!running() && stopped);
  writeBack_->setEnabled(!running() && stopped && !run_->restoring() && run_->phase() == 1);
  // Phase 2 is not cancelled halfway: a radio reset without the repeater
  // it is heard through would be out of reach.
  cancel_->setText(running() ? QStringLiteral("Cancel") : QStringLiteral("Close"));
  cancel_->setEnabled(!sending_ || (run_ && run_->phase() == 1));
  // Busy, but the buttons still take clicks.
  setCursor(running() ? Qt::BusyCursor : Qt::ArrowCursor);
  if (reading_ && read_) {
    const int n = read_->position(), m = read_->count();
    bar_->setRange(0, m);
    bar_->setValue(n);
    progress_->setText(QStringLiteral("Reading the group under the new settings: radio %1 of %2")
                           .arg(std::min(n + 1, m))
                           .arg(m));
    // Called from within the engine's own handling: the engine is stopped
    // once that handling is over.
    if (read_->complete() || read_->ended())
      QMetaObject::invokeMethod(
          this, [this] { readEnded(); }, Qt::QueuedConnection);
    return;
  }
  if (!run_) {
    bar_->setRange(0, static_cast<int>(plan_.steps.size()));
    bar_->setValue(0);
    progress_->setText(QStringLiteral("Not started"));
    return;
  }
  bar_->setRange(0, run_->count());
  bar_->setValue(run_->position());
  const GroupStep* step = run_->current();
  // The time left from the pace so far, once there is one to go by.
  timeLeft_->update(nowMs());
  const std::string left = timeLeft_->text(nowMs());
  if (sending_ && step)
    progress_->setText(QStringLiteral("Step %1 of %2: %3%4")
                           .arg(run_->position() + 1)
                           .arg(run_->count())
                           .arg(q(stepText(plan_, *step)))
                           .arg(left.empty() ? QString() : q("; " + left)));
  else if (run_->state() == GroupChangeRun::State::Applied)
    progress_->setText(QStringLiteral("Every step done"));
  else if (step)
    progress_->setText(QStringLiteral("Stopped at step %1 of %2: %3")
                           .arg(run_->position() + 1)
                           .arg(run_->count())
                           .arg(q(stepText(plan_, *step))));
}

bool ChangeGroupDialog::applying() const {
  return sending_ && run_ && run_->applying();
}

void ChangeGroupDialog::whenPhaseTwoEnds(std::function<void()> then) {
  afterPhaseTwo_ = std::move(then);
}

void ChangeGroupDialog::closeEvent(QCloseEvent* event) {
  if (applying()) {
    event->ignore();
    return;
  }
  cancel();
  event->accept();
}

void ChangeGroupDialog::reject() {
  if (sending_ && run_ && run_->phase() == 2) return;
  cancel();
  QDialog::reject();
}

}  // namespace tessel
