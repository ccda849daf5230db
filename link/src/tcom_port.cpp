// The link engine's state machine and its tasks.
//
// What each state does (tick: the timer fired; replies: the received lines
// it acts on, every other line is ignored). Every change of state goes
// through enter(), every change of task through setTask().
//
//   psError          tick: "Unable to Contact Radio" box  replies: none
//   psIdle           tick: nothing                       replies: none
//   psConfig16at     tick: 19200 baud, "AT"              replies: OK/ERROR -> connected()
//   psConfig16plus   tick: 19200 baud, "+++"             replies: as psConfig16at
//   psConfig32       tick: 9600 baud, "+++"              replies: as psConfig16at
//   psConfig0        tick: search or give up (psError)   replies: as psConfig16at
//   psConfigAuto     tick: next searched code, "+++"     replies: as psConfig16at
//   psConfigManual   tick: "+++" at the line as set      replies: as psConfig16at
//   psLocalATI       tick: counts a try                  replies: text -> identification()
//   psLocalATIx      tick: counts a try                  replies: localATIxReply()
//   psSentATH        tick: back to psConfig16at          replies: ERROR -> "ATD"
//   psSentATD        tick: next radio of the list        replies: sentATDReply()
//   psAutoDiscover0  tick: autoDiscover0Tick()           replies: none
//   psAutoDiscoverX  tick: autoDiscoverXTick()           replies: autoDiscoverXReply()
//   psDiscoverSRegs  tick: discoverSRegsTick()           replies: discoverSRegsReply()
//   psSendQueue      tick: sendQueueTick()               replies: sendQueueReply()
//   psEmulate        tick: nothing                       replies: the group emulator
//
// Reading on: discovery.cpp reads registers and runs the monitor's rounds,
// emulator.cpp plays the radios, com_port_dialog.cpp holds the line
// settings and the search, link_reporter.cpp tells the listeners.
#include "link/tcom_port.h"

#include "link/port_settings.h"
#include "model/catalogue.h"
#include "seams/prompts.h"
#include "seams/settings_store.h"
#include "seams/tick_timer.h"
#include "serial/serial_link.h"
#include "text_util.h"

