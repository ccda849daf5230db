#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/attached_callbacks.h"
#include "link/com_port_dialog.h"
#include "link/com_port_view.h"
#include "link/connect_task.h"
#include "link/dialled_link.h"
#include "link/group_emulator.h"
#include "link/line_assembler.h"
#include "link/link_observer.h"
#include "link/link_reporter.h"
#include "link/monitor_rounds.h"
#include "link/owed_exchanges.h"
#include "link/port_state.h"
#include "link/prompt_gate.h"
#include "link/radio_number.h"
#include "link/read_task.h"
#include "link/register_reader.h"
#include "link/send_queue.h"
#include "link/send_task.h"
#include "link/task_host.h"
#include "model/main_window_link.h"
#include "model/poll_array.h"
#include "seams/prompts.h"

namespace tessel {

class SerialLink;
class TickTimer;
class SettingsStore;
class StatusBar;
class TerminalSink;
class LogWriter;

// The link engine: the whole AT-command conversation with the local radio
// and, through it, with the radios of a group. Driven by its timer
// (msgTimerTimer) and by received bytes (Serial1RxData), both on the GUI
// thread. It owns the COM port dialog's logic (comPortDialog()), the group
// emulator and the reporting of what it does (observers, terminal, log,
// status bar). The connect, the reads, the monitor's rounds and the send are
// its parts (ConnectTask, ReadTask, MonitorRounds, SendTask), which act
// through TaskHost and return the state to go to. Every received line is
// first matched against the exchanges the radio owes (OwedExchanges); a
// state's handler sees only the answer to what it asked (row()).
class TcomPort : public LinkTasks, private ComPortDialogHost, private TaskHost {
 public:
  static constexpr int kTaskInterval = 2500;
  static constexpr int kRetryLimit = TaskHost::kRetryLimit;
  static constexpr size_t kMaxLineLength = 255;
  static constexpr size_t kRxBufferLimit = LineAssembler::kBufferLimit;
  static constexpr const char* kAutoConfigureCaption = ComPortDialog::kAutoConfigureCaption;

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
  // Listeners of what the engine does; each is told until removed.
  void addObserver(LinkObserver* observer) { reporter_.addObserver(observer); }
  void removeObserver(LinkObserver* observer) { reporter_.removeObserver(observer); }

  // Busy: a read during a send, Get Radio Parameters during a send or a
  // monitor. PortClosed: the port is not open (a device that went away is
  // opened again first).
  TaskStart StartTask(TaskCode code, const std::string& text, const TpollArray& list) override;
  // A send's lines enter the queue only together with the task that works
  // them off: a closed port or a task in progress refuses them, leaving the
  // queue as it was. Monitoring gives way to a send, as it always has.
  SendStart StartSend(const std::string& title, const TpollArray& list,
                      const std::vector<std::string>& lines) override;
  // A read, a send, a search or an emulation is in progress.
  bool busy() const;

  // Every line leaves through here (see the framing notes in the source).
  // A line sent this way is no task's (the terminal's): its answer is
  // dropped, never taken by the task in progress.
  bool Send(bool now, int tries, const std::string& line);

  // What a state does, one row per state: on a tick, on an answer to what
  // it asked, on a refusal ("ERROR"), when "NO CARRIER" cut the link to the
  // radio it talks to (null: the state talks to none); the status bar's
  // text (null: the main window draws it; for psDiscoverSRegs the register
  // asked is told); whether it is one of the connect's states; whether it
  // may ask the user.
  struct StateRow {
    Next (TcomPort::*tick)();
    Next (TcomPort::*answer)(const Answer&);
    Next (TcomPort::*refusal)(const Answer&);
    Next (TcomPort::*carrierLost)(int radio);
    const char* status;
    bool connect;
    bool mayPrompt;
  };
  static const StateRow& row(PortState state);

 private:
  static const StateRow kStates[];

 public:
  void msgTimerTimer();
  void Serial1RxData();

  // The COM port dialog's handlers.
  ComPortDialog& comPortDialog() { return dialog_; }
  void comPortNumberChange() { dialog_.comPortNumberChange(); }
  void comPortNumberExit() { dialog_.comPortNumberExit(); }
  void baudRateChange() { dialog_.baudRateChange(); }
  void parityClick() { dialog_.parityClick(); }
  void dataBitsClick() { dialog_.dataBitsClick(); }
  void stopBitsClick() { dialog_.stopBitsClick(); }
  void defaultsClick() { dialog_.defaultsClick(); }
  void autoConfigureClick() { dialog_.autoConfigureClick(); }
  void OkClick() { dialog_.OkClick(); }
  void FormHide() { dialog_.FormHide(); }
  void SaveSettings() { dialog_.SaveSettings(); }

