#pragma once

// Where the program keeps the default project and the traffic logs.
#include <string>

namespace tessel {

// Beside the program when it runs from a folder of its own that it may
// write (a build tree, an unpacked archive). A program installed into a
// "bin" folder (/usr/bin, /usr/local/bin, ~/.local/bin) shares that folder
// with others, and even root must not litter it: it, and a program whose
// folder is read-only, uses userDataFolder/product.
std::string dataDirectory(const std::string& product, const std::string& exePath,
                          const std::string& userDataFolder);

// The same with this user's data folder (platform::userDataFolder()).
std::string dataDirectory(const std::string& product, const std::string& exePath);

// The same for the running program.
std::string dataDirectory(const std::string& product);

}  // namespace tessel
