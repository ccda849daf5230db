#include "model/signal_quality.h"

#include <cctype>
#include <cstdlib>

namespace tessel {

SignalQuality rssiQuality(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  if (b == e) return SignalQuality::Unknown;
  size_t i = b;
  if (text[i] == '-' || text[i] == '+') ++i;
  if (i == e || e - i > 6) return SignalQuality::Unknown;
  for (size_t k = i; k < e; ++k)
    if (!std::isdigit(static_cast<unsigned char>(text[k]))) return SignalQuality::Unknown;
  const long v = std::strtol(text.c_str() + b, nullptr, 10);
  if (v >= kGoodRssi) return SignalQuality::Good;
  if (v >= kFairRssi) return SignalQuality::Fair;
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