  // Settings of the main window.
  // The pause between polls; 0 or less stands for 1000 ms.
  // 0 goes as fast as the radios reply: a monitor asks a poll's next
  // register as soon as the previous answer is in, and the tick (1000 ms)
  // only times an exchange out. A send paces itself by it too: a remote
  // radio takes its next line as soon as it answered the last (the send's
  // tick, 2500 ms, then only times a line out), the send ends at its reset,
  // and a monitor it gave way to resumes at once.
  void setPollInterval(int ms) { pollInterval_ = ms; }
  int pollInterval() const { return pollInterval_ > 0 ? pollInterval_ : 1000; }
  bool fastPolls() const override { return pollInterval_ == 0; }
  // The first line of a log switched on: the program and its revision.
  void setLogHeader(const std::string& header) { logHeader_ = header; }
  const std::string& logHeader() const { return logHeader_; }
  void setLogging(bool on) { reporter_.setLogging(on, logHeader_); }
  bool logging() const { return reporter_.logging(); }
  // Line settings given by hand are the ones to talk at: connect with them
  // rather than with a searched settings code.
  void clearSettingsCode() { dialog_.setNextCode(0); }
  TsendQueue& queue() { return queue_; }
  // Sends end without their "complete" box while on: a caller that runs
  // many sends in a row reports them itself. Refusals are still told.
  void setQuietSends(bool on) { quietSends_ = on; }
  bool quietSends() const override { return quietSends_; }

  // Observable state.
  // True while a radio this engine dialled may still be linked.
  bool linkDialled() const { return link_.dialled(); }
  // Where the link stands, and the radio it reached.
  LinkOn linkOn() const { return link_.on(); }
  int linkRadio() const { return link_.radio(); }
  PortState state() const { return state_; }
  TaskCode task() const override { return task_; }
  const std::string& taskText() const override { return taskText_; }
  int tickCount() const { return tickCount_; }
  // Unanswered tries of the exchange in progress.
  int tryCount() const override { return tries_; }
  int emulatedRadio() const { return emulator_.emulatedRadio(); }
  int nextCode() const { return dialog_.nextCode(); }
  int appliedCode() const { return dialog_.appliedCode(); }
  const std::string& LastSent() const { return lastSent_; }
  const std::string& receiveBuffer() const { return assembler_.buffer(); }
  const TradioNumber* CurrentList() const { return current_.get(); }
  const TradioNumber* MonitorList() const { return monitor_.get(); }
  // A message box of the engine's is up; ticks and received lines wait.
  bool promptOpen() const { return gate_.isOpen(); }

 private:
  // The one place the state changes (observers are told), and where a
  // handler's "go on at once" is taken up; setTask is the one for the task.
  void apply(Next next);
  void setTask(TaskCode task) override;

  // A message box shown by the engine. Ticks and received lines that come
  // while it is up are handled when it closes; the answer is empty when
  // they (or a task started meanwhile) moved the engine on, as it no longer
  // fits.
  std::optional<PromptButton> ask(PromptIcon icon, const std::string& text,
                                  PromptButtons buttons) override;

  // A task set up by StartTask takes over, from its first step.
  void beginTask(TaskCode code, const std::string& text);
  void stopTasks();
  void startEmulating(const TpollArray& list);
  void startSearching(const TpollArray& list);
  void startMonitoring(const TpollArray& list, PortState connect);

  // Ticks and replies.
  void step(bool timed);
  void timerAction();
  void goOnIfDue();
  void restartTimer();
  void lineComplete(const std::string& line);
  void handleLine(const std::string& line);
  // "NO CARRIER" came: the link is back on the local radio.
  void carrierLost();
  void stateHandled(bool reply);
  void refreshStatus() override;
  bool transmit(bool now, int tries, const std::string& line, bool deliver,
                const OwedExchanges::ValueFits& fits = {});
  struct Outgoing {
    std::string line;
    bool deliver;
    bool resend;
    OwedExchanges::ValueFits fits;
    bool forARadio;  // goes only while the link is on the task's radio
  };
  void write(const Outgoing& out);
  void flushDeferred();

