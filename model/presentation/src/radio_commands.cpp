#include "model/radio_commands.h"

#include <algorithm>

#include "model/group_commands.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/project.h"

namespace tessel {

namespace {

TaskCode taskOf(Command command) {
  switch (command) {
    case Command::GetLocal:
      return tkGetLocal;
    case Command::GetRadio:
      return tkGetRemote;
    case Command::SetRadio:
    case Command::Reset:
      return tkSendValues;
    case Command::Emulate:
      return tkEmulate;
    case Command::AutoConfigure:
      return tkAutoConfigure;
    case Command::Discover:
    case Command::Monitor:
    case Command::Compare:
    case Command::GroupChange:
      break;
  }
  return tkMonitor;
}

bool inRounds(Command command) {
  return command == Command::Discover || command == Command::Monitor || command == Command::Compare;
}

// A task some other code started still ends as the command it stands for.
bool commandOf(TaskCode task, Command& command) {
  switch (task) {
    case tkGetLocal:
      command = Command::GetLocal;
      return true;
    case tkGetRemote:
      command = Command::GetRadio;
      return true;
    case tkSendValues:
      command = Command::SetRadio;
      return true;
    case tkMonitor:
      command = Command::Monitor;
      return true;
    case tkEmulate:
      command = Command::Emulate;
      return true;
    default:
      return false;
  }
}

}  // namespace

void RadioCommands::addListener(CommandListener* listener) {
  if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
    listeners_.push_back(listener);
}

void RadioCommands::removeListener(CommandListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

CommandStart RadioCommands::admit(Command given) {
  refusal_.clear();
  if (!busy()) return CommandStart::Started;
  const Command running = holder();
  switch (meeting(running, given)) {
    case Meeting::Start:
    case Meeting::Queue:
      return CommandStart::Started;
    case Meeting::Refuse:
      refusal_ = refusalText(running, given);
      return CommandStart::Refused;
    case Meeting::Ask:
      break;
  }
  if (window_.prompts.show(PromptIcon::Question, stopQuestion(running, given), pbYes | pbNo) !=
      pbYes)
    return CommandStart::Declined;
  // What runs may have ended while the user read the question.
  if (busy() && holder() == running) stop(std::string(), {});
  return busy() ? admit(given) : CommandStart::Started;
}

std::string RadioCommands::whyNot(const std::string& title, CommandStart why) const {
  if (why == CommandStart::Declined) return std::string();
  if (why == CommandStart::Refused) return refusal_;
  return taskRefusal(title, why);
}

bool RadioCommands::roundsRunning(Command& command) const {
  if (!running_) return false;
  if (inRounds(current_)) {
    command = current_;
    return true;
  }
  if (underneath_) command = rounds_;
  return underneath_;
}

CommandStart RadioCommands::autoConfigure(const std::function<bool()>& search) {
  return run(
      Command::AutoConfigure, {{0, 0}},
      [&] {
        if (!window_.tasks) return CommandStart::PortClosed;
        return search() ? CommandStart::Started : CommandStart::Busy;
      },
      Command::AutoConfigure);
}

CommandStart RadioCommands::beginSession(Command command) {
  const CommandStart why = admit(command);
  if (why != CommandStart::Started) return why;
  session_ = true;
  sessionCommand_ = command;
  CommandProgress p;
  p.command = command;
  each([&](CommandListener& l) { l.commandProgress(p); });
  return why;
}

void RadioCommands::endSession(Command command) {
  if (!session_ || sessionCommand_ != command) return;
  session_ = false;
  end(command, Outcome{});
}

CommandStart RadioCommands::getLocal(const std::string& title, const TpollArray& given) {
  // Asked before the list is built: building it marks the records.
  const CommandStart admitted = admit(Command::GetLocal);
  if (admitted != CommandStart::Started) return admitted;
  TpollArray list = given;
  if (list.empty())
    if (Tproject* project = window_.project())
      list = project->BuildPollList(window_.panel.WindowMode == wmMonitor);
  if (list.empty()) list.push_back({0, 0});
  const CommandStart why = run(
      Command::GetLocal, {list.front()},
      [&] {
        return window_.tasks ? window_.tasks->StartTask(tkGetLocal, title, list)
                             : CommandStart::PortClosed;
      },
      Command::GetLocal);
  // The panel waits for the read's values only once the read runs: a flag
  // left set would let the Group ID check take 0 until some later read.
  if (why == CommandStart::Started) window_.panel.panelLoading = true;
  return why;
}

CommandStart RadioCommands::getRadio(const std::string& title, const TpollEntry& entry) {
  return run(
      Command::GetRadio, {entry},
      [&] {
        return window_.tasks ? window_.tasks->StartTask(tkGetRemote, title, {entry})
                             : CommandStart::PortClosed;
      },
      Command::GetRadio);
}

CommandStart RadioCommands::setRadio(const std::string& title, const TpollArray& list,
                                     const std::vector<std::string>& lines, Command as) {
  return run(
      Command::SetRadio, list,
      [&] {
        return window_.tasks ? window_.tasks->StartSend(title, list, lines)
                             : CommandStart::PortClosed;
      },
      as);
}

CommandStart RadioCommands::reset(const std::string& title, int radio) {
  // The lines go with the task or not at all: left in the queue by a refused
  // start, they would make the next Set Radio look busy.
  return run(
      Command::Reset, {{radio, 0}},
      [&] {
        return window_.tasks ? window_.tasks->StartSend(title, TpollArray{},
                                                        {"ATD" + std::to_string(radio), "AT&R"})
                             : CommandStart::PortClosed;
      },
      Command::Reset);
}

CommandStart RadioCommands::discover(const std::string& title) {
  TpollArray list;
  list.reserve(kDiscoverEntries);
  for (int id = 0; id < kDiscoverEntries; ++id) list.push_back({id, 0});
  return rounds(Command::Discover, title, list, Command::Discover);
}

CommandStart RadioCommands::monitor(const std::string& title, const TpollArray& list) {
  return rounds(Command::Monitor, title, list, Command::Monitor);
}

CommandStart RadioCommands::emulate(const std::string& title, const TpollArray& list) {
  return run(
      Command::Emulate, list,
      [&] {
        return window_.tasks ? window_.tasks->StartTask(tkEmulate, title, list)
                             : CommandStart::PortClosed;
      },
      Command::Emulate);
}

CommandStart RadioCommands::compare(const std::string& title, const TpollArray& list, Command as) {
  return rounds(Command::Compare, title, list, as);
}

CommandStart RadioCommands::rounds(Command command, const std::string& title,
                                   const TpollArray& list, Command as) {
  return run(
      command, list,
      [&] {
        return window_.tasks ? window_.tasks->StartTask(tkMonitor, title, list)
                             : CommandStart::PortClosed;
      },
      as);
}

void RadioCommands::updateList(const TpollArray& list) {
  if (!window_.tasks) return;
  window_.tasks->StartTask(tkUpdatePollList, "update PollList", list);
  if (running_ && (inRounds(current_) || underneath_)) {
    // The place in the round is kept: the radios before the one read last
    // (the list is in ID order) count as dialled.
    list_ = list;
    if (lastIndex_ >= 0) {
      int before = 0;
      for (const TpollEntry& e : list_) before += e.radio < reading_ ? 1 : 0;
      const bool kept = std::any_of(list_.begin(), list_.end(),
                                    [this](const TpollEntry& e) { return e.radio == reading_; });
      lastIndex_ = kept ? before : std::max(0, before - 1);
    }
  }
}

void RadioCommands::stop(const std::string& title, const TpollArray& entry) {
  if (window_.tasks) window_.tasks->StartTask(tkLocalOnly, title, entry);
  const bool was = running_, under = underneath_;
  running_ = underneath_ = false;
  if (was) end(current_, Outcome{TaskEnd::Cancelled});
  if (under) end(rounds_, Outcome{TaskEnd::Cancelled});
}

CommandStart RadioCommands::run(Command command, const TpollArray& list,
                                const std::function<CommandStart()>& start, Command as) {
  // A part of the command holding the link is no meeting with it.
  if (!(session_ && as == sessionCommand_)) {
    const CommandStart admitted = admit(command);
    if (admitted != CommandStart::Started) return admitted;
  }
  const bool wasRunning = running_, wasUnder = underneath_;
  const Command was = current_, wasRounds = rounds_;
  const TpollArray wasList = list_;
  const int wasRound = round_, wasIndex = lastIndex_, wasReading = reading_;
  const int wasStart = startRadio_;
  const bool wasAnswered = answered_;
  // A send given during rounds: the engine goes back to its rounds
  // afterwards.
  const bool keepsRounds = wasRunning && inRounds(was) && meeting(was, command) == Meeting::Queue;
  running_ = true;
  current_ = command;
  underneath_ = keepsRounds;
  if (keepsRounds) rounds_ = was;
  if (inRounds(command)) {
    list_ = list;
    round_ = 0;
    lastIndex_ = -1;
    startRadio_ = -1;
    reading_ = -1;
    answered_ = false;
  }
  const CommandStart why = start();
  if (why != CommandStart::Started) {
    running_ = wasRunning;
    underneath_ = wasUnder;
    current_ = was;
    rounds_ = wasRounds;
    list_ = wasList;
    round_ = wasRound;
    lastIndex_ = wasIndex;
    startRadio_ = wasStart;
    reading_ = wasReading;
    answered_ = wasAnswered;
    return why;
  }
  // What ran before and does not go on ends as cancelled.
  if (wasRunning && !keepsRounds) end(was, Outcome{TaskEnd::Cancelled});
  if (wasUnder) end(wasRounds, Outcome{TaskEnd::Cancelled});
  if (inRounds(command)) {
    if (round_ == 0) progress(-1, 0);
  } else if (running_ && current_ == command) {
    CommandProgress p;
    p.command = command;
    p.radio = list.empty() ? -1 : list.front().radio;
    p.index = 1;
    p.count = 1;
    each([&](CommandListener& l) { l.commandProgress(p); });
  }
  return why;
}

void RadioCommands::progress(int radio, int index) {
  CommandProgress p;
  p.command = running_ && inRounds(current_) ? current_ : rounds_;
  p.radio = radio;
  p.index = index;
  p.count = static_cast<int>(list_.size());
  p.round = round_;
  each([&](CommandListener& l) { l.commandProgress(p); });
}

void RadioCommands::end(Command command, const Outcome& outcome) {
  each([&](CommandListener& l) { l.commandEnded(command, outcome); });
}

void RadioCommands::each(const std::function<void(CommandListener&)>& event) {
  // A listener may stop listening from inside its own event.
  const std::vector<CommandListener*> listeners = listeners_;
  for (CommandListener* l : listeners)
    if (std::find(listeners_.begin(), listeners_.end(), l) != listeners_.end()) event(*l);
}

void RadioCommands::dialling(int radio) {
  if (radio < 0) return;
  const bool rounds = running_ && (inRounds(current_) || underneath_);
  if (!rounds) return;
  const Command command = inRounds(current_) ? current_ : rounds_;
  // A radio that answered its dial and stopped answering on the way was
  // given up: what it gave is kept.
  if (reading_ >= 0 && answered_) {
    const int given = reading_;
    each([&](CommandListener& l) { l.radioRead(command, given, false); });
  }
  reading_ = radio;
  answered_ = false;
  reached(radio);
}

int RadioCommands::placeOf(int radio) const {
  // A radio no longer listed (deleted meanwhile) stands where it would be:
  // the list is in ID order.
  int before = 0;
  for (size_t i = 0; i < list_.size(); ++i) {
    if (list_[i].radio == radio) return static_cast<int>(i);
    before += list_[i].radio < radio ? 1 : 0;
  }
  return list_.empty() ? 0 : before % static_cast<int>(list_.size());
}

void RadioCommands::reached(int radio) {
  const auto at = std::find_if(list_.begin(), list_.end(),
                               [radio](const TpollEntry& e) { return e.radio == radio; });
  if (at == list_.end()) return;
  // A round starts where the engine first reached its list, the local
  // radio (which need not come first) or the first dial, and goes round
  // the list from there: coming back past that place opens the next one.
  // A radio dialled again after no answer is still the same round.
  if (startRadio_ < 0) startRadio_ = radio;
  const int n = static_cast<int>(list_.size());
  const int start = placeOf(startRadio_);
  const int index = static_cast<int>(at - list_.begin());
  const int place = (index - start + n) % n;
  if (lastIndex_ < 0 || place < (lastIndex_ - start + n) % n) ++round_;
  lastIndex_ = index;
  progress(radio, place + 1);
}

void RadioCommands::answered() {
  answered_ = true;
}

void RadioCommands::radioPolled(int radio) {
  if (!running_ || !(inRounds(current_) || underneath_)) return;
  const Command command = inRounds(current_) ? current_ : rounds_;
  // The local radio is read without a dial: it is reached when polled.
  if (radio == reading_)
    reading_ = -1;
  else if (radio != lastRadio())
    reached(radio);
  each([&](CommandListener& l) { l.radioRead(command, radio, true); });
}

void RadioCommands::lineConfirmed(const std::string& line) {
  if (!running_ || (current_ != Command::SetRadio && current_ != Command::Reset)) return;
  const Command command = current_;
  each([&](CommandListener& l) { l.lineConfirmed(command, line); });
}

void RadioCommands::taskChanged(TaskCode to) {
  engineTask_ = to;
  // The search ends when the engine leaves it: found, given up or cancelled.
  if (running_ && current_ == Command::AutoConfigure && to != tkAutoConfigure) {
    running_ = false;
    end(Command::AutoConfigure, Outcome{});
  }
}

void RadioCommands::taskEnded(TaskCode task, const Outcome& outcome) {
  // The rounds' reading of the local radio ends as a task of its own while
  // the rounds go on: that is no end of theirs.
  if (running_ && inRounds(current_) && outcome.done() && engineTask_ == tkMonitor) return;
  if (running_ && taskOf(current_) == task) {
    const Command ended = current_;
    if (underneath_) {
      underneath_ = false;
      // Back to the rounds, unless the engine left them too (a lost line).
      if (engineTask_ == taskOf(rounds_)) {
        current_ = rounds_;
      } else {
        running_ = false;
        end(ended, outcome);
        end(rounds_, outcome.done() ? Outcome{TaskEnd::Cancelled} : outcome);
        return;
      }
    } else {
      running_ = false;
    }
    end(ended, outcome);
    return;
  }
  if (running_) return;  // a step of what runs (a monitor finding its local radio again)
  Command command;
  if (commandOf(task, command)) end(command, outcome);
}

}  // namespace tessel
