#include "sim/sim_radio.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "model/catalogue.h"
#include "model/parameter_table.h"
#include "model/text.h"

namespace tessel::sim {

namespace {

// What the register of a parameter takes, as the parameter table has it.
RegisterDomain domainOfParam(int code) {
  const Parameter& p = parameterOf(code);
  RegisterDomain d;
  switch (p.kind) {
    case ValueKind::Number:
      d.kind = RegisterDomain::Number;
      d.min = p.lo;
      d.max = p.hi;
      d.zeroAlso = p.none;
      break;
    case ValueKind::OneOf:
      d.kind = RegisterDomain::OneOf;
      d.choices = p.choices;
      break;
    case ValueKind::Time:
      d.kind = RegisterDomain::Time;
      break;
    case ValueKind::Reading:
      d.kind = RegisterDomain::ReadOnly;
      break;
    case ValueKind::None:
      break;
  }
  return d;
}

bool parseTime(const std::string& text, std::string& canonical) {
  auto colon = text.find(':');
  if (colon == std::string::npos) return false;
  long h = 0, m = 0;
  std::string hh = text.substr(0, colon), mm = text.substr(colon + 1);
  if (hh.empty() || hh.size() > 2 || mm.size() != 2) return false;
  if (!parseSmallNumber(hh, h) || !parseSmallNumber(mm, m)) return false;
  if (h > 23 || m > 59) return false;
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d:%02d", static_cast<int>(h), static_cast<int>(m));
  canonical = buf;
  return true;
}

}  // namespace

bool parseSmallNumber(const std::string& text, long& out) {
  const int value = smallNumber(text, 9);
  if (value < 0) return false;
  out = value;
  return true;
}

RegisterDomain registerDomain(int model, int reg) {
  if (model < 0 || model >= kModelCount || reg < 0) return {};
  int code = parameterFor(reg, model, false);
  if (code < 0 && reg == kAttachedMasterReg && model != 2) code = param::masterID;
  return domainOfParam(code);
}

std::vector<int> registersOf(int model) {
  std::vector<int> regs;
  if (model < 0 || model >= kModelCount) return regs;
  for (const RegisterRow& row : registerMap(model))
    if (row.reg >= 0) regs.push_back(row.reg);
  if (model != 2) regs.push_back(kAttachedMasterReg);
  std::sort(regs.begin(), regs.end());
  regs.erase(std::unique(regs.begin(), regs.end()), regs.end());
  return regs;
}

SimRadio::SimRadio(int model, uint32_t seed) : model_(model), rng_(seed) {
  for (int reg : registersOf(model)) {
    RegisterDomain d = registerDomain(model, reg);
    std::string v;
    switch (d.kind) {
      case RegisterDomain::Number:
        v = std::to_string(d.zeroAlso >= 0 ? d.zeroAlso : d.min);
        break;
      case RegisterDomain::OneOf:
        v = d.choices.front();
        break;
      case RegisterDomain::Time:
        v = "00:00";
        break;
      default:
        break;  // read only: live values
    }
    working_[reg] = v;
    saved_[reg] = v;
  }
  running_ = working_;
}

int SimRadio::radioID() const {
  long v = 0;
  return parseSmallNumber(current(param::radioID), v) ? static_cast<int>(v) : -1;
}

int SimRadio::runningID() const {
  long v = 0;
  return parseSmallNumber(running(param::radioID), v) ? static_cast<int>(v) : -1;
}

bool SimRadio::holds(int reg) const {
  return working_.count(reg) != 0;
}

std::string SimRadio::saved(int reg) const {
  auto it = saved_.find(reg);
  return it == saved_.end() ? std::string() : it->second;
}

std::string SimRadio::current(int reg) const {
  auto it = working_.find(reg);
  return it == working_.end() ? std::string() : it->second;
}

std::string SimRadio::running(int reg) const {
  auto it = running_.find(reg);
  return it == running_.end() ? std::string() : it->second;
}

std::string SimRadio::runningParam(int code) const {
  for (const RegisterRow& row : registerMap(model_))
    if (row.param == code && row.reg >= 0) return running(row.reg);
  return std::string();
}

std::optional<std::string> SimRadio::read(int reg, int64_t nowMs) {
  if (auto it = fixed_.find(reg); it != fixed_.end()) {
    if (it->second == kRefusal) return std::nullopt;
    return it->second;
  }
  if (!holds(reg)) return std::nullopt;
  switch (registerDomain(model_, reg).kind) {
    case RegisterDomain::ReadOnly: {
      drift(nowMs);
      int code = parameterFor(reg, model_, false);
      if (code == param::rssi) return std::to_string(rssi_);
      if (code == param::supplyVolts) return std::to_string(volts_);
      return std::to_string(temp_);
    }
    default:
      break;
  }
  if (parameterFor(reg, model_, false) == param::currentTime) {
    int64_t elapsedMin = (nowMs - clockSetMs_) / 60000;
    int minutes = static_cast<int>(((clockMinutes_ + elapsedMin) % 1440 + 1440) % 1440);
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d:%02d", minutes / 60, minutes % 60);
    return std::string(buf);
  }
  return current(reg);
}

bool SimRadio::accept(int reg, const std::string& value, std::string& canonical) const {
  RegisterDomain d = registerDomain(model_, reg);
  std::string v = upperCase(value);
  switch (d.kind) {
    case RegisterDomain::Number: {
      long n = 0;
      if (!parseSmallNumber(v, n)) return false;
      if ((n < d.min || n > d.max) && n != d.zeroAlso) return false;
      canonical = std::to_string(n);
      return true;
    }
    case RegisterDomain::OneOf:
      if (std::find(d.choices.begin(), d.choices.end(), v) == d.choices.end()) return false;
      canonical = v;
      return true;
    case RegisterDomain::Time:
      return parseTime(v, canonical);
    default:
      return false;
  }
}

void SimRadio::set(int reg, const std::string& canonical, int64_t nowMs) {
  if (!holds(reg)) return;
  if (parameterFor(reg, model_, false) == param::currentTime) {
    // Setting the clock takes effect at once; it is not a stored setting.
    setClock(std::stoi(canonical.substr(0, 2)) * 60 + std::stoi(canonical.substr(3, 2)), nowMs);
  }
  working_[reg] = canonical;
}

void SimRadio::configure(int reg, const std::string& canonical) {
  if (!holds(reg)) return;
  working_[reg] = canonical;
  saved_[reg] = canonical;
  running_[reg] = canonical;
}

void SimRadio::save() {
  saved_ = working_;
  if (model_ == 2) running_ = saved_;
}

void SimRadio::reset() {
  working_ = saved_;
  running_ = saved_;
}

void SimRadio::setStatusBase(int rssi, int voltsTenths, int tempC) {
  rssiBase_ = rssi_ = rssi;
  voltsBase_ = volts_ = voltsTenths;
  tempBase_ = temp_ = tempC;
}

void SimRadio::setClock(int minutesOfDay, int64_t atMs) {
  clockMinutes_ = minutesOfDay;
  clockSetMs_ = atMs;
}

void SimRadio::drift(int64_t nowMs) {
  if (!driftStarted_) {
    driftStarted_ = true;
    lastDriftMs_ = nowMs;
    return;
  }
  // One small random step per second of elapsed time; a long silence is
  // capped, the walk stays within a few units of its base anyway.
  int64_t steps = (nowMs - lastDriftMs_) / 1000;
  if (steps <= 0) return;
  lastDriftMs_ += steps * 1000;
  steps = std::min<int64_t>(steps, 120);
  auto walk = [this](int& value, int base, int span) {
    int step = static_cast<int>(rng_() % 3) - 1;
    value = std::clamp(value + step, base - span, base + span);
  };
  for (int64_t i = 0; i < steps; ++i) {
    walk(rssi_, rssiBase_, 6);
    walk(volts_, voltsBase_, 3);
    if (rng_() % 5 == 0) walk(temp_, tempBase_, 2);
  }
}

}  // namespace tessel::sim