namespace tessel {

using text::contains;
using text::upperCase;

namespace {

const char* const kUnableToActivate = "Unable to activate COM port, is it available?";
const char* const kUnableToContact = "Unable to Contact Radio, check power and cables";
const char* const kTooManyErrors =
    "Too many errors in sending to radio, try increasing poll interval";
const char* const kAtdError =
    "Error response from ATD command. Please check that this radio is a master";

}  // namespace

TcomPort::TcomPort(SerialLink& serial, TickTimer& timer, Prompts& prompts, SettingsStore& settings,
                   ComPortView& view, TerminalSink* terminal, LogWriter* log)
    : serial_(serial),
      timer_(timer),
      gate_(prompts,
            [this](PromptGate::Event e) {
              if (e == PromptGate::Event::Tick)
                msgTimerTimer();
              else
                Serial1RxData();
            }),
      reporter_(terminal, log, [this] { return tickCount_; }),
      dialog_(serial, gate_, settings, view, *this),
      emulator_(window_, [this](const std::string& text) { Send(true, 0, text); }),
      assembler_([this] { reporter_.receiveOverflow(kRxBufferLimit); }) {
  queue_.setOnChange([this] { reporter_.queueLengthChanged(queue_.Count()); });
  timer_.stop();
  timer_.setHandler([this] { msgTimerTimer(); });
  serial_.setOnRxData([this] { Serial1RxData(); });
  serial_.setOnLineLost([this](const std::string& message) { lineLost(message); });
  dialog_.initialise();
  enter(psIdle);
  timer_.setInterval(kTaskInterval);
  timer_.start();
}

TcomPort::~TcomPort() {
  try {
    timer_.stop();
    timer_.setHandler(nullptr);
    serial_.setOnRxData(nullptr);
    serial_.setOnLineLost(nullptr);
    dialog_.SaveSettings();
  } catch (...) {
    // Settings are best effort at program end.
  }
}

void TcomPort::AttachMainWindow(StatusBar* statusBar, MainWindowCallbacks* callbacks) {
  reporter_.setStatusBar(statusBar);
  window_.attach(callbacks);
  refreshStatus();
}

void TcomPort::enter(PortState next) {
  if (next == state_) return;
  const PortState from = state_;
  state_ = next;
  // No radio is being read once the engine rests: what its replies stored
  // goes to the file now.
  if (next == psIdle || next == psError) window_.endReplies();
  reporter_.stateChanged(from, next);
}

void TcomPort::setTask(TaskCode task) {
  if (task == task_) return;
  const TaskCode from = task_;
  task_ = task;
  reporter_.taskChanged(from, task);
}

int TcomPort::current() const {
  return current_ ? current_->CurrentNumber() : -1;
}

void TcomPort::setCurrentList(std::shared_ptr<TradioNumber> list) {
  current_ = std::move(list);
}

void TcomPort::markRead(int radio, bool read) {
  window_.setRead(radio, read);
  if (read) reporter_.radioPolled(radio);
}

void TcomPort::cancelTask(int radio, TaskCode ended) {
  window_.taskCancelled(radio);
  reporter_.taskEnded(ended, TaskOutcome::Cancelled);
}

void TcomPort::stateHandled(bool reply) {
  // Reply handling of psConfigManual has always been logged under the name
  // of the auto-configuration state; log readers know it that way.
  const char* name = reply && state_ == psConfigManual ? "psConfigAuto" : stateName(state_);
  reporter_.stateHandled(name, lineInHand_ + assembler_.buffer());
}

void TcomPort::restartTimer() {
  timer_.start();
}

// ---------------------------------------------------------------- prompts

std::optional<PromptButton> TcomPort::ask(PromptIcon icon, const std::string& text,
                                          PromptButtons buttons) {
  const PortState state = state_;
  const TaskCode task = task_;
  const PromptButton answer = gate_.show(icon, text, buttons);
  if (state_ != state || task_ != task) return std::nullopt;
  return answer;
}

// ---------------------------------------------------------------- tasks

void TcomPort::StartTask(TaskCode code, const std::string& text, const TpollArray& list) {
  // After the adapter was pulled, a task that talks to the radio opens the
  // port again first: plugged back in, it works without a restart. A port
  // that was never open is left to the COM port dialog, as before.
  const bool talks = code != tkLocalOnly && code != tkUpdatePollList;
  if (!serial_.Active() && (!talks || !lineGone_ || !reopen())) return;
  // The reads and the send take a list of their own and reach the radio
  // through the connect state that suits the last known line settings.
  const int nextCode = dialog_.nextCode();
  const PortState connect = nextCode == 16   ? psConfig16at
                            : nextCode == 32 ? psConfig32
                                             : psConfigManual;
  // The reads identify the radio that answers: a link left up must be
  // gone before that.
  auto connectWith = [&] {
    setCurrentList(std::make_shared<TradioNumber>(list));
    enter(connect);
    if (code != tkSendValues) release_ = Release::Pending;
  };
  switch (code) {
    case tkLocalOnly:
      // The local radio goes back to itself, as the monitor returns to it
      // between radios: left dialled, the next read would get the remote.
      hangUp();
      goIdle();
      // A stopped send's lines are dropped: left queued, they would go out
      // ahead of the next send, to whatever radio that is.
      flushQueue();
      break;
    case tkGetLocal:
      // A send in progress keeps the link, its task and its title.
      if (state_ == psSendQueue) return;
      connectWith();
      break;
    case tkAutoConfigure:
      setCurrentList(std::make_shared<TradioNumber>(list));
      dialog_.setNextCode(0);
      enter(psConfig16at);
      release_ = Release::Done;
      break;
    case tkMonitor:
      monitor_ = std::make_shared<TradioNumber>(list);
      current_ = monitor_;
      enter(connect);
      release_ = Release::Pending;
      break;
    case tkGetRemote:
      if (state_ == psSendQueue || task_ == tkMonitor) return;
      connectWith();
      break;
    case tkSendValues:
      // A second send while sending only takes over the title; the queue
      // keeps its lines.
      if (state_ != psSendQueue) connectWith();
      break;
    case tkEmulate:
      hangUp();
      closingAnswerDue_ = false;  // what comes now are a client's commands
      release_ = Release::Done;
      enter(psEmulate);
      setCurrentList(std::make_shared<TradioNumber>(list));
      emulator_.forgetRadio();
      break;
    case tkUpdatePollList:
      monitor_ = std::make_shared<TradioNumber>(list);
      current_ = monitor_;
      return;
    default:
      return;  // not a task
  }
  setTask(code);
  taskText_ = text;
  timer_.stop();
  tries_ = 0;
  timer_.setInterval(kTaskInterval);
  // The answer to the hang-up that ended the last task is still to come:
  // the task's first command waits for it (or for a tick), or that answer
  // would pass for the first command's.
  if (closingAnswerDue_)
    restartTimer();
  else
    msgTimerTimer();
}

bool TcomPort::busy() const {
  if (gate_.isOpen() || queue_.Count() > 0) return true;
  if (state_ == psIdle || state_ == psError) return false;
  return task_ != tkMonitor && task_ != tkLocalOnly;
}

LinkTasks::SendStart TcomPort::StartSend(const std::string& title, const TpollArray& list,
                                         const std::vector<std::string>& lines) {
  if (!serial_.Active()) return SendStart::PortClosed;
  if (busy()) return SendStart::Busy;
  // The first line may go out inside StartTask, so the queue is filled first.
  for (const std::string& line : lines) queue_.Push(line);
  StartTask(tkSendValues, title, list);
  if (task_ != tkSendValues) {
    queue_.Clear();
    return SendStart::Busy;
  }
  return SendStart::Started;
}

void TcomPort::goIdle() {
  release_ = Release::Done;
  setTask(tkLocalOnly);
  enter(psIdle);
  current_.reset();
  monitor_.reset();
}

void TcomPort::returnToMonitoring() {
  setTask(tkMonitor);
  enter(psConfigManual);
  current_ = monitor_;
}

bool TcomPort::returnToMonitoringOrIdle() {
  if (monitor_) {
    returnToMonitoring();
    return true;
  }
  goIdle();
  return false;
}

void TcomPort::flushQueue() {
  queue_.Clear();
  tries_ = 0;
}

// ---------------------------------------------------------------- sending

bool TcomPort::Send(bool now, int tries, const std::string& line) {
  lastSent_ = line.substr(0, kMaxLineLength);
  reporter_.lineSubmitted(line);
  if (contains(line, "&&&")) {
    enter(psEmulate);
    refreshStatus();
    return false;
  }
  tries_ = tries + 1;
  if (!now) {
    queue_.Push(line);
    return false;
  }
  noteLink(line);
  answerAwaited_ = true;
  reporter_.lineSent(line);
  // While the engine plays the radios it frames as a modem does: CR LF.
  serial_.WriteString(line + (state_ == psEmulate ? "\r\n" : "\r"));
  return contains(line, "AT&R");
}

void TcomPort::sendClosing(const std::string& line) {
  Send(true, 0, line);
  closingAnswerDue_ = true;
}

void TcomPort::dial(int tries) {
  // The replies of the radio dialled are written to the project as one.
  window_.beginReplies();
  reporter_.dialling(current_->CurrentNumber());
  Send(true, tries, "ATD" + current_->CurrentText());
}

// Keeps track of whether a link to another radio may be up: a dial (the
// monitor's, or a queued line of a send) makes one; a hang-up, a bare "ATD"
// (a model 2's way back on line) or a reset ends it.
void TcomPort::noteLink(const std::string& line) {
  if (state_ == psEmulate) return;  // the replies of the radios played
  std::string command = upperCase(line);
  while (!command.empty() && (command.back() == '\r' || command.back() == '\n')) command.pop_back();
  if (command == "ATH" || command == "ATD" || contains(command, "AT&R"))
    dialled_ = false;
  else if (command.rfind("ATD", 0) == 0)
    dialled_ = true;
}

// Dialling the local radio brings the link back to it and keeps it in
// command mode, as the monitor does between radios; the next connect is then
// answered at once. Without a known local radio the link is hung up.
void TcomPort::hangUp() {
  if (dialled_ && serial_.Active()) {
    int local = -1;
    for (const auto& list : {monitor_, current_}) {
      if (local < 0 && list && list->Seek([this](int r) { return window_.isLocal(r); }))
        local = list->CurrentNumber();
    }
    sendClosing(local >= 0 ? "ATD" + std::to_string(local) : std::string("ATH"));
  }
  dialled_ = false;
}

// One step of clearing a link an earlier run left up (a program killed
// while dialled cannot hang up). A lone "ATH" before identifying would not
// do: with no link it takes the radio out of command mode, so "+++" always
// follows it. True while the step took the reply.
bool TcomPort::releaseStep(ReplyClass rc) {
  if (rc != rcOK && rc != rcError) return false;
  switch (release_) {
    case Release::Done:
      return false;
    case Release::Pending:
      release_ = Release::HangingUp;
      Send(true, 0, "ATH");
      return true;
    case Release::HangingUp:
      release_ = Release::Escaping;
      Send(true, 0, "+++");
      return true;
    case Release::Escaping:
      release_ = Release::Done;
      return false;
  }
  return false;
}

// ---------------------------------------------------------------- timer

void TcomPort::msgTimerTimer() {
  if (gate_.hold(PromptGate::Event::Tick)) return;
  timer_.stop();
  ++tickCount_;
  closingAnswerDue_ = false;  // a tick's time is long enough for any answer
  if (dialog_.portListWanted()) {
    dialog_.rebuildPortList();
    return;
  }
  if (lineGone_ && !serial_.Active()) {
    // Told once already; retrying a vanished device would only repeat it.
    refreshStatus();
    return;
  }
  if (serial_.Active()) {
    dialog_.updateControls();
    prevState_ = state_;
    refreshStatus();
    timerAction();
    restartTimer();
  } else {
    portUnavailable();
  }
  refreshStatus();
}

void TcomPort::portUnavailable() {
  dialog_.openPort();
  dialog_.updateControls();
  refreshStatus();
  tries_ += 1;
  if (tries_ <= kRetryLimit) {
    restartTimer();
    return;
  }
  // A device that went away mid-task says so, naming itself and the reason.
  const std::string lost = serial_.LineLostText();
  const std::string text = lost.empty()
                               ? kUnableToActivate
                               : "The device went away (" + lost + "). " + kUnableToActivate;
  const auto answer = ask(PromptIcon::Error, text, pbAbort | pbRetry);
  if (!answer) return;
  tries_ = 0;
  if (*answer == pbAbort)
    setTask(tkLocalOnly);
  else
    restartTimer();
}

void TcomPort::lineLost(const std::string& message) {
  timer_.stop();
  lineGone_ = true;
  const TaskCode ended = task_;
  const bool running = ended != tkLocalOnly || state_ != psIdle;
  if (dialog_.searchRunning()) dialog_.cancelSearch();
  flushQueue();
  assembler_.clear();
  dialled_ = false;  // the link went with the line
  goIdle();
  dialog_.updateControls();
  refreshStatus();
  reporter_.lineLost(message);
  if (running) reporter_.taskEnded(ended, TaskOutcome::Failed);
  gate_.show(PromptIcon::Error, message.empty() ? std::string(kUnableToActivate) : message, pbOk);
}

bool TcomPort::reopen() {
  dialog_.openPort();
  refreshStatus();
  if (serial_.Active()) {
    lineGone_ = false;
    return true;
  }
  const std::string why = serial_.LastErrorMessage();
  gate_.show(
      PromptIcon::Error,
      why.empty() ? std::string(kUnableToActivate) : std::string(kUnableToActivate) + "\n\n" + why,
      pbOk);
  return false;
}

void TcomPort::timerAction() {
  stateHandled(false);
  switch (state_) {
    case psError:
      errorUnableToContact();
      break;
    case psIdle:
      break;
    case psConfig16at:
      enter(psConfig16plus);
      dialog_.setNextCode(16);
      dialog_.applyCode(16);
      Send(true, 0, "AT");
      break;
    case psConfig16plus:
      enter(psConfig32);
      dialog_.applyCode(16);
      Send(true, 0, "+++");
      break;
    case psConfig32:
      enter(psConfig0);
      dialog_.applyCode(32);
      Send(true, 0, "+++");
      break;
    case psConfig0:
      enter(task_ == tkAutoConfigure ? psConfigAuto : psError);
      dialog_.setNextCode(0);
      msgTimerTimer();
      break;
    case psConfigAuto:
      dialog_.applyCode(dialog_.nextCode());
      Send(true, 0, "+++");
      break;
    case psConfigManual:
      configManualTick();
      break;
    case psLocalATI:
    case psLocalATIx:
      // A radio that stops answering in the middle of its identification
      // must not hold the engine for ever.
      tries_ += 1;
      if (tries_ > kRetryLimit) enter(psError);
      break;
    case psSentATH:
      enter(psConfig16at);
      dialog_.applyCode(dialog_.nextCode());
      break;
    case psSentATD:
      if (current_) current_->Next();
      break;
    case psAutoDiscover0:
      autoDiscover0Tick();
      break;
    case psAutoDiscoverX:
      autoDiscoverXTick();
      break;
    case psDiscoverSRegs:
      discoverSRegsTick();
      break;
    case psSendQueue:
      sendQueueTick();
      break;
    case psEmulate:
      break;
  }
}

void TcomPort::configManualTick() {
  if (dialog_.selectedBaud() == 19200) {
    enter(psConfig16at);
    msgTimerTimer();
    return;
  }
  Send(true, tries_, "+++");
  if (tries_ > kRetryLimit) enter(psError);
}

void TcomPort::errorUnableToContact() {
  const auto answer = ask(PromptIcon::Error, kUnableToContact, pbAbort | pbRetry);
  if (!answer) return;  // replies meanwhile moved the engine on
  if (*answer == pbAbort) {
    flushQueue();
    cancelTask(current(), task_);
    if (dialog_.searchRunning()) dialog_.cancelSearch();
    goIdle();
  } else {
    enter(psConfig16at);
  }
}

void TcomPort::sendQueueTick() {
  const TaskCode sending = task_;
  if (queue_.Count() == 0) {
    if (returnToMonitoringOrIdle()) window_.radioRenumbered(current(), true);
    reporter_.taskEnded(sending, TaskOutcome::Completed);
    ask(PromptIcon::Information, taskText_ + " complete" + ", radio reset", pbOk);
    return;
  }
  refreshStatus();
  if (tries_ > kRetryLimit) {
    const auto answer = ask(PromptIcon::Error, kTooManyErrors, pbAbort | pbRetry);
    if (!answer) return;
    if (*answer == pbAbort) {
      flushQueue();
      if (returnToMonitoringOrIdle()) window_.radioRenumbered(current(), true);
      reporter_.taskEnded(sending, TaskOutcome::Cancelled);
    } else {
      tries_ = 0;
    }
    return;
  }
  std::string line;
  queue_.Peek(line);
  if (Send(true, tries_, line)) queue_.Pop(line);
}

// ---------------------------------------------------------------- receiving

void TcomPort::Serial1RxData() {
  if (gate_.hold(PromptGate::Event::Received)) return;  // the bytes wait in the port
  timer_.stop();
  char ch;
  std::string line;
  while (serial_.ReadChar(ch) == 1) {
    if (assembler_.feed(ch, state_ == psEmulate, line)) lineComplete(line);
  }
  restartTimer();
}

void TcomPort::lineComplete(const std::string& line) {
  ++tickCount_;
  reporter_.lineReceived(line);
  lineInHand_ = line;
  handleLine(line);
  lineInHand_.clear();
}

// Only the reply an exchange waits for answers it: a radio that keeps
// sending something else (a bare "OK" to a register query, say) must run
// out of tries like a silent one, or it would be asked again for ever.
bool TcomPort::awaitedReply(ReplyClass rc) const {
  switch (state_) {
    case psConfig16at:
    case psConfig16plus:
    case psConfig32:
    case psConfig0:
    case psConfigAuto:
    case psConfigManual:
      return rc == rcOK || rc == rcError;
    case psLocalATI:
      return rc == rcText;
    case psDiscoverSRegs:
      return rc == rcText || rc == rcError;
    default:
      return true;
  }
}

void TcomPort::handleLine(const std::string& line) {
  const ReplyClass rc = classifyReply(line);
  if (closingAnswerDue_ && (rc == rcOK || rc == rcError)) {
    // The answer to the hang-up that ended the last task. A task started
    // meanwhile has waited for it and goes on now.
    closingAnswerDue_ = false;
    if (state_ != psIdle && state_ != psError && state_ != psEmulate) msgTimerTimer();
    return;
  }
  if (awaitedReply(rc)) tries_ = 0;
  stateHandled(true);
  switch (state_) {
    case psError:
    case psIdle:
    case psAutoDiscover0:
      break;
    case psConfig16at:
    case psConfig16plus:
    case psConfig32:
    case psConfig0:
    case psConfigAuto:
    case psConfigManual:
      if (releaseStep(rc)) break;
      if (rc == rcOK || rc == rcError) connected();
      break;
    case psLocalATI:
      if (rc == rcText) {
        reader_.identification(line, task_ == tkMonitor);
        enter(psLocalATIx);
        nextPage();
      }
      break;
    case psLocalATIx:
      localATIxReply(rc, line);
      break;
    case psSentATH:
      if (rc == rcError) {
        Send(true, 0, "ATD");
        enter(psSentATD);
      }
      break;
    case psSentATD:
      sentATDReply(rc);
      break;
    case psAutoDiscoverX:
      autoDiscoverXReply(rc);
      break;
    case psDiscoverSRegs:
      discoverSRegsReply(rc, line);
      break;
    case psSendQueue:
      sendQueueReply(rc);
      break;
    case psEmulate:
      emulator_.reply(rc, upperCase(line), current_.get());
      break;
  }
}

void TcomPort::localATIxReply(ReplyClass rc, const std::string& line) {
  if (rc == rcText) {
    reader_.pageLine(line, task_ == tkMonitor);
  } else if (rc == rcOK) {
    nextPage();
  } else if (rc == rcError) {
    if (task_ == tkMonitor)
      enter(psAutoDiscover0);
    else
      finishRead();  // leaves command mode and releases the main window
  } else if (rc == rcIgnored) {
    enter(psSentATD);
    Send(true, 0, "ATD");
  }
}

void TcomPort::sentATDReply(ReplyClass rc) {
  if (rc == rcOK) {
    Send(true, 0, "ATH");
    enter(prevState_);
  } else if (rc == rcError) {
    Send(true, 0, "ATH");
    if (window_.isMaster(current())) ask(PromptIcon::Warning, kAtdError, pbAbort);
  }
}

void TcomPort::autoDiscoverXReply(ReplyClass rc) {
  if (lateRefusals_ > 0) {
    // Answers come in order: a refusal owed by the last read comes before
    // the dial's answer, and once the dial is answered none is owed.
    if (rc == rcError) {
      --lateRefusals_;
      return;
    }
    lateRefusals_ = 0;
  }
  if (rc == rcOK) {
    enter(psDiscoverSRegs);
  } else if (rc == rcError) {
    Send(true, 0, "ATH");
    const bool master = window_.isMaster(current());
    const TaskCode ended = task_;
    goIdle();
    reporter_.taskEnded(ended, TaskOutcome::Failed);
    if (master) ask(PromptIcon::Warning, kAtdError, pbAbort);
  } else {
    // Out of step with the radios: hang up and find the local radio
    // again; the read that follows returns to monitoring.
    Send(true, 0, "ATH");
    enter(psSentATH);
    setTask(tkAutoConfigure);
  }
}

void TcomPort::sendQueueReply(ReplyClass rc) {
  // A radio's start-up banner after "AT&R" arrives when nothing is left to
  // answer; the next tick completes the send.
  if (queue_.Count() == 0) return;
  if (rc == rcOK) {
    std::string line;
    queue_.Pop(line);
    tries_ = 0;
    if (window_.isLocal(current())) msgTimerTimer();
    return;
  }
  std::string message = "ERROR from radio on sending " + lastSent_;
  if (contains(lastSent_, "s100")) message += std::string(" ") + " Check Radio Model";
  const TaskCode sending = task_;
  flushQueue();
  returnToMonitoringOrIdle();
  reporter_.taskEnded(sending, TaskOutcome::Failed);
  ask(PromptIcon::Error, message, pbAbort);
}

// ---------------------------------------------------------------- reading

void TcomPort::connected() {
  reader_.startPages();
  if (task_ == tkGetRemote) {
    if (window_.isLocal(current())) {
      // The radio asked for is the local one: read it as such.
      window_.beginReplies();
      enter(psLocalATI);
      Send(true, 0, "ATI");
    } else {
      enter(psAutoDiscoverX);
    }
  } else if (task_ == tkSendValues) {
    enter(psSendQueue);
    msgTimerTimer();
  } else {
    window_.beginReplies();
    enter(psLocalATI);
    Send(true, 0, "ATI");
  }
}

void TcomPort::nextPage() {
  std::string page;
  if (reader_.nextPage(page)) {
    Send(true, 0, page);
    return;
  }
  window_.markLocal(current());
  if (reader_.model() == 2) {
    finishRead();
    return;
  }
  // The pages carried the registers below 100; the rest are asked singly.
  reader_.skipPagedRows();
  enter(psDiscoverSRegs);
  msgTimerTimer();
}

void TcomPort::finishRead() {
  const int model = reader_.model();
  const TaskCode ended = task_;
  if (dialog_.searchRunning()) {
    dialog_.cancelSearch();
  } else if (monitor_) {
    // Back to the monitor with the local radio just read and still in
    // command mode, so the dial cycle goes on from here. "ATH" or "ATD"
    // would take the radio off command mode, and its "OK" would then pass
    // for the answer to the connect that returning to monitoring starts.
    // (A model 2 under the monitor ends here: its pages gave every register.)
    if (task_ == tkMonitor) markRead(current(), true);
    returnToMonitoring();
    enter(psAutoDiscover0);
    window_.readDone();
    reporter_.taskEnded(ended, TaskOutcome::Completed);
    return;
  } else {
    goIdle();
  }
  sendClosing(model == 2 ? "ATD" : "ATH");
  window_.readDone();
  reporter_.taskEnded(ended, TaskOutcome::Completed);
}

// ---------------------------------------------------------------- the dialog's requests

void TcomPort::refreshStatus() {
  // Working the texts out asks the main window about the radio being read,
  // so it is done only while there is a status bar to show them.
  if (!reporter_.hasStatusBar()) return;
  reporter_.statusChanged(describeStatus(state_, task_, dialog_.portText(),
                                         current_ ? current_->CurrentText() : std::string(),
                                         [this] { return reader_.rowRegister(); }));
}

void TcomPort::lineSettingsEdited() {
  // A dial answered after a hand-made change reconnects at the new settings.
  prevState_ = psConfigManual;
  refreshStatus();
}

void TcomPort::stopTicks() {
  timer_.stop();
}

bool TcomPort::startSearch(const std::string& title) {
  StartTask(tkAutoConfigure, title, TpollArray{{0, 0}});
  return task_ == tkAutoConfigure;
}

void TcomPort::searchCancelled() {
  setTask(tkLocalOnly);
  enter(psIdle);
}

void TcomPort::dialogHidden() {
  // Only a search belongs to the dialog; a read, a send or a monitor carries
  // on when it is hidden.
  if (state_ != psConfigAuto && task_ != tkAutoConfigure) return;
  if (state_ == psConfigAuto) queue_.Clear();
  enter(psIdle);
}

}  // namespace tessel
