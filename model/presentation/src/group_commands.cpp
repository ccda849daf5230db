#include "model/group_commands.h"

#include "model/factory_defaults.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/project.h"
#include "model/radio.h"

namespace tessel {

namespace {
const char* const kDefaultProjectMark = "Manual Configuration";

// "radio 3 (Radio 003)": the radio a question is about.
std::string radioNamed(const Tradio& r) {
  return "radio " + std::to_string(r.slotID) + " (" + r.settings.name + ")";
}

// Delete and Reset act on a radio at once and cannot be undone: they ask
// first, No being the default.
bool confirmed(MainWindowModel& window, const std::string& question) {
  return window.prompts.show(PromptIcon::Question, question, pbYes | pbNo | pbRefusalIsDefault) ==
         pbYes;
}

std::string withoutAmpersand(const std::string& caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    out += caption[i];
  }
  return out;
}
}  // namespace

std::string taskRefusal(const std::string& title, LinkTasks::TaskStart why) {
  const std::string name = withoutAmpersand(title);
  if (why == LinkTasks::TaskStart::Busy)
    return "The link is busy with another task: " + name + " did not start.";
  return "The COM port is not open: " + name + " did not start.";
}

void DiscoveryProgress::start() {
  dialling_ = -1;
  found_.clear();
}

void DiscoveryProgress::dialling(int id) {
  if (id >= 0 && id < kDiscoverEntries) dialling_ = id;
}

void DiscoveryProgress::found(int id) {
  if (id >= 0 && id < kDiscoverEntries) found_.insert(id);
}

std::string DiscoveryProgress::text() const {
  const int n = foundCount();
  const std::string found = std::to_string(n) + (n == 1 ? " radio found" : " radios found");
  if (dialling_ < 0) return "Discovery: reaching the local radio, " + found;
  return "Discovery: ID " + std::to_string(dialling_) + " of " + std::to_string(kDiscoverEntries) +
         ", " + found;
}

const std::vector<std::string>& pollIntervalCaptions() {
  static const std::vector<std::string> captions{"1.0 Seconds", "1.5 Seconds",   "2.0 Seconds",
                                                 "2.5 Seconds", "3.0 Seconds",   "3.5 Seconds",
                                                 "4.0 Seconds", kAsFastAsReplies};
  return captions;
}

int pollIntervalFromCaption(const std::string& caption) {
  if (caption == kAsFastAsReplies) return 0;
  const auto& known = pollIntervalCaptions();
  bool listed = false;
  for (const auto& c : known) listed = listed || c == caption;
  if (!listed) return -1;
  int ms = (caption[0] - '0') * 1000;
  if (caption[2] == '5') ms += 500;
  return ms;
}

const std::string& pollIntervalCaption(int ms) {
  const auto& known = pollIntervalCaptions();
  for (const auto& c : known)
    if (pollIntervalFromCaption(c) == ms) return c;
  return known.front();
}

std::string pollIntervalHint(int ms, int sendTickMs) {
  auto seconds = [](int t) {
    const std::string s = std::to_string(t / 1000) + "." + std::to_string(t % 1000 / 100);
    return s + " s";
  };
  if (ms == 0)
    return "Polls, and the lines a send writes to a remote radio, go out as soon as the radio "
           "answered the last; the interval then only times out a radio that does not answer. "
           "A radio too slow to take lines that fast fails its tries: choose an interval then.";
  return "A monitor asks a register every " + seconds(ms) + ". A send writes a line per " +
         seconds(sendTickMs) +
         " to a remote radio (As Fast as Replies: as soon as it answered the last).";
}

GroupCommands::GroupCommands(MainWindowModel& window) : window_(window) {}

void GroupCommands::monitorLayout() {
  window_.views.setMonitorColumns(true);
  window_.setPanelView(PanelView::Monitor);
  window_.switchMode(wmMonitor);
}

bool GroupCommands::monitoring() const {
  return window_.panelView() == PanelView::Monitor;
}

bool GroupCommands::discovering() const {
  Command rounds;
  return window_.commands.roundsRunning(rounds) && rounds == Command::Discover;
}

void GroupCommands::stopMonitor() {
  if (monitoring()) {
    window_.advancedClick();
  } else if (window_.commandControls().stop) {
    // A read or an emulation outside the monitor's layout.
    window_.commands.stop(kCancelCaption, {});
  }
}

bool GroupCommands::admitted(const std::string& title, Command command) {
  return started(title, window_.commands.admit(command));
}

void GroupCommands::refused(const std::string& title, LinkTasks::TaskStart why) {
  // The user chose to let what runs go on: nothing more to say.
  const std::string text = window_.commands.whyNot(title, why);
  if (text.empty()) return;
  if (showNotice) showNotice(text);
  window_.prompts.show(PromptIcon::Warning, text, pbOk);
}

bool GroupCommands::started(const std::string& title, LinkTasks::TaskStart why) {
  if (why == LinkTasks::TaskStart::Started) return true;
  refused(title, why);
  return false;
}

