// The group emulator: the program answers AT commands as the radios of the
// project would.
#include "link/attached_callbacks.h"
#include "link/dump_line.h"
#include "link/group_emulator.h"
#include "link/radio_number.h"
#include "model/at_command.h"
#include "model/catalogue.h"
#include "model/parameter_table.h"
#include "model/poll_readings.h"
#include "text_util.h"

namespace tessel {

namespace {
bool isDigits(const std::string& s, size_t from = 0) {
  if (s.size() <= from) return false;
  for (size_t i = from; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

}  // namespace

// Only a value in the form and range its register holds is stored: a
// number, one of the register's letters, or a time of day for the clocks.
// Anything else would go into the project as a value no radio has, which
// the project then refuses as its own.
bool TgroupEmulator::valueFits(int param, const std::string& value) {
  if (param == param::currentTime || param == param::startTime) {
    return value.size() == 5 && value[2] == ':' && isDigits(value.substr(0, 2)) &&
           isDigits(value.substr(3)) && std::stoi(value.substr(0, 2)) <= 23 &&
           std::stoi(value.substr(3)) <= 59;
  }
  if (isPollReading(param)) return pollReadingValue(param, value).has_value();
  const Parameter& p = parameterOf(param);
  // A register this program knows nothing of holds 16 bits.
  if (p.kind == ValueKind::None)
    return isDigits(value) && value.size() <= 5 && std::stol(value) <= 65535;
  return registerTakes(p, value);
}

void TgroupEmulator::emulatorSend(const std::string& text) {
  send_(text);
}

bool TgroupEmulator::emulatedRadioListed() {
  if (!list_ || emulatedRadio_ < 0) return false;
  int radio = emulatedRadio_;
  return list_->Seek([radio](int r) { return r == radio; });
}

int TgroupEmulator::emulatorLookup(int reg) {
  // The radio answers every register its model has, whether or not this
  // program has polled it before; the status registers only the poll map
  // lists come from there.
  int model = list_ ? list_->CurrentModel() : -1;
  int param = parameterFor(reg, model, false);
  return param != -1 ? param : parameterFor(reg, model, true);
}

void TgroupEmulator::answerQuery(const std::string& upper) {
  int reg = at::parseCommand(upper.substr(upper.find("ATS"))).queryNumber;
  if (reg < 0) {
    emulatorSend("ERROR");
    return;
  }
  chooseLocal();
  if (!emulatedRadioListed()) return;
  const int param = emulatorLookup(reg);
  // What the radio's record holds, a value set since the emulation began
  // included.
  std::string value = window_.registerValue(emulatedRadio_, param);
  if (text::contains(value, "No Radio")) return;
  // An empty field (a clock never set, say) still answers with a value:
  // an empty line is no reply to the asking configurator, which would
  // ask again for ever.
  if (value.empty()) value = "0";
  emulatorSend(value);
  if (!text::contains(value, "ERROR")) emulatorSend("OK");
}

void TgroupEmulator::applySettings(const std::string& upper) {
  // A pair with no register number is skipped; the others still apply.
  // A value the register cannot hold refuses the whole line.
  const auto pairs = at::splitAssignments(upper).pairs;
  for (const at::Assignment& pair : pairs) {
    if (pair.number >= 0 && !valueFits(emulatorLookup(pair.number), pair.value)) {
      emulatorSend("ERROR");
      return;
    }
  }
  bool allNumbers = true;
  chooseLocal();
  for (const at::Assignment& pair : pairs) {
    if (pair.number < 0) {
      allNumbers = false;
      continue;
    }
    // Into the radio's record, which its next query reads.
    window_.storeRegister(emulatedRadio_, emulatorLookup(pair.number), replyNumber(pair.value),
                          pair.value);
  }
  emulatorSend(allNumbers ? "OK" : "ERROR");
}

void TgroupEmulator::chooseLocal() {
  // Not dialled: the local radio answers, the group's first master.
  if (emulatedRadio_ != -1) return;
  for (int n = 0; n <= parameterOf(param::radioID).hi; ++n) {
    if (window_.isMaster(n)) {
      emulatedRadio_ = n;
      break;
    }
  }
}

void TgroupEmulator::answerIdentification() {
  chooseLocal();
  if (!emulatedRadioListed()) return;  // no radio of the group to answer as
  emulatorSend(list_->CurrentModel() == 2 ? "1.14" : "V2.0");
}

void TgroupEmulator::reply(ReplyClass rc, const std::string& upper, TradioNumber* list) {
  list_ = list;
  switch (rc) {
    case rcATI:
      answerIdentification();
      return;
    case rcATI1:
      if (!list_ || list_->Count() == 0) return;
      for (const std::string& line : emulatedPage1(list_->CurrentText())) emulatorSend(line);
      emulatorSend("OK");
      return;
    case rcATI2:
    case rcATI3:
    case rcATD:
    case rcATW:
      emulatorSend("OK");
      return;
    case rcATIx:
      emulatorSend("ERROR");
      return;
    case rcATDn: {
      int radio = at::parseCommand(upper.substr(upper.find("ATD"))).dialNumber;
      if (radio < 0) {
        emulatorSend("ERROR");  // not a number, or too long for one
        return;
      }
      emulatedRadio_ = radio;
      if (window_.exists(radio)) emulatorSend("OK");
      return;
    }
    case rcSQuery:
      answerQuery(upper);
      return;
    case rcSSet:
      applySettings(upper);
      return;
    case rcATR:
      window_.radioRenumbered(emulatedRadio_, false);
      return;
    case rcAT:
    case rcEscape:
      emulatorSend("OK");
      emulatedRadio_ = -1;
      return;
    case rcText:
    case rcOK:
    case rcError:
    case rcIgnored:
      return;
  }
}

}  // namespace tessel
