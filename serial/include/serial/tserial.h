#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "serial/gui_dispatcher.h"
#include "serial/line_settings.h"
#include "serial/serial_link.h"

namespace tessel {

class NetPort;
class Prompts;
class SettingsStore;
class TEventThread;
struct TSerialSession;
struct THandOver;

// One serial port: opened with line settings, written as text, read one
// character at a time; line events reach the handlers on the GUI thread
// through the dispatcher. All calls belong on the GUI thread. The port is a
// terminal device on POSIX (tserial_posix.cpp) and the Win32 comm functions
// on Windows (tserial_win32.cpp); the rest is shared.
class TSerial : public SerialLink {
 public:
  using TNotifyEvent = std::function<void(TSerial& sender)>;
  using TRxMessageEvent = std::function<void(TSerial& sender, const std::string& RxMessage)>;
  using TSignalChangeEvent =
      std::function<void(TSerial& sender, eModemInSignal Signal, bool SignalState)>;

  // The component's own error codes; positive codes are the system's (errno
  // values on POSIX, GetLastError codes on Windows).
  static constexpr int32_t kErrNotActive = -1;
  static constexpr int32_t kErrTooLong = -2;

  // prompts shows the error boxes, settings maps COM numbers to devices; both
  // may be null (no boxes; the automatic device list).
  explicit TSerial(GuiDispatcher& gui, Prompts* prompts = nullptr,
                   SettingsStore* settings = nullptr);
  ~TSerial() override;
  TSerial(const TSerial&) = delete;
  TSerial& operator=(const TSerial&) = delete;

  // SerialLink
  bool Active() const override;
  void setActive(bool open) override;
  int Port() const override { return port_; }
  void setPort(int port) override;
  int32_t Baudrate() const override { return baudrate_; }
  void setBaudrate(int32_t rate) override;
  eParity Parity() const override { return parity_; }
  void setParity(eParity parity) override;
  eDataBits DataBits() const override { return dataBits_; }
  void setDataBits(eDataBits bits) override;
  eStopBits StopBits() const override { return stopBits_; }
  void setStopBits(eStopBits bits) override;
  void WriteString(const std::string& text) override;
  int ReadChar(char& ch) override;
  void setOnRxData(std::function<void()> handler) override;
  void setOnLineLost(std::function<void(const std::string& message)> handler) override {
    onLineLost_ = std::move(handler);
  }

  uint16_t RxQueueSize() const { return rxQueueSize_; }
  void setRxQueueSize(uint16_t size);
  uint16_t TxQueueSize() const { return txQueueSize_; }
  void setTxQueueSize(uint16_t size);
  eFlowControl FlowMode() const { return flowMode_; }
  void setFlowMode(eFlowControl mode);
  bool CheckParity() const { return checkParity_; }
  void setCheckParity(bool check);
  int32_t RxWaiting();
  int32_t TxWaiting();
  eOpModes RxEventMode() const { return rxEventMode_.load(); }
  void setRxEventMode(eOpModes mode) { rxEventMode_ = mode; }
  char MessageStartChar() const { return messageStartChar_.load(); }
  void setMessageStartChar(char c) { messageStartChar_ = c; }
  char MessageEndChar() const { return messageEndChar_.load(); }
  void setMessageEndChar(char c) { messageEndChar_ = c; }
  uint16_t MessageAppendCount() const { return messageAppendCount_.load(); }
  void setMessageAppendCount(uint16_t count) { messageAppendCount_ = count; }
  eNotifyErr NotifyErrors() const { return notifyErrors_; }
  void setNotifyErrors(eNotifyErr mode) { notifyErrors_ = mode; }
  // Reading returns the code and resets it to 0.
  int32_t ErrorCode() { return getFErrorCode(); }
  uint32_t CErrorCode() { return getFCErrorCode(); }
  int32_t getFErrorCode() { return errorCode_.exchange(0); }
  uint32_t getFCErrorCode() { return cErrorCode_.exchange(0); }
  bool WaitOnTxFull() const { return waitOnTxFull_; }
  void setWaitOnTxFull(bool wait) { waitOnTxFull_ = wait; }
  uint32_t Timeout() const { return timeout_; }
  void setTimeout(uint32_t ms);

  // A device path used instead of the COM number (headless front end); empty
  // means "by Port".
  const std::string& DevicePath() const { return devicePath_; }
  void setDevicePath(const std::string& path);
  // The device of the open port; empty while closed. A network port
  // ("rfc2217://HOST:PORT", "tcp://HOST:PORT") as its address.
  std::string OpenDevice() const;
  // The bound on connecting a network port (see NetPort). 5 s unless set.
  void setConnectTimeout(int ms) { connectTimeoutMs_ = ms; }
  // The network port behind the open port; null while a local one is open.
  NetPort* OpenNetPort() const { return netOpen_ ? net_.get() : nullptr; }
  std::string LineLostText() const override { return lineLost_; }

  void setOnTxEmpty(TNotifyEvent handler);
  void setOnMessage(TRxMessageEvent handler);
  void setOnError(TNotifyEvent handler) { onError_ = std::move(handler); }
  void setOnBreak(TNotifyEvent handler);
  void setOnRing(TNotifyEvent handler);
  void setOnSignalChange(TSignalChangeEvent handler);

  // Last known state of a modem input line (stored by the event thread).
  bool SignalState(eModemInSignal signal) const;

