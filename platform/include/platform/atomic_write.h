#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace tessel::platform {

// Replaces the file at path with data so that a crash leaves either the old
// or the new file, never a mix: the data goes to a temporary file in the same
// directory, is flushed to disk and renamed over the original. Where the file
// system allows, that file has no name until its data is complete, so a
// writer killed on the way leaves nothing behind. An existing
// file keeps its permission bits (and its owner where the process may set
// it); a symbolic link keeps pointing at the file it names. On failure the
// temporary file is removed, the original is untouched and error holds the
// reason with the system's message. A file the process may not write is
// refused like a plain write would refuse it.
bool replaceFileAtomically(const std::string& path, const std::string& data, std::string& error);

// The same with the data handed over in pieces: produce calls put for each
// piece and returns false (errno set) when a put failed. A large file then
// never has to be held whole a second time.
using DataSink = std::function<bool(const char* data, size_t size)>;
bool replaceFileAtomically(const std::string& path,
                           const std::function<bool(const DataSink& put)>& produce,
                           std::string& error);

// Removes the temporary files that writers of path killed in the middle of a
// write left in its directory (those of processes that no longer run).
void removeDeadWritersFiles(const std::string& path);

}  // namespace tessel::platform
