// Register reading, identification pages and the online monitor cycle.
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
}  // namespace

int TcomPort::currentModel() const {
  return current_ ? current_->CurrentModel() : -1;
}

bool TcomPort::usePollMap() {
  return radioQuery(current(), qcIsRead, false);
}

int TcomPort::currentRowRegister() {
  const auto& map = mapFor(currentModel(), usePollMap());
  if (ReadRow < 0 || ReadRow >= static_cast<int>(map.size())) return kNoRow;
  return map[ReadRow].reg;
}

int TcomPort::lookupRegister(int reg) {
  return parameterFor(reg, currentModel(), usePollMap());
}

void TcomPort::applyRegister(int param, int value, const std::string& text) {
  // Parameter -1 means the identification line to the main window; a
  // register outside the map must not pass for one.
  if (param == -1) return;
  if (callbacks_) callbacks_->ApplyReply(param, value, text);
}

void TcomPort::identificationPageLine(const std::string& line) {
  for (const DumpValue& v : parseDumpLine(line)) {
    applyRegister(lookupRegister(v.reg), v.value, v.text);
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
        radioQuery(radio, qcSetRead, false);
      }
    }
  }
}

void TcomPort::discoverSRegsTick() {
  if (task_ < tkGetLocal || task_ > tkGetRemote) {
    state_ = psIdle;
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
        radioQuery(current(), qcSetRead, true);
        if (current_) current_->Next();
        state_ = psAutoDiscoverX;
        break;
      case tkGetRemote:
        returnToMonitoringOrIdle();
        break;
    }
    return;
  }
  if (queue_.TryCount > kRetryLimit) {
    // A local radio that stops answering is lost, not a remote one to skip:
    // the dial state would only go idle for these tasks, leaving the main
    // window (or the re-synchronised monitor) waiting for ever.
    state_ = task_ == tkGetLocal || task_ == tkAutoConfigure ? psError : psAutoDiscoverX;
    return;
  }
  Send(true, queue_.TryCount, reg < 0 ? "ATI" : "ATS" + std::to_string(reg) + "?");
}

void TcomPort::discoverSRegsReply(ReplyClass rc, const std::string& line) {
  if (rc != rcText && rc != rcError) return;
  int reg = currentRowRegister();
  if (reg == kNoRow) return;  // nothing was asked
  if (rc == rcText) {
    if (reg >= 0)
      applyRegister(lookupRegister(reg), replyNumber(line), line);
    else
      identification(line);
    if (task_ == tkGetLocal) {
      ++ReadRow;
      msgTimerTimer();
    } else {
      const int model = currentModel();
      const bool poll = usePollMap();
      ReadRow = nextReadableRow(ReadRow, model, poll);
      // A model 2 has no supply volts or temperature (S16, S17), yet the
      // poll rows are alike for every model. Their ERROR would end the
      // poll as a failure and, for the local radio, start the round over
      // at itself, so a model-2 poll leaves out registers its own map
      // lacks. (Models 0 and 1 answer every poll row, S12 too.)
      if (model == 2 && poll) {
        for (int r = currentRowRegister(); r != kNoRow && parameterFor(r, model, false) < 0;
             r = currentRowRegister())
          ReadRow = nextReadableRow(ReadRow, model, poll);
      }
    }
    return;
  }
  if (reg > 99) {
    // No model-0 registers: the radio is a model 1.
    radioQuery(current(), qcSetRead, true);
    if (current_) current_->SetModel(1);
  }
  switch (task_) {
    case tkGetLocal:
    case tkAutoConfigure:
      finishRead();
      break;
    case tkMonitor:
      if (current_) current_->SetModel(1);
      if (radioQuery(current(), qcIsLocal, true)) {
        state_ = psAutoDiscover0;
      } else {
        state_ = psAutoDiscoverX;
        if (current_) current_->Next();
      }
      break;
    case tkGetRemote:
      returnToMonitoringOrIdle();
      break;
  }
}

void TcomPort::autoDiscover0Tick() {
  if (task_ != tkMonitor) {
    state_ = psIdle;
    return;
  }
  // One round of the list at most: a list without a local radio ends here.
  bool found =
      current_ && current_->Seek([this](int r) { return radioQuery(r, qcIsLocal, false); });
  if (found && radioQuery(current(), qcIsMaster, false)) {
    ReadRow = 0;
    state_ = psAutoDiscoverX;
    timer_.setInterval(pollInterval());
    current_->Rewind();
    Send(true, 0, "ATD" + current_->CurrentText());
    return;
  }
  int radio = current();
  goIdle();
  radioQuery(radio, qcCancel, true);
  prompts_.show(PromptIcon::Warning, kNotMaster, pbAbort);
}

void TcomPort::autoDiscoverXTick() {
  if ((task_ != tkMonitor && task_ != tkGetRemote) || !current_ || current_->Count() == 0) {
    state_ = psIdle;
    return;
  }
  ReadRow = 0;
  timer_.setInterval(pollInterval());
  if (queue_.TryCount > kRetryLimit) {
    int radio = current();
    if (radioQuery(radio, qcIsLocal, false)) {
      prompts_.show(PromptIcon::Warning, kNoLocalMaster, pbAbort);
      radioQuery(radio, qcCancel, true);
    } else {
      current_->Next();
      Send(true, queue_.TryCount, "ATD" + current_->CurrentText());
    }
    return;
  }
  Send(true, queue_.TryCount, "ATD" + current_->CurrentText());
}

}  // namespace tessel
