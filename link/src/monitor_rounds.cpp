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

Next MonitorRounds::localTick() {
  TaskHost& host = ctx_.host;
  if (host.task() != tkMonitor) return to(psIdle);
  // One round of the list at most: a list without a local radio ends here.
  const bool found =
      ctx_.current && ctx_.current->Seek([this](int r) { return ctx_.window.isLocal(r); });
  if (found && ctx_.window.isMaster(ctx_.radio())) {
    ctx_.reader.startRows();
    host.tickAtPollInterval();
    ctx_.current->Rewind();
    dial(0);
    return to(psAutoDiscoverX);
  }
  const int radio = ctx_.radio();
  host.goIdle();
  ctx_.cancelTask(radio, tkMonitor, kNotMaster);
  host.ask(PromptIcon::Warning, kNotMaster, pbAbort);
  return stay();
}

Next MonitorRounds::dialTick() {
  TaskHost& host = ctx_.host;
  const TaskCode task = host.task();
  if ((task != tkMonitor && task != tkGetRemote) || !ctx_.current || ctx_.current->Count() == 0)
    return to(psIdle);
  ctx_.reader.startRows();
  host.tickAtPollInterval();
  if (host.tryCount() > TaskHost::kRetryLimit) {
    const int radio = ctx_.radio();
    if (ctx_.window.isLocal(radio)) {
      host.ask(PromptIcon::Warning, kNoLocalMaster, pbAbort);
      ctx_.cancelTask(radio, host.task(), kNoLocalMaster);
      return stay();
    }
    ctx_.current->Next();
  }
  dial(host.tryCount());
  return stay();
}

Next MonitorRounds::dialReply(const Answer& answer) {
  TaskHost& host = ctx_.host;
  if (answer.rc == rcOK) {
    // As fast as replies, the dialled radio's first register is asked now.
    return host.task() == tkMonitor && host.fastPolls() ? goOn(psDiscoverSRegs)
                                                        : to(psDiscoverSRegs);
  }
  host.sendNow(0, "ATH");
  if (answer.rc == rcError) {
    const bool master = ctx_.window.isMaster(ctx_.radio());
    const TaskCode ended = host.task();
    host.goIdle();
    ctx_.reporter.taskEnded(
        ended, Outcome{TaskEnd::Refused, master ? texts::kAtdError : "", ctx_.radio(), {}, master});
    if (master) host.ask(PromptIcon::Warning, texts::kAtdError, pbAbort);
    return stay();
  }
  // Out of step with the radios: hang up and find the local radio again;
  // the read that follows returns to monitoring.
  host.setTask(tkAutoConfigure);
  return to(psSentATH);
}

void MonitorRounds::dial(int tries) {
  // The replies of the radio dialled are written to the project as one.
  ctx_.window.beginReplies();
  ctx_.reporter.dialling(ctx_.current->CurrentNumber());
  ctx_.host.sendNow(tries, "ATD" + ctx_.current->CurrentText());
}

}  // namespace tessel
