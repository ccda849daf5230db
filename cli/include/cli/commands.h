#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/exit_status.h"

namespace tessel::cli {

// Runs tessel-cli with its arguments (without the program name); returns
// the exit status: 0 done, 1 failed, 2 wrong usage.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tessel::cli
