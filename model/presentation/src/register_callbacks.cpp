// The engine's questions and notices to the main window (the radio on the
// port, the masters, a read's start and end, a renumbered radio) and the
// register texts a send or an emulated radio reads; the replies themselves
// are register_values.cpp's.
#include "model/group_change.h"
#include "model/group_compare.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/panel_settings.h"
#include "model/project.h"
#include "model/project_keys.h"
#include "model/radio.h"
#include "model/radio_codec.h"
#include "model/register_values.h"
#include "model/text.h"

namespace tessel {

namespace {

// The group section's key of a shared parameter.
std::string groupKeyOf(int param) {
  if (param >= param::blockedFreq1 && param <= param::blockedFreq12)
    return kBlockedFreqKeys[param - param::blockedFreq1];
  return keyOf(param)->name;
}

}  // namespace

std::string RegisterValues::RegisterValue(int radio, int param, bool numeric) {
  if (radio < 0) return "No Radio";
  Tproject* p = window_.project();
  Tradio* r = p && radio < kRadioSlots ? p->radio(radio) : nullptr;
  // The radio being edited (or the one radio of Manual mode) is what the
  // panel shows; any other is what its project section holds. The panel is
  // left as it is.
  const RadioSettings shown = settingsOfPanel(window_.panel);
  RadioSettings settings =
      r && r != window_.panel.currentRadio ? projectSettings(*p, radio, window_.models) : shown;
  // The model-E clock is the setup dialog's (or the PC's), not a radio's.
  settings.currentTime =
      window_.panel.checked(ctl::usePCClock) ? window_.timeShort() : shown.currentTime;
  std::string out;
  for (char c : codec::registerText(settings, param, numeric)) {
    if (c != '.') out += c;
  }
  return out;
}

bool RegisterValues::storeRegister(int radio, int param, int value, const std::string& text) {
  if (radio < 0) return false;
  Panel& panel = window_.panel;
  Tproject* p = window_.project();
  Tradio* r = p && radio < kRadioSlots ? p->radio(radio) : nullptr;
  const std::string t = trimBlanks(text);
  bool taken = false;
  // The panel shows the radio being edited, and the group's values of every
  // radio: as RegisterValue reads them.
  if (!r || r == panel.currentRadio || isSharedParameter(param)) {
    RadioSettings shown = settingsOfPanel(panel);
    if (codec::applyRegister(shown, param, value, t)) {
      showOnPanel(panel, shown);
      taken = true;
    }
  }
  // Outside Manual mode the radio's record and the group's section take it
  // too, only the one value changed: edits in the panel not yet saved stay
  // there.
  if (r && panel.WindowMode != wmManual) {
    RadioSettings stored = projectSettings(*p, radio, window_.models);
    if (codec::applyRegister(stored, param, value, t)) {
      if (isSharedParameter(param)) {
        p->storeGroupValues(stored.group, {groupKeyOf(param)});
      } else {
        p->storeRadio(radio, stored, radioKeysOf(param));
      }
      taken = true;
    }
  }
  return taken;
}

Tradio* RegisterValues::record(int radio) const {
  if (radio < 0 || radio >= kRadioSlots) return nullptr;
  Tproject* p = window_.project();
  return p ? p->radio(radio) : nullptr;
}

bool RegisterValues::isLocal(int radio) {
  if (radio < 0 || radio >= kRadioSlots) return false;
  const Panel& panel = window_.panel;
  if (Tradio* r = record(radio)) return panel.WindowMode == wmMonitor ? r->responded : true;
  return panel.WindowMode == wmManual;
}

bool RegisterValues::isMaster(int radio) {
  if (radio < 0 || radio >= kRadioSlots) return false;
  const Panel& panel = window_.panel;
  if (Tradio* r = record(radio)) return r->isMaster;
  return panel.WindowMode == wmManual && settingsOfPanel(panel).radioMode == RadioMode::master;
}

bool RegisterValues::exists(int radio) {
  return record(radio) != nullptr;
}

bool RegisterValues::markPolling(int radio) {
  Tradio* r = record(radio);
  GroupViews& views = window_.views;
  // One radio is polled at a time: a mark left by a radio that stopped
  // answering in the middle of its poll goes now. Asked at every register,
  // the marks are looked through only when another radio is polled.
  Tproject* p = window_.project();
  if (p && (radio != marked_ || window_.projectSerial() != markedProject_)) {
    marked_ = radio;
    markedProject_ = window_.projectSerial();
    for (int id = 0; id < kRadioSlots; ++id) {
      Tradio* other = p->radio(id);
      if (other && other != r && views.nodeExists(other->treeNode) &&
          views.nodeImage(other->treeNode) == kImageReading)
        views.setNodeImage(other->treeNode, kImageNone);
    }
  }
  if (!r) return false;
  if (views.nodeExists(r->treeNode)) views.setNodeImage(r->treeNode, kImageReading);
  return r->pollOnly;
}

bool RegisterValues::setRead(int radio, bool read) {
  // A radio read to its end closes its batch of writes.
  if (read && radio >= 0 && radio < kRadioSlots) endReplies();
  Tradio* r = record(radio);
  if (!r) return false;
  GroupViews& views = window_.views;
  if (views.nodeExists(r->treeNode)) views.setNodeImage(r->treeNode, kImageNone);
  const bool old = r->pollOnly;
  r->pollOnly = read;
  if (window_.panel.WindowMode != wmMonitor) {
    window_.enableRadioParameters(true);
  } else if (read) {
    if (r == window_.panel.currentRadio) window_.followCommands();
    // The poll is over, whichever of its registers the radio refused (a
    // model 2 has no volts or temperature).
    views.setSubItem(r->listItem, 4, window_.timeLong());
    // A roaming slave's full read holds no master ID: it joins the last
    // master seen now, in the round that found it, not one round later.
    if (!r->isMaster && !views.nodeExists(r->treeNode) && r == readingRadio()) {
      int master = -1;
      if (!parseInt32(window_.project()->readKey(Tradio::sectionName(r->slotID),
                                                 radiokey::masterID.name, ""),
                      master))
        master = lastMaster();
      attachToMaster(master);
    }
  }
  return old;
}

bool RegisterValues::markLocal(int radio) {
  if (radio < 0 || radio >= kRadioSlots) return false;
  Tradio* r = record(radio);
  if (!r && window_.panel.WindowMode == wmManual) return false;
  const bool result = r && r->responded;
  if (Tradio* reading = readingRadio()) reading->responded = true;
  if (readingID() >= 0) window_.setLocalRadio(readingID());
  return result;
}

void RegisterValues::radioRenumbered(int radio, bool monitoring) {
  Tradio* r = record(radio);
  if (!r || radio != r->slotID) return;
  r->reportedID = radio;
  window_.views.setSubItem(r->listItem, 0, std::to_string(radio));
  const TpollArray& list = window_.project()->BuildPollList(monitoring);
  window_.commands.updateList(list);
}

// Giving up concerns the task, whichever radio it was on.
void RegisterValues::taskCancelled(int radio) {
  if (radio < 0 || radio >= kRadioSlots) return;
  endReplies();
  if (window_.panelView() == PanelView::Monitor) window_.advancedClick();
}

void RegisterValues::readDone() {
  endReplies();
  Panel& panel = window_.panel;
  panel.panelLoading = false;
  // What the panel now holds was read from the radio: a later Set Radio of
  // defaults is compared with it.
  if (panel.WindowMode == wmManual && manualIDRead_) {
    const int id = settingsOfPanel(panel).radioID;
    if (id != kNoNumber) window_.setLocalRadio(id);
    window_.recordRadioValues(window_.localRadio());
  } else if (panel.WindowMode != wmManual && readingID() >= 0 && panelSide()) {
    window_.recordRadioValues(readingID());
  }
  manualIDRead_ = false;
}

}  // namespace tessel
