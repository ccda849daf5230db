#pragma once

#include <functional>
#include <string>

#include "link/port_state.h"

namespace tessel {

class AttachedCallbacks;
class TradioNumber;

// The program playing the radios of its project: each command line that
// arrives on the port is answered as the radio dialled would answer it,
// from the values the main window holds.
class TgroupEmulator {
 public:
  using Send = std::function<void(const std::string&)>;

  TgroupEmulator(AttachedCallbacks& window, Send send) : window_(window), send_(std::move(send)) {}

  // Answers one command line (upper is the line in upper case) for the
  // radios of list, which may be null.
  void reply(ReplyClass rc, const std::string& upper, TradioNumber* list);

  // The radio answered as; -1 before one is chosen.
  int emulatedRadio() const { return emulatedRadio_; }
  void forgetRadio() { emulatedRadio_ = -1; }

  // Whether value (upper case) is in the form the parameter's register
  // holds.
  static bool valueFits(int param, const std::string& value);

 private:
  void emulatorSend(const std::string& text);
  // With no radio dialled, the local one (the group's first master) answers.
  void chooseLocal();
  bool emulatedRadioListed();
  int emulatorLookup(int reg);
  // "ATI": the version of the radio answering, the local one if none is dialled.
  void answerIdentification();
  // "ATSn?": the register's value and "OK".
  void answerQuery(const std::string& upper);
  // "ATSn=v...": every value applied, or "ERROR" for the whole line.
  void applySettings(const std::string& upper);

  AttachedCallbacks& window_;
  Send send_;
  TradioNumber* list_ = nullptr;
  int emulatedRadio_ = -1;
};

}  // namespace tessel
