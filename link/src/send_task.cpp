// A send working off its queue.
#include "link/send_task.h"

#include "engine_texts.h"
#include "model/text.h"
#include "text_util.h"

namespace tessel {

namespace {
const char* const kTooManyErrors =
    "Too many errors in sending to radio, try increasing poll interval";
}  // namespace

Next SendTask::tick() {
  TaskHost& host = ctx_.host;
  const TaskCode sending = host.task();
  if (queue_.Count() == 0) {
    // Every line went out after the one before it was answered "OK" (and
    // the reset after its save): the send went through.
    const int radio = ctx_.radio();
    const bool monitoring = host.returnToMonitoringOrIdle();
    if (monitoring) ctx_.window.radioRenumbered(ctx_.radio(), true);
    const std::string complete = withoutMnemonic(host.taskText()) + " complete, radio reset";
    ctx_.reporter.taskEnded(sending,
                            Outcome{TaskEnd::Done, complete, radio, {}, !host.quietSends()});
    const bool told = host.quietSends() || host.ask(PromptIcon::Information, complete, pbOk);
    return monitorGoesOn(monitoring && told);
  }
  host.refreshStatus();
  if (host.tryCount() > TaskHost::kRetryLimit) {
    // A run of sends that reports them itself offers its own retry, naming
    // the radio: no box of the engine's comes between.
    if (host.quietSends()) return endShort({TaskEnd::NoAnswer, kTooManyErrors}, true);
    const auto answer = host.ask(PromptIcon::Error, kTooManyErrors, pbAbort | pbRetry);
    if (!answer) return stay();
    if (*answer == pbAbort) {
      host.flushQueue();
      const bool monitoring = host.returnToMonitoringOrIdle();
      if (monitoring) ctx_.window.radioRenumbered(ctx_.radio(), true);
      ctx_.reporter.taskEnded(sending,
                              Outcome{TaskEnd::Cancelled, kTooManyErrors, ctx_.radio(), {}, true});
      return monitorGoesOn(monitoring);
    }
    host.resetTries();
    return stay();
  }
  std::string line;
  queue_.Peek(line);
  if (host.sendNow(host.tryCount(), line)) {
    queue_.Pop(line);
    // A reset owes no answer. As fast as replies the send ends now, not a
    // tick on.
    if (host.fastPolls()) return goOnHere();
  }
  return stay();
}

Next SendTask::reply(const Answer& answer) {
  // Only the answers to the send's own lines come here; a reset ("AT&R")
  // owes none.
  if (queue_.Count() == 0) return stay();
  TaskHost& host = ctx_.host;
  if (answer.rc == rcOK) {
    std::string line;
    queue_.Pop(line);
    host.resetTries();
    host.lineConfirmed(line);
    // The local radio takes its next line at once; a remote one at the
    // next tick, unless the lines go as fast as the replies come. Either
    // way only after this "OK": one line at a time.
    return ctx_.window.isLocal(ctx_.radio()) || host.fastPolls() ? goOnHere() : stay();
  }
  // The line the radio refused is the one this answer belongs to.
  const std::string& refused = answer.command;
  std::string message = "ERROR from radio on sending " + refused;
  if (text::contains(refused, "s100")) message += std::string(" ") + " Check Radio Model";
  return endShort({TaskEnd::Refused, message, -1, text::withoutLineEnd(refused)}, false);
}

Next SendTask::linkLost(int radio) {
  if (queue_.Count() == 0) return stay();
  return endShort(
      {TaskEnd::LinkLost, texts::linkLost(radio) + ": the lines after it were not sent.", radio},
      false);
}

Next SendTask::endShort(Outcome outcome, bool renumbered) {
  TaskHost& host = ctx_.host;
  if (outcome.radio < 0) outcome.radio = ctx_.radio();
  outcome.shown = !host.quietSends();
  const std::string message = outcome.message;
  const TaskCode sending = host.task();
  host.flushQueue();
  const bool monitoring = host.returnToMonitoringOrIdle();
  if (monitoring && renumbered) ctx_.window.radioRenumbered(ctx_.radio(), true);
  ctx_.reporter.taskEnded(sending, outcome);
  const bool told = host.quietSends() || host.ask(PromptIcon::Error, message, pbAbort);
  return monitorGoesOn(monitoring && told);
}

Next SendTask::monitorGoesOn(bool monitoring) const {
  // As fast as replies, the monitor takes the link back at once (the local
  // radio read again at the replies' speed too); otherwise at the tick.
  return monitoring && ctx_.host.fastPolls() ? goOnHere() : stay();
}

}  // namespace tessel
