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
#include "model/group_change_work.h"
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
  GroupPlan plan = planGroupChange(radios, after);
  plan.oldValues = before;
  GroupChangeWork::Engine engine{hooks_.attachCallbacks,
                                 hooks_.setPollInterval,
                                 hooks_.restorePollInterval,
                                 hooks_.quietSends,
                                 nowMs,
                                 [this](std::function<void()> fn) {
                                   // A send's end is handed on once the
                                   // engine's own handling of it is over.
                                   QMetaObject::invokeMethod(
                                       this,
                                       [this, fn = std::move(fn)] {
                                         fn();
                                         afterStep();
                                       },
                                       Qt::QueuedConnection);
                                 }};
  work_ = std::make_unique<GroupChangeWork>(window_, models_, std::move(plan), std::move(engine));
  const GroupPlan& plan_ = work_->plan();

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
  work_->onChange = [this] { update(); };
  summary_->setText(unchanged_ ? QString::fromLatin1(kNothingToChange)
                    : ready()  ? QString::fromLatin1(kCheckTheOrder)
                               : QStringLiteral("Nothing can be changed."));
  update();
  resize(560, 520);
}

ChangeGroupDialog::~ChangeGroupDialog() {
  // The work stops what runs and gives the engine back; nothing it tells
  // reaches the dialog any more.
  work_->onChange = nullptr;
  work_.reset();
}

const GroupPlan& ChangeGroupDialog::plan() const {
  return work_->plan();
}

const GroupChangeRun* ChangeGroupDialog::run() const {
  return work_->run();
}

bool ChangeGroupDialog::ready() const {
  return work_->plan().error.empty() && !work_->plan().steps.empty();
}

bool ChangeGroupDialog::running() const {
  return work_->running();
}

bool ChangeGroupDialog::reading() const {
  return work_->reading();
}

bool ChangeGroupDialog::start() {
  if (!ready() || unchanged_ || running() || work_->run() || !window_.tasks) return false;
  summary_->setText(
      QStringLiteral("Until phase 2 no radio runs the new values: Cancel leaves every radio as "
                     "it was."));
  if (!work_->start()) {
    if (!work_->run() && !work_->said().empty()) summary_->setText(q(work_->said()));
    if (!work_->run()) return false;
  }
  afterStep();
  return work_->run()->state() == GroupChangeRun::State::Running ||
         work_->run()->state() == GroupChangeRun::State::Applied;
}

void ChangeGroupDialog::afterStep() {
  const GroupChangeRun* run = work_->run();
  if (!run) return;
  if (work_->sending()) {
    // The phase-1 Cancel text holds no longer.
    if (run->applying()) summary_->setText(QString::fromLatin1(kPhaseTwoRunsThrough));
    update();
    return;
  }
  if (work_->applied()) {
    if (work_->read()) return;  // the read again is under way or over
    QString said = work_->committed() ? QString()
                                      : QStringLiteral(
                                            "The new values could not all be written to the "
                                            "project.");
    if (!work_->said().empty())
      said += (said.isEmpty() ? QString() : QStringLiteral(" ")) + q(work_->said());
    summary_->setText(said);
    if (afterPhaseTwo_) {
      // A close asked for during phase 2 is honoured now, once this
      // handling is over.
      work_->finish();
      update();
      QMetaObject::invokeMethod(
          this, [then = std::move(afterPhaseTwo_)] { then(); }, Qt::QueuedConnection);
      afterPhaseTwo_ = nullptr;
      return;
    }
    if (!work_->readAgain() && !work_->readRefusal().empty())
      summary_->setText(q(work_->readRefusal()));
    update();
    return;
  }
  summary_->setText(q(work_->said()));
  update();
}

void ChangeGroupDialog::readEnded() {
  if (!work_->reading()) return;
  work_->readEnded();
  results_->clear();
  for (const GroupCheckRow& row : work_->checked()) results_->addItem(q(checkText(row)));
  QString text = QStringLiteral(
                     "The project holds the new values. %1 of %2 radio(s) answer with "
                     "them.")
                     .arg(work_->answeringNew())
                     .arg(static_cast<int>(work_->checked().size()));
  // What phase 2 said (a radio it went past, a write that failed) stays.
  if (!summary_->text().isEmpty()) text = summary_->text() + QLatin1Char(' ') + text;
  summary_->setText(text);
  update();
}

