// A send working off its queue.
#include "link/send_task.h"

#include "model/text.h"
#include "text_util.h"

namespace tessel {

namespace {
const char* const kTooManyErrors =
    "Too many errors in sending to radio, try increasing poll interval";
}  // namespace

void SendTask::tick() {
  TaskHost& host = ctx_.host;
  const TaskCode sending = host.task();
  if (queue_.Count() == 0) {
    if (host.returnToMonitoringOrIdle()) ctx_.window.radioRenumbered(ctx_.radio(), true);
    ctx_.reporter.taskEnded(sending, TaskOutcome::Completed);
    host.ask(PromptIcon::Information, withoutMnemonic(host.taskText()) + " complete, radio reset",
             pbOk);
    return;
  }
  host.refreshStatus();
  if (host.tryCount() > TaskHost::kRetryLimit) {
    const auto answer = host.ask(PromptIcon::Error, kTooManyErrors, pbAbort | pbRetry);
    if (!answer) return;
    if (*answer == pbAbort) {
      host.flushQueue();
      if (host.returnToMonitoringOrIdle()) ctx_.window.radioRenumbered(ctx_.radio(), true);
      ctx_.reporter.taskEnded(sending, TaskOutcome::Cancelled);
    } else {
      host.resetTries();
    }
    return;
  }
  std::string line;
  queue_.Peek(line);
  if (host.sendNow(host.tryCount(), line)) queue_.Pop(line);
}

void SendTask::reply(ReplyClass rc) {
  // A radio's start-up banner after "AT&R" arrives when nothing is left to
  // answer; the next tick completes the send.
  if (queue_.Count() == 0) return;
  TaskHost& host = ctx_.host;
  if (rc == rcOK) {
    std::string line;
    queue_.Pop(line);
    host.resetTries();
    if (ctx_.window.isLocal(ctx_.radio())) host.msgTimerTimer();
    return;
  }
  const std::string& sent = host.LastSent();
  std::string message = "ERROR from radio on sending " + sent;
  if (text::contains(sent, "s100")) message += std::string(" ") + " Check Radio Model";
  const TaskCode sending = host.task();
  host.flushQueue();
  host.returnToMonitoringOrIdle();
  ctx_.reporter.taskEnded(sending, TaskOutcome::Failed);
  host.ask(PromptIcon::Error, message, pbAbort);
}

}  // namespace tessel
