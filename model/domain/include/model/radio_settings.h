#pragma once

// A radio's settings as data: every parameter of one radio and of the group
// it belongs to that its project sections and its registers carry, with its
// model. Numbers are held as numbers, in the units their registers use:
// the flush time and the blocked frequencies in tenths, the main serial
// port as the number its register holds (232), the baud rate and the bits
// as their numbers. Times of day are "hh:mm", as their registers take
// them, and the name is text. Choices are enumerations (choices.h); the
// emulation and sleep modes are the numbers their registers hold.
// radio_codec.h converts them to and from registers, project sections and
// the texts people read. The defaults are what a section's missing keys
// read as, and what the panel's Defaults command sets.
#include <array>
#include <string>

#include "model/factory_defaults.h"

namespace tessel {

constexpr int kBlockedFreqCount = static_cast<int>(kBlockedFreqKeys.size());
// A value in tenths that its text did not give (empty, or no number).
constexpr long kNoTenths = -1;
// A number its text did not give (empty, signed, or no number).
constexpr int kNoNumber = -1;

// The group section ("Project"); the defaults are what its missing keys read
// as.
struct GroupSettings {
  int groupID = 0;
  int securityID = 0;
  int rfband = 1;
  long flushTime = 12000;  // tenths of a second; kNoTenths when no number
  YesNo reTXBroadcasts = YesNo::yes;
  YesNo repeaters = YesNo::no;
  // Tenths of a MHz; 0 where none is blocked.
  std::array<long, kBlockedFreqCount> blocked{};

  bool operator==(const GroupSettings& o) const;
  bool operator!=(const GroupSettings& o) const { return !(*this == o); }
};

// One radio's section ("Radio<n>"); the defaults are what its missing keys
// read as (the radio ID excepted: a section's own number).
struct RadioSettings {
  int model = 1;  // 0 model E, 1, 2
  int radioID = 0;
  std::string name = "...";
  RadioMode radioMode = RadioMode::slave;
  Roaming roaming = Roaming::allowed;
  int masterID = 0;
  int retries = 10;
  AutoRouting protocol = AutoRouting::disable;
  BufferMode bufferMode = BufferMode::character;
  // Model E only.
  int emulationMode = 0;
  int mainSerialPort = 232;  // the number of "RS232"
  int sleepMode = 0;
  int plcAddress = 0;
  std::string startTime = "06:00";
  int onTimer = 10;    // seconds
  int offTimer = 100;  // seconds
  // The radio's clock as sent ("hh:mm"); no project key holds it.
  std::string currentTime;
  // Serial port.
  int baudRate = 9600;  // bits per second; 0 when what it was read from names no number
  int dataBits = 8;
  int stopBits = 1;
  Parity parity = Parity::none;
  Handshake handShaking = Handshake::none;

  GroupSettings group;

  bool operator==(const RadioSettings& o) const;
  bool operator!=(const RadioSettings& o) const { return !(*this == o); }
};

}  // namespace tessel
