#include "ui/compare_group_dialog.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "model/group_commands.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/project.h"
#include "model/radio.h"
#include "ui/qt_seams.h"

namespace tessel {

namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

QPushButton* button(const char* caption, QWidget* parent) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setAccessibleName(QString::fromUtf8(caption).remove(QLatin1Char('&')));
  return b;
}

}  // namespace

// The compare's progress and end, handed to the dialog.
struct CompareGroupDialog::Progress : CommandListener {
  explicit Progress(CompareGroupDialog& d) : dialog(d) {}
  void commandProgress(const CommandProgress& p) override {
    if (!dialog.running_ || p.command != Command::Compare || p.radio < 0) return;
    dialog.reading().dialling(p.radio);
    dialog.update();
  }
  void commandEnded(Command command, const Outcome& ended) override {
    if (command == Command::SetRadio && dialog.sending_) {
      // Read again once the engine is done with the send's end.
      dialog.sending_ = false;
      QMetaObject::invokeMethod(
          &dialog, [d = &dialog, outcome = ended.ending] { d->readAgain(outcome); },
          Qt::QueuedConnection);
      return;
    }
    if (!dialog.running_ || command != Command::Compare) return;
    dialog.reading().taskEnded();
    dialog.update();
  }
  CompareGroupDialog& dialog;
};

CompareGroupDialog::CompareGroupDialog(MainWindowModel& window, const BrandModels& models,
                                       Hooks hooks, QWidget* parent)
    : QDialog(parent), window_(window), models_(models), hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("compareGroup"));
  setWindowTitle(QStringLiteral("Compare Group with Project"));
  auto* layout = new QVBoxLayout(this);
  progress_ = new QLabel(this);
  progress_->setObjectName(QStringLiteral("compareProgress"));
  bar_ = new QProgressBar(this);
  bar_->setAccessibleName(QStringLiteral("Radios read"));
  progress_->setBuddy(bar_);
  layout->addWidget(progress_);
  layout->addWidget(bar_);
  table_ = new QTableWidget(0, 5, this);
  table_->setObjectName(QStringLiteral("compareTable"));
  table_->setAccessibleName(QStringLiteral("Differences"));
  table_->setHorizontalHeaderLabels({QStringLiteral("Radio"), QStringLiteral("Name"),
                                     QStringLiteral("Parameter"), QStringLiteral("Project Value"),
                                     QStringLiteral("Radio Value")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(table_);
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("compareSummary"));
  summary_->setWordWrap(true);
  layout->addWidget(summary_);
  auto* row = new QHBoxLayout;
  take_ = button("&Take Radio's Values into Project", this);
  sendButton_ = button("&Send Project's Values to Radio", this);
  take_->setObjectName(QStringLiteral("compareTake"));
  sendButton_->setObjectName(QStringLiteral("compareSend"));
  save_ = button("Save as &CSV...", this);
  cancel_ = button("Cancel", this);
  cancel_->setObjectName(QStringLiteral("compareClose"));
  for (QPushButton* b : {take_, sendButton_, save_, cancel_}) {
    b->setAutoDefault(false);
    // The whole caption, at any font: the row widens the dialog instead.
    // Some fonts draw a caption a few pixels wider than the button measures
    // it (seen with apostrophes under DejaVu Sans), hence a margin of two blanks.
    b->setMinimumWidth(b->sizeHint().width() +
                       b->fontMetrics().horizontalAdvance(QStringLiteral("  ")));
    row->addWidget(b);
  }
  layout->addLayout(row);
  take_->setEnabled(false);
  sendButton_->setEnabled(false);
  save_->setEnabled(false);
  connect(cancel_, &QPushButton::clicked, this, [this] {
    if (running_)
      cancel();
    else
      close();
  });
  connect(save_, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Comparison"), QString(), QStringLiteral("CSV files (*.csv)"));
    if (!path.isEmpty()) saveCsv(path);
  });
  connect(take_, &QPushButton::clicked, this, [this] { takeRadioValues(); });
  connect(sendButton_, &QPushButton::clicked, this, [this] { sendProjectValues(); });
  connect(table_, &QTableWidget::itemSelectionChanged, this, [this] { selectionChanged(); });
  resize(std::max(640, sizeHint().width()), 420);
}