void GroupCommands::getLocalRadio() {
  if (!window_.project() || !admitted(kGetLocalTitle, Command::GetLocal)) return;
  // The read moves the panel to the radio it reads: edits of the radio
  // shown are offered for saving first.
  if (window_.panel.WindowMode != wmManual && window_.radioChanged() &&
      window_.prompts.show(PromptIcon::Warning, "Radio configuration changes made, save them?",
                           pbYes | pbNo) == pbYes)
    window_.saveCurrentRadio();
  started(kGetLocalTitle, window_.commands.getLocal(kGetLocalTitle));
}

bool GroupCommands::monitorExisting() {
  // Asked before the project chooser opens.
  if (!admitted(kOnlineMonitorTitle, Command::Monitor)) return false;
  Tproject* project = window_.project();
  if (project && project->fileName().find(kDefaultProjectMark) != std::string::npos) {
    // Monitoring the default project means nothing: the user picks one, and
    // a cancelled pick starts nothing.
    if (!loadProject || !loadProject()) return false;
    project = window_.project();
    if (!project || project->fileName().find(kDefaultProjectMark) != std::string::npos)
      return false;
  }
  if (!project) return false;
  TpollArray list = project->BuildPollList(true);
  if (list.empty()) {
    if (showNotice) showNotice(kNoRadiosToMonitor);
    window_.prompts.show(PromptIcon::Information, kNoRadiosToMonitor, pbOk);
    return false;
  }
  if (!started(kOnlineMonitorTitle, window_.commands.monitor(kOnlineMonitorTitle, list)))
    return false;
  monitorLayout();
  return true;
}

bool GroupCommands::discoverNew() {
  if (!admitted(kOnlineMonitorTitle, Command::Discover)) return false;
  if (!createProject || !createProject() || !window_.project()) return false;
  if (!started(kOnlineMonitorTitle, window_.commands.discover(kOnlineMonitorTitle))) return false;
  progress.start();
  monitorLayout();
  return true;
}

void GroupCommands::emulateGroup() {
  if (!window_.project()) return;
  Tproject* project = window_.project();
  started(kEmulateGroupTitle,
          window_.commands.emulate(kEmulateGroupTitle, project->BuildPollList(false)));
}

void GroupCommands::getRadioParameters() {
  Tradio* r = window_.panel.currentRadio;
  if (!r) return;
  if (r->responded) {
    getLocalRadio();
    return;
  }
  const bool wasRead = r->pollOnly;
  r->pollOnly = false;
  if (!started(kGetRadioParametersTitle,
               window_.commands.getRadio(kGetRadioParametersTitle, {r->slotID, 2}))) {
    r->pollOnly = wasRead;
    return;
  }
  if (r->treeNode != kNoNode) {
    window_.views.setNodeImage(r->treeNode, kImageFetching);
    window_.views.repaintTree();
  }
}

LinkTasks::TaskStart GroupCommands::resetRadio() {
  Tradio* r = window_.panel.currentRadio;
  if (!r) return LinkTasks::TaskStart::Started;
  if (!window_.tasks) {
    refused(kResetTitle, LinkTasks::TaskStart::PortClosed);
    return LinkTasks::TaskStart::PortClosed;
  }
  // The user said No: nothing was refused, nothing is sent.
  if (!confirmed(window_, "Reset " + radioNamed(*r) + "? The radio restarts."))
    return LinkTasks::TaskStart::Started;
  const LinkTasks::TaskStart why = window_.commands.reset(kResetTitle, r->slotID);
  if (why != LinkTasks::TaskStart::Started) refused(kResetTitle, why);
  return why;
}

void GroupCommands::deleteRadio() {
  GroupViews& views = window_.views;
  if (window_.panel.currentRadio && window_.project() &&
      !confirmed(window_, "Delete " + radioNamed(*window_.panel.currentRadio) +
                              "? This removes the radio's section from the project."))
    return;
  // The monitor goes on without the radio: its layout and the other radios'
  // nodes stay.
  const bool monitored = monitoring();
  Tradio* r = window_.panel.currentRadio;
  Tproject* project = window_.project();
  if (r && project) {
    // The deleted radio's changes go with it: a later Close Project must not
    // offer to save it back into the file.
    window_.setRadioChanged(false);
    // The radio's own row, wherever the mouse was; the next row is picked
    // from the rows that remain.
    const int index = views.rowIndex(r->listItem);
    project->eraseSection("Radio" + std::to_string(r->slotID));
    r->Destroy();
    RowId next = kNoRow;
    const int count = views.rowCount();
    if (count > 0 && index >= 0) next = views.rowAt(index < count ? index : count - 1);
    window_.selectedRow = next;
    if (Tradio* nr = views.rowRadio(next)) {
      window_.setCurrentRadio(nr);
      views.selectRow(next);
      nr->LoadIntoPanel();
      window_.enableGroupParameters(nr->settings.radioMode == RadioMode::master);
      window_.setRadioChanged(false);
    } else {
      window_.panel.currentRadio = nullptr;
    }
    // A discovery keeps dialling every ID; a monitor polls the radios left.
    if (monitored && !discovering() && views.rowCount() > 0 && window_.tasks)
      window_.commands.updateList(project->BuildPollList(true));
    if (views.rowCount() == 0 && closeProject) closeProject();
  }
  if (views.rowCount() == 0) window_.panel.entriesValid = false;
}

}  // namespace tessel
