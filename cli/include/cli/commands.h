#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tessel::cli {

// The exit status of a command given wrongly (an unknown option, a value
// out of range, a radio the project lacks).
inline constexpr int kUsageError = 2;

// Runs tessel-cli with its arguments (without the program name); returns
// the exit status: 0 done, 1 failed, 2 wrong usage.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tessel::cli
