#pragma once

#include <string>

namespace tessel {

// Whether the file at path can be replaced with new contents the way the
// project is written (a new file beside it, renamed over it): the file, when
// it exists, is a regular file this process may write, and its folder takes
// new files. Otherwise false, with "cannot write <path>: <reason>" in error.
bool canRewriteFile(const std::string& path, std::string& error);

// Whether the project at path can be opened for reading: an existing
// regular file this process may read. Otherwise false, with
// "cannot read <path>: <reason>" in error.
bool canReadProject(const std::string& path, std::string& error);

// Replaces the file at path with a copy of the file at source, the way the
// project is written (all or nothing: a crash leaves the old file or the new
// one). False with the reason in error.
bool replaceFileWithCopy(const std::string& path, const std::string& source, std::string& error);
// Whether the file at path can be a project: empty, or text (no control
// bytes but tab, CR, LF and form feed) with at least one section header or
// key line. Otherwise false, with the reason in reason ("it holds bytes that
// cannot be text", "it holds no section and no key"). A file that cannot be
// opened passes: opening it reports that.
bool isProjectText(const std::string& path, std::string& reason);

}  // namespace tessel