void ChangeGroupDialog::cancel() {
  if (work_->reading()) {
    readEnded();
    return;
  }
  const GroupChangeRun* run = work_->run();
  if (!work_->sending() || !run || run->phase() != 1) return;
  // The send under way stops; nothing was reset, so every radio runs as
  // it did.
  work_->cancel();
  summary_->setText(q(work_->said()));
  update();
}

bool ChangeGroupDialog::retry() {
  const GroupChangeRun* run = work_->run();
  if (running() || !run || run->state() != GroupChangeRun::State::Stopped) return false;
  const std::string before = work_->said();
  if (!work_->retry() && !work_->sending()) {
    if (work_->said() != before) summary_->setText(q(work_->said()));
    update();
    return false;
  }
  summary_->clear();
  afterStep();
  return work_->sending();
}

bool ChangeGroupDialog::restore() {
  const GroupChangeRun* run = work_->run();
  if (running() || !run || run->state() != GroupChangeRun::State::Stopped || run->restoring() ||
      run->phase() != 1)
    return false;
  const std::string before = work_->said();
  if (!work_->restore()) {
    if (work_->said() != before) summary_->setText(q(work_->said()));
    return false;
  }
  summary_->clear();
  afterStep();
  return true;
}

void ChangeGroupDialog::update() {
  const GroupChangeRun* run = work_->run();
  const GroupPlan& plan = work_->plan();
  const bool sending = work_->sending();
  const bool stopped = run && run->state() == GroupChangeRun::State::Stopped;
  change_->setEnabled(ready() && !unchanged_ && !run);
  retry_->setEnabled(!running() && stopped);
  writeBack_->setEnabled(!running() && stopped && !run->restoring() && run->phase() == 1);
  // Phase 2 is not cancelled halfway: a radio reset without the repeater
  // it is heard through would be out of reach.
  cancel_->setText(running() ? QStringLiteral("Cancel") : QStringLiteral("Close"));
  cancel_->setEnabled(!sending || (run && run->phase() == 1));
  // Busy, but the buttons still take clicks.
  setCursor(running() ? Qt::BusyCursor : Qt::ArrowCursor);
  if (work_->reading() && work_->read()) {
    const int n = work_->read()->position(), m = work_->read()->count();
    bar_->setRange(0, m);
    bar_->setValue(n);
    progress_->setText(QStringLiteral("Reading the group under the new settings: radio %1 of %2")
                           .arg(std::min(n + 1, m))
                           .arg(m));
    // Called from within the engine's own handling: the engine is stopped
    // once that handling is over.
    if (work_->readOver())
      QMetaObject::invokeMethod(
          this, [this] { readEnded(); }, Qt::QueuedConnection);
    return;
  }
  if (!run) {
    bar_->setRange(0, static_cast<int>(plan.steps.size()));
    bar_->setValue(0);
    progress_->setText(QStringLiteral("Not started"));
    return;
  }
  bar_->setRange(0, run->count());
  bar_->setValue(run->position());
  const GroupStep* step = run->current();
  // The time left from the pace so far, once there is one to go by.
  const std::string left = work_->timeLeft();
  if (sending && step)
    progress_->setText(QStringLiteral("Step %1 of %2: %3%4")
                           .arg(run->position() + 1)
                           .arg(run->count())
                           .arg(q(stepText(plan, *step)))
                           .arg(left.empty() ? QString() : q("; " + left)));
  else if (run->state() == GroupChangeRun::State::Applied)
    progress_->setText(QStringLiteral("Every step done"));
  else if (run->state() == GroupChangeRun::State::Restored)
    progress_->setText(QStringLiteral("The old values are written back"));
  else if (step)
    progress_->setText(QStringLiteral("Stopped at step %1 of %2: %3")
                           .arg(run->position() + 1)
                           .arg(run->count())
                           .arg(q(stepText(plan, *step))));
}

bool ChangeGroupDialog::applying() const {
  return work_->applying();
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
  if (work_->applying()) return;
  cancel();
  QDialog::reject();
}

}  // namespace tessel
