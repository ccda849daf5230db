#include "model/catalogue.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "model/text.h"

namespace tessel {

namespace {

using Rows = std::vector<RegisterRow>;

// Rows shared by models 0 and 1, in read and write order.
Rows commonRows() {
  Rows r = {
      {-1, param::radioIdentity, raReadWrite}, {1, param::radioID, raReadWrite},
      {0, param::groupID, raReadWrite},        {2, param::securityID, raReadWrite},
      {3, param::radioMode, raReadWrite},      {4, param::repeaters, raReadWrite},
      {5, param::reTXBroadcasts, raReadWrite}, {6, param::rfband, raReadWrite},
      {7, param::roaming, raReadWrite},        {8, param::masterLock, raReadWrite},
      {10, param::rssi, raReadOnly},           {13, param::retries, raReadWrite},
      {15, param::flushTime, raReadWrite},     {16, param::supplyVolts, raReadOnly},
      {17, param::temperature, raReadOnly},
  };
  for (int code = param::baudRate; code <= param::bufferMode; ++code)
    r.push_back({code, code, raReadWrite});
  for (int code = param::blockedFreq1; code <= param::blockedFreq12; ++code)
    r.push_back({code, code, raWriteOnly});
  return r;
}

Rows model0Rows() {
  Rows r = commonRows();
  for (int code : {param::emulationMode, param::plcAddress, param::mainSerialPort, param::sleepMode,
                   param::currentTime, param::startTime, param::onTimer, param::offTimer})
    r.push_back({code, code, raReadWrite});
  return r;
}

// Model 2 keeps a fixed "N" in S4, so repeaters to roaming sit one register
// higher and the master ID has a register of its own (S12); it reports no
// supply volts or temperature.
Rows model2Rows() {
  Rows r = {
      {-1, param::radioIdentity, raReadWrite}, {1, param::radioID, raReadWrite},
      {0, param::groupID, raReadWrite},        {2, param::securityID, raReadWrite},
      {3, param::radioMode, raReadWrite},      {4, param::fixedN, raReadWrite},
      {5, param::repeaters, raReadWrite},      {6, param::reTXBroadcasts, raReadWrite},
      {7, param::rfband, raReadWrite},         {8, param::roaming, raReadWrite},
      {10, param::rssi, raReadOnly},           {12, param::masterID, raReadWrite},
      {13, param::retries, raReadWrite},       {15, param::flushTime, raReadWrite},
      {20, param::baudRate, raReadWrite},
  };
  for (int code = param::dataBits; code <= param::bufferMode; ++code)
    r.push_back({code, code, raReadWrite});
  for (int code = param::blockedFreq1; code <= param::blockedFreq12; ++code)
    r.push_back({code, code, raWriteOnly});
  return r;
}

Rows pollRows() {
  Rows r;
  for (int code : {param::radioID, param::masterLock, param::rssi, param::masterID,
                   param::supplyVolts, param::temperature})
    r.push_back({code, code, raReadOnly});
  return r;
}

struct Maps {
  std::array<RegisterMap, kModelCount> full;
  std::array<PollMap, kModelCount> poll;
  Rows empty;
};

const Maps& maps() {
  // Built once on first use; thread-safe initialisation of a local static.
  static const Maps m = [] {
    Maps built;
    built.full = {model0Rows(), commonRows(), model2Rows()};
    built.poll = {pollRows(), pollRows(), pollRows()};
    return built;
  }();
  return m;
}

bool validModel(int model) {
  return model >= 0 && model < kModelCount;
}

}  // namespace

const RegisterMap& registerMap(int model) {
  return validModel(model) ? maps().full[model] : maps().empty;
}

const PollMap& pollMap(int model) {
  return validModel(model) ? maps().poll[model] : maps().empty;
}

const std::vector<RegisterRow>& mapFor(int model, bool usePoll) {
  return usePoll ? pollMap(model) : registerMap(model);
}

int parameterFor(int reg, int model, bool usePoll) {
  for (const RegisterRow& row : mapFor(model, usePoll))
    if (row.reg == reg) return row.param;
  return -1;
}

std::string registerAt(int row, int model, bool usePoll) {
  const auto& map = mapFor(model, usePoll);
  if (row < 0 || static_cast<size_t>(row) >= map.size()) return "";
  return std::to_string(map[row].reg);
}

int rowCount(int model, bool usePoll) {
  return static_cast<int>(mapFor(model, usePoll).size());
}

int nextReadableRow(int row, int model, bool usePoll) {
  const auto& map = mapFor(model, usePoll);
  const int count = static_cast<int>(map.size());
  if (row >= count) return count;  // also keeps row + 1 from overflowing
  int next = row < 0 ? 0 : row + 1;
  while (next < count && map[next].access > raReadWrite) ++next;
  return next;
}

std::string MhzToRegister(const std::string& text) {
  std::string t = trimBlanks(text);
  if (t.empty()) return "0";
  // from_chars ignores the C locale, so a German desktop still reads "915.7".
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (*first == '+' && last - first > 1 && first[1] != '-') ++first;
  float value = 0;
  auto [end, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
  // A hand-edited project may hold anything; such a text goes out as 0.
  if (ec != std::errc() || end != last || !std::isfinite(value)) return "0";
  const float tenths = value * 10.0f;  // single precision, as the radios were always fed
  if (!std::isfinite(tenths)) return "0";
  // Nearest integer (ties to even); + 0.0 turns -0 into 0.
  const double whole = static_cast<double>(std::nearbyint(tenths)) + 0.0;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.0f", whole);
  return buf;
}

}  // namespace tessel
