// The monitor's rounds of dials from the local master.
#include "link/monitor_rounds.h"

#include "engine_texts.h"
#include "link/register_reader.h"

namespace tessel {

namespace {
const char* const kNotMaster =
    "Monitoring requires the local radio be a master. Local radio is not a master.";
const char* const kNoLocalMaster = "Unable to Contact Local Master, check power and cables";
}  // namespace

void MonitorRounds::localTick() {
  TaskHost& host = ctx_.host;
  if (host.task() != tkMonitor) {
    host.enter(psIdle);
    return;
  }
  // One round of the list at most: a list without a local radio ends here.
  const bool found =
      ctx_.current && ctx_.current->Seek([this](int r) { return ctx_.window.isLocal(r); });
  if (found && ctx_.window.isMaster(ctx_.radio())) {
    ctx_.reader.startRows();
    host.enter(psAutoDiscoverX);
    host.tickAtPollInterval();
    ctx_.current->Rewind();
    dial(0);
    return;
  }
  const int radio = ctx_.radio();
  host.goIdle();
  ctx_.cancelTask(radio, tkMonitor);
  host.ask(PromptIcon::Warning, kNotMaster, pbAbort);
}

void MonitorRounds::dialTick() {
  TaskHost& host = ctx_.host;
  const TaskCode task = host.task();
  if ((task != tkMonitor && task != tkGetRemote) || !ctx_.current || ctx_.current->Count() == 0) {
    host.enter(psIdle);
    return;
  }
  ctx_.reader.startRows();
  host.tickAtPollInterval();
  if (host.tryCount() > TaskHost::kRetryLimit) {
    const int radio = ctx_.radio();
    if (ctx_.window.isLocal(radio)) {
      host.ask(PromptIcon::Warning, kNoLocalMaster, pbAbort);
      ctx_.cancelTask(radio, host.task());
    } else {
      ctx_.current->Next();
      dial(host.tryCount());
    }
    return;
  }
  dial(host.tryCount());
}

void MonitorRounds::dialReply(ReplyClass rc) {
  TaskHost& host = ctx_.host;
  if (rc == rcOK) {
    host.enter(psDiscoverSRegs);
    // As fast as replies, the dialled radio's first register is asked now.
    if (host.task() == tkMonitor && host.fastPolls()) host.msgTimerTimer();
  } else if (rc == rcError) {
    host.sendNow(0, "ATH");
    const bool master = ctx_.window.isMaster(ctx_.radio());
    const TaskCode ended = host.task();
    host.goIdle();
    ctx_.reporter.taskEnded(ended, TaskOutcome::Failed);
    if (master) host.ask(PromptIcon::Warning, texts::kAtdError, pbAbort);
  } else {
    // Out of step with the radios: hang up and find the local radio
    // again; the read that follows returns to monitoring.
    host.sendNow(0, "ATH");
    host.enter(psSentATH);
    host.setTask(tkAutoConfigure);
  }
}

void MonitorRounds::dial(int tries) {
  // The replies of the radio dialled are written to the project as one.
  ctx_.window.beginReplies();
  ctx_.reporter.dialling(ctx_.current->CurrentNumber());
  ctx_.host.sendNow(tries, "ATD" + ctx_.current->CurrentText());
}

}  // namespace tessel
