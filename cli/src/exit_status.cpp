#include "cli/exit_status.h"

namespace tessel::cli {

namespace {

struct EndingStatus {
  TaskEnd ending;
  int status;
};

// Every way a task can end, and the status it leaves.
constexpr EndingStatus kStatusOfEnding[] = {
    {TaskEnd::Done, kExitDone},          {TaskEnd::Refused, kExitFailed},
    {TaskEnd::NoAnswer, kExitFailed},    {TaskEnd::Cancelled, kExitFailed},
    {TaskEnd::LinkLost, kExitFailed},    {TaskEnd::LineLost, kExitFailed},
    {TaskEnd::NotStarted, kExitFailed},  {TaskEnd::TimedOut, kExitFailed},
    {TaskEnd::Interrupted, kExitFailed},
};

}  // namespace

int exitStatusOf(TaskEnd ending) {
  for (const EndingStatus& e : kStatusOfEnding)
    if (e.ending == ending) return e.status;
  return kExitFailed;
}

}  // namespace tessel::cli
