// Finding the local radio's line settings and command mode.
#include "link/connect_task.h"

#include "link/com_port_dialog.h"
#include "link/dialled_link.h"
#include "link/read_task.h"
#include "link/register_reader.h"

namespace tessel {

namespace {
const char* const kUnableToContact = "Unable to Contact Radio, check power and cables";
}  // namespace

PortState ConnectTask::firstState() const {
  const int code = dialog_.nextCode();
  return code == 16 ? psConfig16at : code == 32 ? psConfig32 : psConfigManual;
}

Next ConnectTask::tick(PortState state) {
  TaskHost& host = ctx_.host;
  switch (state) {
    case psConfig16at:
      dialog_.setNextCode(16);
      dialog_.applyCode(16);
      // As fast as replies, a local radio known to be out of command mode
      // gets the escape now instead of an "AT" it cannot answer and a tick.
      host.sendNow(0, host.fastPolls() && link_.localOnLine() ? "+++" : "AT");
      return to(psConfig16plus);
    case psConfig16plus:
      dialog_.applyCode(16);
      host.sendNow(0, "+++");
      return to(psConfig32);
    case psConfig32:
      dialog_.applyCode(32);
      host.sendNow(0, "+++");
      return to(psConfig0);
    case psConfig0:
      dialog_.setNextCode(0);
      return goOn(host.task() == tkAutoConfigure ? psConfigAuto : psError);
    case psConfigAuto:
      dialog_.applyCode(dialog_.nextCode());
      host.sendNow(0, "+++");
      return stay();
    case psConfigManual:
      return manualTick();
    default:
      return stay();
  }
}

Next ConnectTask::manualTick() {
  TaskHost& host = ctx_.host;
  // At 19200 8N1 the connect tries the radios' usual lines in turn (code 16,
  // then 9600 8N1). Any other line at 19200 was chosen by hand: it is the
  // one to talk at, as at every other speed, and no code replaces it.
  if (dialog_.selectedBaud() == 19200 && dialog_.selectionIs(16)) return goOn(psConfig16at);
  host.sendNow(host.tryCount(), "+++");
  return host.tryCount() > TaskHost::kRetryLimit ? to(psError) : stay();
}

Next ConnectTask::reply(const Answer& answer) {
  if (link_.releaseStep(answer.rc)) return stay();
  if (answer.rc == rcOK || answer.rc == rcError) return connected();
  return stay();
}

Next ConnectTask::connected() {
  TaskHost& host = ctx_.host;
  ctx_.reader.startPages();
  if (host.task() == tkGetRemote && !ctx_.window.isLocal(ctx_.radio())) return to(psAutoDiscoverX);
  if (host.task() == tkSendValues) return goOn(psSendQueue);
  // The reads, and a remote read of the local radio, which is read as such.
  return read_.start();
}

Next ConnectTask::unableToContactTick() {
  TaskHost& host = ctx_.host;
  const auto answer = host.ask(PromptIcon::Error, kUnableToContact, pbAbort | pbRetry);
  if (!answer) return stay();  // replies meanwhile moved the engine on
  if (*answer == pbAbort) {
    host.flushQueue();
    ctx_.cancelTask(ctx_.radio(), host.task(), kUnableToContact);
    host.cancelSearch();
    host.goIdle();
    return stay();
  }
  return to(psConfig16at);
}

}  // namespace tessel
