#include "model/poll_readings.h"

#include <algorithm>
#include <ctime>

#include "model/catalogue.h"
#include "model/text.h"
#include "platform/local_time.h"

namespace tessel {

namespace {

struct Range {
  int lo, hi;
};

bool rangeOf(int param, Range& r) {
  switch (param) {
    case param::rssi:
      r = {-255, 0};
      return true;
    case param::supplyVolts:
      r = {0, 999};
      return true;
    case param::temperature:
      r = {-99, 199};
      return true;
    default:
      return false;
  }
}

std::string timeText(std::int64_t t) {
  const std::tm tm = platform::localTime(static_cast<std::time_t>(t));
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
  return buf;
}

}  // namespace

std::optional<std::int16_t>* PollReading::of(int param) {
  switch (param) {
    case param::rssi:
      return &rssi;
    case param::supplyVolts:
      return &volts;
    case param::temperature:
      return &tempC;
    default:
      return nullptr;
  }
}

bool isPollReading(int param) {
  Range r;
  return rangeOf(param, r);
}

std::optional<std::int16_t> pollReadingValue(int param, const std::string& reply) {
  Range r;
  if (!rangeOf(param, r)) return std::nullopt;
  const std::string t = trimBlanks(reply);
  const bool negative = !t.empty() && t[0] == '-';
  const std::string digits = t.substr(negative ? 1 : 0);
  // Three digits cover every range, and keep the number far from overflow.
  if (digits.empty() || digits.size() > 3 || !allDigits(digits)) return std::nullopt;
  int v = 0;
  for (char c : digits) v = v * 10 + (c - '0');
  if (negative) v = -v;
  if (v < r.lo || v > r.hi) return std::nullopt;
  return static_cast<std::int16_t>(v);
}

std::string readingText(const std::optional<std::int16_t>& value) {
  return value ? std::to_string(*value) : std::string();
}

bool modelReports(int model, int param) {
  if (model < 0 || model >= kModelCount) return true;
  const RegisterMap& map = registerMap(model);
  return std::any_of(map.begin(), map.end(),
                     [param](const RegisterRow& row) { return row.param == param; });
}

void PollReadings::begin() {
  if (hasCurrent_) {
    previous_ = current_;
    hasPrevious_ = true;
  } else {
    // A poll that brought nothing hides the one before it: that is no
    // longer the last poll of its radio.
    hasPrevious_ = false;
  }
  hasCurrent_ = false;
}

void PollReadings::start(int radio, int model) {
  if (radio < 0 || radio > 255) return;
  current_ = PollReading{};
  current_.radio = static_cast<std::uint8_t>(radio);
  current_.modelHasRssi = modelReports(model, param::rssi);
  current_.modelHasVolts = modelReports(model, param::supplyVolts);
  current_.modelHasTempC = modelReports(model, param::temperature);
  hasCurrent_ = true;
}

void PollReadings::take(int radio, int model, int param, std::optional<std::int16_t> value) {
  if (radio < 0 || radio > 255 || !isPollReading(param)) return;
  if (!hasCurrent_ || current_.radio != radio) start(radio, model);
  *current_.of(param) = value;
}

PollReading PollReadings::of(int radio, std::int64_t time) const {
  PollReading r;
  if (hasCurrent_ && current_.radio == radio) {
    r = current_;
  } else if (hasPrevious_ && previous_.radio == radio) {
    r = previous_;
  } else {
    r.radio = static_cast<std::uint8_t>(radio);
  }
  r.time = time;
  return r;
}

std::string csvField(const std::string& text) {
  std::string s;
  s.reserve(text.size());
  // A NUL ends the line for many readers; it is no character of a name.
  for (char c : text)
    if (c != '\0') s += c;
  // Quoted when the field holds a separator, a quote, a line break or any
  // other control character, or blanks a reader might trim.
  const bool plain =
      std::none_of(s.begin(), s.end(),
                   [](unsigned char c) { return c == ',' || c == '"' || c < 0x20 || c == 0x7f; }) &&
      (s.empty() || (s.front() != ' ' && s.back() != ' '));
  if (plain) return s;
  std::string q = "\"";
  for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

void writeReadingsCsvHeader(std::ostream& out) {
  out << "time,radio_id,name,rssi,volts,temp_c\n";
}

void writeReadingCsv(std::ostream& out, const PollReading& reading, const std::string& name) {
  out << timeText(reading.time) << "," << static_cast<int>(reading.radio) << "," << csvField(name)
      << "," << readingText(reading.rssi) << "," << readingText(reading.volts) << ","
      << readingText(reading.tempC) << "\n";
}

}  // namespace tessel
