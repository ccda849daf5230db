// Reading a radio: identification, pages and registers.
#include "link/read_task.h"

#include "engine_texts.h"
#include "link/group_emulator.h"
#include "link/register_reader.h"
#include "model/catalogue.h"
#include "text_util.h"

namespace tessel {

namespace {

bool readingTask(TaskCode task) {
  return task == tkGetLocal || task == tkAutoConfigure || task == tkMonitor || task == tkGetRemote;
}

// A register's value is a number or a form the register holds (letters, a
// time of day) on some model: which model answers is known only once it told
// its identification. A line of noise never passes for one.
constexpr size_t kLongestReading = 16;

bool valueFits(int reg, const std::string& value) {
  const size_t digits = !value.empty() && value[0] == '-' ? 1 : 0;
  if (value.size() > digits && text::allDigits(value.substr(digits))) return true;
  for (int model : {0, 1, 2}) {
    for (bool poll : {false, true}) {
      const int param = parameterFor(reg, model, poll);
      if (param >= 0 && TgroupEmulator::valueFits(param, value)) return true;
    }
  }
  return false;
}

}  // namespace

Next ReadTask::start() {
  afterPages_ = false;
  ctx_.window.beginReplies();
  ctx_.host.sendNow(0, "ATI");
  return to(psLocalATI);
}

Next ReadTask::identification(const Answer& answer) {
  if (answer.rc != rcText) return stay();
  ctx_.reader.identification(answer.line, ctx_.host.task() == tkMonitor);
  return nextPage();
}

Next ReadTask::pageReply(const Answer& answer) {
  TaskHost& host = ctx_.host;
  switch (answer.rc) {
    case rcText: {
      const int told = ctx_.reader.pageLine(answer.line, host.task() == tkMonitor);
      if (told >= 0) host.localRadioTold(told);
      return stay();
    }
    case rcOK:
      return nextPage();
    case rcError:
      // A monitor looks for the local radio (one that refused its first
      // page told nothing of itself); a read leaves command mode and
      // releases the main window.
      if (host.task() != tkMonitor) return finishRead();
      return text::upperCase(answer.command) == "ATI1" ? unidentified() : to(psAutoDiscover0);
    case rcIgnored:
      host.sendNow(0, "ATD");
      return to(psSentATD);
    default:
      return stay();
  }
}

Next ReadTask::nextPage() {
  std::string page;
  if (ctx_.reader.nextPage(page)) {
    ctx_.host.sendNow(0, page);
    return to(psLocalATIx);
  }
  ctx_.window.markLocal(ctx_.radio());
  if (ctx_.reader.model() == 2) return finishRead();
  afterPages_ = true;
  // The pages carried the registers below 100; the rest are asked singly.
  ctx_.reader.skipPagedRows();
  return goOn(psDiscoverSRegs);
}

Next ReadTask::finishRead() {
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
      ctx_.window.readDone();
      ctx_.reporter.taskEnded(ended, Outcome{});
      return to(psAutoDiscover0);
    }
    host.goIdle();
  }
  host.sendClosing(model == 2 ? "ATD" : "ATH");
  ctx_.window.readDone();
  ctx_.reporter.taskEnded(ended, Outcome{});
  if (found) host.searchFound();
  return stay();
}

Next ReadTask::readEnded(TaskCode task) {
  afterPages_ = false;
  switch (task) {
    case tkGetLocal:
    case tkAutoConfigure:  // also the re-synchronised monitor: back to it
      return finishRead();
    case tkMonitor:
      ctx_.markRead(ctx_.radio(), true);
      return monitorGoesOn(psAutoDiscoverX);
    case tkGetRemote:
      ctx_.host.returnToMonitoringOrIdle();
      ctx_.reporter.taskEnded(tkGetRemote, Outcome{});
      return stay();
    default:
      return stay();
  }
}

Next ReadTask::registerTick() {
  TaskHost& host = ctx_.host;
  const TaskCode task = host.task();
  if (!readingTask(task)) return to(psIdle);
  host.tickAtPollInterval();
  const int reg = ctx_.reader.rowRegister();
  if (reg == TregisterReader::kNoRow) return readEnded(task);
  if (host.tryCount() > TaskHost::kRetryLimit) {
    // A local radio that stops answering is lost, not a remote one to skip:
    // the dial state would only go idle for these tasks, leaving the main
    // window (or the re-synchronised monitor) waiting for ever.
    return to(task == tkGetLocal || task == tkAutoConfigure ? psError : psAutoDiscoverX);
  }
  if (reg < 0) {
    host.sendNow(host.tryCount(), "ATI");
    return stay();
  }
  // A monitor's reading that is not of its register's form is still the
  // radio's answer: it shows as missing and the radio's next reading is
  // asked. Only a line longer than any reading is taken for noise.
  const bool reading = task == tkMonitor;
  host.sendNow(host.tryCount(), "ATS" + std::to_string(reg) + "?",
               [reg, reading](const std::string& v) {
                 return valueFits(reg, v) || (reading && v.size() <= kLongestReading);
               });
  return stay();
}

