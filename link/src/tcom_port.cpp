// The link engine: its tasks, the port's life and the sending of lines.
//
// What each state does on a tick, on an answer and on a refusal is the
// state table (engine_steps.cpp), where the ticks and received lines are
// handled too. Every change of state goes through apply(), every change of
// task through setTask(); the parts named below return the state to go to.
//
// Reading on: connect_task.cpp reaches the local radio's command mode (the
// psConfig states and psError), read_task.cpp reads a radio's
// identification, pages and registers, monitor_rounds.cpp dials the radios
// of the monitor's rounds, send_task.cpp works off a send's queue,
// owed_exchanges.cpp matches every received line to the command it
// answers, dialled_link.cpp keeps track of a link to another radio,
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
      assembler_([this] { reporter_.receiveOverflow(kRxBufferLimit); },
                 [this] {
                   if (state_ != psEmulate) owed_.blankLine();
                 }),
      link_([this](const std::string& line) { transmit(true, 0, line, true); },
            [this](const std::string& line) { transmit(true, 0, line, false); }) {
  queue_.setOnChange([this] { reporter_.queueLengthChanged(queue_.Count()); });
  timer_.stop();
  timer_.setHandler([this] { msgTimerTimer(); });
  serial_.setOnRxData([this] { Serial1RxData(); });
  serial_.setOnLineLost([this](const std::string& message) { lineLost(message); });
  dialog_.initialise();
  apply(to(psIdle));
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
  flushDeferred();  // what the handler sent goes out before the box
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
    apply(to(connect));
    if (code != tkSendValues) link_.releaseOnConnect();
  };
  switch (code) {
    case tkLocalOnly:
      stopTasks();
      break;
    case tkGetLocal:
      // A send in progress keeps the link, its task and its title.
      if (state_ == psSendQueue) return TaskStart::Busy;
      connectWith();
      break;
    case tkAutoConfigure:
      startSearching(list);
      break;
    case tkMonitor:
      startMonitoring(list, connect);
      break;
    case tkGetRemote:
      if (state_ == psSendQueue || task_ == tkMonitor) return TaskStart::Busy;
      connectWith();
      break;
    case tkSendValues:
      // A second send while sending only takes over the title; the queue
      // keeps its lines. A link the monitor left up goes back to the local
      // radio first: a send to the local radio would reach the one dialled.
      // A link whose hang-up went unanswered is cleared as a read clears it.
      if (state_ != psSendQueue) {
        hangUp();
        connectWith();
        link_.releaseUnlessLocal();
      }
      break;
    case tkEmulate:
      startEmulating(list);
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

void TcomPort::stopTasks() {
  // The local radio goes back to itself, as the monitor returns to it
  // between radios: left dialled, the next read would get the remote.
  hangUp();
  goIdle();
  // A stopped send's lines are dropped: left queued, they would go out
  // ahead of the next send, to whatever radio that is.
  flushQueue();
}

void TcomPort::startSearching(const TpollArray& list) {
  setCurrentList(std::make_shared<TradioNumber>(list));
  dialog_.setNextCode(0);
  apply(to(psConfig16at));
  link_.releaseUnlessLocal();
}

void TcomPort::startMonitoring(const TpollArray& list, PortState connect) {
  monitor_ = std::make_shared<TradioNumber>(list);
  current_ = monitor_;
  apply(to(connect));
  link_.releaseOnConnect();
}

void TcomPort::startEmulating(const TpollArray& list) {
  hangUp();
  owed_.clear();  // what comes now are a client's commands
  link_.noRelease();
  apply(to(psEmulate));
  setCurrentList(std::make_shared<TradioNumber>(list));
  emulator_.forgetRadio();
}

void TcomPort::beginTask(TaskCode code, const std::string& text) {
  searchExhausted_ = false;
  link_.taskOver();
  setTask(code);
  taskText_ = text;
  timer_.stop();
  tries_ = 0;
  timer_.setInterval(kTaskInterval);
  // Answers still owed to what ran before (the hang-up that ended the last
  // task, a poll the send interrupts) are no one's now. The task's first
  // command waits for them (or for a tick), or they would pass for its own.
  owed_.orphan();
  goOnDue_ = owed_.ownerlessOwed();
  if (goOnDue_)
    restartTimer();
  else if (!gate_.hold(PromptGate::Event::Tick))  // inside a box: once it closes
    step(false);
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

// Every task ends with the link on the local radio: a radio left dialled
// would take the next task's lines meant for the local one.
void TcomPort::goIdle() {
  hangUp();
  link_.taskOver();
  link_.noRelease();
  setTask(tkLocalOnly);
  apply(to(psIdle));
  current_.reset();
  monitor_.reset();
}

void TcomPort::returnToMonitoring() {
  // The monitor starts again from the local radio's pages, with the link
  // cleared first when it is not known to be on it.
  hangUp();
  link_.taskOver();
  link_.releaseUnlessLocal();
  setTask(tkMonitor);
  apply(to(psConfigManual));
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
  return transmit(now, tries, line, false);
}

bool TcomPort::transmit(bool now, int tries, const std::string& line, bool deliver,
                        const OwedExchanges::ValueFits& fits) {
  lastSent_ = line.substr(0, kMaxLineLength);
  reporter_.lineSubmitted(line);
  if (contains(line, "&&&")) {
    apply(to(psEmulate));
    refreshStatus();
    return false;
  }
  tries_ = tries + 1;
  if (!now) {
    queue_.Push(line);
    return false;
  }
  // While the engine plays the radios it frames as a modem does: CR LF;
  // and its replies answer a client, they are owed nothing.
  if (state_ == psEmulate) {
    reporter_.lineSent(line);
    serial_.WriteString(line + "\r\n");
    return contains(line, "AT&R");
  }
  link_.submitted(line);
  // A send's lines are all its radio's but the dials; elsewhere the
  // connect's "AT" and "+++" and the link's own commands go wherever the
  // link is.
  const bool forARadio = deliver && (state_ == psSendQueue ? !DialledLink::dialLine(line)
                                                           : !DialledLink::linkLine(line));
  Outgoing out{line, deliver, tries > 0, fits, forARadio};
  // A line an answer asked for goes out once every line received with that
  // answer was matched: a doubled answer is then dropped, not taken for it.
  if (inBatch_)
    deferred_.push_back(std::move(out));
  else
    write(out);
  return contains(line, "AT&R");
}

void TcomPort::write(const Outgoing& out) {
  // Checked as it goes: a "NO CARRIER" received in the same batch may have
  // cut the link since the line was handed over.
  if (out.forARadio && !link_.mayAddress()) {
    reporter_.lineWithheld(out.line);
    return;
  }
  reporter_.lineSent(out.line);
  link_.written(out.line);
  owed_.sent(out.line, out.deliver, out.resend, out.fits);
  serial_.WriteString(out.line + "\r");
}

void TcomPort::flushDeferred() {
  inBatch_ = false;
  std::vector<Outgoing> lines;
  lines.swap(deferred_);
  for (const Outgoing& out : lines) write(out);
}

void TcomPort::hangUp() {
  link_.hangUp(serial_.Active());
}

void TcomPort::localRadioTold(int radio) {
  // Pages come from the radio the link is on: only with the link on the
  // local radio do they tell its ID.
  if (link_.on() == LinkOn::Local) link_.setLocalRadio(radio);
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
  if (*answer == pbAbort) {
    // The user gave the task up: it ends, cancelled, with the box's text.
    const TaskCode ended = task_;
    setTask(tkLocalOnly);
    if (ended != tkLocalOnly)
      reporter_.taskEnded(ended, Outcome{TaskEnd::Cancelled, text, -1, {}, true});
  } else {
    restartTimer();
  }
}

void TcomPort::lineLost(const std::string& message) {
  timer_.stop();
  lineGone_ = true;
  const TaskCode ended = task_;
  const bool running = ended != tkLocalOnly || state_ != psIdle;
  cancelSearch();
  flushQueue();
  assembler_.clear();
  owed_.clear();
  link_.lost();
  goIdle();
  dialog_.updateControls();
  refreshStatus();
  reporter_.lineLost(message);
  const std::string told = message.empty() ? std::string(kUnableToActivate) : message;
  if (running) reporter_.taskEnded(ended, Outcome{TaskEnd::LineLost, told, -1, {}, true});
  gate_.show(PromptIcon::Error, told, pbOk);
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

// ---------------------------------------------------------------- the task parts

Next TcomPort::errorTick() {
  if (!searchExhausted_) return connect_.unableToContactTick();
  // Retrying would only start the same settings over.
  searchExhausted_ = false;
  goIdle();
  ask(PromptIcon::Error, kNoRadioOnAnySetting, pbOk);
  return stay();
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
  // A send's lines to the local radio go at once whatever the pacing.
  const bool atOnce = task_ == tkSendValues && (fastPolls() || window_.isLocal(current()));
  reporter_.statusChanged(describeStatus(
      state_, task_, dialog_.portText(), current_ ? current_->CurrentText() : std::string(),
      [this] { return reader_.rowRegister(); }, atOnce));
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
  apply(to(psIdle));
}

void TcomPort::dialogHidden() {
  // Only a search belongs to the dialog; a read, a send or a monitor carries
  // on when it is hidden.
  if (state_ != psConfigAuto && task_ != tkAutoConfigure) return;
  if (state_ == psConfigAuto) queue_.Clear();
  apply(to(psIdle));
}

}  // namespace tessel
