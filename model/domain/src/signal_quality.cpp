#include "model/signal_quality.h"

namespace tessel {

SignalQuality rssiQuality(std::optional<int> dBm) {
  if (!dBm) return SignalQuality::Unknown;
  if (*dBm >= kGoodRssi) return SignalQuality::Good;
  if (*dBm >= kFairRssi) return SignalQuality::Fair;
  return SignalQuality::Poor;
}

const char* qualityName(SignalQuality quality) {
  switch (quality) {
    case SignalQuality::Good:
      return "good";
    case SignalQuality::Fair:
      return "fair";
    case SignalQuality::Poor:
      return "poor";
    case SignalQuality::Unknown:
      break;
  }
  return "";
}

}  // namespace tessel
