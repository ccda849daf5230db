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
};

using CommandStart = LinkTasks::TaskStart;

// Failed: the radio refused (or stopped answering, as the engine told with
// a box); NoAnswer: it stopped answering and the engine gave up without a
// box; LinkLost: the link to the radio dialled dropped ("NO CARRIER").
enum class CommandOutcome : uint8_t { Done, Failed, Cancelled, NoAnswer, LinkLost };

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
  // message: what the engine told the user with the end, empty for none.
  virtual void commandEnded(Command /*command*/, CommandOutcome /*outcome*/,
                            const std::string& /*message*/) {}
};

class RadioCommands {
 public:
  explicit RadioCommands(MainWindowModel& window) : window_(window) {}

  void addListener(CommandListener* listener);
  void removeListener(CommandListener* listener);

  // Every start changes nothing unless the engine took the task.
  // The local radio's registers into the panel, read as list's first radio
  // (empty: as the open project's radios, or as radio 0).
  CommandStart getLocal(const std::string& title, const TpollArray& list = {});
  // One radio of the group (entry: its ID and model), dialled through the
  // local one.
  CommandStart getRadio(const std::string& title, const TpollEntry& entry);
  // The lines of a Set Radio (or of a Reset) to the radios of list.
  CommandStart setRadio(const std::string& title, const TpollArray& list,
                        const std::vector<std::string>& lines);
  CommandStart reset(const std::string& title, int radio);
  // Dials every radio ID in rounds and keeps those that answer.
  CommandStart discover(const std::string& title);
  CommandStart monitor(const std::string& title, const TpollArray& list);
  CommandStart emulate(const std::string& title, const TpollArray& list);
  // Reads the radios of list once, as the monitor reads them.
  CommandStart compare(const std::string& title, const TpollArray& list);
  // The radios a running monitor polls from now on (one was deleted or
  // renumbered); its round goes on.
  void updateList(const TpollArray& list);
  // Stops whatever runs (the engine back at the local radio, entry); what
  // ran ends as cancelled.
  void stop(const std::string& title, const TpollArray& entry);

  bool running() const { return running_; }
  Command current() const { return current_; }

  // The engine's events.
  void dialling(int radio);
  // The radio dialled answered: its registers are being read.
  void answered();
  void radioPolled(int radio);
  // A line of the send under way was answered "OK".
  void lineConfirmed(const std::string& line);
  // The engine took up task (it tells before it ends one).
  void taskChanged(TaskCode to);
  void taskEnded(TaskCode task, CommandOutcome outcome, const std::string& message);

 private:
  // Starts command through start, its progress kept from before the engine
  // takes it (the engine may report at once); nothing changes on a refusal.
  CommandStart run(Command command, const TpollArray& list,
                   const std::function<CommandStart()>& start);
  CommandStart rounds(Command command, const std::string& title, const TpollArray& list);
  void end(Command command, CommandOutcome outcome, const std::string& message);
  void progress(int radio, int index);
  // The rounds reached radio (dialled, or the local one polled): its place
  // in the list, and a new round when it comes before the last one reached.
  void reached(int radio);
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
  int reading_ = -1;
  bool answered_ = false;
  TaskCode engineTask_ = tkLocalOnly;
};

}  // namespace tessel
