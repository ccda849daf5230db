#include "link/tcom_port.h"

#include "link/log_writer.h"
#include "link/port_settings.h"
#include "link/status_bar.h"
#include "link/terminal_sink.h"
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

const char* const kStateNames[] = {
    "psError",     "psIdle",       "psConfig16at",    "psConfig16plus",  "psConfig32",
    "psConfig0",   "psConfigAuto", "psConfigManual",  "psLocalATI",      "psLocalATIx",
    "psSentATH",   "psSentATD",    "psAutoDiscover0", "psAutoDiscoverX", "psDiscoverSRegs",
    "psSendQueue", "psEmulate"};

const char* const kUnableToActivate = "Unable to activate COM port, is it available?";
const char* const kUnableToContact = "Unable to Contact Radio, check power and cables";
const char* const kTooManyErrors =
    "Too many errors in sending to radio, try increasing poll interval";
const char* const kAtdError =
    "Error response from ATD command. Please check that this radio is a master";

}  // namespace

const char* stateName(PortState state) {
  return state <= psEmulate ? kStateNames[state] : "psUnknown";
}

ReplyClass classifyReply(const std::string& line) {
  const std::string u = upperCase(line);
  if (contains(u, "OK")) return rcOK;
  if (contains(u, "ERROR")) return rcError;
  if (contains(u, "IGNORED")) return rcIgnored;
  if (u == "ATI") return rcATI;
  if (contains(u, "ATI1")) return rcATI1;
  if (contains(u, "ATI2")) return rcATI2;
  if (contains(u, "ATI3")) return rcATI3;
  if (contains(u, "ATI")) return rcATIx;
  if (u == "ATD") return rcATD;
  if (contains(u, "ATD")) return rcATDn;
  if (contains(u, "AT&W")) return rcATW;
  if (contains(u, "AT&R")) return rcATR;
  if (u == "AT") return rcAT;
  if (contains(u, "+++")) return rcEscape;
  if (contains(u, "ATS") && contains(u, "?")) return rcSQuery;
  if (contains(u, "ATS") && contains(u, "=")) return rcSSet;
  return rcText;
}

TcomPort::TcomPort(SerialLink& serial, TickTimer& timer, Prompts& prompts, SettingsStore& settings,
                   ComPortView& view, TerminalSink* terminal, LogWriter* log)
    : serial_(serial),
      timer_(timer),
      prompts_(prompts),
      settings_(settings),
      view_(view),
      terminal_(terminal),
      log_(log) {
  queue_.setOnChange([this] {
    if (statusBar_) statusBar_->repaint();
  });
  timer_.stop();
  timer_.setHandler([this] { msgTimerTimer(); });
  serial_.setOnRxData([this] { Serial1RxData(); });

  // The dialog's initial selection reaches the port before the stored
  // settings are read over it.
  view_.setAutoConfigureCaption(kAutoConfigureCaption);
  view_.setBaudRateIndex(6);
  baudRateChange();
  view_.setParityIndex(2);
  parityClick();
  view_.setDataBitsIndex(1);
  dataBitsClick();
  view_.setStopBitsIndex(0);
  stopBitsClick();
  loadSettings();

  state_ = psIdle;
  AppliedCode = -1;
  crFlag_ = lfFlag_ = false;
  timer_.setInterval(kTaskInterval);
  timer_.start();
}

TcomPort::~TcomPort() {
  try {
    timer_.stop();
    timer_.setHandler(nullptr);
    serial_.setOnRxData(nullptr);
    SaveSettings();
  } catch (...) {
    // Settings are best effort at program end.
  }
}

void TcomPort::AttachMainWindow(StatusBar* statusBar, MainWindowCallbacks* callbacks) {
  statusBar_ = statusBar;
  callbacks_ = callbacks;
  refreshStatus();
}

bool TcomPort::radioQuery(int radio, int code, bool argument) {
  return callbacks_ ? callbacks_->RadioQuery(radio, code, argument) : false;
}

