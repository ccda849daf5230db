// tessel-cli get-local: the local radio read into the panel and printed.

#include "cli/cli_session.h"

#include "model/group_commands.h"
#include "model/panel_settings.h"

#include "model/brand.h"

namespace tessel::cli {

int Session::getLocal() {
  if (!openPort() || !openManualProject()) return 1;
  if (options_.timeoutMs == 0) options_.timeoutMs = 60'000;
  const Outcome read = runTask(Command::GetLocal, "read", [&] {
    return started(kGetLocalTitle, window_.commands.getLocal(kGetLocalTitle));
  });
  if (!read.done()) return exitStatusOf(read.ending);
  for (const auto& [key, value] : settingsReport(settingsOfPanel(panel_), brand()))
    out_ << key << " = " << value << "\n";
  out_.flush();
  return kExitDone;
}

}  // namespace tessel::cli
