#pragma once

// Interface fixed here; implementation and tables in catalogue.cpp.
#include <cstdint>
#include <string>
#include <vector>

namespace tessel {

// Parameter codes.
namespace param {
constexpr int radioIdentity = -1;
constexpr int groupID = 0;
constexpr int radioID = 1;
constexpr int securityID = 2;
constexpr int radioMode = 3;
constexpr int repeaters = 4;
constexpr int reTXBroadcasts = 5;
constexpr int rfband = 6;
constexpr int roaming = 7;
constexpr int masterLock = 8;
constexpr int rssi = 10;
constexpr int masterID = 12;
constexpr int retries = 13;
constexpr int fixedN = 14;
constexpr int flushTime = 15;
constexpr int supplyVolts = 16;
constexpr int temperature = 17;
constexpr int baudRate = 20;
constexpr int dataBits = 21;
constexpr int stopBits = 22;
constexpr int parity = 23;
constexpr int handShaking = 24;
constexpr int protocol = 25;
constexpr int bufferMode = 26;
constexpr int blockedFreq1 = 30;
constexpr int blockedFreq12 = 41;
constexpr int emulationMode = 100;
constexpr int plcAddress = 101;
constexpr int mainSerialPort = 102;
constexpr int sleepMode = 110;
constexpr int currentTime = 111;
constexpr int startTime = 112;
constexpr int onTimer = 113;
constexpr int offTimer = 114;
}  // namespace param

struct RegisterRow {
  int32_t reg;     // S-register; -1 = identification request ("ATI")
  int32_t param;   // parameter code
  int32_t access;  // 0 read only, 1 read and written, 2 written only
};
using RegisterMap = std::vector<RegisterRow>;
using PollMap = std::vector<RegisterRow>;

constexpr int kModelCount = 3;

// The maps of a model; an empty map for a model index outside 0..2.
const RegisterMap& registerMap(int model);
const PollMap& pollMap(int model);
const std::vector<RegisterRow>& mapFor(int model, bool usePoll);

int parameterFor(int reg, int model, bool usePoll);
std::string registerAt(int row, int model, bool usePoll);
int rowCount(int model, bool usePoll);
int nextReadableRow(int row, int model, bool usePoll);

std::string MhzToRegister(const std::string& text);
std::string RegisterToMhz(const std::string& text);
std::string FlushTimeFromRegister(const std::string& text);

}  // namespace tessel
