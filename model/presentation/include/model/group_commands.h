#pragma once

// The commands of the radio list's context menu and of the Online Monitor
// menu, as rules the window and the headless front end share. What they need
// of the world outside the model (the project dialogs, Get Local, the send
// queue) comes in through the hooks below.
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "model/group_views.h"
#include "model/main_window_link.h"
#include "model/radio_commands.h"

namespace tessel {

class MainWindowModel;

// The eighth Set Poll Interval item: a poll asks its next register, and a
// send to a remote radio writes its next line, as soon as the previous
// answer is in; the tick only times an exchange out.
inline const std::string kAsFastAsReplies = "As Fast as Replies";
// The Set Poll Interval items in menu order.
const std::vector<std::string>& pollIntervalCaptions();
// The poll interval an item stands for: the digit before the point times
// 1000 ms, plus 500 when the digit after it is 5; 0 for "As Fast as Replies";
// -1 for a text that is no item.
int pollIntervalFromCaption(const std::string& caption);
// The item that stands for ms (0 = as fast as replies); "1.0 Seconds" for a
// value that no item has.
const std::string& pollIntervalCaption(int ms);
// What the item for ms does, as its menu explains it: the pause between a
// monitor's polls, or as fast as replies, which paces a send to a remote
// radio too (that radio otherwise takes a line per sendTickMs).
std::string pollIntervalHint(int ms, int sendTickMs);

// The task titles used here.
inline const std::string kOnlineMonitorTitle = "&Online Monitor";
inline const std::string kGetLocalTitle = "&Get Local Radio Parameters";
inline const std::string kGetRadioParametersTitle = "Get Radio Parameters";
inline const std::string kResetTitle = "&Reset";
inline const std::string kEmulateGroupTitle = "Emulate Group";
// Discovery dials every possible radio ID.
constexpr int kDiscoverEntries = 255;

// Existing Project on a project that holds no radio.
inline const std::string kNoRadiosToMonitor =
    "The project holds no radios to monitor. New Project discovers a group's radios.";
// Why the engine did not take a task the user gave, naming it (without its
// "&"); RadioCommands::whyNot tells the table's refusals too.
std::string taskRefusal(const std::string& title, LinkTasks::TaskStart why);

// How far a discovery got: the ID being dialled of the 255 and the radios
// that answered so far.
class DiscoveryProgress {
 public:
  void start();
  void dialling(int id);
  void found(int id);
  // For the gauge: IDs dialled in this round, of kDiscoverEntries.
  int value() const { return dialling_ + 1; }
  int foundCount() const { return static_cast<int>(found_.size()); }
  // "Discovery: ID 37 of 255, 2 radios found".
  std::string text() const;

 private:
  int dialling_ = -1;
  std::set<int> found_;
};

class GroupCommands {
 public:
  explicit GroupCommands(MainWindowModel& window);

  // Runs Load Project; true when a project file was opened.
  std::function<bool()> loadProject;
  // Runs Create New Project; true when a project is open afterwards.
  std::function<bool()> createProject;
  // Close Project (the window's command, with its question).
  std::function<void()> closeProject;
  // Shows a notice in the status bar: why a command did not start.
  std::function<void(const std::string& text)> showNotice;

  // Every command below that starts a task says why when it does not
  // start (the commands' table or the engine), and changes nothing then.

  // "&Get Local Radio Parameters": the panel loads from the local radio.
  void getLocalRadio();
  // "&Existing Project": monitor the radios of the open project. False when
  // it did not start (the default project stayed open).
  bool monitorExisting();
  // "&New Project": discover a new group. False when no project is open.
  bool discoverNew();
  // Monitor layout (columns, panel) or back to the basic one.
  void monitorLayout();
  // Online Monitor > Stop, Escape in the list, the Cancel button: the
  // monitor ends and its layout goes, as Cancel has always done; outside
  // it a read or an emulation that runs ends.
  void stopMonitor();
  // The monitor's layout is shown; a discovery's rounds run.
  bool monitoring() const;
  bool discovering() const;
  DiscoveryProgress progress;
  void emulateGroup();
  void getRadioParameters();
  // Dials the current radio and resets it, as one send.
  LinkTasks::TaskStart resetRadio();
  // "&Delete" on the radio list: acts on the current radio's own row.
  void deleteRadio();

  // The table for command against what runs: true when it may go on,
  // else it said why (nothing when the user let what runs go on). For a
  // command whose dialog or file chooser comes first.
  bool admitted(const std::string& title, Command command);

 private:
  // True when the command started; otherwise says why.
  bool started(const std::string& title, LinkTasks::TaskStart why);
  void refused(const std::string& title, LinkTasks::TaskStart why);

  MainWindowModel& window_;
};

}  // namespace tessel
