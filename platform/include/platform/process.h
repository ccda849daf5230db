#pragma once

// The running program and the others beside it.
#include <string>

namespace tessel::platform {

int currentProcessId();
// Whether a process with that ID runs; one this process may not look at
// counts as running.
bool processRuns(int pid);
// The running program's name without folder and without ".exe": what
// messages call it ("tessel-cli").
std::string programName();
// The running program's file, as UTF-8; empty when the system does not say.
std::string executablePath();

// A variable of the environment as UTF-8; false when it is not set.
bool environmentVariable(const std::string& name, std::string& value);

// The folder where this user's programs keep their data: $XDG_DATA_HOME
// (when absolute), else ~/.local/share on POSIX; %LOCALAPPDATA% on Windows.
std::string userDataFolder();

}  // namespace tessel::platform
