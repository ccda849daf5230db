// The link engine's state machine and its tasks.
//
// What each state does (tick: the timer fired; replies: the received lines
// it acts on, every other line is ignored). Every change of state goes
// through enter(), every change of task through setTask(); the parts named
// below act through the engine's TaskHost side.
//
//   psError          tick: Abort or Retry (connect_)     replies: none
//   psIdle           tick: nothing                       replies: none
//   psConfig16at     tick: 19200 baud, "AT"              replies: connect_.reply()
//   psConfig16plus   tick: 19200 baud, "+++"             replies: as psConfig16at
//   psConfig32       tick: 9600 baud, "+++"              replies: as psConfig16at
//   psConfig0        tick: search or give up (psError)   replies: as psConfig16at
//   psConfigAuto     tick: next searched code, "+++"     replies: as psConfig16at
//   psConfigManual   tick: "+++" at the line as set      replies: as psConfig16at
//   psLocalATI       tick: counts a try                  replies: read_.identification()
//   psLocalATIx      tick: counts a try                  replies: read_.pageReply()
//   psSentATH        tick: back to psConfig16at          replies: ERROR -> "ATD"
//   psSentATD        tick: next radio of the list        replies: sentATDReply()
//   psAutoDiscover0  tick: rounds_.localTick()           replies: none
//   psAutoDiscoverX  tick: rounds_.dialTick()            replies: rounds_.dialReply()
//   psDiscoverSRegs  tick: read_.registerTick()          replies: read_.registerReply()
//   psSendQueue      tick: send_.tick()                  replies: send_.reply()
//   psEmulate        tick: nothing                       replies: the group emulator
//
// Reading on: connect_task.cpp reaches the local radio's command mode (the
// psConfig states and psError), read_task.cpp reads a radio's
// identification, pages and registers, monitor_rounds.cpp dials the radios
// of the monitor's rounds, send_task.cpp works off a send's queue,
// dialled_link.cpp keeps track of a link to another radio and its hang-up,
// emulator.cpp plays the radios, com_port_dialog.cpp holds the line
// settings and the search, link_reporter.cpp tells the listeners.
#include "link/tcom_port.h"

