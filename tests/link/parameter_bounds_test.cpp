// Every check of a value takes the parameter table's bounds: the group
// emulator, the simulated radios, the panel's entry rules, the model-E
// fields and the blocked frequencies accept a parameter's lowest and highest
// value and refuse one past each.
#include <gtest/gtest.h>

#include <string>

#include "../model/model_fixture.h"
#include "link/group_emulator.h"
#include "model/blocked_frequencies.h"
#include "model/catalogue.h"
#include "model/entry_rules.h"
#include "model/model_e_rules.h"
#include "model/parameter_table.h"
#include "sim/sim_radio.h"

namespace tessel {
namespace {

// The values a walk tries, in register units, with whether each is taken.
std::vector<std::pair<long, bool>> walk(const Parameter& p) {
  std::vector<std::pair<long, bool>> out = {{p.lo, true}, {p.hi, true}, {p.hi + 1, false}};
  if (p.lo > 0) out.push_back({p.lo - 1, p.lo - 1 == p.none});
  if (p.none >= 0) out.push_back({p.none, true});
  return out;
}

// Whether a simulated radio of any model holding the parameter takes text;
// false when no model holds it.
bool simulatorTakes(int code, const std::string& text, bool& held) {
  bool taken = true;
  held = false;
  for (int model = 0; model < kModelCount; ++model) {
    const sim::SimRadio radio(model, 1);
    for (const RegisterRow& row : registerMap(model)) {
      if (row.param != code) continue;
      held = true;
      std::string canonical;
      taken = radio.accept(row.reg, text, canonical) && taken;
    }
  }
  return held && taken;
}

TEST(ParameterBounds, EmulatorAndSimulatorTakeExactlyTheTablesValues) {
  for (const Parameter& p : parameterTable()) {
    if (p.kind == ValueKind::Number) {
      for (const auto& [value, taken] : walk(p)) {
        const std::string text = std::to_string(value);
        SCOPED_TRACE("parameter " + std::to_string(p.code) + " value " + text);
        EXPECT_EQ(TgroupEmulator::valueFits(p.code, text), taken);
        bool held = false;
        const bool simTaken = simulatorTakes(p.code, text, held);
        if (held) EXPECT_EQ(simTaken, taken);
      }
    } else if (p.kind == ValueKind::OneOf) {
      for (const std::string& choice : p.choices) {
        SCOPED_TRACE("parameter " + std::to_string(p.code) + " choice " + choice);
        EXPECT_TRUE(TgroupEmulator::valueFits(p.code, choice));
        bool held = false;
        const bool simTaken = simulatorTakes(p.code, choice, held);
        if (held) EXPECT_TRUE(simTaken);
      }
      for (const char* other : {"X", "9", "00"}) {
        SCOPED_TRACE("parameter " + std::to_string(p.code) + " other " + other);
        EXPECT_FALSE(TgroupEmulator::valueFits(p.code, other));
        bool held = false;
        EXPECT_FALSE(simulatorTakes(p.code, other, held));
      }
    }
  }
}

// Where the copies of the bounds disagreed, these are the values kept.
TEST(ParameterBounds, TheBoundsThatDisagreedAreTheRadiosOwn) {
  struct Case {
    int code;
    long lo, hi;
  };
  const Case cases[] = {
      {param::masterID, 0, 255},    {param::masterLock, 0, 255},       {param::offTimer, 0, 63556},
      {param::flushTime, 0, 65530}, {param::blockedFreq1, 9022, 9277}, {param::radioID, 0, 254},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parameterOf(c.code).lo, c.lo) << c.code;
    EXPECT_EQ(parameterOf(c.code).hi, c.hi) << c.code;
  }
  EXPECT_EQ(baudRateList(", ", " or "), "300, 600, 1200, 2400, 4800, 9600, 19200 or 38400");
  EXPECT_EQ(shownBaudRates(), (std::vector<std::string>{"    300", "    600", "  1200", "  2400",
                                                        "  4800", "  9600", "19200", "38400"}));
}

class ParameterBoundsPanel : public ModelTest {
 protected:
  EntryRules rules{window};
};

// The panel's fields and the model-E fields check what they show (seconds,
// MHz) against the table's bounds.
TEST_F(ParameterBoundsPanel, EntryRulesTakeExactlyTheTablesValues) {
  struct Field {
    const std::string& control;
    int code;
  };
  const Field panelFields[] = {
      {ctl::groupID, param::groupID},     {ctl::securityID, param::securityID},
      {ctl::flushTime, param::flushTime}, {ctl::radioID, param::radioID},
      {ctl::retries, param::retries},     {ctl::masterID, param::masterID},
  };
  for (const Field& f : panelFields) {
    const Parameter& p = parameterOf(f.code);
    std::vector<std::pair<long, bool>> shown = {
        {shownLow(p), true}, {shownHigh(p), true}, {shownHigh(p) + 1, false}};
    if (shownLow(p) > 0) shown.push_back({shownLow(p) - 1, false});
    for (const auto& [value, taken] : shown) {
      const std::string text = std::to_string(value);
      SCOPED_TRACE(f.control + " " + text);
      panel.entriesValid = !taken;
      panel.setText(f.control, text);
      rules.fieldChange(f.control);
      EXPECT_EQ(panel.entriesValid, taken);
    }
  }
  for (const std::string* control : {&ctl::plcAddress, &ctl::onTimer, &ctl::offTimer}) {
    const ModelENumberField* f = modelENumberField(*control);
    ASSERT_NE(f, nullptr);
    std::string fix;
    EXPECT_EQ(modelERangeMessage(*f, std::to_string(f->lo), fix), "") << *control;
    EXPECT_EQ(modelERangeMessage(*f, std::to_string(f->hi), fix), "") << *control;
    EXPECT_NE(modelERangeMessage(*f, std::to_string(f->hi + 1), fix), "") << *control;
    EXPECT_EQ(fix, std::to_string(f->hi)) << *control;
  }
  const Parameter& band = parameterOf(param::blockedFreq1);
  EXPECT_EQ(blockedRangeMessage(shownBound(band, band.lo)), "");
  EXPECT_EQ(blockedRangeMessage(shownBound(band, band.hi)), "");
  EXPECT_EQ(blockedRangeMessage(shownBound(band, band.lo - 1)),
            "902.1 not in Range of 902.2 to 927.7 MHz");
  EXPECT_EQ(blockedRangeMessage(shownBound(band, band.hi + 1)),
            "927.8 not in Range of 902.2 to 927.7 MHz");
}

}  // namespace
}  // namespace tessel
