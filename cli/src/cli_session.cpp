#include "cli/cli_session.h"

#include "cli/commands.h"

#include "model/entry_rules.h"
#include "model/send_builder.h"

#include "model/group_commands.h"
#include "model/group_compare.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <set>
#include <thread>

#include "link/link_serial.h"
#include "metrics/metrics_server.h"
#include "metrics/monitor_metrics.h"
#include "model/brand.h"
#include "model/catalogue.h"
#include "model/data_dir.h"
#include "model/file_access.h"
#include "model/panel_settings.h"
#include "model/poll_readings.h"
#include "model/project.h"
#include "model/project_keys.h"
#include "model/project_lock.h"
#include "model/radio.h"
#include "model/text.h"
#include "model/value_texts.h"
#include "platform/files.h"
#include "round_output.h"

namespace tessel::cli {

namespace fs = std::filesystem;

namespace {

const BrandModels& brand() {
  return brandModels(0);
}

std::vector<std::string> modelEntries() {
  std::vector<std::string> e;
  for (int i = 0; i < brand().modelCount; ++i) e.push_back(brand().names[i]);
  return e;
}

bool parseComPort(const std::string& device, int& port) {
  if (device.size() != 4 || upperCase(device.substr(0, 3)) != "COM") return false;
  if (device[3] < '1' || device[3] > '9') return false;
  port = device[3] - '0';
  return true;
}

}  // namespace

PromptButton CliPrompts::answerFor(PromptButtons buttons) {
  for (PromptButton b : {pbAbort, pbCancel, pbNo, pbOk, pbIgnore, pbYes, pbRetry})
    if (buttons & b) return b;
  return pbOk;
}

PromptButton CliPrompts::show(PromptIcon, const std::string& text, PromptButtons buttons) {
  for (const std::string& n : notices) {
    if (text == n) return answerFor(buttons);
  }
  err_ << "tessel-cli: " << text << std::endl;
  if (!failed_) message_ = text;
  failed_ = true;
  if (onShown) onShown();
  return answerFor(buttons);
}

void CliTerminal::addLine(const std::string& text) {
  if (show) err_ << text << std::endl;
}

Session::Session(SessionOptions options, std::ostream& out, std::ostream& err)
    : options_(std::move(options)),
      out_(out),
      err_(err),
      settings_(options_.settingsPath.empty() ? ConfSettings::defaultPath(kMaker, kProduct)
                                              : options_.settingsPath),
      prompts_(err),
      serial_(loop_.dispatcher(), &prompts_, &settings_),
      timer_(loop_.createTimer()),
      terminal_(err),
      panel_(modelEntries()),
      window_(panel_, views_, prompts_, brand(), kProduct),
      values_(window_) {
  configureLinkSerial(serial_);
  loop_.setTimeScale(options_.timeScale);
  // A device unplugged under a running command: the engine ends the task as
  // a failure with the one message that names the device; that message
  // quits the loop as every other one does.
  terminal_.show = options_.trace;
  if (options_.log) {
    log_ = std::make_unique<LogWriter>(&settings_, dataDirectory(kProduct));
    // A log that cannot be written is worth a word, not the command's end.
    log_->onError = [this](const std::string& e) { err_ << "tessel-cli: " << e << std::endl; };
    log_->ready();
  }
  engine_ = std::make_unique<TcomPort>(serial_, *timer_, prompts_, settings_, view_, &terminal_,
                                       log_.get());
  feed_ = std::make_unique<CommandFeed>(window_.commands);
  engine_->addObserver(feed_.get());
  window_.commands.addListener(&progress_);
  prompts_.onShown = [this] { loop_.quit(); };
  window_.tasks = engine_.get();
  window_.onModeSwitch = [this](int) { engine_->AttachMainWindow(&status_, &values_); };
  if (options_.log) engine_->setLogging(true);
  // What the windowed program's start-up puts into the panel and the model-E
  // dialog before any command runs.
  window_.defaultsClick();
  window_.modelEDefaults();
}

Session::~Session() {
  letOutputLeave();
  window_.closeProject();
  window_.commands.removeListener(&progress_);
  window_.tasks = nullptr;
  engine_->AttachMainWindow(nullptr, nullptr);
  engine_.reset();
  if (!tempDir_.empty()) {
    std::error_code ec;
    fs::remove_all(platform::pathFromUtf8(tempDir_), ec);
  }
}

void Session::interrupt() {
  std::lock_guard<std::mutex> lock(interruptMutex_);
  // Held back: what runs must not stop halfway (phase 2 of a group change).
  if (deferInterrupts_) {
    interruptDeferred_ = true;
    return;
  }
  interrupted_ = true;
  loop_.quit();
}

void Session::deferInterrupts(bool on) {
  std::lock_guard<std::mutex> lock(interruptMutex_);
  deferInterrupts_ = on;
  if (!on && interruptDeferred_) {
    interruptDeferred_ = false;
    interrupted_ = true;
  }
}

bool Session::openPort() {
  int com = 0;
  if (parseComPort(options_.device, com)) {
    view_.setPortNumberText(std::to_string(com));
  } else {
    serial_.setDevicePath(options_.device);
    view_.setPortNumberText("1");
  }
  const LineOverrides& line = options_.line;
  if (line.baud) {
    for (const std::string& item : baudRateItems())
      if (std::stoi(item) == line.baud) view_.setBaudRateText(item);
    engine_->baudRateChange();
  }
  if (line.parity >= 0) {
    view_.setParityIndex(line.parity);
    engine_->parityClick();
  }
  if (line.dataBits) {
    view_.setDataBitsIndex(line.dataBits == 8 ? 1 : 0);
    engine_->dataBitsClick();
  }
  if (line.stopBits) {
    view_.setStopBitsIndex(line.stopBits == 2 ? 1 : 0);
    engine_->stopBitsClick();
  }
  // Settings given here are the ones to talk at: no stored auto-configured
  // code replaces them.
  if (line.any()) engine_->clearSettingsCode();
  engine_->comPortNumberChange();
  if (!serial_.Active()) {
    // The port's own error box has given the reason when it showed one.
    int code = prompts_.failed() ? 0 : serial_.ErrorCode();
    const std::string told = serial_.LastErrorMessage();
    if (code && told != TSerial::errorText(code))  // names the device and what to do
      err_ << "tessel-cli: " << told << std::endl;
    else
      err_ << "tessel-cli: cannot open " << options_.device
           << (code ? ": " + TSerial::errorText(code) : std::string()) << std::endl;
    return false;
  }
  return true;
}

void Session::letOutputLeave() {
  // Closing a serial device drops what it has not sent yet: the reset that
  // ends a send as fast as replies (it owes no answer) would be lost.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (serial_.Active() && serial_.TxWaiting() > 0 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

bool Session::runUntilDone(const std::function<bool()>& done) {
  auto limit = std::chrono::milliseconds(options_.timeoutMs);
  auto end = std::chrono::steady_clock::now() + limit;
  while (!done() && !prompts_.failed() && !interrupted_) {
    auto left = std::chrono::milliseconds::zero();
    if (options_.timeoutMs > 0) {
      left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left <= std::chrono::milliseconds::zero()) return false;
    }
    loop_.run(left);
  }
  return done();
}

bool Session::makeTempDir() {
  if (!tempDir_.empty()) return true;
  const std::string folder = platform::makeTempFolder("tessel-cli-");
  if (folder.empty()) {
    err_ << "tessel-cli: cannot make a folder for the command's files: " << std::strerror(errno)
         << std::endl;
    return false;
  }
  tempDir_ = folder;
  return true;
}

bool Session::openManualProject() {
  // Manual mode works on a project of its own; a private one here, so that
  // reading a radio leaves no file behind.
  if (!makeTempDir()) return false;
  window_.openProject(tempDir_ + "/Manual Configuration.vro");
  window_.switchMode(wmManual);
  return true;
}

int Session::getLocal() {
  if (!openPort() || !openManualProject()) return 1;
  if (options_.timeoutMs == 0) options_.timeoutMs = 60'000;
  if (!runTask(Command::GetLocal, "read",
               [&] { return started(kGetLocalTitle, window_.commands.getLocal(kGetLocalTitle)); }))
    return 1;
  for (const auto& [key, value] : settingsReport(settingsOfPanel(panel_), brand()))
    out_ << key << " = " << value << "\n";
  out_.flush();
  return 0;
}

namespace {

// Each line written and each line received, as "> " and "< " lines.
class LineEcho : public LinkObserver {
 public:
  explicit LineEcho(std::ostream& out) : out_(out) {}
  void lineSent(const std::string& line) override { out_ << "> " << bare(line) << std::endl; }
  void lineReceived(const std::string& line) override {
    if (!bare(line).empty()) out_ << "< " << bare(line) << std::endl;
  }