std::string TcomPort::registerValue(int radio, int param) {
  return callbacks_ ? callbacks_->RegisterValue(radio, param, false) : std::string("No Radio");
}

int TcomPort::current() const {
  return current_ ? current_->CurrentNumber() : -1;
}

int TcomPort::pollInterval() const {
  return PollInterval > 0 ? PollInterval : 1000;
}

void TcomPort::setCurrentList(std::shared_ptr<TradioNumber> list) {
  current_ = std::move(list);
}

void TcomPort::setLogging(bool on) {
  bool starting = on && !logOn_;
  logOn_ = on;
  if (starting) logLine(LogWriter::kInfo, LogHeader);
}

void TcomPort::logLine(char kind, const std::string& text) {
  if (logOn_ && log_) log_->write(kind, TickCount, text);
}

void TcomPort::logState(bool reply) {
  // Reply handling of psConfigManual has always been logged under the name
  // of the auto-configuration state; log readers know it that way.
  const char* name = reply && state_ == psConfigManual ? "psConfigAuto" : stateName(state_);
  logLine(LogWriter::kInfo, std::string("> State:") + name + ", " + lineInHand_ + rxBuffer_);
}

void TcomPort::restartTimer() {
  timer_.start();
}

// ---------------------------------------------------------------- tasks

void TcomPort::StartTask(int code, const std::string& text, const TpollArray& list) {
  if (!serial_.Active()) return;
  // The reads and the send take a list of their own and reach the radio
  // through the connect state that suits the last known line settings.
  const PortState connect = NextCode == 16   ? psConfig16at
                            : NextCode == 32 ? psConfig32
                                             : psConfigManual;
  auto connectWith = [&] {
    setCurrentList(std::make_shared<TradioNumber>(list));
    state_ = connect;
  };
  switch (code) {
    case tkLocalOnly:
      goIdle();
      break;
    case tkGetLocal:
      // A send in progress keeps the link, its task and its title.
      if (state_ == psSendQueue) return;
      connectWith();
      break;
    case tkAutoConfigure:
      setCurrentList(std::make_shared<TradioNumber>(list));
      NextCode = 0;
      state_ = psConfig16at;
      break;
    case tkMonitor:
      monitor_ = std::make_shared<TradioNumber>(list);
      current_ = monitor_;
      state_ = connect;
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
      state_ = psEmulate;
      setCurrentList(std::make_shared<TradioNumber>(list));
      EmulatedRadio = -1;
      break;
    case tkUpdatePollList:
      monitor_ = std::make_shared<TradioNumber>(list);
      current_ = monitor_;
      return;
    default:
      return;  // not a task
  }
  task_ = code;
  taskText_ = text;
  timer_.stop();
  queue_.TryCount = 0;
  timer_.setInterval(kTaskInterval);
  msgTimerTimer();
}

void TcomPort::goIdle() {
  task_ = tkLocalOnly;
  state_ = psIdle;
  current_.reset();
  monitor_.reset();
}

