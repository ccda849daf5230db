#include "model/group_commands.h"

#include "model/factory_defaults.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/project.h"
#include "model/radio.h"

namespace tessel {

namespace {
const char* const kDefaultProjectMark = "Manual Configuration";
}  // namespace

const std::vector<std::string>& pollIntervalCaptions() {
  // "2.0 seconds" is written in lower case on purpose: users know the menu so.
  static const std::vector<std::string> captions{"1.0 Seconds", "1.5 Seconds",   "2.0 seconds",
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

GroupCommands::GroupCommands(MainWindowModel& window) : window_(window) {}

void GroupCommands::monitorLayout() {
  window_.views.setMonitorColumns(true);
  window_.setPanelView(PanelView::Monitor);
  window_.switchMode(wmMonitor);
}

bool GroupCommands::monitorExisting() {
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
  monitorLayout();
  TpollArray list = project->BuildPollList(true);
  if (window_.tasks) window_.tasks->StartTask(tkMonitor, kOnlineMonitorTitle, list);
  window_.panel.setEnabled(ctl::advanced, true);
  return true;
}

bool GroupCommands::discoverNew() {
  if (!createProject || !createProject() || !window_.project()) return false;
  monitorLayout();
  TpollArray list;
  list.reserve(kDiscoverEntries);
  for (int id = 0; id < kDiscoverEntries; ++id) list.push_back({id, 0});
  if (window_.tasks) window_.tasks->StartTask(tkMonitor, kOnlineMonitorTitle, list);
  window_.panel.setEnabled(ctl::advanced, true);
  return true;
}

void GroupCommands::emulateGroup() {
  Tproject* project = window_.project();
  if (!project || !window_.tasks) return;
  TpollArray list = project->BuildPollList(false);
  window_.tasks->StartTask(tkEmulate, kEmulateGroupTitle, list);
}

void GroupCommands::getRadioParameters() {
  Tradio* r = window_.panel.currentRadio;
  if (!r) return;
  if (r->responded) {
    if (getLocal) getLocal();
    return;
  }
  r->pollOnly = false;
  if (r->treeNode != kNoNode) {
    window_.views.setNodeImage(r->treeNode, kImageFetching);
    window_.views.repaintTree();
  }
  if (window_.tasks)
    window_.tasks->StartTask(tkGetRemote, kGetRadioParametersTitle, TpollArray{{r->slotID, 2}});
}

LinkTasks::TaskStart GroupCommands::resetRadio() {
  Tradio* r = window_.panel.currentRadio;
  if (!r) return LinkTasks::TaskStart::Started;
  if (!window_.tasks) return LinkTasks::TaskStart::PortClosed;
  // The lines go with the task or not at all: left in the queue by a refused
  // start, they would make the next Set Radio look busy.
  return window_.tasks->StartSend(kResetTitle, TpollArray{},
                                  {"ATD" + std::to_string(r->slotID), "AT&R"});
}

void GroupCommands::deleteRadio() {
  GroupViews& views = window_.views;
  bool monitored = false;
  if (window_.panelView() == PanelView::Monitor) {
    window_.advancedClick();
    monitored = true;
  }
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
      window_.enableGroupParameters(window_.panel.itemIndex(ctl::radioMode) == item::master);
      window_.setRadioChanged(false);
    } else {
      window_.panel.currentRadio = nullptr;
    }
    if (monitored && views.rowCount() > 0) monitorExisting();
    if (views.rowCount() == 0 && closeProject) closeProject();
  }
  if (views.rowCount() == 0) window_.panel.entriesValid = false;
}

}  // namespace tessel
