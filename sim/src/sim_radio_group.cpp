#include "sim/sim_radio_group.h"

#include <algorithm>
#include <cstdio>

#include "model/at_command.h"
#include "model/brand.h"
#include "model/catalogue.h"
#include "model/dump_format.h"
#include "model/text.h"

namespace tessel::sim {

namespace {

constexpr char kEol[] = "\r\n";

std::string reply(const std::string& text) {
  return text + kEol;
}

// How the register dump shows a letter value: the words a radio prints,
// which the configurator decodes by their first letter.
std::string shown(int code, const std::string& value) {
  if (value.size() != 1) return value;
  char c = value[0];
  switch (code) {
    case param::radioMode:
      return c == 'M' ? "MSTR" : c == 'S' ? "SLAVE" : "RPTR";
    case param::repeaters:
    case param::reTXBroadcasts:
    case param::roaming:
    case param::fixedN:
      return c == 'Y' ? "YES" : "NO";
    case param::parity:
      return c == 'E' ? "EVEN" : c == 'O' ? "ODD" : "NONE";
    case param::handShaking:
      return c == 'H' ? "HW" : c == 'N' ? "NONE" : value;
    case param::bufferMode:
      return c == 'C' ? "CHAR" : c == 'P' ? "PKT" : value;
    default:
      return value;
  }
}

}  // namespace

SimRadioGroup::SimRadioGroup(std::vector<SimRadio> radios, size_t local)
    : radios_(std::move(radios)), local_(local < radios_.size() ? local : 0), addressed_(local_) {}

std::string SimRadioGroup::versionLine(int model) {
  switch (model) {
    case 0:
      return "V2.10";
    case 1:
      return "V2.04";
    default:
      return "1.14";
  }
}

int SimRadioGroup::findRadio(long id) const {
  for (size_t i = 0; i < radios_.size(); ++i)
    if (radios_[i].runningID() == id) return static_cast<int>(i);
  return -1;
}

bool SimRadioGroup::reachable(size_t index) const {
  return reachable(index, 0);
}

bool SimRadioGroup::reachable(size_t index, int depth) const {
  if (index >= radios_.size()) return false;
  if (index == local_) return true;
  // A chain of repeaters that leads round in a circle reaches no one.
  if (depth > static_cast<int>(radios_.size())) return false;
  const SimRadio& local = radios_[local_];
  const SimRadio& radio = radios_[index];
  for (int code : {param::groupID, param::securityID, param::rfband})
    if (radio.runningParam(code) != local.runningParam(code)) return false;
  auto via = behind_.find(radio.runningID());
  if (via == behind_.end()) return true;
  const int repeater = findRadio(via->second);
  return repeater >= 0 && reachable(static_cast<size_t>(repeater), depth + 1);
}

std::string SimRadioGroup::feed(std::string_view bytes, int64_t nowMs) {
  if (startMs_ < 0) startMs_ = nowMs;
  std::string out;
  if (radios_.empty()) return out;
  for (char c : bytes) {
    if (!commandMode_) {
      // Data mode: the bytes are the user's data for the air; only the
      // escape counts, whatever came before it.
      pluses_ = c == '+' ? pluses_ + 1 : 0;
      // A link dialled before keeps: the escape only brings back command
      // mode (whatever dialled it may since have gone away).
      if (pluses_ == 3) {
        pluses_ = 0;
        commandMode_ = true;
        line_.clear();
        overflow_ = false;
        out += reply("OK");
      }
      continue;
    }
    // A command line ends at CR; LF is ignored, and so is NUL, which line
    // noise and some terminals put between the characters.
    if (c == '\n' || c == '\0') continue;
    if (c == '\r') {
      out += overflow_ ? reply("ERROR") : handleLine(line_, nowMs);
      line_.clear();
      overflow_ = false;
      continue;
    }
    if (line_.size() < kMaxLine) {
      line_ += c;
    } else {
      overflow_ = true;
    }
    // In command mode too the escape needs no carriage return; the one
    // that may follow then ends an empty line, which is ignored.
    if (!overflow_ && line_ == "+++") {
      line_.clear();
      out += reply("OK");
    }
  }
  return out;
}

void SimRadioGroup::loseAnswer(int radio, const std::string& command, int times) {
  std::string key = upperCase(command);
  key.erase(std::remove(key.begin(), key.end(), ' '), key.end());
  lost_[radio][key] = times;
}

void SimRadioGroup::refuse(int radio, const std::string& text) {
  std::string key = upperCase(text);
  key.erase(std::remove(key.begin(), key.end(), ' '), key.end());
  refused_[radio].push_back(key);
}

// A command line and its answer, with what a misbehaving radio does to it.
std::string SimRadioGroup::handleLine(const std::string& raw, int64_t nowMs) {
  std::string line = upperCase(raw);
  line.erase(std::remove(line.begin(), line.end(), ' '), line.end());
  if (line.empty()) return {};
  const size_t before = addressed_;
  const int id = radios_[before].runningID();
  const at::Command cmd = at::parseCommand(line);
  const bool dial = cmd.kind == at::CommandKind::Dial;
  // The dial and the hang-up are the local radio's to carry out.
  if (!dial && cmd.kind != at::CommandKind::HangUp && notReady(id, nowMs)) return {};
  if (dial) {
    const int dialled = findRadio(cmd.dialNumber);
    auto left = dialled >= 0 ? dialsLeft_.find(radios_[dialled].runningID()) : dialsLeft_.end();
    if (left != dialsLeft_.end() && static_cast<size_t>(dialled) != local_ && left->second-- <= 0) {
      addressed_ = local_;  // out of reach: the attempt times out unanswered
      return {};
    }
  }
  if (auto refused = refused_.find(id); refused != refused_.end()) {
    for (const std::string& text : refused->second)
      if (line.find(text) != std::string::npos) return reply("ERROR");
  }
  std::string out = answer(line, nowMs);
  if (auto lost = lost_.find(id); lost != lost_.end()) {
    auto left = lost->second.find(line);
    if (left != lost->second.end() && left->second != 0) {
      if (left->second > 0) --left->second;
      out.clear();
    }
  }
  // The radio that answered: the one dialled answers its dial.
  if (out.find(reply("OK")) != std::string::npos) lastOk_[radios_[addressed_].runningID()] = nowMs;
  if (dial) {
    sinceDial_ = 0;
    if (addressed_ == local_) return out;
    const int reached = radios_[addressed_].runningID();
    ++links_[reached];
    return dropped(reached) ? out + reply("NO CARRIER") : out;
  }
  if (before == local_) return out;
  ++sinceDial_;
  return dropped(id) ? out + reply("NO CARRIER") : out;
}

bool SimRadioGroup::notReady(int radio, int64_t nowMs) const {
  auto settle = settle_.find(radio);
  auto ok = lastOk_.find(radio);
  return settle != settle_.end() && ok != lastOk_.end() && nowMs - ok->second < settle->second;
}

bool SimRadioGroup::dropped(int radio) {
  auto drop = drops_.find(radio);
  if (drop == drops_.end() || links_[radio] != drop->second.link ||
      sinceDial_ != drop->second.lines)
    return false;
  drops_.erase(drop);
  addressed_ = local_;
  commandMode_ = true;
  return true;
}

std::string SimRadioGroup::answer(const std::string& line, int64_t nowMs) {
  const at::Command cmd = at::parseCommand(line);
  SimRadio& radio = radios_[addressed_];
  switch (cmd.kind) {
    case at::CommandKind::Empty:
      return {};
    case at::CommandKind::Attention:
      return reply("OK");
    case at::CommandKind::Identify:
      return reply(versionLine(radio.model()));  // no "OK" after it
    case at::CommandKind::Page:
      return page(cmd.page, nowMs) + reply("OK");
    case at::CommandKind::Online:
      // Back on line: the radio leaves command mode.
      commandMode_ = false;
      addressed_ = local_;
      return reply("OK");
    case at::CommandKind::Dial: {
      if (cmd.dialNumber < 0 || cmd.dialNumber > kMaxRadioID) return reply("ERROR");
      int index = findRadio(cmd.dialNumber);
      if (index < 0 || !reachable(static_cast<size_t>(index))) {
        // A well-formed number no radio answers to (none has it, or the one
        // that has it runs in another group or behind a repeater that does):
        // the link attempt times out with no answer, as it does over the
        // air, and the link to any radio dialled before is gone.
        addressed_ = local_;
        return {};
      }
      addressed_ = static_cast<size_t>(index);
      return reply("OK");
    }
    case at::CommandKind::HangUp:
      // Hang up: the link to a dialled radio drops and the radio leaves
      // command mode.
      addressed_ = local_;
      commandMode_ = false;
      return reply("OK");
    case at::CommandKind::Write:
      radio.save();
      return reply("OK");
    case at::CommandKind::Restore:
      // The radio restarts from its saved settings and answers nothing. A
      // restarting remote drops the link; the local one comes up on line.
      radio.reset();
      if (addressed_ == local_) commandMode_ = false;
      addressed_ = local_;
      return {};
    case at::CommandKind::Query: {
      if (cmd.queryNumber < 0 || !cmd.trailing.empty()) return reply("ERROR");
      auto value = radio.read(cmd.queryNumber, nowMs);
      if (!value) return reply("ERROR");
      return reply(*value) + reply("OK");
    }
    case at::CommandKind::Assign:
      return assignments(cmd.assignments, nowMs);
    case at::CommandKind::NotAt:
    case at::CommandKind::Unknown:
      break;
  }
  return reply("ERROR");
}

// One or more "S<n>=<v>" in a row. Either every assignment of the line is
// taken or, when one is bad, none.
std::string SimRadioGroup::assignments(const at::Assignments& line, int64_t nowMs) {
  SimRadio& radio = radios_[addressed_];
  if (!line.leading.empty() || line.pairs.empty()) return reply("ERROR");
  std::vector<std::pair<int, std::string>> accepted;
  for (const at::Assignment& pair : line.pairs) {
    std::string canonical;
    if (pair.number < 0 || !radio.accept(pair.number, pair.value, canonical)) return reply("ERROR");
    accepted.emplace_back(pair.number, canonical);
  }
  for (const auto& [reg, value] : accepted) radio.set(reg, value, nowMs);
  return reply("OK");
}

std::string SimRadioGroup::page(int index, int64_t nowMs) {
  SimRadio& radio = radios_[addressed_];
  std::string out;
  if (index == 1) {
    for (const char* line : dump::kHeader) out += reply(line);
    for (int base = 0; base < 5 * dump::kValuesPerRow; base += dump::kValuesPerRow) {
      std::string row = dump::field(std::to_string(base), dump::kRegisterWidth) + " -";
      for (int i = 0; i < dump::kValuesPerRow; ++i) {
        int reg = base + i;
        auto value = radio.read(reg, nowMs);
        row += dump::field(value ? shown(parameterFor(reg, radio.model(), false), *value) : "-----",
                           dump::kValueWidth);
      }
      out += reply(row);
    }
    return out;
  }
  // Pages 2 and 3 are for people at a terminal; no line starts with a
  // number, so the configurator takes no register from them.
  if (index == 2) {
    long uptime = (nowMs - startMs_) / 1000;
    out += reply("Model         : " + std::string(modelName(0, radio.model())));
    out += reply("Firmware      : " + versionLine(radio.model()));
    out += reply("Radio         : " + radio.current(param::radioID));
    out += reply("Uptime        : " + std::to_string(uptime) + " s");
    auto volts = radio.read(16, nowMs);
    auto temp = radio.read(17, nowMs);
    if (volts && temp) {
      out += reply("Supply        : " + *volts + " x 0.1 V");
      out += reply("Board temp    : " + *temp + " C");
    }
    return out;
  }
  std::string heard;
  for (size_t i = 0; i < radios_.size(); ++i)
    if (i != addressed_) heard += " " + std::to_string(radios_[i].radioID());
  out += reply("Radios heard  :" + (heard.empty() ? std::string(" none") : heard));
  out += reply("Hop channels  : 50");
  return out;
}

}  // namespace tessel::sim
