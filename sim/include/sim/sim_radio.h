#pragma once

// One simulated radio: its model, its S-registers as the radio holds them
// (the texts the configurator writes: decimal numbers, "M"/"S"/"R", "Y"/"N",
// frequencies and flush time in tenths, "hh:mm"), and the status values that
// drift while it runs.
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace tessel::sim {

// What a register accepts.
struct RegisterDomain {
  enum Kind { Missing, ReadOnly, Number, OneOf, Time };
  Kind kind = Missing;
  long min = 0, max = 0;             // Number
  std::vector<std::string> choices;  // OneOf (upper case)
  long zeroAlso = -1;                // Number: a value outside min..max that is accepted too
};

// The domain of register reg on a model; kind Missing when the model lacks it.
RegisterDomain registerDomain(int model, int reg);
// Models 0 and 1 keep the master they are attached to in S12 as well; the
// configurator's short poll asks every model for it.
constexpr int kAttachedMasterReg = 12;

// The registers a model holds, ascending.
std::vector<int> registersOf(int model);

// Parses a decimal number of at most 9 digits (no sign); false otherwise, so
// an over-long number never overflows.
bool parseSmallNumber(const std::string& text, long& out);

class SimRadio {
 public:
  // A radio of the model with every register at a neutral value; the
  // caller sets the configuration. seed makes its drift reproducible.
  SimRadio(int model, uint32_t seed);

  int model() const { return model_; }
  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }

  // The radio ID it is configured with (S1); -1 when S1 is not a number.
  int radioID() const;
  // The radio ID it runs with, the one a dial reaches; -1 when none.
  int runningID() const;
  bool holds(int reg) const;

  // The value as the radio reports it at nowMs (drifting status values and
  // the clock are live); nullopt when the model lacks the register.
  std::optional<std::string> read(int reg, int64_t nowMs);
  // The saved (non-volatile) text of a register; "" when not held.
  std::string saved(int reg) const;
  // The working text of a register (what an assignment gave it and a read
  // reports); "" when not held.
  std::string current(int reg) const;
  // The text the radio runs with: an assignment and "AT&W" are held until
  // "AT&R" restarts the radio (a model-2 radio runs what "AT&W" saves).
  std::string running(int reg) const;
  // The running text of a parameter; "" when the model has no register
  // for it.
  std::string runningParam(int param) const;

  // Checks a value for a register; gives the text the radio would keep
  // (upper case, numbers without leading zeros). False when the register is
  // missing, read only, or the value is outside its domain.
  bool accept(int reg, const std::string& value, std::string& canonical) const;
  // Sets a register's working value (already accepted) at nowMs.
  void set(int reg, const std::string& canonical, int64_t nowMs);
  // Sets working and saved value alike (initial configuration).
  void configure(int reg, const std::string& canonical);

  void save();   // AT&W: working values become the saved ones
  void reset();  // AT&R: the saved values become the working and running ones

  // Where the drifting values sit: RSSI in dBm, supply in tenths of a volt,
  // temperature in degrees Celsius.
  void setStatusBase(int rssi, int voltsTenths, int tempC);
  // The radio's clock (S111) reads minutesOfDay at atMs and runs from there.
  void setClock(int minutesOfDay, int64_t atMs);

  // A misbehaving radio: every read of reg reports text, whatever the
  // register holds or was set to ("" answers a blank line; kRefusal refuses
  // the read as a register the model lacks is refused). For tests of what
  // the configurator makes of such replies.
  void setFixedAnswer(int reg, std::string text) { fixed_[reg] = std::move(text); }
  static constexpr char kRefusal[] = "ERROR";

 private:
  void drift(int64_t nowMs);

  int model_;
  std::string name_;
  std::map<int, std::string> working_;
  std::map<int, std::string> saved_;
  std::map<int, std::string> running_;
  std::map<int, std::string> fixed_;

  std::mt19937 rng_;
  int64_t lastDriftMs_ = 0;
  bool driftStarted_ = false;
  int rssiBase_ = -70, voltsBase_ = 132, tempBase_ = 31;
  int rssi_ = -70, volts_ = 132, temp_ = 31;

  int clockMinutes_ = 0;
  int64_t clockSetMs_ = 0;
};

}  // namespace tessel::sim
