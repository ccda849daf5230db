// Register reading, identification pages and the online monitor's rounds.
#include "link/dump_line.h"
#include "link/tcom_port.h"
#include "model/catalogue.h"
#include "seams/prompts.h"
#include "seams/tick_timer.h"

namespace tessel {

namespace {
const char* const kNotMaster =
    "Monitoring requires the local radio be a master. Local radio is not a master.";
const char* const kNoLocalMaster = "Unable to Contact Local Master, check power and cables";

bool readingTask(TaskCode task) {
  return task == tkGetLocal || task == tkAutoConfigure || task == tkMonitor || task == tkGetRemote;
}
}  // namespace

int TcomPort::currentModel() const {
  return current_ ? current_->CurrentModel() : -1;
}

// Asked at every row: the answer can change when a radio tells its number,
// and asking again renews the node's reading mark.
bool TcomPort::usePollMap() {
  return window_.markPolling(current());
}

int TcomPort::currentRowRegister() {
  const auto& map = mapFor(currentModel(), usePollMap());
  if (readRow_ < 0 || readRow_ >= static_cast<int>(map.size())) return kNoRow;
  return map[readRow_].reg;
}

int TcomPort::lookupRegister(int reg) {
  return parameterFor(reg, currentModel(), usePollMap());
}

void TcomPort::identificationPageLine(const std::string& line) {
  for (const DumpValue& v : parseDumpLine(line)) {
    window_.applyRegister(lookupRegister(v.reg), v.value, v.text);
    if (v.reg == 1 && task_ == tkMonitor && current_ && v.value >= 0) {
      // The local radio told its number: the cycle goes on from there. A
      // number not in the list is ignored.
      int radio = v.value;
      const PendingIdentification id = identified_;
      identified_ = {};
      if (current_->Seek([radio](int r) { return r == radio; })) {
        if (id.cursor >= 0 && id.cursor != current_->Cursor()) {
          current_->SetModelAt(id.cursor, id.previousModel);
          current_->SetModel(id.model);
        }
        markRead(radio, false);
      }
    }
  }
}

void TcomPort::discoverSRegsTick() {
  if (!readingTask(task_)) {
    enter(psIdle);
    return;
  }
  timer_.setInterval(pollInterval());
  int reg = currentRowRegister();
  if (reg == kNoRow) {
    switch (task_) {
      case tkGetLocal:
      case tkAutoConfigure:  // also the re-synchronised monitor: back to it
        finishRead();
        break;
      case tkMonitor:
        markRead(current(), true);
        if (current_) current_->Next();
        enter(psAutoDiscoverX);
        break;
      case tkGetRemote:
        returnToMonitoringOrIdle();
        reporter_.taskEnded(tkGetRemote, TaskOutcome::Completed);
        break;
      default:
        break;
    }
    return;
  }
  if (tries_ > kRetryLimit) {
    // A local radio that stops answering is lost, not a remote one to skip:
    // the dial state would only go idle for these tasks, leaving the main
    // window (or the re-synchronised monitor) waiting for ever.
    enter(task_ == tkGetLocal || task_ == tkAutoConfigure ? psError : psAutoDiscoverX);
    return;
  }
  Send(true, tries_, reg < 0 ? "ATI" : "ATS" + std::to_string(reg) + "?");
}

void TcomPort::discoverSRegsReply(ReplyClass rc, const std::string& line) {
  if (rc != rcText && rc != rcError) return;
  int reg = currentRowRegister();
  if (reg == kNoRow) return;  // nothing was asked
  if (rc == rcText)
    registerRead(line, reg);
  else
    registerRefused(reg);
}

void TcomPort::registerRead(const std::string& line, int reg) {
  if (reg >= 0)
    window_.applyRegister(lookupRegister(reg), replyNumber(line), line);
  else
    identification(line);
  if (task_ == tkGetLocal) {
    ++readRow_;
    msgTimerTimer();
    return;
  }
  const int model = currentModel();
  const bool poll = usePollMap();
  readRow_ = nextReadableRow(readRow_, model, poll);
  // A model 2 has no supply volts or temperature (S16, S17), yet the poll
  // rows are alike for every model. Their ERROR would end the poll as a
  // failure and, for the local radio, start the round over at itself, so a
  // model-2 poll leaves out registers its own map lacks. (Models 0 and 1
  // answer every poll row, S12 too.)
  if (model == 2 && poll) {
    for (int r = currentRowRegister(); r != kNoRow && parameterFor(r, model, false) < 0;
         r = currentRowRegister())
      readRow_ = nextReadableRow(readRow_, model, poll);
  }
}

void TcomPort::registerRefused(int reg) {
  if (reg > 99) {
    // No model-0 registers: the radio is a model 1.
    markRead(current(), true);
    if (current_) current_->SetModel(1);
  }
  switch (task_) {
    case tkGetLocal:
    case tkAutoConfigure:
      finishRead();
      break;
    case tkMonitor:
      if (current_) current_->SetModel(1);
      if (window_.isLocal(current())) {
        enter(psAutoDiscover0);
      } else {
        enter(psAutoDiscoverX);
        if (current_) current_->Next();
      }
      break;
    case tkGetRemote:
      returnToMonitoringOrIdle();
      reporter_.taskEnded(tkGetRemote, TaskOutcome::Completed);
      break;
    default:
      break;
  }
}

void TcomPort::autoDiscover0Tick() {
  if (task_ != tkMonitor) {
    enter(psIdle);
    return;
  }
  // One round of the list at most: a list without a local radio ends here.
  bool found = current_ && current_->Seek([this](int r) { return window_.isLocal(r); });
  if (found && window_.isMaster(current())) {
    readRow_ = 0;
    enter(psAutoDiscoverX);
    timer_.setInterval(pollInterval());
    current_->Rewind();
    dial(0);
    return;
  }
  int radio = current();
  goIdle();
  cancelTask(radio, tkMonitor);
  ask(PromptIcon::Warning, kNotMaster, pbAbort);
}

void TcomPort::autoDiscoverXTick() {
  if ((task_ != tkMonitor && task_ != tkGetRemote) || !current_ || current_->Count() == 0) {
    enter(psIdle);
    return;
  }
  readRow_ = 0;
  timer_.setInterval(pollInterval());
  if (tries_ > kRetryLimit) {
    int radio = current();
    if (window_.isLocal(radio)) {
      ask(PromptIcon::Warning, kNoLocalMaster, pbAbort);
      cancelTask(radio, task_);
    } else {
      current_->Next();
      dial(tries_);
    }
    return;
  }
  dial(tries_);
}

}  // namespace tessel
