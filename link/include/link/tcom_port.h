#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "link/com_port_view.h"
#include "link/radio_number.h"
#include "link/send_queue.h"
#include "model/main_window_link.h"
#include "model/poll_array.h"

namespace tessel {

class SerialLink;
class TickTimer;
class Prompts;
class SettingsStore;
class StatusBar;
class TerminalSink;
class LogWriter;

// States of the link engine.
enum PortState : uint8_t {
  psError,
  psIdle,
  psConfig16at,
  psConfig16plus,
  psConfig32,
  psConfig0,
  psConfigAuto,
  psConfigManual,
  psLocalATI,
  psLocalATIx,
  psSentATH,
  psSentATD,
  psAutoDiscover0,
  psAutoDiscoverX,
  psDiscoverSRegs,
  psSendQueue,
  psEmulate,
};

// Classes of a received line.
enum ReplyClass : int {
  rcText = 0,
  rcOK = 1,
  rcError = 2,
  rcIgnored = 3,
  rcATI = 4,
  rcATI1 = 5,
  rcATI2 = 6,
  rcATI3 = 7,
  rcATIx = 8,
  rcATD = 9,
  rcATDn = 10,
  rcAT = 11,
  rcATW = 12,
  rcEscape = 13,
  rcSQuery = 14,
  rcSSet = 15,
  rcATR = 16,
};

const char* stateName(PortState state);
// Classifies a received line (compared in upper case).
ReplyClass classifyReply(const std::string& line);

// The link engine: the whole AT-command conversation with the local radio
// and, through it, with the radios of a group. It is also the logic of the
// COM port dialog, whose controls it sees through a ComPortView. Driven by
// its timer (msgTimerTimer) and by received bytes (Serial1RxData), both on
// the GUI thread.
class TcomPort : public LinkTasks {
 public:
  static constexpr int kTaskInterval = 2500;
  static constexpr int kRetryLimit = 3;
  static constexpr size_t kMaxLineLength = 255;
  static constexpr size_t kRxBufferLimit = 4096;
  static constexpr const char* kAutoConfigureCaption = "&Auto Configure";

  // Loads the port settings, enters psIdle and enables the timer. log and
  // terminal may be null.
  TcomPort(SerialLink& serial, TickTimer& timer, Prompts& prompts, SettingsStore& settings,
           ComPortView& view, TerminalSink* terminal = nullptr, LogWriter* log = nullptr);
  // Saves the port settings.
  ~TcomPort() override;
  TcomPort(const TcomPort&) = delete;
  TcomPort& operator=(const TcomPort&) = delete;

  // The main window's status bar and callbacks; the last call counts. Either
  // may be null (nothing drawn, neutral answers).
  void AttachMainWindow(StatusBar* statusBar, MainWindowCallbacks* callbacks);

  void StartTask(int code, const std::string& text, const TpollArray& list) override;

  // Every line leaves through here (see the framing notes in the source).
  bool Send(bool now, int tries, const std::string& line);

  void msgTimerTimer();
  void Serial1RxData();

  // COM port dialog handlers.
  void comPortNumberChange();
  void comPortNumberExit();
  void baudRateChange();
  void parityClick();
  void dataBitsClick();
  void stopBitsClick();
  void defaultsClick();
  void autoConfigureClick();
  void OkClick();
  void FormHide();
  void SaveSettings();

  // Fields set and read by the main window.
  int PollInterval = 1000;
  // The first line of a log switched on: the program and its revision.
  std::string LogHeader = "tessel configurator, revision 0.1";
  void setLogging(bool on);
  bool logging() const { return logOn_; }
  TsendQueue& queue() { return queue_; }

  // Observable state.
  PortState state() const { return state_; }
  int task() const { return task_; }
  const std::string& taskText() const { return taskText_; }
  PortState PrevState = psIdle;
  int ReadRow = 0;
  int AtiIndex = 1;
  int NextCode = 0;
  int AppliedCode = -1;
  int EmulatedRadio = -1;
  int TickCount = 0;
  const std::string& LastSent() const { return lastSent_; }
  const std::string& receiveBuffer() const { return rxBuffer_; }
  const TradioNumber* CurrentList() const { return current_.get(); }
  const TradioNumber* MonitorList() const { return monitor_.get(); }

 private:
  static constexpr int kNoRow = -1000;  // ReadRow outside the radio's map

  // Link state machine.
  void timerAction();
  void handleLine(const std::string& line);
  void replyChar(char ch);
  void commandChar(char ch);
  void appendReceived(char ch);
  void completeLine(const std::string& line);
  void logState(bool reply);
  void logLine(char kind, const std::string& text);
  void refreshStatus();
  std::string panel0Text() const;
  void updateControls();
  void connected();
  void identification(const std::string& line);
  void nextPage();
  void finishRead();
  void sendQueueTick();
  void sendQueueReply(ReplyClass rc);
  void goIdle();
  void returnToMonitoring();
  bool returnToMonitoringOrIdle();  // true when monitoring resumes
  void cancelAutoConfigure();
  bool autoConfigureRunning() const;
  void setCurrentList(std::shared_ptr<TradioNumber> list);
  void errorUnableToContact();
  void restartTimer();
  int pollInterval() const;

  // Discovery, register reading and polling.
  int currentModel() const;
  bool usePollMap();
  int currentRowRegister();  // kNoRow past the end of the map
  int lookupRegister(int reg);
  void applyRegister(int param, int value, const std::string& text);
  void discoverSRegsTick();
  void discoverSRegsReply(ReplyClass rc, const std::string& line);
  void identificationPageLine(const std::string& line);
  void autoDiscover0Tick();
  void autoDiscoverXTick();

  // Group emulator.
  void emulateReply(ReplyClass rc, const std::string& upper);
  void emulatorSend(const std::string& text);
  bool emulatedRadioListed();
  int emulatorLookup(int reg);

  // Port settings.
  void applyCode(int code);
  void advanceNextCode();
  void rebuildPortList();
  void loadSettings();
  void openPort();
  void closePort();

  // Callbacks, with neutral answers while none is attached.
  bool radioQuery(int radio, int code, bool argument);
  std::string registerValue(int radio, int param);
  int current() const;

  SerialLink& serial_;
  TickTimer& timer_;
  Prompts& prompts_;
  SettingsStore& settings_;
  ComPortView& view_;
  TerminalSink* terminal_;
  LogWriter* log_;
  StatusBar* statusBar_ = nullptr;
  MainWindowCallbacks* callbacks_ = nullptr;

  PortState state_ = psIdle;
  int task_ = tkLocalOnly;
  std::string taskText_;
  std::shared_ptr<TradioNumber> current_;
  std::shared_ptr<TradioNumber> monitor_;
  // The monitor identifies its local radio before page 1 tells its number,
  // so the model lands on the entry under the cursor first; it is moved to
  // the local radio's own entry once that is known.
  struct PendingIdentification {
    int cursor = -1;  // the entry that took the model; -1: none pending
    int previousModel = -1;
    int model = -1;
  } identified_;
  TsendQueue queue_;
  std::string lastSent_;
  std::string rxBuffer_;
  bool crFlag_ = false;
  bool lfFlag_ = false;
  bool overflowLogged_ = false;
  bool logOn_ = false;
  bool loading_ = false;
  std::string lineInHand_;  // the received line being handled, for the log
};

}  // namespace tessel
