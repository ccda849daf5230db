#pragma once

// Message box texts more than one of the engine's parts show.
namespace tessel {
namespace texts {

inline constexpr const char* kAtdError =
    "Error response from ATD command. Please check that this radio is a master";

}  // namespace texts
}  // namespace tessel
