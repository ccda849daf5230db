#pragma once

// The configurator without windows: the link engine, the serial component,
// the in-memory panel and group views, the project records and the register
// value callbacks, wired as the windowed program wires them, on the
// headless event loop.
#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_loop.h"
#include "cli/conf_settings.h"
#include "cli/exit_status.h"
#include "link/com_port_view.h"
#include "link/command_feed.h"
#include "link/engine_host.h"
#include "link/log_writer.h"
#include "link/status_bar.h"
#include "link/tcom_port.h"
#include "link/terminal_sink.h"
#include "model/group_views.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/radio_commands.h"
#include "model/radio_settings.h"
#include "model/register_values.h"
#include "seams/prompts.h"
#include "serial/tserial.h"

namespace tessel {
class GroupChangeRun;
class GroupChangeWork;
class ProjectLock;
class GroupCompareRun;
struct GroupPlan;
}  // namespace tessel

namespace tessel::cli {

// The brand the headless front end speaks for: its settings key and its
// per-user data folder.
inline constexpr char kProduct[] = "Tessel";
inline constexpr char kMaker[] = "Corvane";

// Message boxes answered without a user: the text goes to the error stream
// and the box is answered Abort (or the nearest refusal it offers); such a
// box counts as the command failing. A notice (an information box) is
// answered and counts for nothing: what it tells, the command's end tells.
class CliPrompts : public Prompts {
 public:
  explicit CliPrompts(std::ostream& err) : err_(err) {}
  PromptButton show(PromptIcon icon, const std::string& text, PromptButtons buttons) override;

  bool failed() const { return failed_; }
  const std::string& message() const { return message_; }
  std::function<void()> onShown;

  // The answer given to a box offering these buttons.
  static PromptButton answerFor(PromptButtons buttons);

 private:
  std::ostream& err_;
  bool failed_ = false;
  std::string message_;
};

// The traffic, shown on the error stream when asked for.
class CliTerminal : public TerminalSink {
 public:
  explicit CliTerminal(std::ostream& err) : err_(err) {}
  void addLine(const std::string& text) override;
  bool show = false;

 private:
  std::ostream& err_;
};

// What a command waits for: the progress and the end of the commands it
// started, as the commands layer reports them. Each command sets the hooks
// it needs and clears them when it returns.
class CliProgress : public CommandListener {
 public:
  void commandProgress(const CommandProgress& progress) override {
    if (onProgress) onProgress(progress);
  }
  void radioRead(Command command, int radio, bool complete) override {
    if (onRadioRead) onRadioRead(command, radio, complete);
  }
  void commandEnded(Command command, const Outcome& outcome) override {
    if (onEnded) onEnded(command, outcome);
  }
  void lineConfirmed(Command command, const std::string& line) override {
    if (onLineConfirmed) onLineConfirmed(command, line);
  }
  void clear() {
    onProgress = nullptr;
    onRadioRead = nullptr;
    onEnded = nullptr;
    onLineConfirmed = nullptr;
  }
  std::function<void(const CommandProgress&)> onProgress;
  std::function<void(Command, int radio, bool complete)> onRadioRead;
  std::function<void(Command, const Outcome&)> onEnded;
  std::function<void(Command, const std::string& line)> onLineConfirmed;
};

struct GroupSetRequest;

struct SessionOptions {
  std::string device;  // a path, or COM<n>
  LineOverrides line;
  bool log = false;
  bool trace = false;
  int timeoutMs = 0;         // 0: none
  std::string settingsPath;  // empty: the per-user settings file
  // The engine's ticks come this many times sooner (TESSEL_TIME_SCALE in
  // the environment): end-to-end tests need not wait real 2.5 s ticks.
  int timeScale = 1;
  // Where the monitor serves its readings for a monitoring server
  // ("HOST:PORT"); empty for nowhere.
  std::string metrics;
};

class Session {
 public:
  Session(SessionOptions options, std::ostream& out, std::ostream& err);
  ~Session();

  // Opens the device with the line settings; false (message on err) when
  // it cannot be opened.
  bool openPort();

