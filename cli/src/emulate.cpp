// tessel-cli emulate: the project's radios played on the port.

#include "cli/cli_session.h"

#include "model/group_commands.h"

#include <filesystem>
#include <ostream>

#include "model/file_access.h"
#include "model/project.h"
#include "platform/files.h"

namespace tessel::cli {

namespace fs = std::filesystem;

int Session::emulate(const std::string& project) {
  // The radios played write what a configurator sets into the project: one
  // that cannot be written is refused before anything is served.
  std::string error;
  std::error_code ec;
  if (fs::is_regular_file(platform::pathFromUtf8(project), ec) && !canRewriteFile(project, error)) {
    err_ << "tessel-cli: " << error << std::endl;
    return 1;
  }
  if (!openUserProject(project)) return 1;
  const TpollArray list = window_.project()->BuildPollList(false);
  if (!hasRadios(list, project)) return 1;
  if (!started(kEmulateGroupTitle, window_.commands.emulate(kEmulateGroupTitle, list))) {
    window_.closeProject();
    return 1;
  }
  out_ << "emulating " << list.size() << " radio(s) on " << options_.device << std::endl;
  // Serves until interrupted, or for --timeout when given.
  runUntilDone([] { return false; });
  window_.closeProject();
  return prompts_.failed() ? 1 : 0;
}

}  // namespace tessel::cli
