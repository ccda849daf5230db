#pragma once

// The protocol core of a simulated radio group: bytes from the configurator
// go in, the radios' reply bytes come out. No I/O and no clock of its own
// (the caller passes the time), so it is tested without a pseudo-terminal.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "model/at_command.h"
#include "sim/sim_radio.h"

namespace tessel::sim {

class SimRadioGroup {
 public:
  // radios[local] is the radio on the serial line; the others are reached
  // through it with "ATD" + radio ID. An empty group answers nothing.
  explicit SimRadioGroup(std::vector<SimRadio> radios, size_t local = 0);

  // Handles received bytes at time nowMs (milliseconds on any steady
  // scale); returns the bytes the radios send back.
  std::string feed(std::string_view bytes, int64_t nowMs);

  std::vector<SimRadio>& radios() { return radios_; }
  const std::vector<SimRadio>& radios() const { return radios_; }
  size_t localIndex() const { return local_; }
  // The radio that commands currently address (the local one unless dialled).
  size_t addressedIndex() const { return addressed_; }
  bool inCommandMode() const { return commandMode_; }
  // A radio powers up in data mode and needs "+++" first; tests and
  // impatient users may start it in command mode.
  void setCommandMode(bool on) { commandMode_ = on; }

  // The radio with radio ID radio is heard only through the one with radio
  // ID repeater: it answers a dial only while that one would.
  void setBehind(int radio, int repeater) { behind_[radio] = repeater; }
  // Whether a dial of radios()[index] is answered now: a remote answers
  // only while it runs with the local radio's group ID, security ID and RF
  // band, and while the repeater it is heard through (if any) answers too.
  bool reachable(size_t index) const;

  // Misbehaviours, for tests of what the configurator makes of them.
  // The link to the radio with radio ID radio drops once, on the link-th
  // link to it (from 1), right after that radio answered lines commands
  // since its dial (0: right after the dial): the local radio says
  // "NO CARRIER" and is back in its own command mode.
  void dropLinkAfter(int radio, int lines, int link = 1) { drops_[radio] = {lines, link}; }
  // The radio takes command (as written, any case) as ever, but its answer
  // never arrives: the next times times (-1: ever).
  void loseAnswer(int radio, const std::string& command, int times = -1);
  // The radio answers "ERROR" to every command line holding text (any case,
  // blanks aside) and takes none of it.
  void refuse(int radio, const std::string& text);
  // The radio answers its first dials dials, then no more (out of reach).
  void answerDials(int radio, int dials) { dialsLeft_[radio] = dials; }
  // The radio answers "OK" before it is ready for the next line: a command
  // line reaching it within ms of its last "OK" is lost (no answer, nothing
  // taken). A dial and a hang-up, which the local radio carries out, are not.
  void settle(int radio, int ms) { settle_[radio] = ms; }

  // Version line of a model's firmware, as "ATI" answers it.
  static std::string versionLine(int model);

  // Longest command line taken; a longer one is answered "ERROR".
  static constexpr size_t kMaxLine = 255;
  // Highest radio ID a radio can have; a dial of a higher one is refused.
  static constexpr int kMaxRadioID = 254;

 private:
  std::string handleLine(const std::string& line, int64_t nowMs);
  std::string answer(const std::string& line, int64_t nowMs);
  // Whether the link to radio drops now (its misbehaviour); it then has.
  bool dropped(int radio);
  // Whether radio loses a line reaching it now (settle()).
  bool notReady(int radio, int64_t nowMs) const;
  std::string assignments(const at::Assignments& line, int64_t nowMs);
  std::string page(int index, int64_t nowMs);
  int findRadio(long id) const;
  bool reachable(size_t index, int depth) const;

  std::vector<SimRadio> radios_;
  size_t local_;
  size_t addressed_;
  bool commandMode_ = false;
  int pluses_ = 0;  // "+" in a row received in data mode
  std::string line_;
  bool overflow_ = false;
  int64_t startMs_ = -1;
  std::map<int, int> behind_;  // radio ID -> the repeater it is heard through
  struct Drop {
    int lines;
    int link;
  };
  std::map<int, Drop> drops_;  // radio ID -> where its link drops
  std::map<int, int> links_;   // radio ID -> dials of it answered
  // radio ID -> command -> answers still to lose (-1: all)
  std::map<int, std::map<std::string, int>> lost_;
  std::map<int, int> dialsLeft_;                     // radio ID -> dials it still answers
  std::map<int, std::vector<std::string>> refused_;  // radio ID -> texts it refuses
  std::map<int, int> settle_;                        // radio ID -> ms it is not ready after "OK"
  std::map<int, int64_t> lastOk_;                    // radio ID -> when it last answered "OK"
  int sinceDial_ = 0;  // commands the radio dialled answered since its dial
};

}  // namespace tessel::sim