 private:
  static std::string bare(const std::string& line) {
    std::string t;
    for (char c : line) {
      if (c != '\r' && c != '\n') t += c;
    }
    return t;
  }
  std::ostream& out_;
};

}  // namespace

bool Session::started(const std::string& title, CommandStart why) {
  if (why == CommandStart::Started) return true;
  err_ << "tessel-cli: " << window_.commands.whyNot(title, why) << std::endl;
  return false;
}

void Session::stopAtLocal(const TpollEntry& entry) {
  // Ending the task hangs up a dialled radio; the hang-up is given a moment
  // to leave the port before the port closes.
  const bool dialled = engine_->linkDialled();
  window_.commands.stop(kCancelCaption, {entry});
  if (dialled) loop_.run(std::chrono::milliseconds(100));
}

bool Session::runTask(Command command, const char* what, const std::function<bool()>& start) {
  bool done = false, failed = false;
  std::string message;
  progress_.onEnded = [&](Command ended, CommandOutcome outcome, const std::string& why) {
    if (ended != command) return;
    done = outcome == CommandOutcome::Done;
    failed = !done;
    message = why;
    loop_.quit();
  };
  if (!start()) {
    progress_.clear();
    return false;
  }
  const bool ok = runUntilDone([&] { return done || failed; });
  progress_.clear();
  if (prompts_.failed()) return false;
  if (failed) {
    // The engine's box has told already; an end it gave no box says so here.
    if (!message.empty()) err_ << "tessel-cli: " << message << std::endl;
    return false;
  }
  if (interrupted_ && !done) {
    err_ << "tessel-cli: interrupted before the " << what << " was complete" << std::endl;
    return false;
  }
  if (!ok) {
    err_ << "tessel-cli: the radio did not complete the " << what << " within "
         << options_.timeoutMs / 1000.0 << " s" << std::endl;
    return false;
  }
  return true;
}

int Session::set(const std::string& project, int radio, bool remote, bool fast, bool verify) {
  // Sending and verifying read the project and never write it: it keeps
  // what the user asked for, whatever the radio reports, and a monitor may
  // have it open meanwhile.
  if (!openUserProject(project, true)) return 1;
  Tradio* r = window_.project()->radio(radio);
  if (!r) {
    err_ << "tessel-cli: the project " << project << " has no radio " << radio << std::endl;
    return 1;
  }
  // A remote radio is reached as the monitor reaches it: dialled first.
  window_.switchMode(remote ? wmMonitor : wmProject);
  window_.setCurrentRadio(r);
  r->LoadIntoPanel();
  const auto sent = settingsReport(settingsOfPanel(panel_), brand());
  EntryRules rules(window_);
  RadioSender sender(window_, rules, values_);
  // "set PROJECT RADIO" names the radio to write into the one on the port.
  sender.confirmTarget = false;
  prompts_.notices = {panel_.text(ctl::ok) + " complete, radio reset"};
  engine_->setPollInterval(fast ? 0 : 1000);
  LineEcho echo(out_);
  engine_->addObserver(&echo);
  SendOutcome outcome;
  const bool ok = runTask(Command::SetRadio, "send", [&] {
    outcome = sender.okClick();
    if (!outcome.started) {
      if (!outcome.notice.empty() && !prompts_.failed())
        err_ << "tessel-cli: " << outcome.notice << std::endl;
    }
    return outcome.started;
  });
  engine_->removeObserver(&echo);
  if (!outcome.started || !ok) return 1;
  if (!verify) return 0;

  // The local radio is read back in Manual mode, into the panel alone. A
  // remote one is read as the monitor reads it (only there does a radio with
  // a record count as remote); the project is read only, so what the radio
  // reports reaches the panel and not the file.
  const int id = r->slotID;
  const int type = r->modelIndex;
  if (remote) {
    r->responded = false;
    window_.setCurrentRadio(r);
  } else {
    window_.switchMode(wmManual);
    window_.setCurrentRadio(nullptr);
  }
  const bool read = runTask(remote ? Command::GetRadio : Command::GetLocal, "read", [&] {
    if (remote)
      return started(kGetRadioParametersTitle,
                     window_.commands.getRadio(kGetRadioParametersTitle, {id, type}));
    return started(kGetLocalTitle, window_.commands.getLocal(kGetLocalTitle, {{0, type}}));
  });
  panel_.panelLoading = false;
  if (!read) return 1;
  const auto got = settingsReport(settingsOfPanel(panel_), brand());
  // Only what the send wrote to this type of radio can read back the same
  // (the name lives in the project alone; types 0 and 1 hold no master ID).
  std::set<std::string> written;
  for (const RegisterRow& row : registerMap(type)) {
    if (row.access <= 0 || row.param < 0) continue;
    if (row.param >= param::blockedFreq1 && row.param <= param::blockedFreq12)
      written.insert("s" + std::to_string(row.param));
    else if (const ProjectKey* k = keyOf(row.param))
      written.insert(k->name);
  }
  int differ = 0;
  for (const auto& [key, value] : sent) {
    if (!written.count(key)) continue;
    for (const auto& [k2, v2] : got) {
      if (k2 != key || trimBlanks(v2) == trimBlanks(value)) continue;
      out_ << "differs: " << key << " sent " << value << ", read " << v2 << "\n";
      ++differ;
    }
  }
  out_ << (differ ? "verify: " + std::to_string(differ) + " parameter(s) differ"
                  : std::string("verify: every parameter reads as sent"))
       << std::endl;
  return differ ? 3 : 0;
}

bool Session::openUserProject(const std::string& project, bool readOnly) {
  std::error_code ec;
  if (!fs::is_regular_file(platform::pathFromUtf8(project), ec)) {
    err_ << "tessel-cli: no project file " << project << std::endl;
    return false;
  }
  // The project before the port: a project in use is refused at once.
  std::string error;
  if (readOnly) {
    window_.openProjectReadOnly(project);
  } else if (!window_.openOwnProject(project, error)) {
    err_ << "tessel-cli: " << error << std::endl;
    return false;
  }
  if (!openPort()) return false;
  for (const std::string& line : window_.project()->unreadableReport())
    err_ << "tessel-cli: " << line << std::endl;
  window_.loadProjectRadios();
  window_.switchMode(wmProject);
  return true;
}

bool Session::hasRadios(const TpollArray& list, const std::string& project) {
  if (!list.empty()) return true;
  err_ << "tessel-cli: the project " << project << " has no radios" << std::endl;
  return false;
}

int Session::monitor(const std::string& project, int intervalMs, int cycles) {
  // The readings for a monitoring server: listening before the port opens,
  // so an address that cannot be served ends the command before any poll.
  MonitorMetrics metrics(window_);
  MetricsServer server([&metrics] { return metrics.exposition(); });
  if (!options_.metrics.empty()) {
    std::string error;
    if (!server.start(options_.metrics, error)) {
      err_ << "tessel-cli: " << error << std::endl;
      return 1;
    }
    err_ << "tessel-cli: metrics at " << server.url() << std::endl;
    engine_->addObserver(&metrics);
  }
  struct Unobserve {
    TcomPort& engine;
    MonitorMetrics& metrics;
    ~Unobserve() { engine.removeObserver(&metrics); }
  } unobserve{*engine_, metrics};
  if (!openUserProject(project)) return 1;
  // The monitor layout, as "Online Monitor" > "Existing Project" sets it.
  views_.setMonitorColumns(true);
  window_.switchMode(wmMonitor);
  window_.setPanelView(PanelView::Monitor);
  TpollArray list = window_.project()->BuildPollList(true);
  if (!hasRadios(list, project)) return 1;
  engine_->setPollInterval(intervalMs);

  std::map<int, int> polled;  // radio ID -> completed polls
  int rounds = 0;
  bool done = false;
  auto finished = [&] {
    if (cycles <= 0) return false;
    if (rounds > cycles) return true;
    for (const TpollEntry& e : list)
      if (polled[e.radio] < cycles) return false;
    return true;
  };
  OncePerRound once;
  auto printPoll = [&](int radio) {
    if (!once.first(radio, rounds)) return;
    ++polled[radio];
    const Tradio* r = window_.project()->radio(radio);
    if (!r || r->listItem == kNoRow) return;
    writeReadingCsv(out_, window_.pollReadings.of(radio, std::time(nullptr)), r->name);
    out_ << std::flush;
  };
  auto check = [&] {
    if (!finished()) return;
    done = true;
    loop_.quit();
  };
  // A radio that stopped answering halfway through its poll still makes
  // its line, with what it did not report missing. Radios that never
  // answer still end the rounds.
  progress_.onRadioRead = [&](Command command, int radio, bool) {
    if (command != Command::Monitor) return;
    printPoll(radio);
    check();
  };
  progress_.onProgress = [&](const CommandProgress& p) {
    if (p.command != Command::Monitor || p.radio < 0) return;
    rounds = p.round;
    check();
  };
  progress_.onEnded = [&](Command command, CommandOutcome outcome, const std::string&) {
    if (command == Command::Monitor && outcome == CommandOutcome::Cancelled) loop_.quit();
  };
  DropNotice drops(*engine_, err_);
  if (!started(kOnlineMonitorTitle, window_.commands.monitor(kOnlineMonitorTitle, list))) {
    progress_.clear();
    window_.closeProject();
    return 1;
  }
  bool ok = runUntilDone([&] { return done; });
  progress_.clear();
  if (!prompts_.failed()) stopAtLocal(list.front());
  window_.closeProject();
  if (prompts_.failed()) return 1;
  // Without a number of cycles, monitoring runs until interrupted or until
  // the time limit: both are its normal end.
  if (interrupted_ || cycles <= 0) return 0;
  if (!ok) {
    err_ << "tessel-cli: the monitor did not complete " << cycles << " cycle(s) within "
         << options_.timeoutMs / 1000.0 << " s" << std::endl;
    return 1;
  }
  return 0;
}

int Session::discover(const std::string& project, int intervalMs, int rounds, bool force) {
  std::error_code ec;
  if (fs::exists(platform::pathFromUtf8(project), ec) && !force) {
    err_ << "tessel-cli: " << project << " exists; --force replaces it" << std::endl;
    return 1;
  }
  // The radios found go into a new project of the command's own; it
  // replaces the file only once a radio was found, so a discovery that
  // finds nothing leaves the old project as it was. The file stays locked
  // meanwhile, so no other program writes it in between.
  ProjectLock lock;
  std::string error;
  if (!lock.take(project, error)) {
    err_ << "tessel-cli: " << error << "; close it there first" << std::endl;
    return 1;
  }
  if (!canRewriteFile(project, error)) {
    err_ << "tessel-cli: " << error << std::endl;
    return 1;
  }
  if (!makeTempDir()) return 1;
  const std::string found = tempDir_ + "/discovered.vro";
  if (!openPort()) return 1;
  window_.openProject(found);
  window_.switchMode(wmProject);
  engine_->setPollInterval(intervalMs);

  // The discovery is done once the radio of round rounds + 1 is dialled.
  bool done = false;
  progress_.onProgress = [&](const CommandProgress& p) {
    if (p.command != Command::Discover || p.radio < 0 || p.round <= rounds) return;
    done = true;
    loop_.quit();
  };
  // A radio that answers a dial with ERROR ends the discovery: what was
  // found so far is kept.
  bool ended = false;
  progress_.onEnded = [&](Command command, CommandOutcome, const std::string&) {
    if (command != Command::Discover) return;
    ended = true;
    loop_.quit();
  };
  GroupCommands commands(window_);
  commands.createProject = [] { return true; };
  // A refusal has told why through the prompts.
  const bool began = commands.discoverNew();
  bool ok = began && runUntilDone([&] { return done || ended; }) && done;
  progress_.clear();
  if (!prompts_.failed()) window_.commands.stop(kCancelCaption, {{0, 0}});
  Tproject* p = window_.project();
  int radios = 0;
  for (int id = 0; p && id < kRadioSlots; ++id) {
    const std::string section = Tradio::sectionName(id);
    if (!p->sectionExists(section)) continue;
    ++radios;
    out_ << id << "," << csvField(p->readKey(section, "Radio Name", "")) << ","
         << csvField(p->readKey(section, brand().modelKey, "")) << ","
         << csvField(p->readKey(section, "Radio Mode", "")) << ","
         << csvField(p->readKey(section, "Master ID", "")) << std::endl;
  }
  const int failedWrites = p ? p->failedWrites() : 0;
  window_.closeProject();
  // What was found is kept however the discovery ended (a pulled cable,
  // an interrupt), as a project written through would keep it.
  if (radios > 0 && failedWrites == 0 && !replaceFileWithCopy(project, found, error)) {
    err_ << "tessel-cli: " << error << std::endl;
    return 1;
  }
  if (prompts_.failed()) return 1;
  if (ended && !done) {
    err_ << "tessel-cli: the monitor ended before " << rounds << " round(s) were complete"
         << std::endl;
  } else if (!ok && !interrupted_) {
    err_ << "tessel-cli: discovery did not complete " << rounds << " round(s) within "
         << options_.timeoutMs / 1000.0 << " s" << std::endl;
  }
  if (radios == 0) {
    err_ << "tessel-cli: no radio found; " << project
         << (fs::exists(platform::pathFromUtf8(project), ec) ? " is left as it was"
                                                             : " is not written")
         << std::endl;
    return 1;
  }
  return 0;
}

// Reads every radio of run's list once, as the monitor reads them, the
// replies going to run alone; back at the local radio after. began: the
// engine took the read. True when every radio was read.
bool Session::readOnce(GroupCompareRun& run, bool& began) {
  const TpollArray& list = run.list();
  bool done = false;
  auto check = [&] {
    if (run.complete()) {
      done = true;
      loop_.quit();
    }
  };
  run.reader().onRead = [&](int) { check(); };
  progress_.onProgress = [&](const CommandProgress& p) {
    if (p.command != Command::Compare || p.radio < 0) return;
    run.dialling(p.radio);
    check();
  };
  progress_.onEnded = [&](Command command, CommandOutcome, const std::string&) {
    if (command != Command::Compare) return;
    run.taskEnded();
    loop_.quit();
  };
  engine_->AttachMainWindow(&status_, &run.reader());
  engine_->setPollInterval(0);
  DropNotice drops(*engine_, err_);
  began = started(kOnlineMonitorTitle, window_.commands.compare(kOnlineMonitorTitle, list));
  const bool ok = began && runUntilDone([&] { return done || run.ended(); }) && done;
  progress_.clear();
  run.reader().onRead = nullptr;
  if (began && (!prompts_.failed() || engine_->linkDialled())) stopAtLocal(list.front());
  engine_->AttachMainWindow(&status_, &values_);
  return ok;
}

int Session::compare(const std::string& project, const std::vector<int>& radios) {
  // Only read: the project is opened as a send opens it, and the radios'
  // replies go to the comparison, never to the file or the panel.
  if (!openUserProject(project, true)) return 1;
  GroupCompareRun run(*window_.project(), brand(), std::set<int>(radios.begin(), radios.end()));
  const TpollArray& list = run.list();
  // A radio asked for that the project lacks is a mistake in the command:
  // nothing is read.
  for (int id : run.unknown())
    err_ << "tessel-cli: the project " << project << " has no radio " << id << std::endl;
  if (!run.unknown().empty()) {
    window_.closeProject();
    return kUsageError;
  }
  if (!hasRadios(list, project)) return 1;

  bool began = false;
  const bool ok = readOnce(run, began);
  if (!began) {
    window_.closeProject();
    return 1;
  }

  int differs = 0, missing = 0;
  for (const CompareRow& row : run.rows()) {
    out_ << compareCsvLine(row) << "\n";
    const bool unread =
        row.kind == CompareRow::Kind::Silent || row.kind == CompareRow::Kind::NotRead;
    ++(unread ? missing : differs);
  }
  out_.flush();
  window_.closeProject();
  if (interrupted_ && !ok) {
    err_ << "tessel-cli: interrupted before every radio was read" << std::endl;
    return 1;
  }
  if (!ok && !prompts_.failed() && !run.ended())
    err_ << "tessel-cli: the radios were not all read within " << options_.timeoutMs / 1000.0
         << " s" << std::endl;
  if (missing || !ok) return 1;
  return differs ? 3 : 0;
}

int Session::emulate(const std::string& project) {
  // The radios played write what a configurator sets into the project: one
  // that cannot be written is refused before anything is served.
  std::string error;
  std::error_code ec;
  if (fs::is_regular_file(platform::pathFromUtf8(project), ec) && !canRewriteFile(project, error)) {
    err_ << "tessel-cli: " << error << std::endl;
    return 1;
  }
  if (!openUserProject(project)) return 1;
  const TpollArray list = window_.project()->BuildPollList(false);
  if (!hasRadios(list, project)) return 1;
  if (!started(kEmulateGroupTitle, window_.commands.emulate(kEmulateGroupTitle, list))) {
    window_.closeProject();
    return 1;
  }
  out_ << "emulating " << list.size() << " radio(s) on " << options_.device << std::endl;
  // Serves until interrupted, or for --timeout when given.
  runUntilDone([] { return false; });
  window_.closeProject();
  return prompts_.failed() ? 1 : 0;
}

std::vector<std::pair<std::string, std::string>> Session::settingsReport(
    const RadioSettings& s, const BrandModels& models) {
  std::vector<std::pair<std::string, std::string>> r;
  // A choice shows its value text, or nothing when no valid item is chosen.
  auto shown = [](const ProjectKey& k, int i) {
    return i >= 0 && i < k.count ? std::string(k.texts[i]) : std::string();
  };
  auto add = [&r](const ProjectKey& k, const std::string& text) { r.emplace_back(k.name, text); };
  const GroupSettings& g = s.group;
  add(groupkey::groupID, g.groupID);
  add(groupkey::securityID, g.securityID);
  add(groupkey::rfband, g.rfband);
  add(groupkey::flushTime, g.flushTime);
  add(groupkey::reTXBroadcasts, shown(groupkey::reTXBroadcasts, g.reTXBroadcasts));
  add(groupkey::repeaters, shown(groupkey::repeaters, g.repeaters));
  for (int i = 0; i < kBlockedCount; ++i)
    r.emplace_back("s" + std::to_string(30 + i), g.blocked[static_cast<size_t>(i)]);
  using namespace radiokey;
  add(radioID, s.radioID);
  add(radioMode, shown(radioMode, s.radioMode));
  add(roaming, shown(roaming, s.roaming));
  add(masterID, s.masterID);
  add(retries, s.retries);
  add(autoRouting, shown(autoRouting, s.protocol));
  add(bufferMode, shown(bufferMode, s.bufferMode));
  r.emplace_back(models.modelKey,
                 s.model >= 0 && s.model < kModelCount ? models.names[s.model] : "");
  if (s.model == 0) {
    add(emulationMode, shown(emulationMode, s.emulationMode));
    add(mainSerialPort, s.mainSerialPort);
    add(sleepMode, shown(sleepMode, s.sleepMode));
    add(plcAddress, s.plcAddress);
    add(startTime, s.startTime);
    add(onTimer, s.onTimer);
    add(offTimer, s.offTimer);
  }
  add(baudRate, trimBlanks(s.baudRate));
  // As the project file would store them.
  add(dataBits, fileTextOf(dataBits, s.dataBits));
  add(stopBits, fileTextOf(stopBits, s.stopBits));
  const std::string p = shown(parity, s.parity);
  add(parity, p.empty() ? "None" : p);
  add(handshaking, fileTextOf(handshaking, s.handShaking));
  return r;
}

}  // namespace tessel::cli
