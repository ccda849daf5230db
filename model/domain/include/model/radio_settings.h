#pragma once

// A radio's settings as data: every parameter of one radio and of the group
// it belongs to that its project sections and its registers carry, with its
// model. The flush time and the blocked frequencies are held in tenths, as
// their registers hold them; the baud rate as its number; other texts as
// the project file holds them; choices as the item of their selector (-1
// for none). radio_codec.h converts them to and from registers, project
// sections and the texts people read.
#include <array>
#include <string>

#include "model/factory_defaults.h"

namespace tessel {

constexpr int kBlockedFreqCount = static_cast<int>(kBlockedFreqKeys.size());
// A value in tenths that its text did not give (empty, or no number).
constexpr long kNoTenths = -1;

// The group section ("Project"); the defaults are what its missing keys read
// as.
struct GroupSettings {
  std::string groupID = "0";
  std::string securityID = "0";
  std::string rfband = "1";
  long flushTime = 12000;  // tenths of a second; kNoTenths when no number
  int reTXBroadcasts = item::yes;
  int repeaters = item::no;
  // Tenths of a MHz; 0 where none is blocked.
  std::array<long, kBlockedFreqCount> blocked{};

  bool operator==(const GroupSettings& o) const;
  bool operator!=(const GroupSettings& o) const { return !(*this == o); }
};

// One radio's section ("Radio<n>"); the defaults are what its missing keys
// read as (the radio ID excepted: a section's own number).
struct RadioSettings {
  int model = 1;  // 0 model E, 1, 2
  std::string radioID = "0";
  std::string name = "...";
  int radioMode = item::slave;
  int roaming = item::roamingAllowed;
  std::string masterID = "0";
  std::string retries = "10";
  int protocol = item::protocolDisable;
  int bufferMode = item::bufferCharacter;
  // Model E only.
  int emulationMode = 0;
  std::string mainSerialPort = "RS232";  // as stored; the register holds the number
  int sleepMode = 0;
  std::string plcAddress = "0";
  std::string startTime = "06:00";
  std::string onTimer = "10";
  std::string offTimer = "100";
  // The radio's clock as sent ("hh:mm"); no project key holds it.
  std::string currentTime;
  // Serial port.
  int baudRate = 9600;  // bits per second; 0 when what it was read from names no number
  int dataBits = 1;     // item of "7", "8"
  int stopBits = 0;     // item of "1", "2"
  int parity = item::parityNone;
  int handShaking = item::handshakeNone;

  GroupSettings group;

  bool operator==(const RadioSettings& o) const;
  bool operator!=(const RadioSettings& o) const { return !(*this == o); }
};

}  // namespace tessel