CompareGroupDialog::~CompareGroupDialog() {
  if (running_) finish(true);
  if (observer_) window_.commands.removeListener(observer_.get());
}

void CompareGroupDialog::setCaption(QPushButton* b, const QString& caption) {
  b->setText(caption);
  b->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
}

bool CompareGroupDialog::start() {
  Tproject* project = window_.project();
  if (!project || !window_.tasks) return false;
  // Met first, before the reader takes the engine's replies.
  const CommandStart admitted = window_.commands.admit(Command::Compare);
  if (admitted != CommandStart::Started) {
    summary_->setText(q(window_.commands.whyNot(kOnlineMonitorTitle, admitted)));
    setCaption(cancel_, QStringLiteral("Close"));
    return false;
  }
  run_ = std::make_unique<GroupCompareRun>(*project, models_);
  again_.reset();
  stale_ = -1;
  if (run_->list().empty()) {
    summary_->setText(QStringLiteral("The project has no radios to compare."));
    setCaption(cancel_, QStringLiteral("Close"));
    return false;
  }
  table_->setRowCount(0);
  summary_->clear();
  return beginRead() == CommandStart::Started;
}

CommandStart CompareGroupDialog::beginRead() {
  if (!observer_) observer_ = std::make_unique<Progress>(*this);
  GroupCompareRun& run = reading();
  run.reader().onRead = [this](int) { update(); };
  running_ = true;
  setCaption(cancel_, QStringLiteral("Cancel"));
  selectionChanged();
  if (hooks_.attachReader) hooks_.attachReader(&run.reader());
  window_.commands.addListener(observer_.get());
  if (hooks_.setPollInterval) hooks_.setPollInterval(0);
  update();
  const CommandStart why = window_.commands.compare(kOnlineMonitorTitle, run.list());
  if (why != CommandStart::Started) {
    // Nothing ran: whatever keeps the link busy goes on undisturbed.
    running_ = false;
    unsetCursor();
    window_.commands.removeListener(observer_.get());
    if (hooks_.attachReader) hooks_.attachReader(nullptr);
    if (hooks_.restorePollInterval) hooks_.restorePollInterval();
    summary_->setText(q(window_.commands.whyNot(kOnlineMonitorTitle, why)));
    setCaption(cancel_, QStringLiteral("Close"));
    selectionChanged();
  }
  return why;
}

void CompareGroupDialog::update() {
  // Busy, but Cancel still takes clicks.
  setCursor(running_ ? Qt::BusyCursor : Qt::ArrowCursor);
  if (!run_) return;
  GroupCompareRun& run = reading();
  const int n = run.position(), m = run.count();
  bar_->setRange(0, m);
  bar_->setValue(n);
  progress_->setText(QStringLiteral("Radio %1 of %2").arg(std::min(n + 1, m)).arg(m));
  // Called from within the engine's own handling: the engine is stopped
  // once that handling is over.
  if (running_ && (run.complete() || run.ended()))
    QMetaObject::invokeMethod(
        this, [this] { finish(false); }, Qt::QueuedConnection);
}

void CompareGroupDialog::cancel() {
  if (running_) finish(true);
}

void CompareGroupDialog::finish(bool cancelled) {
  if (!running_) return;
  running_ = false;
  unsetCursor();
  // Back to the local radio, the link hung up; the window's own reader and
  // poll interval again.
  window_.commands.removeListener(observer_.get());
  window_.commands.stop(kCancelCaption, {reading().list().front()});
  if (hooks_.attachReader) hooks_.attachReader(nullptr);
  if (hooks_.restorePollInterval) hooks_.restorePollInterval();
  setCaption(cancel_, QStringLiteral("Close"));
  save_->setEnabled(true);
  if (again_) return rereadDone(cancelled);
  fillTable();
  const int read = run_->position();
  QString text;
  if (cancelled && !run_->complete())
    text = QStringLiteral(
               "Cancelled after %1 of %2 radios; the radios not read are listed as "
               "not answering. ")
               .arg(read)
               .arg(run_->count());
  else if (!run_->complete())
    text = QStringLiteral("The read ended after %1 of %2 radios. ").arg(read).arg(run_->count());
  summary_->setText(text + countsText());
  progress_->setText(QStringLiteral("%1 of %2 radios read").arg(read).arg(run_->count()));
}

