#pragma once

// The recent project list: settings values "file1" (newest) to "file4".
#include <string>

namespace tessel {

class SettingsStore;

// A project chosen through New or Load becomes "file1". When it is not
// already "file1", the others move down one place first, each only when its
// source is not empty; a name further down the list is not removed, so it
// may then stand twice. False when a value could not be written.
bool pushRecentFile(SettingsStore& settings, const std::string& fileName);

}  // namespace tessel
