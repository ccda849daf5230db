#pragma once

// Files and their names. Names are UTF-8 text throughout the program; the
// system takes them in its own form (wide characters on Windows), converted
// here at the edge.
#include <cstdio>
#include <filesystem>
#include <string>

namespace tessel::platform {

std::filesystem::path pathFromUtf8(const std::string& utf8);
std::string utf8FromPath(const std::filesystem::path& path);

// The file path names, absolute and with every symbolic link resolved;
// empty when it does not exist.
std::string realPath(const std::string& path);
// The folder part of path ("." for a bare name, the root for a file in it)
// and the last part.
std::string folderOf(const std::string& path);
std::string baseNameOf(const std::string& path);
// name in folder.
std::string pathInFolder(const std::string& folder, const std::string& name);

// 0 when this process may write the file at path (for a folder: make files
// in it), else an errno value saying why not (EACCES, ENOENT, ...).
int writeAccess(const std::string& path);
// Whether path is a file this process may run.
bool isExecutable(const std::string& path);

// std::fopen, the name taken as UTF-8.
std::FILE* openFile(const std::string& path, const char* mode);
// The whole file at path into out: 0, or an errno value (ENOENT when there
// is no such file).
int readWholeFile(const std::string& path, std::string& out);

// Makes a new folder of this process's own in the system's folder for
// temporary files, named prefix and a unique ending; its name, or empty
// (errno set) when none could be made.
std::string makeTempFolder(const std::string& prefix);

}  // namespace tessel::platform
