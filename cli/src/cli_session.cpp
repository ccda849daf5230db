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
#include <optional>
#include <set>
#include <thread>

#include "link/link_serial.h"
#include "metrics/metrics_server.h"
#include "metrics/monitor_metrics.h"
#include "model/brand.h"
#include "model/catalogue.h"
#include "model/data_dir.h"
#include "model/file_access.h"
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

std::vector<std::string> modelEntries() {
  std::vector<std::string> e;
  for (int i = 0; i < brandModels(0).modelCount; ++i) e.push_back(brandModels(0).names[i]);
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

PromptButton CliPrompts::show(PromptIcon icon, const std::string& text, PromptButtons buttons) {
  // A notice (a send's "complete") tells what the command's end tells too.
  if (icon == PromptIcon::Information) return answerFor(buttons);
  err_ << "tessel-cli: " << text << std::endl;
  if (!failed_) message_ = text;
  failed_ = true;
  if (onShown) onShown();
  return answerFor(buttons);
}

void CliTerminal::addLine(const std::string& text) {
  if (show) err_ << text << std::endl;
}

const BrandModels& Session::brand() {
  return brandModels(0);
}

Session::Session(SessionOptions options, std::ostream& out, std::ostream& err)
    : options_(std::move(options)),
      out_(out),
      err_(err),
      settings_(options_.settingsPath.empty() ? ConfSettings::defaultPath(kMaker, kProduct)
                                              : options_.settingsPath),
      prompts_(err),
      timer_(loop_.createTimer()),
      terminal_(err),
      panel_(modelEntries()),
      window_(panel_, views_, prompts_, brand(), kProduct) {
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
  host_ = std::make_unique<EngineHost>(
      EngineSeams{loop_.dispatcher(), *timer_, prompts_, settings_, view_, &terminal_, log_.get()},
      window_);
  engine_ = &host_->engine();
  window_.commands.addListener(&progress_);
  prompts_.onShown = [this] { loop_.quit(); };
  window_.onModeSwitch = [this](int) { host_->attach(&status_); };
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
  engine_ = nullptr;
  host_.reset();
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
    serial().setDevicePath(options_.device);
    view_.setPortNumberText("1");
  }
  const LineOverrides& given = options_.line;
  if (given.any()) {
    // The stored line with what the command gives over it.
    LineSettings line = engine_->comPortDialog().line();
    if (given.baud) line.baud = given.baud;
    if (given.parity >= 0) line.parity = parityOfItem(given.parity);
    if (given.dataBits) line.dataBits = given.dataBits == 8 ? d8bit : d7bit;
    if (given.stopBits) line.stopBits = given.stopBits == 2 ? st2bit : st1bit;
    host_->setLine(line);
    // Settings given here are the ones to talk at: no stored
    // auto-configured code replaces them.
    engine_->clearSettingsCode();
  }
  engine_->comPortNumberChange();
  if (!serial().Active()) {
    // The port's own error box has given the reason when it showed one.
    int code = prompts_.failed() ? 0 : serial().ErrorCode();
    const std::string told = serial().LastErrorMessage();
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
  while (serial().Active() && serial().TxWaiting() > 0 && std::chrono::steady_clock::now() < end)
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

bool Session::started(const std::string& title, CommandStart why) {
  if (why == CommandStart::Started) return true;
  err_ << "tessel-cli: " << window_.commands.whyNot(title, why) << std::endl;
  return false;
}

void Session::stopAtLocal(const TpollEntry& entry) {
  // TaskEnd the task hangs up a dialled radio; the hang-up is given a moment
  // to leave the port before the port closes.
  const bool dialled = engine_->linkDialled();
  window_.commands.stop(kCancelCaption, {entry});
  if (dialled) loop_.run(std::chrono::milliseconds(100));
}

Outcome Session::runTask(Command command, const char* what, const std::function<bool()>& start) {
  std::optional<Outcome> ended;
  progress_.onEnded = [&](Command c, const Outcome& outcome) {
    if (c != command) return;
    ended = outcome;
    loop_.quit();
  };
  if (!start()) {
    progress_.clear();
    return Outcome{TaskEnd::NotStarted};
  }
  runUntilDone([&] { return ended.has_value(); });
  progress_.clear();
  // A question answered Abort ends the command, whatever the task did
  // after; the box has said why.
  if (prompts_.failed())
    return ended && !ended->done() ? *ended
                                   : Outcome{TaskEnd::Cancelled, prompts_.message(), -1, {}, true};
  if (ended) {
    // An end the engine gave no box of its own for is said here.
    if (!ended->done() && !ended->shown && !ended->message.empty())
      err_ << "tessel-cli: " << ended->message << std::endl;
    return *ended;
  }
  if (interrupted_) {
    err_ << "tessel-cli: interrupted before the " << what << " was complete" << std::endl;
    return Outcome{TaskEnd::Interrupted};
  }
  err_ << "tessel-cli: the radio did not complete the " << what << " within "
       << options_.timeoutMs / 1000.0 << " s" << std::endl;
  return Outcome{TaskEnd::TimedOut};
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

Session::SettingsReport Session::settingsReport(const RadioSettings& s, const BrandModels& models) {
  SettingsReport r;
  // A choice shows its value text, or nothing when no valid item is chosen.
  auto shown = [](const ProjectKey& k, int i) {
    return i >= 0 && i < k.count ? std::string(k.texts[i]) : std::string();
  };
  auto add = [&r](const ProjectKey& k, const std::string& text) { r.emplace_back(k.name, text); };
  auto number = [&add](const ProjectKey& k, int n) { add(k, codec::numberText(n)); };
  const GroupSettings& g = s.group;
  number(groupkey::groupID, g.groupID);
  number(groupkey::securityID, g.securityID);
  number(groupkey::rfband, g.rfband);
  add(groupkey::flushTime, codec::flushTimeText(g.flushTime));
  add(groupkey::reTXBroadcasts, shown(groupkey::reTXBroadcasts, itemOf(g.reTXBroadcasts)));
  add(groupkey::repeaters, shown(groupkey::repeaters, itemOf(g.repeaters)));
  for (int i = 0; i < kBlockedCount; ++i)
    r.emplace_back("s" + std::to_string(30 + i),
                   codec::blockedText(g.blocked[static_cast<size_t>(i)]));
  using namespace radiokey;
  number(radioID, s.radioID);
  add(radioMode, shown(radioMode, itemOf(s.radioMode)));
  add(roaming, shown(roaming, itemOf(s.roaming)));
  number(masterID, s.masterID);
  number(retries, s.retries);
  add(autoRouting, shown(autoRouting, itemOf(s.protocol)));
  add(bufferMode, shown(bufferMode, itemOf(s.bufferMode)));
  r.emplace_back(models.modelKey,
                 s.model >= 0 && s.model < kModelCount ? models.names[s.model] : "");
  if (s.model == 0) {
    add(emulationMode, shown(emulationMode, s.emulationMode));
    number(mainSerialPort, s.mainSerialPort);
    add(sleepMode, shown(sleepMode, s.sleepMode));
    number(plcAddress, s.plcAddress);
    add(startTime, s.startTime);
    number(onTimer, s.onTimer);
    number(offTimer, s.offTimer);
  }
  add(baudRate, baudRateText(s.baudRate));
  // As the project file would store them.
  number(dataBits, s.dataBits);
  number(stopBits, s.stopBits);
  const std::string p = shown(parity, itemOf(s.parity));
  add(parity, p.empty() ? "None" : p);
  add(handshaking, fileTextOf(handshaking, itemOf(s.handShaking)));
  return r;
}

}  // namespace tessel::cli
