// Register reading, identification pages and the online monitor's rounds.
#include "link/tcom_port.h"
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

void TcomPort::discoverSRegsTick() {
  if (!readingTask(task_)) {
    enter(psIdle);
    return;
  }
  timer_.setInterval(pollInterval());
  int reg = reader_.rowRegister();
  if (reg == TregisterReader::kNoRow) {
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
  queryResends_ = tries_ > 0 && answerAwaited_ ? queryResends_ + 1 : 0;
  Send(true, tries_, reg < 0 ? "ATI" : "ATS" + std::to_string(reg) + "?");
}

void TcomPort::discoverSRegsReply(ReplyClass rc, const std::string& line) {
  int reg = reader_.rowRegister();
  if (rc == rcOK && reg == TregisterReader::kNoRow && asksAtOnce()) {
    // The last value's "OK": only now may the read end. The "ATH" or dial
    // that ends it, sent before this "OK" came, would take it for its own
    // answer, and the real answer would then pass for the next command's.
    msgTimerTimer();
    return;
  }
  if (rc != rcText && rc != rcError) return;
  if (reg == TregisterReader::kNoRow) return;  // nothing was asked
  if (!answerAwaited_) return;                 // a query sent twice answered twice
  answerAwaited_ = false;
  if (rc == rcError) {
    registerRefused(reg);
    return;
  }
  reader_.registerValue(line, reg, task_ == tkMonitor);
  reader_.nextRow(task_ == tkGetLocal);
  // Get Local, and a monitor polling as fast as replies, ask the next
  // register at once; the tick then only times an exchange out. After the
  // last one they wait for its "OK" (or the tick).
  if (asksAtOnce() && reader_.rowRegister() != TregisterReader::kNoRow) msgTimerTimer();
}

bool TcomPort::asksAtOnce() const {
  return task_ == tkGetLocal || (task_ == tkMonitor && fastPolls());
}

void TcomPort::registerRefused(int reg) {
  // The read moves on; the refusals of the same query sent again may follow.
  lateRefusals_ = queryResends_;
  queryResends_ = 0;
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
    reader_.startRows();
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
  reader_.startRows();
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