#include "engine_texts.h"
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
const char* const kNoRadioOnAnySetting =
    "Auto Configure: no radio answered on any setting. Unable to Contact Radio, check power and "
    "cables";

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
      assembler_([this] { reporter_.receiveOverflow(kRxBufferLimit); }),
      link_([this](const std::string& line) { Send(true, 0, line); }) {
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

void TcomPort::setCurrentList(std::shared_ptr<TradioNumber> list) {
  current_ = std::move(list);
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

LinkTasks::TaskStart TcomPort::StartTask(TaskCode code, const std::string& text,
                                         const TpollArray& list) {
  // After the adapter was pulled, a task that talks to the radio opens the
  // port again first: plugged back in, it works without a restart. A port
  // that was never open is left to the COM port dialog, as before.
  const bool talks = code != tkLocalOnly && code != tkUpdatePollList;
  if (!serial_.Active() && (!talks || !lineGone_ || !reopen())) return TaskStart::PortClosed;
  // The reads and the send take a list of their own and reach the radio
  // through the connect state that suits the last known line settings.
  const PortState connect = connect_.firstState();
  // The reads identify the radio that answers: a link left up must be
  // gone before that.
  auto connectWith = [&] {
    setCurrentList(std::make_shared<TradioNumber>(list));
    enter(connect);
    if (code != tkSendValues) link_.releaseOnConnect();
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
      if (state_ == psSendQueue) return TaskStart::Busy;
      connectWith();
      break;
    case tkAutoConfigure:
      setCurrentList(std::make_shared<TradioNumber>(list));
      dialog_.setNextCode(0);
      enter(psConfig16at);
      link_.noRelease();
      break;
    case tkMonitor:
      monitor_ = std::make_shared<TradioNumber>(list);
      current_ = monitor_;
      enter(connect);
      link_.releaseOnConnect();
      break;
    case tkGetRemote:
      if (state_ == psSendQueue || task_ == tkMonitor) return TaskStart::Busy;
      connectWith();
      break;
    case tkSendValues:
      // A second send while sending only takes over the title; the queue
      // keeps its lines.
      if (state_ != psSendQueue) connectWith();
      break;
    case tkEmulate:
      hangUp();
      link_.forgetClosing();  // what comes now are a client's commands
      link_.noRelease();
      enter(psEmulate);
      setCurrentList(std::make_shared<TradioNumber>(list));
      emulator_.forgetRadio();
      break;
    case tkUpdatePollList:
      monitor_ = std::make_shared<TradioNumber>(list);
      current_ = monitor_;
      return TaskStart::Started;
    default:
      return TaskStart::Busy;  // not a task: nothing to start
  }
  beginTask(code, text);
  return TaskStart::Started;
}

void TcomPort::beginTask(TaskCode code, const std::string& text) {
  searchExhausted_ = false;
  setTask(code);
  taskText_ = text;
  timer_.stop();
  tries_ = 0;
  timer_.setInterval(kTaskInterval);
  // The answer to the hang-up that ended the last task is still to come:
  // the task's first command waits for it (or for a tick), or that answer
  // would pass for the first command's.
  if (link_.closingAnswerDue())
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
  const TaskStart started = StartTask(tkSendValues, title, list);
  if (started != TaskStart::Started || task_ != tkSendValues) {
    queue_.Clear();
    return started == TaskStart::Started ? SendStart::Busy : started;
  }
  return SendStart::Started;
}

void TcomPort::goIdle() {
  link_.noRelease();
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
  if (state_ != psEmulate) link_.noteSent(line);  // not the replies of the radios played
  answerAwaited_ = true;
  reporter_.lineSent(line);
  // While the engine plays the radios it frames as a modem does: CR LF.
  serial_.WriteString(line + (state_ == psEmulate ? "\r\n" : "\r"));
  return contains(line, "AT&R");
}

void TcomPort::hangUp() {
  link_.hangUp(serial_.Active(), [this] {
    for (const auto& list : {monitor_, current_}) {
      if (list && list->Seek([this](int r) { return window_.isLocal(r); }))
        return list->CurrentNumber();
    }
    return -1;
  });
}

// ---------------------------------------------------------------- timer

void TcomPort::msgTimerTimer() {
  if (gate_.hold(PromptGate::Event::Tick)) return;
  timer_.stop();
  ++tickCount_;
  link_.forgetClosing();  // a tick's time is long enough for any answer
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
  cancelSearch();
  flushQueue();
  assembler_.clear();
  link_.lost();
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
      if (searchExhausted_) {
        // Retrying would only start the same settings over.
        searchExhausted_ = false;
        goIdle();
        ask(PromptIcon::Error, kNoRadioOnAnySetting, pbOk);
      } else {
        connect_.unableToContactTick();
      }
      break;
    case psIdle:
      break;
    case psConfig16at:
    case psConfig16plus:
    case psConfig32:
    case psConfig0:
    case psConfigAuto:
    case psConfigManual:
      connect_.tick(state_);
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
      rounds_.localTick();
      break;
    case psAutoDiscoverX:
      rounds_.dialTick();
      break;
    case psDiscoverSRegs:
      read_.registerTick();
      break;
    case psSendQueue:
      send_.tick();
      break;
    case psEmulate:
      break;
  }
}

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
  if (link_.takeClosingAnswer(rc)) {
    // The answer to the hang-up that ended the last task. A task started
    // meanwhile has waited for it and goes on now.
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
      connect_.reply(rc);
      break;
    case psLocalATI:
      if (rc == rcText) read_.identification(line);
      break;
    case psLocalATIx:
      read_.pageReply(rc, line);
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
      // A late refusal of the register read last is no answer to the dial.
      if (!read_.takeLateRefusal(rc)) rounds_.dialReply(rc);
      break;
    case psDiscoverSRegs:
      read_.registerReply(rc, line);
      break;
    case psSendQueue:
      send_.reply(rc);
      break;
    case psEmulate:
      emulator_.reply(rc, upperCase(line), current_.get());
      break;
  }
}

void TcomPort::sentATDReply(ReplyClass rc) {
  if (rc == rcOK) {
    Send(true, 0, "ATH");
    enter(prevState_);
  } else if (rc == rcError) {
    // The read ends here: left in this state, the hang-up's "OK" would pass
    // for the dial's and the read would start over, and fail, for ever.
    const bool master = window_.isMaster(current());
    const TaskCode ended = task_;
    link_.sendClosing("ATH");
    goIdle();
    window_.readDone();
    reporter_.taskEnded(ended, TaskOutcome::Failed);
    if (master) ask(PromptIcon::Warning, texts::kAtdError, pbAbort);
  }
}

// ---------------------------------------------------------------- the task parts

bool TcomPort::takeAwaitedAnswer() {
  const bool awaited = answerAwaited_;
  answerAwaited_ = false;
  return awaited;
}

void TcomPort::searchFound() {
  const char* parity = serial_.Parity() == paEven  ? "even"
                       : serial_.Parity() == paOdd ? "odd"
                                                   : "no";
  ask(PromptIcon::Information,
      "Auto Configure found the radio at " + std::to_string(serial_.Baudrate()) + " baud, " +
          (serial_.DataBits() == d8bit ? "8" : "7") + " data bits, " + parity + " parity, " +
          (serial_.StopBits() == st2bit ? "2 stop bits." : "1 stop bit."),
      pbOk);
}

void TcomPort::tickAtPollInterval() {
  timer_.setInterval(pollInterval());
}

bool TcomPort::cancelSearch() {
  if (!dialog_.searchRunning()) return false;
  dialog_.cancelSearch();
  return true;
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
  // A search would cut a read, a send or a monitor short without a word.
  if (serial_.Active() && (busy() || task_ == tkMonitor)) {
    gate_.show(PromptIcon::Warning,
               "The link is busy with another task: Auto Configure did not start.", pbOk);
    return false;
  }
  return StartTask(tkAutoConfigure, title, TpollArray{{0, 0}}) == TaskStart::Started &&
         task_ == tkAutoConfigure;
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
