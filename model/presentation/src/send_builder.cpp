#include "model/send_builder.h"

#include <algorithm>

#include <cstdlib>
#include <functional>

#include "model/blocked_frequencies.h"
#include "model/catalogue.h"
#include "model/entry_rules.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/panel_settings.h"
#include "model/parameter_table.h"
#include "model/project.h"
#include "model/radio.h"
#include "model/radio_codec.h"
#include "model/text.h"

namespace tessel {

namespace {

constexpr int kModelTwo = 2;
constexpr int kModelE = 0;

}  // namespace

void AtLineBatcher::batchAtCommand(bool standalone, std::string fragment) {
  std::string f;
  for (char c : fragment) {
    if (c != ' ') f += c;
  }
  // Panel texts such as 12.5 travel in tenths: the first point goes.
  const size_t point = f.find('.');
  if (point != std::string::npos) f.erase(point, 1);
  if (standalone) {
    if (pendingAtLine_ != "AT") lines_.push_back(pendingAtLine_ + "\r");
    lines_.push_back(("AT" + f).substr(0, kMaxLine) + "\r");
    pendingAtLine_ = "AT";
    return;
  }
  if (f.size() + pendingAtLine_.size() <= kBatchLimit) {
    pendingAtLine_ += f;
  } else {
    lines_.push_back(pendingAtLine_ + "\r");
    pendingAtLine_ = ("AT" + f).substr(0, kMaxLine);
  }
}

std::vector<std::string> AtLineBatcher::takeLines() {
  std::vector<std::string> out;
  out.swap(lines_);
  return out;
}

RadioSender::RadioSender(MainWindowModel& window, EntryRules& rules, MainWindowCallbacks& values)
    : window_(window), rules_(rules), values_(values) {}

int RadioSender::sendType() const {
  const Panel& panel = window_.panel;
  if (panel.WindowMode == wmManual || panel.WindowMode == wmUnset)
    return settingsOfPanel(panel).model;
  return panel.currentRadio ? panel.currentRadio->modelIndex : -1;
}

bool RadioSender::required(const std::string& name, const std::string& control) {
  Panel& panel = window_.panel;
  if (!trimBlanks(panel.text(control)).empty()) return true;
  panel.entriesValid = false;
  window_.prompts.show(PromptIcon::Error, name + " needs a value.", pbOk);
  panel.setFocus(control);
  return false;
}

bool RadioSender::checkBlocked() {
  Panel& panel = window_.panel;
  const std::string message = blockedListMessage(panel.blockedValues);
  if (message.empty()) return true;
  panel.entriesValid = false;
  window_.prompts.show(PromptIcon::Error, message, pbOk);
  return false;
}

bool RadioSender::checkFields(int radioType) {
  Panel& panel = window_.panel;
  struct Ranged {
    const std::string& control;
    int param;
  };
  const Ranged group[] = {
      {ctl::groupID, param::groupID},     {ctl::securityID, param::securityID},
      {ctl::flushTime, param::flushTime}, {ctl::rfband, param::rfband},
      {ctl::radioID, param::radioID},     {ctl::retries, param::retries},
      {ctl::masterID, param::masterID},
  };
  auto ranged = [&](const Ranged& r) {
    const Parameter& p = parameterOf(r.param);
    if (!required(p.caption, r.control)) return false;
    rules_.rangeCheck(p.caption, r.control, static_cast<int>(shownLow(p)),
                      static_cast<int>(shownHigh(p)));
    if (!panel.entriesValid) panel.setFocus(r.control);
    return panel.entriesValid;
  };
  for (const Ranged& r : group) {
    if (!ranged(r)) return false;
  }
  if (!isBaudRate(panel.text(ctl::baudRate))) {
    panel.entriesValid = false;
    window_.prompts.show(PromptIcon::Error, "Baud rate needs a value.", pbOk);
    panel.setFocus(ctl::baudRate);
    return false;
  }
  if (!checkBlocked()) return false;
  if (radioType == kModelE) {
    const Ranged modelE[] = {
        {ctl::plcAddress, param::plcAddress},
        {ctl::onTimer, param::onTimer},
        {ctl::offTimer, param::offTimer},
    };
    for (const Ranged& r : modelE) {
      if (!ranged(r)) return false;
    }
  }
  return true;
}

std::vector<std::string> RadioSender::buildLines(int radioType) {
  Panel& panel = window_.panel;
  const bool manual = panel.WindowMode == wmManual || panel.WindowMode == wmUnset;
  Tradio* radio = panel.currentRadio;
  if (!manual && !radio) return {};
  batcher.takeLines();
  batcher.reset();
  // The radio answers to the number it last reported; a new number in the
  // panel reaches it inside the configuration, not through the dial.
  if (panel.WindowMode == wmMonitor)
    batcher.batchAtCommand(true, "D" + std::to_string(radio->reportedID));
  const bool modelTwo = radioType == kModelTwo;
  // Which registers a send leaves alone is the codec's rule, for the radio
  // as it is being edited.
  RadioSettings edited = settingsOfPanel(panel);
  edited.model = radioType;
  const int id = manual ? edited.radioID : radio->slotID;
  for (const RegisterRow& row : registerMap(radioType)) {
    if (row.access <= 0 || row.param < 0 || !codec::sendWrites(edited, row)) continue;
    const std::string value = values_.RegisterValue(id, row.param, modelTwo);
    batcher.batchAtCommand(false, "s" + std::to_string(row.reg) + "=" + value);
  }
  batcher.batchAtCommand(true, "&W");
  if (!modelTwo) batcher.batchAtCommand(true, "&R");
  return batcher.takeLines();
}

void RadioSender::markSent() {
  Panel& panel = window_.panel;
  GroupViews& views = window_.views;
  if (panel.currentRadio && panel.currentRadio->treeNode != kNoNode &&
      views.nodeExists(panel.currentRadio->treeNode))
    views.setNodeImage(panel.currentRadio->treeNode, 2);
  if (panel.WindowMode == wmMonitor) {
    std::function<void(NodeId)> walk = [&](NodeId parent) {
      for (NodeId n : views.children(parent)) {
        if (views.nodeImage(n) == 1) views.setNodeImage(n, -1);
        walk(n);
      }
    };
    walk(kNoNode);
  }
  views.repaintTree();
}

SendOutcome RadioSender::okClick() {
  Panel& panel = window_.panel;
  SendOutcome out;
  const bool manual = panel.WindowMode == wmManual || panel.WindowMode == wmUnset;
  if (!manual && (!panel.currentRadio || !window_.project())) {
    out.notice = kNoRadioNotice;
    return out;
  }
  const int type = sendType();
  using S = LinkTasks::SendStart;
  // What runs meets Set Radio before any question about the values.
  const S admitted = window_.commands.admit(Command::SetRadio);
  if (admitted != S::Started) {
    out.notice = window_.commands.whyNot(kSetRadioCaption, admitted);
    if (!out.notice.empty()) window_.prompts.show(PromptIcon::Warning, out.notice, pbOk);
    return out;
  }
  if (checkFields(type)) {
    if (window_.radioChanged() && !manual) window_.newRadioClick();
    if (!manual && !panel.currentRadio) {
      out.notice = kNoRadioNotice;
      return out;
    }
    if (confirmTarget && !window_.confirmPortRadio()) {
      out.notice = kPortRadioCancelledNotice;
      return out;
    }
    if (!window_.confirmUnreadValues()) {
      out.notice = kUnreadCancelledNotice;
      return out;
    }
    out.lines = buildLines(type);
    const RadioSettings sent = settingsOfPanel(panel);
    const int id = std::max(sent.radioID, 0);
    out.list = {{id, sent.model}};
    const S started = window_.commands.setRadio(kSetRadioCaption, out.list, out.lines);
    if (started == S::Started) {
      out.started = true;
      // The radio now holds what the panel shows, its number too; outside
      // the monitor it is the one on the port.
      if (panel.WindowMode != wmMonitor) window_.setLocalRadio(id);
      window_.recordRadioValues(id, true);
      markSent();
    } else {
      out.notice = started == S::Busy         ? kBusyNotice
                   : started == S::PortClosed ? kPortClosedNotice
                                              : window_.commands.whyNot(kSetRadioCaption, started);
      if (!out.notice.empty()) window_.prompts.show(PromptIcon::Warning, out.notice, pbOk);
    }
  }
  if (!window_.views.children(kNoNode).empty()) panel.entriesValid = true;
  return out;
}

}  // namespace tessel
