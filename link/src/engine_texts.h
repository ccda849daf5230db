#pragma once

// Message box texts more than one of the engine's parts show.
#include <string>

namespace tessel {
namespace texts {

// The start of every message about a link that dropped, naming the radio.
inline std::string linkLost(int radio) {
  return "The link to radio " + std::to_string(radio) +
         " was lost (the local radio answered NO CARRIER)";
}

inline constexpr const char* kAtdError =
    "Error response from ATD command. Please check that this radio is a master";

}  // namespace texts
}  // namespace tessel
