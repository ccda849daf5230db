#include "serial/tserial.h"

#include <chrono>

#include "event_thread.h"
#include "os_error.h"
#include "seams/prompts.h"
#include "serial/com_ports.h"
#include "serial/net_address.h"
#include "serial/net_port.h"
#include "serial/port_errors.h"
#include "session.h"

namespace tessel {

namespace {

constexpr auto kLeaveWait = std::chrono::milliseconds(750);  // the close's bound on the worker

const char* const kBaudrateNotValid = "Baudrate is not valid";

// Lets the waiter of a hand-over go once the job that holds it has run or
// was dropped.
struct HandOverRelease {
  explicit HandOverRelease(std::shared_ptr<THandOver> h) : handOver(std::move(h)) {}
  ~HandOverRelease() {
    std::lock_guard<std::mutex> lock(handOver->mutex);
    handOver->finished = true;
    handOver->done.notify_all();
  }
  std::shared_ptr<THandOver> handOver;
};

}  // namespace

// The event thread's view of the component: the few calls it may make, each
// on the thread the interface names.
class TSerial::WorkerSink : public TSerialEvents {
 public:
  explicit WorkerSink(TSerial& serial) : s_(serial) {}

  std::shared_ptr<TSerialSession> enterSession() override { return s_.enterSession(); }
  void leaveSession() override { s_.leaveSession(); }
  void handOver(const std::shared_ptr<TSerialSession>& session, std::function<void()> fn) override {
    s_.handOver(session, std::move(fn));
  }
  Framing framing() const override {
    return {s_.rxEventMode_.load(), s_.messageStartChar_.load(), s_.messageEndChar_.load(),
            s_.messageAppendCount_.load()};
  }
  bool hasHandler(Handler handler) const override {
    switch (handler) {
      case hRxData:
        return s_.hasRxData_;
      case hTxEmpty:
        return s_.hasTxEmpty_;
      case hMessage:
        return s_.hasMessage_;
      case hSignalChange:
        return s_.hasSignalChange_;
      case hBreak:
        return s_.hasBreak_;
      case hRing:
        return s_.hasRing_;
    }
    return false;
  }
  int readChar(const std::shared_ptr<TSerialSession>& session, char& ch) override {
    return s_.readCharOn(session, ch, true);
  }
  void storeSignal(eModemInSignal signal, bool state) override {
    switch (signal) {
      case msCTS:
        s_.cts_ = state;
        break;
      case msDSR:
        s_.dsr_ = state;
        break;
      case msRLSD:
        s_.rlsd_ = state;
        break;
    }
  }
  void waitFailed(int err) override { s_.reportSystemError(err); }
  void lineLost(const std::shared_ptr<TSerialSession>& session, int err) override {
    s_.lineLost(session, err);
  }
  void rxData() override { s_.fireRxData(); }
  void txEmpty() override { s_.fireTxEmpty(); }
  void breakDetected() override { s_.fireBreak(); }
  void ring() override { s_.fireRing(); }
  void message(const std::string& text) override { s_.fireMessage(text); }
  void signalChanged(eModemInSignal signal, bool state) override { s_.fireSignal(signal, state); }

