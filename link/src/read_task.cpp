// Reading a radio: identification, pages and registers.
#include "link/read_task.h"

#include "link/register_reader.h"

namespace tessel {

namespace {

bool readingTask(TaskCode task) {
  return task == tkGetLocal || task == tkAutoConfigure || task == tkMonitor || task == tkGetRemote;
}

}  // namespace

void ReadTask::start() {
  ctx_.window.beginReplies();
  ctx_.host.enter(psLocalATI);
  ctx_.host.sendNow(0, "ATI");
}

void ReadTask::identification(const std::string& line) {
  ctx_.reader.identification(line, ctx_.host.task() == tkMonitor);
  ctx_.host.enter(psLocalATIx);
  nextPage();
}

void ReadTask::pageReply(ReplyClass rc, const std::string& line) {
  TaskHost& host = ctx_.host;
  if (rc == rcText) {
    ctx_.reader.pageLine(line, host.task() == tkMonitor);
  } else if (rc == rcOK) {
    nextPage();
  } else if (rc == rcError) {
    if (host.task() == tkMonitor)
      host.enter(psAutoDiscover0);
    else
      finishRead();  // leaves command mode and releases the main window
  } else if (rc == rcIgnored) {
    host.enter(psSentATD);
    host.sendNow(0, "ATD");
  }
}

void ReadTask::nextPage() {
  std::string page;
  if (ctx_.reader.nextPage(page)) {
    ctx_.host.sendNow(0, page);
    return;
  }
  ctx_.window.markLocal(ctx_.radio());
  if (ctx_.reader.model() == 2) {
    finishRead();
    return;
  }
  // The pages carried the registers below 100; the rest are asked singly.
  ctx_.reader.skipPagedRows();
  ctx_.host.enter(psDiscoverSRegs);
  ctx_.host.msgTimerTimer();
}

void ReadTask::finishRead() {
  TaskHost& host = ctx_.host;
  const int model = ctx_.reader.model();
  const TaskCode ended = host.task();
  const bool found = host.cancelSearch();
  if (!found) {
    if (ctx_.monitor) {
      // Back to the monitor with the local radio just read and still in
      // command mode, so the dial cycle goes on from here. "ATH" or "ATD"
      // would take the radio off command mode, and its "OK" would then pass
      // for the answer to the connect that returning to monitoring starts.
      // (A model 2 under the monitor ends here: its pages gave every
      // register.)
      if (ended == tkMonitor) ctx_.markRead(ctx_.radio(), true);
      host.returnToMonitoring();
      host.enter(psAutoDiscover0);
      ctx_.window.readDone();
      ctx_.reporter.taskEnded(ended, TaskOutcome::Completed);
      return;
    }
    host.goIdle();
  }
  host.sendClosing(model == 2 ? "ATD" : "ATH");
  ctx_.window.readDone();
  ctx_.reporter.taskEnded(ended, TaskOutcome::Completed);
  if (found) host.searchFound();
}

void ReadTask::registerTick() {
  TaskHost& host = ctx_.host;
  const TaskCode task = host.task();
  if (!readingTask(task)) {
    host.enter(psIdle);
    return;
  }
  host.tickAtPollInterval();
  const int reg = ctx_.reader.rowRegister();
  if (reg == TregisterReader::kNoRow) {
    switch (task) {
      case tkGetLocal:
      case tkAutoConfigure:  // also the re-synchronised monitor: back to it
        finishRead();
        break;
      case tkMonitor:
        ctx_.markRead(ctx_.radio(), true);
        monitorGoesOn(psAutoDiscoverX);
        break;
      case tkGetRemote:
        host.returnToMonitoringOrIdle();
        ctx_.reporter.taskEnded(tkGetRemote, TaskOutcome::Completed);
        break;
      default:
        break;
    }
    return;
  }
  if (host.tryCount() > TaskHost::kRetryLimit) {
    // A local radio that stops answering is lost, not a remote one to skip:
    // the dial state would only go idle for these tasks, leaving the main
    // window (or the re-synchronised monitor) waiting for ever.
    host.enter(task == tkGetLocal || task == tkAutoConfigure ? psError : psAutoDiscoverX);
    return;
  }
  resends_ = host.tryCount() > 0 ? resends_ + 1 : 0;
  lateRefusals_ = 0;  // the dial was answered: nothing older is owed
  host.sendNow(host.tryCount(), reg < 0 ? "ATI" : "ATS" + std::to_string(reg) + "?");
}

void ReadTask::registerReply(ReplyClass rc, const std::string& line) {
  const int reg = ctx_.reader.rowRegister();
  if (rc == rcOK && reg == TregisterReader::kNoRow && asksAtOnce() && resends_ == 0) {
    // The last value's "OK": only now may the read end. The "ATH" or dial
    // that ends it, sent before this "OK" came, would take it for its own
    // answer, and the real answer would then pass for the next command's.
    ctx_.host.msgTimerTimer();
    return;
  }
  if (rc != rcText && rc != rcError) return;
  if (reg == TregisterReader::kNoRow) return;  // nothing was asked
  if (!ctx_.host.takeAwaitedAnswer()) return;  // a query sent twice answered twice
  if (rc == rcError) {
    registerRefused(reg);
    return;
  }
  ctx_.reader.registerValue(line, reg, ctx_.host.task() == tkMonitor);
  ctx_.reader.nextRow(ctx_.host.task() == tkGetLocal);
  // Get Local, and a monitor polling as fast as replies, ask the next
  // register at once; the tick then only times an exchange out. After the
  // last one they wait for its "OK" (or the tick). A register asked twice
  // may be answered twice: the next one waits for the tick, so that second
  // answer comes while none is awaited instead of passing for the next
  // register's.
  if (asksAtOnce() && resends_ == 0 && ctx_.reader.rowRegister() != TregisterReader::kNoRow)
    ctx_.host.msgTimerTimer();
}

bool ReadTask::asksAtOnce() const {
  const TaskCode task = ctx_.host.task();
  return task == tkGetLocal || (task == tkMonitor && ctx_.host.fastPolls());
}

void ReadTask::monitorGoesOn(PortState next) {
  // From the local radio the round starts over; otherwise the next radio.
  if (next == psAutoDiscoverX && ctx_.current) ctx_.current->Next();
  ctx_.host.enter(next);
  // As fast as replies, the next dial goes out now, not a tick on. (It is
  // called after a value's "OK" or a refusal: no answer is still due.)
  if (ctx_.host.fastPolls()) ctx_.host.msgTimerTimer();
}

bool ReadTask::takeLateRefusal(ReplyClass rc) {
  if (lateRefusals_ == 0) return false;
  if (rc == rcError) {
    --lateRefusals_;
    return true;
  }
  lateRefusals_ = 0;  // the dial's own answer: none is owed after it
  return false;
}

void ReadTask::registerRefused(int reg) {
  // The read moves on; the refusals of the same query asked again may follow.
  lateRefusals_ = resends_;
  resends_ = 0;
  if (reg > 99) {
    // No model-0 registers: the radio is a model 1.
    ctx_.markRead(ctx_.radio(), true);
    if (ctx_.current) ctx_.current->SetModel(1);
  }
  TaskHost& host = ctx_.host;
  switch (host.task()) {
    case tkGetLocal:
    case tkAutoConfigure:
      finishRead();
      break;
    case tkMonitor:
      // The poll is over for this round: the radio was polled, whatever it
      // refused (a model 2 has no volts register).
      if (reg <= 99) ctx_.markRead(ctx_.radio(), true);
      if (ctx_.current) ctx_.current->SetModel(1);
      monitorGoesOn(ctx_.window.isLocal(ctx_.radio()) ? psAutoDiscover0 : psAutoDiscoverX);
      break;
    case tkGetRemote:
      host.returnToMonitoringOrIdle();
      ctx_.reporter.taskEnded(tkGetRemote, TaskOutcome::Completed);
      break;
    default:
      break;
  }
}

}  // namespace tessel
