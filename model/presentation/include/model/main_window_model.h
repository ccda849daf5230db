#pragma once

// The main window below the GUI: the open project, the panel and the group
// views it edits, and the rules that decide values (Defaults, roaming, radio
// mode, radio type, Radio ID exit, new radio numbers, renumbering). ui/ calls
// these from its handlers; the headless front end calls them directly.
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "model/brand.h"
#include "model/command_controls.h"
#include "model/group_views.h"
#include "model/main_window_link.h"
#include "model/panel.h"
#include "model/panel_view.h"
#include "model/poll_readings.h"
#include "model/project_lock.h"
#include "model/radio_commands.h"
#include "model/text.h"
#include "seams/prompts.h"

namespace tessel {

class Tproject;
class Tradio;

// The values Set Radio writes, as the panel holds them: project key names
// with the texts the file stores (group keys, the radio's keys, its model,
// the model-E keys for a model-E type, the serial settings, the blocked
// frequencies).
using PanelSettings = std::vector<std::pair<std::string, std::string>>;

// Where the panel's values came from: a radio's read (or a send), a
// project's radio section, or defaults and edits never read from a radio.
enum class PanelSource { Defaults, Radio, Project };

class MainWindowModel {
 public:
  MainWindowModel(Panel& panel, GroupViews& views, Prompts& prompts, const BrandModels& models,
                  std::string productName);
  ~MainWindowModel();

  Panel& panel;
  GroupViews& views;
  Prompts& prompts;
  const BrandModels& models;
  const std::string productName;

  // Where tasks go (the link engine); none until one is attached.
  LinkTasks* tasks = nullptr;
  // The send routine (Set Radio); the Radio ID exit rule runs it in Monitor
  // mode so that the radio receives its new number.
  std::function<void()> onSetRadio;
  // Lays the window out for a mode; the GUI sets it.
  std::function<void(int mode)> onModeSwitch;
  // Local time of day (tests pin it).
  std::function<std::tm()> clock;
  // What the monitor's polls read, as the register replies bring it in.
  PollReadings pollReadings;
  // Every command on the radios starts here, whichever front end gives it.
  RadioCommands commands{*this};
  // Whether the COM port is open (none: taken as open).
  std::function<bool()> portOpen;
  // The command controls as the commands, the mode and the port allow
  // them now; onCommandsChanged runs whenever they may have changed (a
  // command started or ended, a mode switch).
  CommandControls commandControls() const;
  std::function<void()> onCommandsChanged;
  // Sets the panel's part of the controls and tells onCommandsChanged.
  void followCommands();

  // Project lifecycle.
  Tproject* project() const { return project_.get(); }
  // Changes whenever a project is opened or closed, so state kept about the
  // open project can tell that it is stale.
  int projectSerial() const { return projectSerial_; }
  // Stores and closes the open project, if any, and opens fileName. A
  // project another program has open is opened read only (changes made
  // here are not stored), and the user is told so.
  Tproject& openProject(const std::string& fileName);
  // Opens fileName for this program alone: false when another program has
  // it open, with error naming the file and the program holding it; the
  // project open before then stays open.
  bool openOwnProject(const std::string& fileName, std::string& error);
  // Opens fileName to read only: another program may have it open, and
  // nothing is ever written to the file.
  Tproject& openProjectReadOnly(const std::string& fileName);
  // Creates a record for every radio section 0..254 and shows the first
  // master.
  void loadProjectRadios();
  // Stores and closes the open project.
  void closeProject();
  // Closes the open project without storing it (a project being replaced
  // by a new file of the same name).
  void abandonProject();

  // Before the project is replaced or closed: outside Manual mode unsaved
  // radio edits are offered for saving, and the link's task is stopped so
  // no reply of a read, send or monitor lands in the next project. With
  // mayCancel (leaving the program) the question offers Cancel too; Cancel
  // changes nothing and false comes back.
  bool beforeReplace(bool mayCancel = false);
  // Before Project > Exit, which ends the program without storing: unsaved
  // group parameter edits and then radio edits are offered for saving;
  // Cancel keeps the program (false).
  bool beforeExit();
  // A file that is no project (bytes that cannot be text, or neither a
  // section nor a key line) is refused with a message naming it: true.
  // Nothing else changes, so the open project stays.
  bool refuseNonProject(const std::string& fileName);
  // Opens a project file the user chose (create: a new, empty one) in
  // Project mode and loads its radios. A file that cannot be created or
  // read reopens fallback in Manual mode, tells the user why, and false
  // comes back. A project another program has open is refused with the
  // message naming it and its holder, and the project open before stays
  // (fallback when none is).
  bool openChosenProject(const std::string& fileName, bool create, const std::string& fallback);

  // Switches WindowMode (0 counts as Manual) and lets the GUI lay out.
  void switchMode(int mode);

  // Panel rules.
  void defaultsClick();
  void roamingClick();
  void radioModeClick();
  void radioTypeClick();
  // reportedRadio: a radio reported the number, and the radio shown, never
  // stored, takes over the section written for it, without asking.
  void radioIDExit(bool reportedRadio = false);
  void radioNameChange();
  // A radio parameter changed: the New Radio button reads "Save Radio".
  void saveRadioRule();
  // Whether the radio shown has changes not saved yet; the New Radio button
  // shows it ("Save Radio", else "New &Radio").
  bool radioChanged() const { return radioChanged_; }
  void setRadioChanged(bool changed);
  void enableGroupParameters(bool on);
  void enableRadioParameters(bool on);
  // Model-E dialog.
  void modelEDefaults();
  void emulationModeChange();
  void sleepModeChange();
  void usePCClockChange();
  // The Basic/Advanced button; in Monitor mode ("Cancel") it ends monitoring.
  void advancedClick();
  // Back from the monitor's layout to Project mode's (nothing is stopped).
  void leaveMonitorLayout();
  // The panel's view; setting it also sets the button's caption. The
  // window sets Monitor when it lays out Monitor mode, and the view kept
  // in "formMode" at start.
  PanelView panelView() const { return panelView_; }
  void setPanelView(PanelView view);
  // The View menu: Basic or Advanced fields, in every mode. While
  // monitoring the button stays "Cancel" and only the fields change.
  void chooseView(PanelView view);
  // The fields the panel shows: Basic or Advanced.
  PanelView shownView() const;

