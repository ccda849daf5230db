#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "link/port_state.h"

namespace tessel {

// How a radio ends its answer to a command, as the command itself tells.
enum class Ending : uint8_t {
  Ok,       // "OK" or "ERROR": a settings line, "AT", "+++", "ATH", "AT&W"
  Dial,     // "OK" or "ERROR", or nothing when no radio answers
  Value,    // a value in the form its register holds, then "OK"; or "ERROR"
  Line,     // one line of text: the identification ("ATI")
  Page,     // lines of text up to "OK" ("ATI1" to "ATI3"); or "ERROR"
  Nothing,  // no answer at all ("AT&R")
};

Ending endingOf(const std::string& command);

// A received line that answers a command asked by the task in progress.
struct Answer {
  ReplyClass rc = rcText;  // rcText (a value or a page line), rcOK, rcError or rcIgnored
  std::string line;        // the line as received (a page keeps its columns)
  std::string command;     // the command it answers, as sent
  bool awaited = true;     // the answer the command waits for (not a word of refusal)
  bool final = false;      // the line ended the command's answer
};

// The exchanges the radio owes an answer to, oldest first. Only sending adds
// to it; every received line is matched here before any state sees it, so a
// late, doubled or echoed line is never taken for the answer to the next
// command. Radios answer in order: a line is matched against the oldest
// exchange still owed.
class OwedExchanges {
 public:
  using ValueFits = std::function<bool(const std::string&)>;
  enum class Match : uint8_t {
    Answer,   // the answer (or part of it) to a command of the task
    Dropped,  // echo, noise, or an answer nobody waits for any more
  };

  // A command went out. Asked again (resend) while its last ask is owed or
  // has just timed out, it owes one answer more: the late answer of the
  // first ask may still come. deliver is false for lines whose
  // answer no task takes (a hang-up ending a task, a line typed in the
  // terminal).
  void sent(const std::string& command, bool deliver, bool resend = false,
            const ValueFits& fits = {});
  // answer is filled in for every line taken by an exchange, also when it
  // is dropped because no task waits for it any more (a hang-up ending a
  // task is answered all the same).
  Match match(const std::string& line, Answer& answer);
  // A blank line came (line assembly passes on no empty line): a value
  // asked may be empty.
  void blankLine();

  // The timer ticked: unanswered exchanges time out (a resend of the same
  // command revives them until tickDone()); an exchange answered once that
  // still owes the answers of its resends lives one tick longer.
  void tick();
  void tickDone();
  // A tick must wait: the answers of a command asked more than once are
  // still coming, and the next command would take them for its own.
  bool holding() const;
  // The next command may go out at once: what is still owed comes in order
  // ahead of its answer, and no command asked twice owes a second answer.
  bool settled() const;
  bool empty() const { return owed_.empty(); }
  // A line that was no task's still owes its answer: a task starting now
  // waits for it, as the hang-up that ended the last task may take the
  // radio out of command mode only when it is answered.
  bool ownerlessOwed() const;
  // The task that asked is gone: the answers still owed are dropped.
  void orphan();
  void clear() { owed_.clear(); }

 private:
  struct Exchange {
    std::string sent;  // as sent
    std::string key;   // upper case, blanks and line ends removed
    Ending ending;
    ValueFits fits;
    bool deliver;
    bool ownerless;          // no task's line from the start
    bool orphaned = false;   // the task that asked it is gone
    int owed = 1;            // answers still to come, one per ask
    bool answered = false;   // the first answer was taken
    bool valueSeen = false;  // the answer in progress gave its value
    bool blankSeen = false;  // a blank line came where its value was due
    bool timedOut = false;
    long expiresAt = 0;
  };

  bool isEcho(const std::string& key) const;
  Match take(Exchange& e, ReplyClass rc, const std::string& line, Answer& answer);
  void answerEnded(Exchange& e);

  std::deque<Exchange> owed_;
  std::string lastKey_;  // the last command sent, for its echo
  long ticks_ = 0;
};

}  // namespace tessel
