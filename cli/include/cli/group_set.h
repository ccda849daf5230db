#pragma once

// tessel-cli group-set: the shared values asked for on the command line.
#include <array>
#include <optional>
#include <string>

#include "cli/cli_args.h"
#include "model/radio_settings.h"

namespace tessel::cli {

struct GroupSetRequest {
  std::optional<int> groupID, securityID, rfband;
  std::optional<std::string> flushTime;
  std::optional<YesNo> repeaters, reTXBroadcasts;
  std::optional<std::array<std::string, kBlockedFreqCount>> blocked;
  bool yes = false;   // no confirmation asked
  bool fast = false;  // the sends as fast as replies

  bool any() const {
    return groupID || securityID || rfband || flushTime || repeaters || reTXBroadcasts || blocked;
  }
  // The project's values with those asked for.
  GroupSettings applied(GroupSettings g) const;
};

// The options checked and converted; false with error when one is invalid
// or none is given.
bool parseGroupSet(const ParsedArgs& args, GroupSetRequest& out, std::string& error);

}  // namespace tessel::cli
