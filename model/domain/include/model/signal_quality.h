#pragma once

// How good a radio's received signal is, from the RSSI it reports (dBm).
#include <optional>

namespace tessel {

enum class SignalQuality { Unknown, Good, Fair, Poor };

// At or above -70 dBm the link has margin to spare; -85 to -71 works but
// fades may cost retries; below -85 packets are being lost.
constexpr int kGoodRssi = -70;
constexpr int kFairRssi = -85;

// The quality of an RSSI reading; Unknown when there is none.
SignalQuality rssiQuality(std::optional<int> dBm);
// "good", "fair", "poor" or "" for Unknown.
const char* qualityName(SignalQuality quality);

}  // namespace tessel
