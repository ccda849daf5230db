#pragma once

// The one table of a radio's parameters: per parameter code what messages
// and the compare call it, what its register takes (a number in a range, one
// of a few texts, a time of day, a reading) and the hint of the control that
// shows it. The register each model keeps it in, and its access, are the
// rows of the maps in catalogue.h; its project key and the texts of its
// choices are in project_keys.h. Every check of a value asks this table:
// the panel's entry rules, a send, the model-E fields, the blocked
// frequencies, the group emulator, the simulated radios and the command
// line's arguments.
#include <string>
#include <vector>

namespace tessel {

enum class ValueKind {
  None,     // no value (the identification request)
  Number,   // a decimal number lo..hi, in register units
  OneOf,    // one of the choice texts
  Time,     // "hh:mm" on the 24-hour clock
  Reading,  // a status register: read, never written
};

struct Parameter {
  int code;
  const char* caption;  // as messages and the compare name it
  ValueKind kind;
  long lo = 0;     // Number: the lowest value its register takes
  long hi = 0;     // Number: the highest
  long none = -1;  // Number: a value outside lo..hi meaning "not set"; -1 for none
  int scale = 1;   // register units per unit shown: 10 where the register holds tenths
  // OneOf: the register texts taken, upper case, in the order of the
  // control's items where the register holds the item.
  std::vector<std::string> choices;
  // The hint of the control; "{lo}" and "{hi}" stand for the bounds as
  // shown. Empty where the control has none of its own.
  const char* hint = "";
};

// The highest radio ID: the table's bound; a project holds one slot more
// (radio ID 0).
constexpr long kHighestRadioID = 254;

// Every parameter, in code order.
const std::vector<Parameter>& parameterTable();
// The parameter of code; a row of kind None for a code the table lacks.
const Parameter& parameterOf(int code);

// The bounds as the panel shows them (flush time in seconds, blocked
// frequencies in MHz); rounded towards zero.
long shownLow(const Parameter& p);
long shownHigh(const Parameter& p);
// A value in register units as shown: tenths with their decimal when they
// have one (9022 -> "902.2", 65530 -> "6553").
std::string shownBound(const Parameter& p, long v);

// Whether a register takes text as it stands: a number (at most nine digits,
// no sign) in range or the "not set" value, or exactly one of the choices.
// A time or a reading is checked by its owner.
bool registerTakes(const Parameter& p, const std::string& text);

// The control's hint with the bounds filled in.
std::string hintOf(int code);

// The baud rates a radio's serial port (and the PC's) runs at, as decimal
// texts, lowest first.
const std::vector<std::string>& baudRates();
// Whether text, blanks aside, is one of them.
bool isBaudRate(const std::string& text);
// The number a rate's text names, blanks aside ("  9600" is 9600); 0 for a
// text that is no number. The number need not be one of the rates.
int baudRateOf(const std::string& text);
// A rate as its decimal text; "" for 0, no rate.
std::string baudRateText(int rate);
// The rates joined by sep, the last one by last ("300, 600, ... or 38400").
std::string baudRateList(const std::string& sep, const std::string& last);
// A baud rate as the selector shows it: a digit is as wide as two blanks, so
// shorter rates are padded to the width of five digits ("300" ->
// "    300", "9600" -> "  9600"); a text that is no rate stands as it is.
std::string shownBaudRate(const std::string& rate);
// The rates as a baud rate selector lists them.
std::vector<std::string> shownBaudRates();

}  // namespace tessel
