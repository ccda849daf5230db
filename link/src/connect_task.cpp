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

void ConnectTask::tick(PortState state) {
  TaskHost& host = ctx_.host;
  switch (state) {
    case psConfig16at:
      host.enter(psConfig16plus);
      dialog_.setNextCode(16);
      dialog_.applyCode(16);
      host.sendNow(0, "AT");
      break;
    case psConfig16plus:
      host.enter(psConfig32);
      dialog_.applyCode(16);
      host.sendNow(0, "+++");
      break;
    case psConfig32:
      host.enter(psConfig0);
      dialog_.applyCode(32);
      host.sendNow(0, "+++");
      break;
    case psConfig0:
      host.enter(host.task() == tkAutoConfigure ? psConfigAuto : psError);
      dialog_.setNextCode(0);
      host.msgTimerTimer();
      break;
    case psConfigAuto:
      dialog_.applyCode(dialog_.nextCode());
      host.sendNow(0, "+++");
      break;
    case psConfigManual:
      manualTick();
      break;
    default:
      break;
  }
}

void ConnectTask::manualTick() {
  TaskHost& host = ctx_.host;
  if (dialog_.selectedBaud() == 19200) {
    host.enter(psConfig16at);
    host.msgTimerTimer();
    return;
  }
  host.sendNow(host.tryCount(), "+++");
  if (host.tryCount() > TaskHost::kRetryLimit) host.enter(psError);
}

void ConnectTask::reply(ReplyClass rc) {
  if (link_.releaseStep(rc)) return;
  if (rc == rcOK || rc == rcError) connected();
}

void ConnectTask::connected() {
  TaskHost& host = ctx_.host;
  ctx_.reader.startPages();
  if (host.task() == tkGetRemote && !ctx_.window.isLocal(ctx_.radio())) {
    host.enter(psAutoDiscoverX);
  } else if (host.task() == tkSendValues) {
    host.enter(psSendQueue);
    host.msgTimerTimer();
  } else {
    // The reads, and a remote read of the local radio, which is read as such.
    read_.start();
  }
}

void ConnectTask::unableToContactTick() {
  TaskHost& host = ctx_.host;
  const auto answer = host.ask(PromptIcon::Error, kUnableToContact, pbAbort | pbRetry);
  if (!answer) return;  // replies meanwhile moved the engine on
  if (*answer == pbAbort) {
    host.flushQueue();
    ctx_.cancelTask(ctx_.radio(), host.task());
    host.cancelSearch();
    host.goIdle();
  } else {
    host.enter(psConfig16at);
  }
}

}  // namespace tessel