  // The handlers of the state table (engine_steps.cpp).
  Next noTick() { return stay(); }
  Next errorTick();
  Next connectTick() { return connect_.tick(state_); }
  Next identifyTick();
  Next sentAthTick();
  Next sentAtdTick();
  Next localTick() { return rounds_.localTick(); }
  Next dialTick() { return rounds_.dialTick(); }
  Next registerTick() { return read_.registerTick(); }
  Next sendTick() { return send_.tick(); }
  Next connectAnswer(const Answer& a) { return connect_.reply(a); }
  Next identification(const Answer& a) { return read_.identification(a); }
  Next pageAnswer(const Answer& a) { return read_.pageReply(a); }
  Next sentAthRefusal(const Answer& a);
  Next sentAtdAnswer(const Answer& a);
  Next dialAnswer(const Answer& a) { return rounds_.dialReply(a); }
  Next registerAnswer(const Answer& a) { return read_.registerReply(a); }
  Next sendAnswer(const Answer& a) { return send_.reply(a); }
  Next registerLinkLost(int radio) { return read_.linkLost(radio); }
  Next sendLinkLost(int radio) { return send_.linkLost(radio); }

  // How a task ends; the task parts end theirs through these too.
  void goIdle() override;
  void returnToMonitoring() override;
  bool returnToMonitoringOrIdle() override;
  void flushQueue() override;

  // The port failing to open, going away, and opening again.
  void portUnavailable();
  void lineLost(const std::string& message);
  bool reopen();

  // The radios worked on.
  void setCurrentList(std::shared_ptr<TradioNumber> list);
  void hangUp();
  int current() const { return tasks_.radio(); }

  // What the task parts ask of the engine besides the above.
  bool sendNow(int tries, const std::string& line,
               const OwedExchanges::ValueFits& fits = {}) override {
    return transmit(true, tries, line, true, fits);
  }
  void sendClosing(const std::string& line) override { link_.sendClosing(line); }
  void localRadioTold(int radio) override;
  void lineConfirmed(const std::string& line) override { reporter_.lineConfirmed(line); }
  void resetTries() override { tries_ = 0; }
  void tickAtPollInterval() override;
  bool cancelSearch() override;
  void searchFound() override;

  // What the COM port dialog asks of the engine.
  void lineSettingsEdited() override;
  void portStatusChanged() override { refreshStatus(); }
  void stopTicks() override;
  bool startSearch(const std::string& title) override;
  void searchCancelled() override;
  void searchExhausted() override {
    searchExhausted_ = true;
    apply(to(psError));
  }
  bool searching() const override { return task_ == tkAutoConfigure; }
  void dialogHidden() override;

  SerialLink& serial_;
  TickTimer& timer_;
  PromptGate gate_;
  LinkReporter reporter_;
  AttachedCallbacks window_;
  ComPortDialog dialog_;
  TgroupEmulator emulator_;
  LineAssembler assembler_;
  DialledLink link_;
  // What the radio owes an answer to; every received line is matched here.
  OwedExchanges owed_;
  // A handler asked to go on at once while answers were still owed: the
  // step runs once they came (or on the tick).
  bool goOnDue_ = false;
  // Received lines are being handled: what they ask to send waits for the
  // end of the batch.
  bool inBatch_ = false;
  std::vector<Outgoing> deferred_;

  PortState state_ = psIdle;
  PortState prevState_ = psIdle;  // the state at the last tick
  TaskCode task_ = tkLocalOnly;
  std::string taskText_;
  std::shared_ptr<TradioNumber> current_;
  std::shared_ptr<TradioNumber> monitor_;
  TregisterReader reader_{window_, current_};
  TsendQueue queue_;
  TaskContext tasks_{*this, window_, reporter_, reader_, current_, monitor_};
  ReadTask read_{tasks_};
  ConnectTask connect_{tasks_, dialog_, link_, read_};
  MonitorRounds rounds_{tasks_};
  SendTask send_{tasks_, queue_};
  int tries_ = 0;  // unanswered tries of the exchange in progress
  int tickCount_ = 0;
  int pollInterval_ = 1000;
  std::string logHeader_ = "tessel configurator, revision 0.1";
  std::string lastSent_;
  std::string lineInHand_;  // the received line being handled, for the log
  // The open port's device went away; the port stays closed, without
  // ticks, until a task or the dialog opens it again.
  bool lineGone_ = false;
  // The search tried every setting: the next tick says so and rests.
  bool searchExhausted_ = false;
  bool quietSends_ = false;
};

}  // namespace tessel
