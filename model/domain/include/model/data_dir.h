#pragma once

// Where the program keeps the default project and the traffic logs.
#include <string>

namespace tessel {

// Beside the program when it runs from a folder of its own that it may
// write (a build tree, an unpacked archive). A program installed into a
// "bin" folder (/usr/bin, /usr/local/bin, ~/.local/bin) shares that folder
// with others, and even root must not litter it: it, and a program whose
// folder is read-only, uses the per-user data folder
// xdgDataHome/product, else home/.local/share/product.
std::string dataDirectory(const std::string& product, const std::string& exePath,
                          const std::string& xdgDataHome, const std::string& home);

// The same for the running program (/proc/self/exe, $XDG_DATA_HOME, $HOME).
std::string dataDirectory(const std::string& product);

}  // namespace tessel
