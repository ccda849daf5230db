#include "metrics/exposition.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tessel {

namespace {

std::string helpText(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

}  // namespace

std::string labelValue(const std::string& latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (char ch : latin1) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == 0) continue;
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c >= 0x80) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += ch;
    }
  }
  return out;
}

std::string sampleValue(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
  char buf[40];
  for (int digits : {15, 17}) {
    std::snprintf(buf, sizeof buf, "%.*g", digits, v);
    if (std::strtod(buf, nullptr) == v) break;
  }
  return buf;
}

void Exposition::family(const std::string& name, const char* type, const std::string& help) {
  name_ = name;
  text_ += "# HELP " + name + " " + helpText(help) + "\n";
  text_ += "# TYPE " + name + " " + type + "\n";
}

void Exposition::sample(const MetricLabels& labels, double value) {
  text_ += name_;
  if (!labels.empty()) {
    text_ += '{';
    bool first = true;
    for (const auto& [name, value] : labels) {
      if (!first) text_ += ',';
      first = false;
      text_ += name + "=\"" + labelValue(value) + "\"";
    }
    text_ += '}';
  }
  text_ += ' ' + sampleValue(value) + '\n';
}

}  // namespace tessel
