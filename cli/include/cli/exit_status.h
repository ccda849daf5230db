#pragma once

// tessel-cli's exit statuses, and the one table that gives a command's end
// its status. README's table of exit statuses is this one.
#include "model/outcome.h"

namespace tessel::cli {

inline constexpr int kExitDone = 0;
// The command did not do what it was asked: the radio refused, did not
// answer, the link or the port's device was lost, a box had to be answered
// Abort, the time ran out, a signal stopped it.
inline constexpr int kExitFailed = 1;
// The command was given wrongly (an unknown option, a value out of range, a
// radio the project lacks).
inline constexpr int kUsageError = 2;
// It ran through, and what was read differs from the project (set --verify,
// compare).
inline constexpr int kExitDiffers = 3;

// The status a command that ended so exits with.
int exitStatusOf(TaskEnd ending);

}  // namespace tessel::cli