Next ReadTask::registerReply(const Answer& answer) {
  const int reg = ctx_.reader.rowRegister();
  if (answer.rc == rcError) return reg == TregisterReader::kNoRow ? stay() : registerRefused();
  if (answer.rc == rcOK) {
    // The last value's "OK": only now may the read end, so the "ATH" or
    // dial that ends it never goes out ahead of that "OK".
    return reg == TregisterReader::kNoRow && asksAtOnce() ? goOnHere() : stay();
  }
  if (answer.rc != rcText || reg == TregisterReader::kNoRow) return stay();
  ctx_.reader.registerValue(answer.line, reg, ctx_.host.task() == tkMonitor);
  ctx_.reader.nextRow(ctx_.host.task() == tkGetLocal);
  // Get Local, and a monitor polling as fast as replies, ask the next
  // register at once; the tick then only times an exchange out. After the
  // last one they wait for its "OK" (or the tick).
  if (asksAtOnce() && ctx_.reader.rowRegister() != TregisterReader::kNoRow) return goOnHere();
  return stay();
}

bool ReadTask::asksAtOnce() const {
  const TaskCode task = ctx_.host.task();
  return task == tkGetLocal || (task == tkMonitor && ctx_.host.fastPolls());
}

Next ReadTask::monitorGoesOn(PortState next) {
  // From the local radio the round starts over; otherwise the next radio.
  if (next == psAutoDiscoverX && ctx_.current) ctx_.current->Next();
  // As fast as replies, the next dial goes out now, not a tick on.
  return ctx_.host.fastPolls() ? goOn(next) : to(next);
}

Next ReadTask::unidentified() {
  TaskHost& host = ctx_.host;
  const std::string message =
      "The local radio answered ERROR to ATI1: it does not tell which radio it is, so the group "
      "cannot be monitored.";
  const int radio = ctx_.radio();
  host.goIdle();
  ctx_.cancelTask(radio, tkMonitor, message);
  host.ask(PromptIcon::Warning, message, pbAbort);
  return stay();
}

Next ReadTask::linkLost(int radio) {
  TaskHost& host = ctx_.host;
  afterPages_ = false;
  switch (host.task()) {
    case tkMonitor:
      // The radio's poll ends with what it gave; the round goes on with the
      // next radio, dialled at the tick so that nothing still on its way
      // from the lost link passes for its answer.
      if (ctx_.current) ctx_.current->Next();
      return to(psAutoDiscoverX);
    case tkGetRemote: {
      const std::string message = texts::linkLost(radio) + ": its parameters were not all read.";
      host.returnToMonitoringOrIdle();
      ctx_.reporter.taskEnded(tkGetRemote, Outcome{TaskEnd::LinkLost, message, radio, {}, true});
      host.ask(PromptIcon::Error, message, pbOk);
      return stay();
    }
    default:
      return stay();
  }
}

Next ReadTask::registerRefused() {
  TaskHost& host = ctx_.host;
  const TaskCode task = host.task();
  if (!ctx_.reader.atFirstModelERow()) {
    // The search for the port's settings only needed an answer.
    if (task == tkAutoConfigure) return finishRead();
    // One register refused: the radio says so and the read goes on, so the
    // registers after it are still read. (A radio that answered the first
    // model-E register is a model E whatever it refuses after it.)
    ctx_.window.registerRefused(ctx_.reader.rowParameter());
    ctx_.reader.nextRow(task == tkGetLocal);
    return asksAtOnce() ? goOnHere() : stay();
  }
  // No model-E registers: the radio is a model 1, and read to its end.
  ctx_.markRead(ctx_.radio(), true);
  if (ctx_.current) ctx_.current->SetModel(1);
  switch (task) {
    case tkGetLocal:
    case tkAutoConfigure:
      return finishRead();
    case tkMonitor: {
      // Read after its pages, the local radio starts the round of dials;
      // dialled in that round (the monitor dials it too), it is one radio
      // of the round and the next one follows. Otherwise a model-1 local
      // radio read in full at every dial would be dialled for ever.
      const bool startsRound = afterPages_ && ctx_.window.isLocal(ctx_.radio());
      afterPages_ = false;
      return monitorGoesOn(startsRound ? psAutoDiscover0 : psAutoDiscoverX);
    }
    case tkGetRemote:
      host.returnToMonitoringOrIdle();
      ctx_.reporter.taskEnded(tkGetRemote, Outcome{});
      return stay();
    default:
      return stay();
  }
}

}  // namespace tessel
