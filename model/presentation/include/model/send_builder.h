#pragma once

// Set Radio below the GUI: the checks that guard a send, the AT lines that
// write the panel's configuration into one radio, and the hand-over of those
// lines to the link engine. The window and the headless front end build the
// same lines through this.
#include <string>
#include <vector>

#include "model/main_window_link.h"
#include "model/poll_array.h"

namespace tessel {

class EntryRules;
class MainWindowModel;

// Packs S-register assignments into "AT" lines. A batched line stays within
// kBatchLimit characters (a single long fragment makes a longer line of its
// own); a standalone command flushes the pending line first. Every line
// queued ends in a carriage return.
class AtLineBatcher {
 public:
  static constexpr size_t kBatchLimit = 18;
  static constexpr size_t kMaxLine = 255;

  void reset() { pendingAtLine_ = "AT"; }
  void batchAtCommand(bool standalone, std::string fragment);
  const std::string& pendingAtLine() const { return pendingAtLine_; }
  const std::vector<std::string>& lines() const { return lines_; }
  std::vector<std::string> takeLines();

 private:
  std::string pendingAtLine_ = "AT";
  std::vector<std::string> lines_;
};

// What one Set Radio produced.
struct SendOutcome {
  bool started = false;
  // Lines built for the radio (also when the engine refused them).
  std::vector<std::string> lines;
  TpollArray list;
  // For the status bar: why nothing was sent; empty when the send started
  // or when a field check already told the user.
  std::string notice;
};

inline const std::string kNoRadioNotice = "No radio selected: nothing was sent.";
inline const std::string kPortClosedNotice =
    "The COM port is not open: the radio parameters were not sent.";
inline const std::string kUnreadCancelledNotice =
    "Set Radio cancelled: the panel's values were not read from the radio.";
inline const std::string kPortRadioCancelledNotice =
    "Set Radio cancelled: nothing was written to the radio on the port.";
inline const std::string kBusyNotice =
    "The link is busy with another task: the radio parameters were not sent.";

class RadioSender {
 public:
  RadioSender(MainWindowModel& window, EntryRules& rules, MainWindowCallbacks& values);

  // The Set Radio button: every field check, then the lines, then the task.
  SendOutcome okClick();
  // The field checks in panel order; the first failure shows its message
  // and false comes back (entriesValid false).
  bool checkFields(int radioType);
  // The lines for the radio, from the panel as the current mode reads it.
  // No current radio outside Manual mode builds nothing.
  std::vector<std::string> buildLines(int radioType);
  // The radio type the send writes: the selector in Manual mode, else the
  // current radio's; -1 when there is none.
  int sendType() const;

  AtLineBatcher batcher;
  // Whether Project mode asks before writing the radio shown into another
  // radio on the port; a command line that names the radio has said so.
  bool confirmTarget = true;

 private:
  bool required(const std::string& name, const std::string& control);
  bool checkBlocked();
  void markSent();

  MainWindowModel& window_;
  EntryRules& rules_;
  MainWindowCallbacks& values_;
};

}  // namespace tessel