  // Selects baud rate text by its number ("9600" selects "  9600"); a text
  // that is no entry is shown as it stands.
  void setBaudRate(const std::string& text);

  // Gives a new record the lowest free radio number (index < 0) or index,
  // makes it currentRadio and returns it; nullptr when nothing is free.
  Tradio* firstFreeRadio(int index);
  // Moves currentRadio to the number in the Radio ID field. Refused (false,
  // nothing changed) for a number that is not 0..254 or already has a record,
  // and for one with a stored section unless adoptSection: discovery moves a
  // new, never stored radio onto the section it wrote for the radio that
  // reported that number.
  bool rekeyCurrentRadio(bool adoptSection = false);
  // The Save Radio step of the New Radio button: renumber when the Radio ID
  // field changed (a refused number is put back silently), store the panel
  // in the radio's section. False when it was not stored; the New Radio
  // button then still reads "Save Radio".
  bool saveCurrentRadio();
  // The New Radio / Save Radio button: a new record under the lowest free
  // number (and, in Monitor mode, the monitor ends), or the Save Radio step.
  void newRadioClick();
  // Run after New Radio ends monitoring; discovery of the existing project.
  std::function<void()> onExistingProject;
  // Makes radio current: the old row's state image 0, the new one's 1.
  void setCurrentRadio(Tradio* radio);
  // A click on a row of the radio list.
  void chooseRadio(RowId row);

  // Where the panel's values came from. Defaults sets Defaults, loading a
  // radio's section Project; a read or a send records the values as the
  // radio's (radio: its number, -1 when not known).
  PanelSource panelSource() const { return panelSource_; }
  void setPanelSource(PanelSource source) { panelSource_ = source; }
  // sent: the values were written to the radio rather than read from it.
  void recordRadioValues(int radio, bool sent = false);
  // The radio on the port, as last read (-1 before any read).
  int localRadio() const { return localRadio_; }
  void setLocalRadio(int radio) { localRadio_ = radio; }
  // Set Radio of values never read from the radio it goes to: asks first,
  // naming the radio and what differs from what was last read from it (or
  // that nothing was), Cancel being the default. True to go on.
  bool confirmUnreadValues();
  // Set Radio in Project mode writes the radio shown into the radio on the
  // port: when that one is known to be another radio, the user is asked
  // first, naming both ("The radio on COM1 was read as radio 1, Radio 001,
  // Master. Write Radio 002's settings into it?"), and when it was never
  // read, told that the settings go to whatever radio is there; No is the
  // default. True to go on.
  bool confirmPortRadio();
  // "COM1": the port the radio is on, for the questions.
  std::function<std::string()> portName;
  // The panel's values as a radio section was loaded into it (empty when
  // none was): a save writes only the keys that changed since.
  const PanelSettings& loadedSettings() const { return loaded_; }
  // What the panel shows, as the project file's texts (codec::fileTexts).
  PanelSettings shownTexts() const;
  int loadedSlot() const { return loadedSlot_; }
  void recordLoaded(int slot) {
    loaded_ = shownTexts();
    loadedSlot_ = slot;
    panelSource_ = PanelSource::Project;
  }

  // Time of day as "hh:mm" and in the long form "hh:mm:ss".
  std::string timeShort() const;
  std::string timeLong() const;

  // The row last clicked.
  RowId selectedRow = kNoRow;

 private:
  std::string timeText(const char* format) const;
  // Takes the lock of fileName into lock; the open project's own when it is
  // the same file.
  bool lockFor(const std::string& fileName, ProjectLock& lock, std::string& error);
  void replaceProject(const std::string& fileName, ProjectLock lock, bool readOnly);

  // Every start and end of a command: the controls follow, and the end of
  // a monitor or a discovery takes the monitor's layout away.
  struct CommandFollower : CommandListener {
    explicit CommandFollower(MainWindowModel& w) : window(w) {}
    void commandProgress(const CommandProgress&) override;
    void commandEnded(Command command, const Outcome&) override;
    MainWindowModel& window;
  };
  CommandFollower follower_{*this};

  std::unique_ptr<Tproject> project_;
  int projectSerial_ = 0;
  bool inDefaults_ = false;
  PanelView panelView_ = PanelView::Basic;
  // The fields shown while monitoring (Basic or Advanced), chosen from the
  // View menu.
  PanelView monitorFields_ = PanelView::Advanced;
  bool radioChanged_ = false;
  PanelSource panelSource_ = PanelSource::Defaults;
  int localRadio_ = -1;
  // What was last read from (or sent to) each radio, by its number; -1 for
  // the local radio before its number was read.
  std::map<int, PanelSettings> lastRead_;
  // The radios whose last values came from a send.
  std::set<int> lastSent_;
  // "radio 1, Radio 001, Master": a radio as its record and its last read
  // or send name it.
  std::string knownAs(int radio) const;
  PanelSettings loaded_;
  int loadedSlot_ = -1;
};

}  // namespace tessel
