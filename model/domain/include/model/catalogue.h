#pragma once

// The radio parameter catalogue: parameter codes, the letters that encode
// choice parameters, and the per-model register and poll maps. Pure data,
// built once on first use and never changed.
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

// Letters sent for choice parameters, indexed by the control's item index
// (radio mode Master/Slave/Repeater sends "M"/"S"/"R", and so on).
namespace letters {
inline constexpr char radioMode[] = "MSR";
inline constexpr char repeaters[] = "YN";
inline constexpr char reTXBroadcasts[] = "YN";
inline constexpr char roaming[] = "YN";
inline constexpr char parity[] = "EON";
inline constexpr char handShaking[] = "NH";
inline constexpr char bufferMode[] = "CP";
}  // namespace letters

// Access flags of a register row.
enum RegisterAccess : int32_t {
  raReadOnly = 0,   // status registers, never written
  raReadWrite = 1,  // read and written
  raWriteOnly = 2,  // written; skipped when registers are read one by one
};

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

// Parameter code of the first row holding register reg; -1 when none does.
int parameterFor(int reg, int model, bool usePoll);
// Register number of a row (0-based) as decimal text; "" outside the map.
std::string registerAt(int row, int model, bool usePoll);
// Rows in the map; 0 for an unknown model.
int rowCount(int model, bool usePoll);
// The next row after row whose register may be read on its own (access flag
// 0 or 1); rowCount when none is left. row -1 gives the first readable row.
int nextReadableRow(int row, int model, bool usePoll);

// Panel text (MHz or seconds) to register text in tenths: "915.7" -> "9157",
// "" -> "0". A text that is not a decimal number also gives "0".
std::string MhzToRegister(const std::string& text);

}  // namespace tessel