  // The commands; each returns the exit status.
  int getLocal();
  int monitor(const std::string& project, int intervalMs, int cycles);
  int emulate(const std::string& project);
  // Writes a radio of the project to the local radio or, remote, through
  // it, a line per tick or (fast) as fast as it replies; verify reads it
  // back and lists what differs (exit 3).
  int set(const std::string& project, int radio, bool remote, bool fast, bool verify);
  void setTimeout(int ms) { options_.timeoutMs = ms; }
  // Reads the project's radios (only those of radios, when given, and the
  // local one) once and prints what differs from the project as CSV; exit
  // 0 all match, 3 something differs, 1 a radio did not answer.
  int compare(const std::string& project, const std::vector<int>& radios);
  // Changes the group's shared settings on every radio of the project in an
  // order that strands none, after showing it and asking on in (unless the
  // request says yes); exit 0 only when every radio then answers with the
  // new values (group_set.cpp).
  int groupSet(const std::string& project, const GroupSetRequest& request, std::istream& in);
  // Discovers a group into a new project file (an existing one only with
  // force): rounds full rounds over radio IDs 0..254.
  int discover(const std::string& project, int intervalMs, int rounds, bool force);

  // Stops a running command (from any thread, e.g. on a signal).
  void interrupt();

  // Settings as "Key = value" lines with the project file's key names: the
  // group's keys, then the radio's.
  using SettingsReport = std::vector<std::pair<std::string, std::string>>;
  static SettingsReport settingsReport(const RadioSettings& s, const BrandModels& models);

 private:
  // The brand whose models and keys the commands use.
  static const BrandModels& brand();
  bool runUntilDone(const std::function<bool()>& done);
  bool openManualProject();
  // A private folder for the command's own files, removed at the end.
  bool makeTempDir();
  // The user's project, then the port: false (message on err) when it is no
  // project file, another program has it open, or the port fails. Read
  // only, another program may have it open and nothing is written to it.
  bool openUserProject(const std::string& project, bool readOnly = false);
  bool hasRadios(const TpollArray& list, const std::string& project);
  // Runs one read or send command to its end, and how it ended (a failure
  // told on err): not started, the engine's end, interrupted or timed out.
  // start answers whether it started (a refusal already told).
  Outcome runTask(Command command, const char* what, const std::function<bool()>& start);
  // Says why a command did not start; false unless it started.
  bool started(const std::string& title, CommandStart why);
  // The engine back at the local radio (entry), a dialled radio hung up.
  void stopAtLocal(const TpollEntry& entry);
  // Reads every radio of run's list once, as the monitor reads them, the
  // replies going to run alone; began: whether the engine took the read.
  bool readOnce(GroupCompareRun& run, bool& began);
  // The monitor's rounds over list, cycles of them printed (0: until
  // stopped).
  int monitorRounds(const TpollArray& list, int cycles);
  // The file a discovery writes: new (or force), locked, writable; false
  // (told why) otherwise.
  bool claimTarget(const std::string& project, bool force, ProjectLock& lock);
  // Why a discovery did not do its rounds: ended early (the monitor
  // ended), or the time ran out.
  void discoveryShort(int rounds, bool ended);
  // A discovery's radios as CSV lines; the number of them.
  int listDiscovered();
  // set --verify: the radio read back, what differs from sent listed (exit
  // 3 when something does).
  int verifySent(Tradio& radio, bool remote, const SettingsReport& sent);
  // The steps of group-set (group_set.cpp).
  bool groupSetPlan(const std::string& project, const GroupSetRequest& request, GroupPlan& plan);
  void groupSetSteps(GroupChangeWork& work, bool yes,
                     const std::function<std::string(const std::string&)>& ask,
                     std::function<void()>& pending);
  void groupSetWork(GroupChangeWork& work, std::function<void()>& pending);
  int groupSetCheck(GroupChangeWork& work, const std::string& project);
  // Signals wait (on) until it is over, then are honoured.
  void deferInterrupts(bool on);
  TSerial& serial() { return host_->serial(); }
  // What was written last leaves the port before it closes.
  void letOutputLeave();

  SessionOptions options_;
  std::ostream& out_;
  std::ostream& err_;
  CliLoop loop_;
  ConfSettings settings_;
  CliPrompts prompts_;
  MemoryComPortView view_;
  std::unique_ptr<TickTimer> timer_;
  CliTerminal terminal_;
  std::unique_ptr<LogWriter> log_;
  std::unique_ptr<EngineHost> host_;
  TcomPort* engine_ = nullptr;  // the host's
  MemoryStatusBar status_;
  MemoryPanel panel_;
  MemoryGroupViews views_;
  MainWindowModel window_;
  CliProgress progress_;
  std::string tempDir_;
  std::atomic<bool> interrupted_{false};
  std::mutex interruptMutex_;
  bool deferInterrupts_ = false;    // under interruptMutex_
  bool interruptDeferred_ = false;  // under interruptMutex_
};

}  // namespace tessel::cli
