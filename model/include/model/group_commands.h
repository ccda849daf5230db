#pragma once

// The commands of the radio list's context menu and of the Online Monitor
// menu, as rules the window and the headless front end share. What they need
// of the world outside the model (the project dialogs, Get Local, the send
// queue) comes in through the hooks below.
#include <functional>
#include <string>
#include <vector>

#include "model/group_views.h"
#include "model/main_window_link.h"

namespace tessel {

class MainWindowModel;

// The eighth Set Poll Interval item: a poll asks its next register as soon as
// the previous answer is in, and the tick only times an exchange out.
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

// The task titles used here.
inline const std::string kOnlineMonitorTitle = "&Online Monitor";
inline const std::string kGetRadioParametersTitle = "Get Radio Parameters";
inline const std::string kResetTitle = "&Reset";
inline const std::string kEmulateGroupTitle = "Emulate Group";
// Discovery dials every possible radio ID.
constexpr int kDiscoverEntries = 255;

class GroupCommands {
 public:
  explicit GroupCommands(MainWindowModel& window);

  // Runs Load Project; true when a project file was opened.
  std::function<bool()> loadProject;
  // Runs Create New Project; true when a project is open afterwards.
  std::function<bool()> createProject;
  // Close Project (the window's command, with its question).
  std::function<void()> closeProject;
  // Get Local Radio Parameters.
  std::function<void()> getLocal;

  // "&Existing Project": monitor the radios of the open project. False when
  // it did not start (the default project stayed open).
  bool monitorExisting();
  // "&New Project": discover a new group. False when no project is open.
  bool discoverNew();
  // Monitor layout (columns, panel) or back to the basic one.
  void monitorLayout();
  void emulateGroup();
  void getRadioParameters();
  // Dials the current radio and resets it, as one send.
  LinkTasks::TaskStart resetRadio();
  // "&Delete" on the radio list: acts on the current radio's own row.
  void deleteRadio();

 private:
  MainWindowModel& window_;
};

}  // namespace tessel