  // The line settings the next open hands to the driver.
  TLineSettings LineSettings() const;

  static const std::array<int32_t, 15>& validBaudrates();
  static bool isValidBaudrate(int32_t rate);
  // Text of a component code (-1, -2) or of a system error code.
  static std::string errorText(int32_t code);
  // The text of the last error reported, as a dialog shows it: for a refused
  // permission, a busy port or a lost device it names the device and what to
  // do. Kept until the next report.
  std::string LastErrorMessage() const override { return lastMessage_; }

  // How often the event thread has woken up (idle cost; for tests).
  uint64_t workerWakeups() const;

  // Runs as an open is about to hand the line settings to the driver; a
  // result other than 0 stands for the driver refusing them with that system
  // error code (a test makes the open fail so).
  using LineSetter = std::function<int(const TLineSettings& settings)>;
  void setLineSetter(LineSetter setter);

 private:
  class WorkerSink;  // the event thread's view of the component

  void reopen(bool wanted);
  void closePort(bool quiet);
  void openPort();
  // The system's part of an open and a close of a local port.
  void openLocalPort(const std::string& device);
  void closeLocalPort(bool quiet);
  // The device is a network address: the port connects to it.
  void openNetPort(const std::string& address);
  // GUI thread: the network port's connection failed or ended.
  void netLost(const std::string& message);
  // Runs after a failing OS call; returns whether an error was reported.
  // message, when given, stands for the system's text of err.
  bool reportSystemError(int err, const std::string& message = std::string());
  void reportError(int32_t code);
  void fireError();
  int readCharOn(const std::shared_ptr<TSerialSession>& session, char& ch, bool onWorker);
  uint32_t fetchLineErrors(TSerialSession& session);
  int writeAll(TSerialSession& session, const std::string& text);
  void setControlLine(TSerialSession& session, int line, bool on, bool quiet);
  // GUI thread: the device went away; close without further reports, report once.
  void lineLost(const std::shared_ptr<TSerialSession>& session, int err);
  // GUI thread: the one report of a lost device (message, OnLineLost).
  void reportLoss(TSerialSession& session);
  // Event thread: the session to serve, or null (and the thread-in-wait flag
  // follows); leaveSession() clears the flag and wakes a waiting close.
  std::shared_ptr<TSerialSession> enterSession();
  void leaveSession();
  void fireRxData();
  void fireTxEmpty();
  void fireBreak();
  void fireRing();
  void fireMessage(const std::string& text);
  void fireSignal(eModemInSignal signal, bool state);
  // Event thread: runs fn on the GUI thread and waits for it. Returns without
  // running fn when the port closed or the component is going meanwhile.
  void handOver(const std::shared_ptr<TSerialSession>& session, std::function<void()> fn);
  // GUI thread: lets a waiting hand-over go without running.
  void cancelHandOver();
  void kickWorker();

  GuiDispatcher& gui_;
  Prompts* prompts_;
  SettingsStore* settings_;

  int port_ = 1;
  int32_t baudrate_ = 9600;
  eParity parity_ = paNone;
  eDataBits dataBits_ = d7bit;
  eStopBits stopBits_ = st1bit;
  uint16_t rxQueueSize_ = 1024;
  uint16_t txQueueSize_ = 1024;
  eFlowControl flowMode_ = fcNone;
  bool checkParity_ = true;
  std::atomic<eOpModes> rxEventMode_{rxNormal};
  std::atomic<char> messageStartChar_{2};
  std::atomic<char> messageEndChar_{3};
  std::atomic<uint16_t> messageAppendCount_{0};
  eNotifyErr notifyErrors_ = neDialog;
  std::atomic<int32_t> errorCode_{0};
  std::atomic<uint32_t> cErrorCode_{0};
  bool waitOnTxFull_ = true;
  uint32_t timeout_ = 10000;
  std::string devicePath_;
  std::string lineLost_;  // the device that went away and why (GUI thread)

  std::function<void()> onRxData_;
  std::function<void(const std::string&)> onLineLost_;
  std::string lastMessage_;
  TNotifyEvent onTxEmpty_;
  TRxMessageEvent onMessage_;
  TNotifyEvent onError_;
  TNotifyEvent onBreak_;
  TNotifyEvent onRing_;
  TSignalChangeEvent onSignalChange_;
  // What the event thread may know of the handlers (they run on the GUI thread).
  std::atomic<bool> hasRxData_{false}, hasTxEmpty_{false}, hasMessage_{false};
  std::atomic<bool> hasSignalChange_{false}, hasBreak_{false}, hasRing_{false};

  std::atomic<bool> cts_{false}, dsr_{false}, rlsd_{false};

  LineSetter lineSetter_;

  // A device that is a network address is served by this instead.
  std::unique_ptr<NetPort> net_;
  bool netOpen_ = false;
  int connectTimeoutMs_ = 5000;

  // Guards session_, the open transitions, the hand-over in flight and the
  // stop request, so a close and a hand-over never miss each other.
  mutable std::mutex mutex_;
  std::condition_variable workerLeft_;
  std::shared_ptr<TSerialSession> session_;
  std::shared_ptr<THandOver> inFlight_;
  bool stopping_ = false;
  bool destroying_ = false;
  bool threadInWait_ = false;
  std::unique_ptr<WorkerSink> sink_;
  std::unique_ptr<TEventThread> thread_;
};

}  // namespace tessel
