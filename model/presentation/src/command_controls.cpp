// The window's command controls as the commands' state allows them, and
// the main window's side of a command's end: the Cancel button and the
// monitor's layout follow it.
#include "model/command_controls.h"

#include "model/main_window_model.h"
#include "model/panel_settings.h"
#include "model/project.h"
#include "model/radio.h"

namespace tessel {

CommandControls commandControls(const RadioCommands& commands, int windowMode, bool portOpen) {
  CommandControls c;
  const Command current = commands.current();
  const bool sending =
      commands.running() && (current == Command::SetRadio || current == Command::Reset);
  c.stop =
      commands.running() && !sending &&
      (current == Command::Monitor || current == Command::Discover || current == Command::Emulate ||
       current == Command::GetLocal || current == Command::GetRadio);
  Command rounds;
  c.cancel = windowMode == wmMonitor && !sending && commands.roundsRunning(rounds) &&
             (rounds == Command::Monitor || rounds == Command::Discover);
  const bool project = windowMode == wmProject || windowMode == wmMonitor;
  c.compare = project && portOpen;
  c.changeGroupShown = project;
  c.changeGroup = project && portOpen;
  return c;
}

CommandControls MainWindowModel::commandControls() const {
  return tessel::commandControls(commands, panel.WindowMode, !portOpen || portOpen());
}

void MainWindowModel::followCommands() {
  if (panel.WindowMode == wmMonitor) {
    // The Cancel button ends the monitoring; the layout disables it on the
    // way in, before the monitor runs.
    panel.setEnabled(ctl::advanced, commandControls().cancel);
    // A radio found but not read in full yet shows defaults where its
    // values will be: nothing of that goes to it.
    const Tradio* r = panel.currentRadio;
    panel.setEnabled(ctl::ok, !(r && !r->pollOnly));
  }
  if (onCommandsChanged) onCommandsChanged();
}

void MainWindowModel::advancedClick() {
  if (panelView_ == PanelView::Monitor) {
    // Stopped while the mode is still Monitor, so the hang-up finds the
    // radio that is local by its answer; the monitor's end leaves the
    // layout. Nothing running, the layout goes all the same.
    if (tasks) {
      const RadioSettings shown = settingsOfPanel(panel);
      const int id = shown.radioID < 0 ? 0 : shown.radioID;
      int model = shown.model;
      if (model < 0 || model >= kModelCount) model = 1;
      commands.stop(advancedCaption(PanelView::Advanced), TpollArray{{id, model}});
    }
    leaveMonitorLayout();
    return;
  }
  setPanelView(panelView_ == PanelView::Advanced ? PanelView::Basic : PanelView::Advanced);
  switchMode(panel.WindowMode);
}

void MainWindowModel::leaveMonitorLayout() {
  if (panelView_ != PanelView::Monitor) return;
  // The basic list layout, no tree, Project mode.
  setPanelView(PanelView::Advanced);
  views.setMonitorColumns(false);
  views.clearTree();
  if (project_) {
    for (int id = 0; id < kRadioSlots; ++id) {
      if (Tradio* r = project_->radio(id)) r->treeNode = kNoNode;
    }
  }
  switchMode(wmProject);
  enableRadioParameters(true);
}

void MainWindowModel::CommandFollower::commandProgress(const CommandProgress&) {
  window.followCommands();
}

void MainWindowModel::CommandFollower::commandEnded(Command command, const Outcome&) {
  // However a monitor or a discovery ends (stopped, the line lost, a
  // refusal), the window no longer shows it as running.
  if (command == Command::Monitor || command == Command::Discover) window.leaveMonitorLayout();
  window.followCommands();
}

}  // namespace tessel
