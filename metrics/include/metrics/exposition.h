#pragma once

// The text a monitoring server scrapes (the Prometheus text exposition
// format, version 0.0.4): families with their HELP and TYPE lines, then
// their samples, each family's samples together.
#include <string>
#include <utility>
#include <vector>

namespace tessel {

using MetricLabels = std::vector<std::pair<std::string, std::string>>;

class Exposition {
 public:
  // Starts a family; type is "gauge" or "counter" (a counter's name ends
  // in "_total").
  void family(const std::string& name, const char* type, const std::string& help);
  // A sample of the family last started.
  void sample(const MetricLabels& labels, double value);

  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::string name_;
};

// A label value as the format quotes it: backslash, double quote and line
// feed escaped, NUL dropped. Texts here are single bytes (Latin-1); the
// format is UTF-8, so bytes from 0x80 become two-byte sequences, else a
// name such as "Pumpe S\xfcd" would make the whole scrape fail.
std::string labelValue(const std::string& latin1);
// A sample value: integers without a point, others as short as they read
// back exactly, NaN, +Inf and -Inf as the format spells them.
std::string sampleValue(double v);

// The media type of the format.
inline constexpr char kExpositionContentType[] = "text/plain; version=0.0.4; charset=utf-8";

}  // namespace tessel