 private:
  TSerial& s_;
};

TSerial::TSerial(GuiDispatcher& gui, Prompts* prompts, SettingsStore* settings)
    : gui_(gui),
      prompts_(prompts),
      settings_(settings),
      sink_(std::make_unique<WorkerSink>(*this)),
      thread_(std::make_unique<TEventThread>(*sink_)) {
  thread_->prepare();  // a failure is reported by the first open
}

TSerial::~TSerial() {
  destroying_ = true;  // no handlers run from here on
  reopen(false);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  cancelHandOver();
  thread_->terminate();
}

const std::array<int32_t, 15>& TSerial::validBaudrates() {
  static const std::array<int32_t, 15> rates = {110,   300,   600,    1200,   2400,
                                                4800,  9600,  14400,  19200,  38400,
                                                56000, 57600, 115200, 128000, 256000};
  return rates;
}

bool TSerial::isValidBaudrate(int32_t rate) {
  for (int32_t r : validBaudrates())
    if (r == rate) return true;
  return false;
}

std::string TSerial::errorText(int32_t code) {
  if (code == kErrNotActive) return "The port is not active";
  if (code == kErrTooLong) return "String too long for Tx buffer";
  return oserr::text(code);
}

// ---- properties ----

bool TSerial::Active() const {
  if (netOpen_) return net_->Active();
  auto s = session_;
  return s && s->open && !s->vanished;
}

void TSerial::setActive(bool open) {
  reopen(open);
}

void TSerial::setPort(int port) {
  if (port < 1 || port > 9 || port == port_) return;  // COM1..COM9 only
  port_ = port;
  reopen(Active());
}

void TSerial::setBaudrate(int32_t rate) {
  if (!isValidBaudrate(rate)) {
    // Shown whatever NotifyErrors says; nothing changes.
    if (prompts_) prompts_->show(PromptIcon::Error, kBaudrateNotValid, pbOk);
    return;
  }
  if (rate == baudrate_) return;
  baudrate_ = rate;
  reopen(Active());
}

void TSerial::setParity(eParity parity) {
  if (parity == parity_) return;
  parity_ = parity;
  reopen(Active());
}

void TSerial::setDataBits(eDataBits bits) {
  if (bits == dataBits_) return;
  dataBits_ = bits;
  reopen(Active());
}

void TSerial::setStopBits(eStopBits bits) {
  if (bits == stopBits_) return;
  stopBits_ = bits;
  reopen(Active());
}

void TSerial::setRxQueueSize(uint16_t size) {
  rxQueueSize_ = size;
  reopen(Active());  // on every assignment, equal or not
}

void TSerial::setTxQueueSize(uint16_t size) {
  txQueueSize_ = size;
  reopen(Active());
}

void TSerial::setFlowMode(eFlowControl mode) {
  if (mode == flowMode_) return;
  flowMode_ = mode;
  reopen(Active());
}

void TSerial::setCheckParity(bool check) {
  if (check == checkParity_) return;
  checkParity_ = check;
  reopen(Active());
}

void TSerial::setTimeout(uint32_t ms) {
  if (ms == timeout_) return;
  timeout_ = ms;
  reopen(Active());
}

void TSerial::setDevicePath(const std::string& path) {
  if (path == devicePath_) return;
  devicePath_ = path;
  reopen(Active());
}

uint64_t TSerial::workerWakeups() const {
  return thread_->wakeups();
}

void TSerial::setLineSetter(LineSetter setter) {
  lineSetter_ = std::move(setter);
}

std::string TSerial::OpenDevice() const {
  if (netOpen_) return net_->Active() ? net_->Address() : std::string();
  return Active() ? session_->device : std::string();
}

void TSerial::setOnRxData(std::function<void()> handler) {
  onRxData_ = std::move(handler);
  hasRxData_ = static_cast<bool>(onRxData_);
}

void TSerial::setOnTxEmpty(TNotifyEvent handler) {
  onTxEmpty_ = std::move(handler);
  hasTxEmpty_ = static_cast<bool>(onTxEmpty_);
}

void TSerial::setOnMessage(TRxMessageEvent handler) {
  onMessage_ = std::move(handler);
  hasMessage_ = static_cast<bool>(onMessage_);
}

void TSerial::setOnBreak(TNotifyEvent handler) {
  onBreak_ = std::move(handler);
  hasBreak_ = static_cast<bool>(onBreak_);
}

void TSerial::setOnRing(TNotifyEvent handler) {
  onRing_ = std::move(handler);
  hasRing_ = static_cast<bool>(onRing_);
}

void TSerial::setOnSignalChange(TSignalChangeEvent handler) {
  onSignalChange_ = std::move(handler);
  hasSignalChange_ = static_cast<bool>(onSignalChange_);
}

bool TSerial::SignalState(eModemInSignal signal) const {
  switch (signal) {
    case msCTS:
      return cts_;
    case msDSR:
      return dsr_;
    case msRLSD:
      return rlsd_;
  }
  return false;
}

TLineSettings TSerial::LineSettings() const {
  return buildLineSettings(baudrate_, parity_, dataBits_, stopBits_, flowMode_, checkParity_,
                           rxQueueSize_);
}

// ---- open and close ----

void TSerial::reopen(bool wanted) {
  // No comparison with the current state: true on an open port closes and
  // reopens it, so DTR and RTS drop and rise again.
  if (session_ || netOpen_) closePort(false);
  if (wanted) openPort();
}

void TSerial::openPort() {
  const std::string device = devicePath_.empty() ? comDevicePath(port_, settings_) : devicePath_;
  if (device.empty()) {
    reportSystemError(oserr::kNotFound);
    return;
  }
  if (isNetAddress(device)) {
    openNetPort(device);
    return;
  }
  openLocalPort(device);
}

void TSerial::openNetPort(const std::string& address) {
  NetAddress parsed;
  std::string error;
  if (!parseNetAddress(address, parsed, error)) {
    reportSystemError(oserr::kInvalid, error);
    return;
  }
  if (!net_) {
    net_ = std::make_unique<NetPort>(gui_);
    net_->setOnRxData([this] { fireRxData(); });
    net_->setOnLineLost([this](const std::string& message) { netLost(message); });
  }
  net_->setConnectTimeout(connectTimeoutMs_);
  net_->setAddress(address);
  net_->setLine(LineSettings());
  net_->setActive(true);
  if (!net_->Active()) {
    reportSystemError(oserr::kInvalid, net_->LastErrorMessage());
    return;
  }
  netOpen_ = true;
  lineLost_.clear();
}

void TSerial::netLost(const std::string& message) {
  netOpen_ = false;
  if (destroying_) return;
  lineLost_ = message;
  reportSystemError(oserr::kAborted, message);
  auto handler = onLineLost_;  // the handler may replace itself or free the component
  if (handler) handler(message);
}

void TSerial::closePort(bool quiet) {
  if (netOpen_) {
    // DTR and RTS drop as on a local port; the connection stays a moment
    // for an open that follows at once.
    netOpen_ = false;
    net_->setActive(false);
    return;
  }
  closeLocalPort(quiet);
}

void TSerial::lineLost(const std::shared_ptr<TSerialSession>& session, int err) {
  if (!session) return;
  int none = 0;
  session->lostError.compare_exchange_strong(none, err);
  session->vanished = true;
  lineLost_ = session->device + ": " + errorText(err);
  // A session closed meanwhile (a reopen on the next tick) told of the loss then.
  if (session_ == session) closePort(true);
}

void TSerial::reportLoss(TSerialSession& session) {
  if (session.lossReported || destroying_) return;
  session.lossReported = true;
  const int err = session.lostError ? session.lostError.load() : oserr::kIoError;
  const std::string message = lineLostMessage(err, session.device);
  reportSystemError(err, message);
  auto handler = onLineLost_;  // the handler may replace itself or free the component
  if (handler) handler(message);
}

// ---- errors ----

bool TSerial::reportSystemError(int err, const std::string& message) {
  auto s = session_;
  cErrorCode_ = (s && s->open) ? fetchLineErrors(*s) : 0u;
  errorCode_ = err;
  if (oserr::isPending(err)) return false;  // pending, not failed
  lastMessage_ = message.empty() ? errorText(err) : message;
  switch (notifyErrors_) {
    case neDialog:
      if (prompts_) prompts_->show(PromptIcon::Error, lastMessage_, pbOk);
      break;
    case neEvent:
      fireError();
      break;
    case neNone:
      break;
  }
  return true;
}

void TSerial::reportError(int32_t code) {
  lastMessage_ = errorText(code);
  switch (notifyErrors_) {
    case neDialog:
      if (prompts_) prompts_->show(PromptIcon::Error, errorText(code), pbOk);
      break;
    case neEvent:
      if (onError_) {
        errorCode_ = code;
        fireError();
      }
      break;
    case neNone:
      break;
  }
}

void TSerial::fireError() {
  auto handler = onError_;  // the handler may replace itself or free the component
  if (handler) handler(*this);
}

// ---- reading and writing ----

int TSerial::ReadChar(char& ch) {
  if (netOpen_ && net_->Active()) return net_->ReadChar(ch);
  auto s = session_;
  if (!s || !s->open || s->vanished) {
    reportError(kErrNotActive);
    return 0;
  }
  return readCharOn(s, ch, false);
}

// ---- hand-over between the event thread and the GUI thread ----

void TSerial::kickWorker() {
  thread_->kick();
}

std::shared_ptr<TSerialSession> TSerial::enterSession() {
  std::lock_guard<std::mutex> lock(mutex_);
  auto s = session_;
  if (stopping_ || !s || !s->open || s->vanished) {
    if (threadInWait_) {
      threadInWait_ = false;
      workerLeft_.notify_all();
    }
    return nullptr;
  }
  threadInWait_ = true;
  return s;
}

void TSerial::leaveSession() {
  std::lock_guard<std::mutex> lock(mutex_);
  threadInWait_ = false;
  workerLeft_.notify_all();
}

void TSerial::handOver(const std::shared_ptr<TSerialSession>& session, std::function<void()> fn) {
  auto h = std::make_shared<THandOver>();
  {
    // Registered under the lock that the close takes to clear the open flag:
    // either the close sees this hand-over and cancels it, or it is never made.
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || !session->open || session_ != session) return;
    inFlight_ = h;
  }
  {
    auto release = std::make_shared<HandOverRelease>(h);
    // The job touches the component only when not cancelled; the cancel and
    // the job both run on the GUI thread, so the test cannot go stale.
    gui_.post([h, release, fn = std::move(fn)] {
      {
        std::lock_guard<std::mutex> lock(h->mutex);
        if (h->cancelled) return;
      }
      fn();
    });
  }
  {
    std::unique_lock<std::mutex> lock(h->mutex);
    h->done.wait(lock, [&] { return h->finished || h->cancelled; });
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (inFlight_ == h) inFlight_.reset();
}

void TSerial::cancelHandOver() {
  std::shared_ptr<THandOver> h;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    h = std::move(inFlight_);
  }
  if (!h) return;
  std::lock_guard<std::mutex> lock(h->mutex);
  h->cancelled = true;
  h->done.notify_all();
}

void TSerial::fireRxData() {
  auto handler = onRxData_;
  if (handler) handler();
}

void TSerial::fireTxEmpty() {
  auto handler = onTxEmpty_;
  if (handler) handler(*this);
}

void TSerial::fireBreak() {
  auto handler = onBreak_;
  if (handler) handler(*this);
}

void TSerial::fireRing() {
  auto handler = onRing_;
  if (handler) handler(*this);
}

void TSerial::fireMessage(const std::string& text) {
  auto handler = onMessage_;
  if (handler) handler(*this, text);
}

void TSerial::fireSignal(eModemInSignal signal, bool state) {
  auto handler = onSignalChange_;
  if (handler) handler(*this, signal, state);
}

}  // namespace tessel
