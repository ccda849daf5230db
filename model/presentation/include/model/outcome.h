#pragma once

// How a task on the radios ended, as one value from the link engine through
// the commands to both front ends: what happened, the radio it concerns, the
// line a radio refused, and the words people are shown. The window shows the
// words; the headless front end decides its exit status from the ending.
// Nothing decides anything from the words.
#include <cstdint>
#include <string>

namespace tessel {

enum class TaskEnd : uint8_t {
  Done,       // the read or the send went through
  Refused,    // the radio answered ERROR: to refusedLine, or to its dial
  NoAnswer,   // the radio stopped answering; given up without asking anyone
  Cancelled,  // the user stopped it or answered Abort, or no radio answered at all
  LinkLost,   // "NO CARRIER": the link to the radio dialled dropped
  LineLost,   // the port's device went away under it
  // Ends a front end gives a command itself.
  NotStarted,   // refused at the start: the port closed, the link busy, what runs in the way
  TimedOut,     // not done within the time it was given
  Interrupted,  // stopped by a signal
};

struct Outcome {
  TaskEnd ending = TaskEnd::Done;
  // What the user is told about the end; empty when nothing is said.
  std::string message;
  // The radio it concerns; -1 for none named.
  int radio = -1;
  // Refused: the line the radio answered ERROR to (empty for a dial).
  std::string refusedLine;
  // The engine showed message in a box of its own, before or after the end.
  bool shown = false;

  bool done() const { return ending == TaskEnd::Done; }
};

// The ending as a word for logs and test names: "done", "refused", ...
const char* endingName(TaskEnd ending);

}  // namespace tessel
