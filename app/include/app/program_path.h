#pragma once

#include <string>

namespace tessel {

// The program's path as it was started: argv[0] made absolute against the
// working folder, links not followed (a link named "lumalink" chooses that
// brand). A bare name found through PATH is looked up there.
std::string programPath(const char* argv0, const std::string& cwd, const std::string& pathEnv);

// Whether the first argument asks for the "Emulate Group" entry: it
// contains "-emulate" in any case.
bool emulateRequested(int argc, char** argv);

// The project to open at start (a .vro opened from the file manager): the
// first argument, or the second after "-emulate"; not one that starts with
// "-". Empty when there is none.
std::string projectArgument(int argc, char** argv);

// Takes "--metrics HOST:PORT" (or "--metrics=HOST:PORT") out of the
// arguments, so the others are read as before, and gives its value in
// address. False with error when the switch has no value or a malformed one.
bool takeMetricsOption(int& argc, char** argv, std::string& address, std::string& error);

}  // namespace tessel