void TcomPort::returnToMonitoring() {
  task_ = tkMonitor;
  state_ = psConfigManual;
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

bool TcomPort::autoConfigureRunning() const {
  return contains(view_.autoConfigureCaption(), "Cancel");
}

void TcomPort::cancelAutoConfigure() {
  task_ = tkLocalOnly;
  state_ = psIdle;
  view_.setAutoConfigureCaption(kAutoConfigureCaption);
  for (ComPortControl c : {cpPortNumber, cpBaudRate, cpParity, cpDataBits, cpStopBits})
    view_.setEnabled(c, true);
  updateControls();
}

// ---------------------------------------------------------------- sending

bool TcomPort::Send(bool now, int tries, const std::string& line) {
  lastSent_ = line.substr(0, kMaxLineLength);
  logLine(LogWriter::kProtocol, "Send(): " + line);
  if (contains(line, "&&&")) {
    state_ = psEmulate;
    refreshStatus();
    return false;
  }
  queue_.TryCount = tries + 1;
  if (!now) {
    queue_.Push(line);
    return false;
  }
  if (terminal_) terminal_->addLine(" < " + line);
  // While the engine plays the radios it frames as a modem does: CR LF.
  serial_.WriteString(line + (state_ == psEmulate ? "\r\n" : "\r"));
  return contains(line, "AT&R");
}

// ---------------------------------------------------------------- timer

void TcomPort::msgTimerTimer() {
  timer_.stop();
  ++TickCount;
  if (view_.portNumberText() == "0") {
    rebuildPortList();
    return;
  }
  if (serial_.Active()) {
    updateControls();
    PrevState = state_;
    refreshStatus();
    timerAction();
    restartTimer();
  } else {
    openPort();
    updateControls();
    refreshStatus();
    queue_.TryCount += 1;
    if (queue_.TryCount > kRetryLimit) {
      PortState s = state_;
      int t = task_;
      PromptButton b = prompts_.show(PromptIcon::Error, kUnableToActivate, pbAbort | pbRetry);
      if (state_ == s && task_ == t) {
        queue_.TryCount = 0;
        if (b == pbAbort)
          task_ = tkLocalOnly;
        else
          restartTimer();
      }
    } else {
      restartTimer();
    }
  }
  refreshStatus();
}

void TcomPort::timerAction() {
  logState(false);
  switch (state_) {
    case psError:
      errorUnableToContact();
      break;
    case psIdle:
      break;
    case psConfig16at:
      state_ = psConfig16plus;
      NextCode = 16;
      applyCode(16);
      Send(true, 0, "AT");
      break;
    case psConfig16plus:
      state_ = psConfig32;
      applyCode(16);
      Send(true, 0, "+++");
      break;
    case psConfig32:
      state_ = psConfig0;
      applyCode(32);
      Send(true, 0, "+++");
      break;
    case psConfig0:
      state_ = task_ == tkAutoConfigure ? psConfigAuto : psError;
      NextCode = 0;
      msgTimerTimer();
      break;
    case psConfigAuto:
      applyCode(NextCode);
      Send(true, 0, "+++");
      break;
    case psConfigManual:
      if (!contains(view_.baudRateText(), "19200")) {
        Send(true, queue_.TryCount, "+++");
        if (queue_.TryCount > kRetryLimit) state_ = psError;
      } else {
        state_ = psConfig16at;
        msgTimerTimer();
      }
      break;
    case psLocalATI:
    case psLocalATIx:
      // A radio that stops answering in the middle of its identification
      // must not hold the engine for ever.
      queue_.TryCount += 1;
      if (queue_.TryCount > kRetryLimit) state_ = psError;
      break;
    case psSentATH:
      state_ = psConfig16at;
      applyCode(NextCode);
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

void TcomPort::errorUnableToContact() {
  PortState s = state_;
  int t = task_;
  PromptButton b = prompts_.show(PromptIcon::Error, kUnableToContact, pbAbort | pbRetry);
  if (state_ != s || task_ != t) return;  // replies meanwhile moved the engine on
  if (b == pbAbort) {
    queue_.Flush("AT&R");
    radioQuery(current(), qcCancel, true);
    if (autoConfigureRunning()) cancelAutoConfigure();
    goIdle();
  } else {
    state_ = psConfig16at;
  }
}

void TcomPort::sendQueueTick() {
  if (queue_.Count() == 0) {
    if (returnToMonitoringOrIdle()) radioQuery(current(), qcRenumbered, true);
    prompts_.show(PromptIcon::Information, taskText_ + " complete" + ", radio reset", pbOk);
    return;
  }
  refreshStatus();
  if (queue_.TryCount > kRetryLimit) {
    PortState s = state_;
    int t = task_;
    PromptButton b = prompts_.show(PromptIcon::Error, kTooManyErrors, pbAbort | pbRetry);
    if (state_ != s || task_ != t) return;
    if (b == pbAbort) {
      queue_.Flush("AT&R");
      if (returnToMonitoringOrIdle()) radioQuery(current(), qcRenumbered, true);
    } else {
      queue_.TryCount = 0;
    }
    return;
  }
  std::string line;
  queue_.Peek(line);
  if (Send(true, queue_.TryCount, line)) queue_.Pop(line);
}

// ---------------------------------------------------------------- receiving

void TcomPort::appendReceived(char ch) {
  rxBuffer_ += ch;
  if (rxBuffer_.size() > kRxBufferLimit) {
    rxBuffer_.erase(0, rxBuffer_.size() - kRxBufferLimit);
    if (!overflowLogged_)
      logLine(LogWriter::kError, "Receive buffer over " + std::to_string(kRxBufferLimit) +
                                     " characters without a line end, oldest dropped");
    overflowLogged_ = true;
  }
}

void TcomPort::completeLine(const std::string& line) {
  rxBuffer_.clear();
  crFlag_ = lfFlag_ = false;
  overflowLogged_ = false;
  ++TickCount;
  if (terminal_) terminal_->addLine(" > " + line);
  lineInHand_ = line;
  handleLine(line);
  lineInHand_.clear();
}

void TcomPort::Serial1RxData() {
  timer_.stop();
  char ch;
  while (serial_.ReadChar(ch) == 1) {
    if (state_ == psEmulate)
      commandChar(ch);
    else
      replyChar(ch);
  }
  restartTimer();
}

// A radio's reply is a line only once both a CR and an LF have come.
void TcomPort::replyChar(char ch) {
  if (ch == '\r')
    crFlag_ = true;
  else if (ch == '\n')
    lfFlag_ = true;
  else
    crFlag_ = lfFlag_ = false;
  appendReceived(ch);
  if (!crFlag_ || !lfFlag_) return;
  // Only the line ends actually there are removed, a stray one before the
  // text included; a buffer of nothing but line ends is a blank line and no
  // reply (the flags stay set).
  const size_t end = rxBuffer_.find_last_not_of("\r\n");
  if (end == std::string::npos) {
    rxBuffer_.clear();
    return;
  }
  const size_t begin = rxBuffer_.find_first_not_of("\r\n");
  completeLine(rxBuffer_.substr(begin, end + 1 - begin));
}

// While playing the radios the engine frames as a modem does: a command
// line ends at CR (or a lone LF), and the LF of a CR LF pair is no line.
void TcomPort::commandChar(char ch) {
  const bool afterCr = crFlag_;
  crFlag_ = ch == '\r';
  if (ch != '\r' && ch != '\n') {
    appendReceived(ch);
    return;
  }
  if ((ch == '\n' && afterCr) || rxBuffer_.empty()) return;
  completeLine(std::string(rxBuffer_));  // a copy: completeLine empties the buffer
  crFlag_ = ch == '\r';
}

void TcomPort::handleLine(const std::string& line) {
  queue_.TryCount = 0;
  const ReplyClass rc = classifyReply(line);
  logState(true);
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
      if (rc == rcOK || rc == rcError) connected();
      break;
    case psLocalATI:
      if (rc == rcText) {
        identification(line);
        state_ = psLocalATIx;
        nextPage();
      }
      break;
    case psLocalATIx:
      if (rc == rcText) {
        identificationPageLine(line);
      } else if (rc == rcOK) {
        nextPage();
      } else if (rc == rcError) {
        if (task_ == tkMonitor)
          state_ = psAutoDiscover0;
        else
          finishRead();  // leaves command mode and releases the main window
      } else if (rc == rcIgnored) {
        state_ = psSentATD;
        Send(true, 0, "ATD");
      }
      break;
    case psSentATH:
      if (rc == rcError) {
        Send(true, 0, "ATD");
        state_ = psSentATD;
      }
      break;
    case psSentATD:
      if (rc == rcOK) {
        Send(true, 0, "ATH");
        state_ = PrevState;
      } else if (rc == rcError) {
        Send(true, 0, "ATH");
        if (radioQuery(current(), qcIsMaster, false))
          prompts_.show(PromptIcon::Warning, kAtdError, pbAbort);
      }
      break;
    case psAutoDiscoverX:
      if (rc == rcOK) {
        state_ = psDiscoverSRegs;
      } else if (rc == rcError) {
        Send(true, 0, "ATH");
        bool master = radioQuery(current(), qcIsMaster, false);
        goIdle();
        if (master) prompts_.show(PromptIcon::Warning, kAtdError, pbAbort);
      } else {
        // Out of step with the radios: hang up and find the local radio
        // again; the read that follows returns to monitoring.
        Send(true, 0, "ATH");
        state_ = psSentATH;
        task_ = tkAutoConfigure;
      }
      break;
    case psDiscoverSRegs:
      discoverSRegsReply(rc, line);
      break;
    case psSendQueue:
      sendQueueReply(rc);
      break;
    case psEmulate:
      emulateReply(rc, upperCase(line));
      break;
  }
}

void TcomPort::sendQueueReply(ReplyClass rc) {
  // A radio's start-up banner after "AT&R" arrives when nothing is left to
  // answer; the next tick completes the send.
  if (queue_.Count() == 0) return;
  if (rc == rcOK) {
    std::string line;
    queue_.Pop(line);
    queue_.TryCount = 0;
    if (radioQuery(current(), qcIsLocal, false)) msgTimerTimer();
    return;
  }
  std::string message = "ERROR from radio on sending " + lastSent_;
  if (contains(lastSent_, "s100")) message += std::string(" ") + " Check Radio Model";
  queue_.Flush("AT&R");
  returnToMonitoringOrIdle();
  prompts_.show(PromptIcon::Error, message, pbAbort);
}

// ---------------------------------------------------------------- reading

void TcomPort::connected() {
  AtiIndex = 1;
  if (task_ == tkGetRemote) {
    if (radioQuery(current(), qcIsLocal, false)) {
      // The radio asked for is the local one: read it as such.
      state_ = psLocalATI;
      Send(true, 0, "ATI");
    } else {
      state_ = psAutoDiscoverX;
    }
  } else if (task_ == tkSendValues) {
    state_ = psSendQueue;
    msgTimerTimer();
  } else {
    state_ = psLocalATI;
    Send(true, 0, "ATI");
  }
}

void TcomPort::identification(const std::string& line) {
  int model = contains(line, "1.14") ? 2 : 0;
  if (callbacks_) callbacks_->ApplyReply(-1, model == 2 ? 2 : 1, line);
  if (!current_) return;
  identified_ = {};
  if (task_ == tkMonitor) identified_ = {current_->Cursor(), current_->CurrentModel(), model};
  current_->SetModel(model);
}

void TcomPort::nextPage() {
  if (AtiIndex <= 3) {
    ReadRow = 0;
    Send(true, 0, "ATI" + std::to_string(AtiIndex));
    ++AtiIndex;
    return;
  }
  radioQuery(current(), qcMarkLocal, true);
  AtiIndex = 1;
  if (current_ && current_->CurrentModel() == 2) {
    finishRead();
    return;
  }
  // The pages carried the registers below 100; the rest are asked singly.
  ReadRow = 0;
  bool poll = usePollMap();
  int model = current_ ? current_->CurrentModel() : -1;
  const auto& map = mapFor(model, poll);
  while (ReadRow < static_cast<int>(map.size()) && map[ReadRow].reg <= 99)
    ReadRow = nextReadableRow(ReadRow, model, poll);
  state_ = psDiscoverSRegs;
  msgTimerTimer();
}

void TcomPort::finishRead() {
  int model = current_ ? current_->CurrentModel() : -1;
  if (autoConfigureRunning()) {
    cancelAutoConfigure();
  } else if (monitor_) {
    // Back to the monitor with the local radio just read and still in
    // command mode, so the dial cycle goes on from here. "ATH" or "ATD"
    // would take the radio off command mode, and its "OK" would then pass
    // for the answer to the connect that returning to monitoring starts.
    // (A model 2 under the monitor ends here: its pages gave every register.)
    if (task_ == tkMonitor) radioQuery(current(), qcSetRead, true);
    returnToMonitoring();
    state_ = psAutoDiscover0;
    radioQuery(0, qcTaskDone, false);
    return;
  } else {
    goIdle();
  }
  Send(true, 0, model == 2 ? "ATD" : "ATH");
  radioQuery(0, qcTaskDone, false);
}

// ---------------------------------------------------------------- status

void TcomPort::updateControls() {
  // The port number box is left alone: only the search disables it.
  const bool open = serial_.Active();
  view_.setEnabled(cpDefaults, true);
  for (ComPortControl c : {cpBaudRate, cpDataBits, cpParity, cpStopBits, cpAutoConfigure, cpFinish})
    view_.setEnabled(c, open);
}

std::string TcomPort::panel0Text() const {
  std::string parity = serial_.Parity() == paEven ? ",e" : serial_.Parity() == paOdd ? ",o" : ",n";
  return std::string(serial_.Active() ? "Active " : "Inactive ") + "COM" + view_.portNumberText() +
         ":" + std::to_string(serial_.Baudrate()) + ", " +
         (serial_.DataBits() == d8bit ? "8" : "7") + parity +
         (serial_.StopBits() == st2bit ? ",2" : ",1");
}

void TcomPort::refreshStatus() {
  if (!statusBar_) return;
  int width = statusBar_->clientWidth();
  statusBar_->setPanelWidth(0, width / 2);
  statusBar_->setPanelWidth(1, width / 4);
  statusBar_->setPanelText(0, panel0Text());

  switch (task_) {
    case tkLocalOnly:
      statusBar_->setPanelText(1, "Local Only");
      break;
    case tkAutoConfigure:
      statusBar_->setPanelText(1, "COM configure");
      break;
    case tkMonitor:
      statusBar_->setPanelText(1, "Radio " + (current_ ? current_->CurrentText() : std::string()));
      break;
    case tkGetRemote:
      statusBar_->setPanelText(1, "Getting Values");
      break;
    case tkSendValues:
      statusBar_->setPanelText(1, "Sending Values");
      break;
    default:
      break;
  }
  if (task_ == tkSendValues)
    statusBar_->setPanel2OwnerDrawn(true);
  else if (task_ == tkLocalOnly || task_ == tkAutoConfigure || task_ == tkGetRemote ||
           task_ == tkMonitor)
    statusBar_->setPanel2OwnerDrawn(false);

  std::string text;
  switch (state_) {
    case psError:
      text = "Error";
      break;
    case psIdle:
      text = "Idle";
      break;
    case psConfig16at:
    case psConfig16plus:
    case psConfig32:
    case psConfig0:
    case psConfigAuto:
    case psConfigManual:
      text = "Poll";
      break;
    case psLocalATI:
    case psLocalATIx:
      text = "Getting Values";
      break;
    case psSentATH:
      text = "Disconnecting";
      break;
    case psSentATD:
      text = "Connecting";
      break;
    case psAutoDiscover0:
    case psAutoDiscoverX:
      text = "Discovering";
      break;
    case psDiscoverSRegs: {
      int reg = currentRowRegister();
      if (reg == kNoRow)
        text = "Getting Values";  // past the last row
      else
        text = reg < 0 ? "Getting ATI info" : "Getting S " + std::to_string(reg);
      break;
    }
    case psSendQueue:
      break;  // the main window draws the queue gauge
    case psEmulate:
      text = "Emulating group";
      break;
  }
  if (state_ != psSendQueue) statusBar_->setPanelText(2, text);
  statusBar_->repaint();
}

}  // namespace tessel