QString CompareGroupDialog::countsText() const {
  int differ = 0, silent = 0, unread = 0;
  for (const CompareRow& r : run_->rows())
    ++(r.kind == CompareRow::Kind::Silent    ? silent
       : r.kind == CompareRow::Kind::NotRead ? unread
                                             : differ);
  if (differ == 0 && silent == 0 && unread == 0)
    return QStringLiteral("Every radio matches the project.");
  QString text =
      QStringLiteral("%1 difference(s), %2 radio(s) did not answer").arg(differ).arg(silent);
  if (unread) text += QStringLiteral(", %1 register(s) refused").arg(unread);
  return text + QLatin1Char('.');
}

void CompareGroupDialog::readAgain(TaskEnd sent) {
  Tproject* project = window_.project();
  if (stale_ < 0 || running_ || !project) return;
  const QString what = sent == TaskEnd::Done ? QStringLiteral("The send to radio %1 is done")
                       : sent == TaskEnd::Cancelled
                           ? QStringLiteral("The send to radio %1 was stopped")
                           : QStringLiteral("The send to radio %1 failed");
  again_ = std::make_unique<GroupCompareRun>(*project, models_, std::set<int>{stale_});
  const CommandStart why = beginRead();
  if (why == CommandStart::Started) {
    summary_->setText(what.arg(stale_) + QStringLiteral("; reading it again."));
    return;
  }
  again_.reset();
  summary_->setText(what.arg(stale_) + QStringLiteral("; it could not be read again (") +
                    q(window_.commands.whyNot(kOnlineMonitorTitle, why)) +
                    QStringLiteral("), so its rows stay stale. Compare again to see it."));
}

void CompareGroupDialog::rereadDone(bool cancelled) {
  const int radio = stale_;
  const bool read = again_->reading(radio) != nullptr;
  if (cancelled && !read) {
    // Stopped before the radio was reached: what it holds is not known.
    again_.reset();
    fillTable();
    summary_->setText(QStringLiteral("Cancelled before radio %1 was read again; its rows stay "
                                     "stale. Compare again to see it.")
                          .arg(radio));
    return;
  }
  run_->takeRadio(*again_, radio);
  again_.reset();
  stale_ = -1;
  fillTable();
  int rows = 0;
  for (const CompareRow& r : run_->rows()) rows += r.radio == radio ? 1 : 0;
  QString text = !read       ? QStringLiteral("Radio %1 did not answer when read again. ")
                 : rows == 0 ? QStringLiteral("Radio %1 was read again: it matches the project. ")
                             : QStringLiteral("Radio %1 was read again. ");
  summary_->setText(text.arg(radio) + countsText());
  progress_->setText(QStringLiteral("Radio %1 read again").arg(radio));
}

void CompareGroupDialog::fillTable() {
  table_->setRowCount(0);
  for (const CompareRow& r : run_->rows()) {
    const int row = table_->rowCount();
    table_->insertRow(row);
    const QStringList cells = {QString::number(r.radio), q(r.name), q(r.parameter), q(r.project),
                               q(r.radioValue)};
    for (int c = 0; c < cells.size(); ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      item->setData(Qt::UserRole, r.radio);
      if (r.kind != CompareRow::Kind::Differs) {
        QFont f = item->font();
        f.setBold(true);
        item->setFont(f);
        item->setToolTip(r.kind == CompareRow::Kind::Silent
                             ? QStringLiteral("This radio did not answer")
                         : r.kind == CompareRow::Kind::NotRead
                             ? QStringLiteral("This radio refused the register")
                             : QStringLiteral("This radio answered as another model"));
      }
      if (r.radio == stale_) {
        // Read before a send to it: what it holds now is not known yet.
        item->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
        item->setToolTip(
            QStringLiteral("Values were sent to this radio since it was read; it is "
                           "read again once the send ends"));
      }
      table_->setItem(row, c, item);
    }
  }
  table_->resizeColumnsToContents();
}

