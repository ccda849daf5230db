#pragma once

// The status readings a polled radio reports: RSSI in dBm (-255 to 0),
// supply volts in the radio's own unit, tenths of a volt (0 to 999), and
// temperature in degrees Celsius (-99 to 199), each a whole decimal number.
// A poll yields them as a PollReading; the radio list, the history, its
// CSV export, tessel-cli monitor and the metrics all take that value, so
// none of them reads a number back out of a list cell.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace tessel {

// One poll of one radio. A reading the radio did not give, or gave in a
// form or range no radio reports, is absent (never 0).
struct PollReading {
  std::int64_t time = 0;  // seconds since the epoch
  std::optional<std::int16_t> rssi;
  std::optional<std::int16_t> volts;  // tenths of a volt
  std::optional<std::int16_t> tempC;
  std::uint8_t radio = 0;
  // Which of the readings the radio's model reports at all (a model 2 has
  // no supply volts or temperature); true while the model is unknown.
  bool modelHasRssi = true;
  bool modelHasVolts = true;
  bool modelHasTempC = true;

  // The reading of param (RSSI, supply volts, temperature), or null.
  std::optional<std::int16_t>* of(int param);
};

// Whether param is one of the readings (RSSI, supply volts, temperature).
bool isPollReading(int param);

// The reading in a register reply: the number when the reply, without
// surrounding blanks, is a reading of param's form and range; otherwise
// none, so a stray "RING" or "999999" never passes for one.
std::optional<std::int16_t> pollReadingValue(int param, const std::string& reply);

// A reading as the list and the CSV lines show it: the number, or "" when
// it is absent.
std::string readingText(const std::optional<std::int16_t>& value);

// Whether a radio of model (0..2; any other: unknown) has param's register.
bool modelReports(int model, int param);

// The readings of the poll under way, as the register replies bring them
// in. A poll begins at each radio's replies (the engine's beginReplies);
// its readings belong to the radio whose reply carried them. The poll
// before stays at hand, so a radio given up halfway still has what it
// gave when the next radio is dialled.
class PollReadings {
 public:
  void begin();
  // The poll under way is radio's (of model): its radio ID reply came.
  void start(int radio, int model);
  // A reply of radio (of model) to param; value absent when it was none.
  void take(int radio, int model, int param, std::optional<std::int16_t> value);
  // What radio's last poll gave, stamped at time: the poll under way or
  // the one before it, when either was radio's; else a reading with
  // nothing in it.
  PollReading of(int radio, std::int64_t time) const;

 private:
  PollReading current_, previous_;
  bool hasCurrent_ = false, hasPrevious_ = false;
};

// One CSV writer for every export of readings: the header
// "time,radio_id,name,rssi,volts,temp_c", then one line per reading with
// the local time as 2026-12-08T12:00:00, the name quoted where it needs
// it and an absent reading as an empty field.
void writeReadingsCsvHeader(std::ostream& out);
void writeReadingCsv(std::ostream& out, const PollReading& reading, const std::string& name);

// A field of a CSV line: quoted when it holds a separator, a quote, a line
// break or any other control character, or blanks a reader might trim; its
// quotes doubled and any NUL dropped.
std::string csvField(const std::string& text);

}  // namespace tessel
