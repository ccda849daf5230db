#include "model/parameter_table.h"

#include <algorithm>

#include "model/catalogue.h"
#include "model/text.h"
#include "model/value_texts.h"

namespace tessel {

namespace {

Parameter number(int code, const char* caption, long lo, long hi, const char* hint = "") {
  Parameter p{code, caption, ValueKind::Number};
  p.lo = lo;
  p.hi = hi;
  p.hint = hint;
  return p;
}

Parameter tenths(int code, const char* caption, long lo, long hi, long none, const char* hint) {
  Parameter p = number(code, caption, lo, hi, hint);
  p.none = none;
  p.scale = 10;
  return p;
}

Parameter oneOf(int code, const char* caption, std::vector<std::string> choices,
                const char* hint = "") {
  Parameter p{code, caption, ValueKind::OneOf};
  p.choices = std::move(choices);
  p.hint = hint;
  return p;
}

Parameter ofKind(int code, const char* caption, ValueKind kind, const char* hint = "") {
  Parameter p{code, caption, kind};
  p.hint = hint;
  return p;
}

// Data table. Built on first use, which may come from another file's
// static initialisation: it reads no static of its own file.
std::vector<Parameter> buildTable() {
  const std::vector<std::string> kYesNoLetters = {"Y", "N"};
  std::vector<Parameter> t = {
      ofKind(param::radioIdentity, "", ValueKind::None),
      number(param::groupID, "Group ID", 1, 63,
             "All radios must have the same group ID to communicate. Range {lo} to {hi}."),
      number(param::radioID, "Radio ID", 0, kHighestRadioID,
             "Each radio within a group must have a unique ID. Range {lo}-{hi}"),
      number(param::securityID, "Security ID", 0, 65534,
             "Each group of radios must be assigned a unique security ID code. Range {lo} to {hi}"),
      oneOf(param::radioMode, "Radio Mode", {"M", "S", "R"}),
      oneOf(param::repeaters, "Repeaters", kYesNoLetters),
      oneOf(param::reTXBroadcasts, "ReTX Broadcasts", kYesNoLetters),
      number(param::rfband, "RF Band", 1, 4,
             "All radios must use the same frequency band. Range {lo} to {hi}"),
      oneOf(param::roaming, "Roaming", kYesNoLetters),
      // The lock register holds the master ID of a radio locked to its
      // master; neither it nor a reading is shown under a caption of its own.
      number(param::masterLock, "", 0, 255),
      ofKind(param::rssi, "", ValueKind::Reading),
      number(param::masterID, "Master ID", 0, 255),
      number(param::retries, "Retries", 0, 255,
             "Number of retries before a frame is discarded. Range {lo} to {hi}"),
      oneOf(param::fixedN, "", kYesNoLetters),
      tenths(param::flushTime, "Flush Time", 0, 65530, -1,
             "Period of time (in seconds) the network table is to be kept before flushing. "
             "Range {lo} to {hi}"),
      ofKind(param::supplyVolts, "", ValueKind::Reading),
      ofKind(param::temperature, "", ValueKind::Reading),
      oneOf(param::baudRate, "Baud rate",
            {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400"}),
      oneOf(param::dataBits, "Data Bits", itemsOf(kDataBitsTexts)),
      oneOf(param::stopBits, "Stop Bits", itemsOf(kStopBitsTexts)),
      oneOf(param::parity, "Parity", {"E", "O", "N"}),
      // The digit forms are how a model-2 radio is written.
      oneOf(param::handShaking, "Handshaking", {"N", "H", "0", "1"}),
      number(param::protocol, "Auto-Routing", 0, 2),
      oneOf(param::bufferMode, "Buffer Mode", {"C", "P", "0", "1"}),
  };
  for (int code = param::blockedFreq1; code <= param::blockedFreq12; ++code) {
    // 0: no frequency blocked; otherwise one of the band the radios hop in.
    t.push_back(tenths(code, "Blocked Frequency", 9022, 9277, 0,
                       "Enter frequencies in MHz with one decimal place (eg 915.7MHz)"));
  }
  const std::vector<Parameter> modelE = {
      number(param::emulationMode, "Emulation Mode", 0, 3),
      number(param::plcAddress, "PLC Address", 0, 255,
             "Enter PLC address for this radio, range {lo} to {hi}"),
      oneOf(param::mainSerialPort, "Main Serial Port", {"232", "485", "422"}),
      number(param::sleepMode, "Sleep Mode", 0, 2),
      ofKind(param::currentTime, "Current Time", ValueKind::Time),
      ofKind(param::startTime, "Start Time", ValueKind::Time, "Start Time. 24 hour clock"),
      number(param::onTimer, "Radio ON Time", 0, 255,
             "Time on after wake up. Range {lo} to {hi} seconds"),
      // Not the register's 16 bits: the radios' own setup stops here.
      number(param::offTimer, "Radio OFF Time", 0, 63556,
             "Sleep time after ON time expires. Range {lo} to {hi} seconds"),
  };
  t.insert(t.end(), modelE.begin(), modelE.end());
  return t;
}

void replaceAll(std::string& text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
}

}  // namespace

const std::vector<Parameter>& parameterTable() {
  static const std::vector<Parameter> table = buildTable();
  return table;
}

const Parameter& parameterOf(int code) {
  static const Parameter unknown{code, "", ValueKind::None};
  const auto& t = parameterTable();
  auto it = std::find_if(t.begin(), t.end(), [code](const Parameter& p) { return p.code == code; });
  return it != t.end() ? *it : unknown;
}

long shownLow(const Parameter& p) {
  return p.lo / p.scale;
}

long shownHigh(const Parameter& p) {
  return p.hi / p.scale;
}

bool registerTakes(const Parameter& p, const std::string& text) {
  if (p.kind == ValueKind::OneOf)
    return std::find(p.choices.begin(), p.choices.end(), text) != p.choices.end();
  if (p.kind != ValueKind::Number) return false;
  if (text.empty() || text.size() > 9 || !allDigits(text)) return false;
  const long v = std::stol(text);
  return (v >= p.lo && v <= p.hi) || (p.none >= 0 && v == p.none);
}

std::string shownBound(const Parameter& p, long v) {
  const long whole = v / p.scale, part = v % p.scale;
  return std::to_string(whole) + (part ? "." + std::to_string(part) : std::string());
}

std::string hintOf(int code) {
  const Parameter& p = parameterOf(code);
  std::string hint = p.hint;
  replaceAll(hint, "{lo}", shownBound(p, p.lo));
  replaceAll(hint, "{hi}", shownBound(p, p.hi));
  return hint;
}

const std::vector<std::string>& baudRates() {
  return parameterOf(param::baudRate).choices;
}

bool isBaudRate(const std::string& text) {
  int v = 0;
  if (!parseInt32(trimBlanks(text), v)) return false;
  const auto& rates = baudRates();
  return std::find(rates.begin(), rates.end(), std::to_string(v)) != rates.end();
}

int baudRateOf(const std::string& text) {
  const std::string t = trimBlanks(text);
  int rate = 0;
  if (t.empty() || t.size() > 9 || !allDigits(t) || !parseInt32(t, rate) || rate <= 0) return 0;
  return rate;
}

std::string baudRateText(int rate) {
  return rate > 0 ? std::to_string(rate) : std::string();
}

std::string baudRateList(const std::string& sep, const std::string& last) {
  const auto& rates = baudRates();
  std::string out;
  for (size_t i = 0; i < rates.size(); ++i)
    out += (i == 0 ? "" : i + 1 == rates.size() ? last : sep) + rates[i];
  return out;
}

std::string shownBaudRate(const std::string& rate) {
  constexpr size_t kWidest = 5;
  const auto& rates = baudRates();
  if (rate.size() >= kWidest || std::find(rates.begin(), rates.end(), rate) == rates.end())
    return rate;
  return std::string(2 * (kWidest - rate.size()), ' ') + rate;
}

std::vector<std::string> shownBaudRates() {
  std::vector<std::string> out;
  for (const std::string& rate : baudRates()) out.push_back(shownBaudRate(rate));
  return out;
}

}  // namespace tessel
