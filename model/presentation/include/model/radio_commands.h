#pragma once

// The commands on the radios that both front ends give (the window's menus
// and buttons, tessel-cli's commands): each is started here, answers at once
// whether it started and, if not, why, and tells its listeners how far it
// got and how it ended. The engine's own events come in through the calls
// under "The engine's events" (the link's CommandFeed makes them).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/main_window_link.h"
#include "model/outcome.h"

namespace tessel {

class MainWindowModel;

enum class Command : uint8_t {
  GetLocal,
  GetRadio,
  SetRadio,
  Reset,
  Discover,
  Monitor,
  Emulate,
  Compare,
  // Change Group Settings: its sends and its read afterwards are one
  // command, holding the link from Change to its end.
  GroupChange,
  // The COM port dialog's search for the radio's line settings.
  AutoConfigure,
};
inline constexpr int kCommandCount = 10;

using CommandStart = LinkTasks::TaskStart;

// What becomes of a command given while another runs.
enum class Meeting : uint8_t {
  Start,   // nothing stands in its way
  Refuse,  // it does not start, and the user is told what runs
  Ask,     // the user is asked whether to stop what runs; on Yes it starts
  Queue,   // it runs in between, and what ran goes on after it
};
// The one table of commands that meet: for the command running and the
// command given.
Meeting meeting(Command running, Command given);
// A command as the user knows it: "Compare Group with Project".
const char* commandName(Command command);
// Why given did not start while running runs: "Change Group Settings is
// changing the group's settings: Compare Group with Project did not start.
// Try again when it is done."
std::string refusalText(Command running, Command given);
// The question before given stops running: "Stop the monitor? Compare
// Group with Project cannot run beside it."
std::string stopQuestion(Command running, Command given);

// How far a command got: radio n (index, from 1) of count, in round k (from
// 1; 0 for a command that reads or writes one radio and has no rounds).
struct CommandProgress {
  Command command = Command::GetLocal;
  int radio = -1;
  int index = 0;
  int count = 0;
  int round = 0;
};

class CommandListener {
 public:
  virtual ~CommandListener() = default;
  virtual void commandProgress(const CommandProgress& /*progress*/) {}
  // A radio of a monitor, a discovery or a compare was read: to the end
  // (complete), or it answered its dial and then stopped answering, what it
  // gave being kept.
  virtual void radioRead(Command /*command*/, int /*radio*/, bool /*complete*/) {}
  // A line of the Set Radio under way was answered "OK" by its radio.
  virtual void lineConfirmed(Command /*command*/, const std::string& /*line*/) {}
  // How it ended, with what the user is told of it.
  virtual void commandEnded(Command /*command*/, const Outcome& /*outcome*/) {}
};

class RadioCommands {
 public:
  explicit RadioCommands(MainWindowModel& window) : window_(window) {}

  void addListener(CommandListener* listener);
  void removeListener(CommandListener* listener);

  // Every start below first meets what runs as the table says (a refusal
  // or a No changes nothing), and changes nothing unless the engine took
  // the task. as: the command whose part it is (Change Group Settings'
  // sends and read); a part of the command holding the link meets nothing.
  // The local radio's registers into the panel, read as list's first radio
  // (empty: as the open project's radios, or as radio 0).
  CommandStart getLocal(const std::string& title, const TpollArray& list = {});
  // One radio of the group (entry: its ID and model), dialled through the
  // local one.
  CommandStart getRadio(const std::string& title, const TpollEntry& entry);
  // The lines of a Set Radio (or of a Reset) to the radios of list.
  CommandStart setRadio(const std::string& title, const TpollArray& list,
                        const std::vector<std::string>& lines, Command as = Command::SetRadio);
  CommandStart reset(const std::string& title, int radio);
  // Dials every radio ID in rounds and keeps those that answer.
  CommandStart discover(const std::string& title);
  CommandStart monitor(const std::string& title, const TpollArray& list);
  CommandStart emulate(const std::string& title, const TpollArray& list);
  // Reads the radios of list once, as the monitor reads them.
  CommandStart compare(const std::string& title, const TpollArray& list,
                       Command as = Command::Compare);
  // Auto Configure: search starts the engine's search, true when it runs.
  CommandStart autoConfigure(const std::function<bool()>& search);
  // Change Group Settings from Change to its end: met as the table says,
  // then held until endSession; its parts name it as their command.
  CommandStart beginSession(Command command);
  void endSession(Command command);

  // The table for given against what runs, the user asked where it says
  // so (and what runs stopped on Yes): Started when given may go on.
  // Front ends ask before they open a dialog or a file chooser for it.
  CommandStart admit(Command given);
  // Why a start did not start, naming it: the table's reason when it
  // refused, else the engine's (the port closed, the link busy); empty
  // when the user chose to let what runs go on.
  std::string whyNot(const std::string& title, CommandStart why) const;
  // The radios a running monitor polls from now on (one was deleted or
  // renumbered); its round goes on.
  void updateList(const TpollArray& list);
  // Stops whatever runs (the engine back at the local radio, entry); what
  // ran ends as cancelled.
  void stop(const std::string& title, const TpollArray& entry);

  bool running() const { return running_; }
  Command current() const { return current_; }
  // Something holds the link: a command, or Change Group Settings between
  // its sends. holder() is the one the table meets.
  bool busy() const { return running_ || session_; }
  Command holder() const { return session_ ? sessionCommand_ : current_; }
  // The rounds that run (a monitor, a discovery, a compare), also beneath
  // a send given meanwhile; false when none run.
  bool roundsRunning(Command& command) const;

  // The engine's events.
  void dialling(int radio);
  // The radio dialled answered: its registers are being read.
  void answered();
  void radioPolled(int radio);
  // A line of the send under way was answered "OK".
  void lineConfirmed(const std::string& line);
  // The engine took up task (it tells before it ends one).
  void taskChanged(TaskCode to);
  void taskEnded(TaskCode task, const Outcome& outcome);

 private:
  // Starts command through start, its progress kept from before the engine
  // takes it (the engine may report at once); nothing changes on a refusal.
  CommandStart run(Command command, const TpollArray& list,
                   const std::function<CommandStart()>& start, Command as);
  CommandStart rounds(Command command, const std::string& title, const TpollArray& list,
                      Command as);
  void end(Command command, const Outcome& outcome);
  void progress(int radio, int index);
  // The rounds reached radio (dialled, or the local one polled): its place
  // in the round, and a new round when it comes back past the round's start.
  void reached(int radio);
  // Where radio stands in the list (where it would, when not listed).
  int placeOf(int radio) const;
  int lastRadio() const {
    return lastIndex_ >= 0 && lastIndex_ < static_cast<int>(list_.size()) ? list_[lastIndex_].radio
                                                                          : -1;
  }
  void each(const std::function<void(CommandListener&)>& event);

  MainWindowModel& window_;
  std::vector<CommandListener*> listeners_;
  bool running_ = false;
  Command current_ = Command::GetLocal;
  // A read or a send given during rounds: the rounds go on after it.
  bool underneath_ = false;
  Command rounds_ = Command::Monitor;
  TpollArray list_;
  int round_ = 0;
  int lastIndex_ = -1;
  // The radio the rounds first reached: each round starts there.
  int startRadio_ = -1;
  int reading_ = -1;
  bool answered_ = false;
  TaskCode engineTask_ = tkLocalOnly;
  bool session_ = false;
  Command sessionCommand_ = Command::GroupChange;
  // The table's reason for the last refusal.
  std::string refusal_;
};

}  // namespace tessel