int CompareGroupDialog::selectedRadio() const {
  const QTableWidgetItem* item = table_->currentItem();
  if (!item || table_->selectedItems().isEmpty()) return -1;
  return item->data(Qt::UserRole).toInt();
}

void CompareGroupDialog::selectionChanged() {
  const int radio = selectedRadio();
  // A radio's stale rows take nothing and send nothing until it is read
  // again; neither goes while the link is busy with the dialog's work.
  const bool read =
      !running_ && !sending_ && stale_ < 0 && run_ && radio >= 0 && run_->reading(radio);
  take_->setEnabled(read);
  // The ordinary send writes the project's model: not to a radio of another.
  sendButton_->setEnabled(read &&
                          run_->reading(radio)->settings.model == run_->projectRadio(radio)->model);
}

bool CompareGroupDialog::saveCsv(const QString& path) {
  if (!run_) return false;
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    summary_->setText(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    return false;
  }
  std::string text = compareCsvHeader() + "\n";
  for (const CompareRow& r : run_->rows()) text += compareCsvLine(r) + "\n";
  const bool ok = file.write(text.data(), static_cast<qint64>(text.size())) ==
                      static_cast<qint64>(text.size()) &&
                  file.flush();
  summary_->setText(ok ? QStringLiteral("Saved to %1").arg(path)
                       : QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
  return ok;
}

bool CompareGroupDialog::takeRadioValues() {
  const int radio = selectedRadio();
  Tproject* project = window_.project();
  if (running_ || !run_ || radio < 0 || !project || !run_->reading(radio)) return false;
  const RadioSettings taken = takenValues(*run_->projectRadio(radio), *run_->reading(radio));
  if (!writeTaken(*project, radio, taken, models_)) {
    summary_->setText(
        QStringLiteral("Radio %1's values could not be written to the project.").arg(radio));
    return false;
  }
  // The record and the panel show what the file now holds, and so do the
  // rows: the radio's, and every radio's group values.
  if (Tradio* r = project->radio(radio)) {
    window_.setCurrentRadio(r);
    r->LoadIntoPanel();
  }
  run_->reloadProject(*project);
  fillTable();
  selectionChanged();
  summary_->setText(QStringLiteral("Radio %1's values are now in the project. ").arg(radio) +
                    countsText());
  return true;
}

bool CompareGroupDialog::sendProjectValues() {
  const int radio = selectedRadio();
  Tproject* project = window_.project();
  Tradio* r = project ? project->radio(radio) : nullptr;
  if (running_ || sending_ || stale_ >= 0 || !run_ || !r || !hooks_.send) return false;
  // The local radio is set directly; any other dialled through it, as the
  // monitor reaches it.
  const bool local = run_->reader().isLocal(radio);
  window_.switchMode(local ? wmProject : wmMonitor);
  // The read found it on the port: Set Radio need not ask which radio that is.
  if (local) window_.setLocalRadio(radio);
  window_.setCurrentRadio(r);
  r->LoadIntoPanel();
  hooks_.send();
  if (!window_.commands.running() || window_.commands.current() != Command::SetRadio) {
    // Refused (the window said why) or declined at its question.
    summary_->setText(QStringLiteral("Nothing was sent to radio %1.").arg(radio));
    return false;
  }
  // What the rows show of the radio is what it held before the send.
  stale_ = radio;
  sending_ = true;
  window_.commands.addListener(observer_.get());
  fillTable();
  selectionChanged();
  summary_->setText(QStringLiteral("The project's values are being sent to radio %1; it is read "
                                   "again once the send ends.")
                        .arg(radio));
  return true;
}

void CompareGroupDialog::closeEvent(QCloseEvent* event) {
  cancel();
  // Closed during a send: the send goes on; the radio is not read again.
  sending_ = false;
  event->accept();
}

void CompareGroupDialog::reject() {
  cancel();
  sending_ = false;
  QDialog::reject();
}

}  // namespace tessel
