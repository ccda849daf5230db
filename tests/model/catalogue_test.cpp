#include "model/catalogue.h"
#include "model/radio_codec.h"

#include <gtest/gtest.h>

#include <map>

#include "model/brand.h"
#include "model/control_names.h"
#include "model/factory_defaults.h"
#include "model/project_keys.h"
#include "model/value_texts.h"

namespace tessel {
namespace {

TEST(Catalogue, RowCountsPerModel) {
  struct Case {
    int model;
    bool poll;
    int rows;
  };
  const Case cases[] = {{0, false, 42}, {1, false, 34}, {2, false, 33}, {0, true, 6},
                        {1, true, 6},   {2, true, 6},   {3, false, 0},  {-1, true, 0}};
  for (const Case& c : cases)
    EXPECT_EQ(rowCount(c.model, c.poll), c.rows) << "model " << c.model << " poll " << c.poll;
}

TEST(Catalogue, ParameterForRegister) {
  struct Case {
    int reg;
    int model;
    bool poll;
    int param;
  };
  const Case cases[] = {
      // Registers no model has.
      {9, 0, false, -1},
      {11, 1, false, -1},
      {18, 2, false, -1},
      {9, 0, true, -1},
      {18, 2, true, -1},
      // The master ID register exists on model 2 only, but every poll map asks it.
      {12, 0, false, -1},
      {12, 1, false, -1},
      {12, 2, false, param::masterID},
      {12, 0, true, param::masterID},
      {12, 1, true, param::masterID},
      // Identification request.
      {-1, 0, false, param::radioIdentity},
      // Model 2 holds the group settings one register higher.
      {4, 0, false, param::repeaters},
      {4, 2, false, param::fixedN},
      {5, 2, false, param::repeaters},
      {8, 0, false, param::masterLock},
      {8, 2, false, param::roaming},
      {20, 2, false, param::baudRate},
      {21, 2, false, param::dataBits},
      {26, 2, false, param::bufferMode},
      {26, 0, false, param::bufferMode},
      {16, 2, false, -1},
      {16, 0, false, param::supplyVolts},
      {41, 2, false, param::blockedFreq12},
      // Model E settings only on model 0.
      {100, 0, false, param::emulationMode},
      {114, 0, false, param::offTimer},
      {100, 1, false, -1},
      // Unknown model.
      {1, 3, false, -1},
      {1, -1, true, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(parameterFor(c.reg, c.model, c.poll), c.param)
        << "S" << c.reg << " model " << c.model << " poll " << c.poll;
}

TEST(Catalogue, RegisterAtRow) {
  EXPECT_EQ(registerAt(0, 0, false), "-1");
  EXPECT_EQ(registerAt(41, 0, false), "114");
  EXPECT_EQ(registerAt(32, 2, false), "41");
  EXPECT_EQ(registerAt(5, 1, true), "17");
  EXPECT_EQ(registerAt(42, 0, false), "");
  EXPECT_EQ(registerAt(-1, 0, false), "");
  EXPECT_EQ(registerAt(0, 7, false), "");
}

TEST(Catalogue, EveryRowHoldsItsParameterAndFlag) {
  std::vector<int> common = {-1, 1, 0, 2, 3, 4, 5, 6, 7, 8, 10, 13, 15, 16, 17};
  std::vector<int> model2 = {-1, 1, 0, 2, 3, 4, 5, 6, 7, 8, 10, 12, 13, 15};
  for (int reg = 20; reg <= 26; ++reg) common.push_back(reg), model2.push_back(reg);
  for (int reg = 30; reg <= 41; ++reg) common.push_back(reg), model2.push_back(reg);
  std::vector<int> model0 = common;
  for (int reg : {100, 101, 102, 110, 111, 112, 113, 114}) model0.push_back(reg);
  const std::vector<int>* registers[] = {&model0, &common, &model2};
  // Model 2 keeps a fixed "N" in S4 and the next five settings one register up.
  const std::map<int, int> model2Shift = {{4, param::fixedN},
                                          {5, param::repeaters},
                                          {6, param::reTXBroadcasts},
                                          {7, param::rfband},
                                          {8, param::roaming}};
  for (int model = 0; model < kModelCount; ++model) {
    const RegisterMap& map = registerMap(model);
    std::vector<int> regs;
    for (const RegisterRow& row : map) {
      regs.push_back(row.reg);
      const bool status = row.reg == 10 || row.reg == 16 || row.reg == 17;
      const bool blocked = row.reg >= 30 && row.reg <= 41;
      EXPECT_EQ(row.access, status ? 0 : blocked ? 2 : 1) << "model " << model << " S" << row.reg;
      const auto shifted = model2Shift.find(row.reg);
      const int code = model == 2 && shifted != model2Shift.end() ? shifted->second : row.reg;
      EXPECT_EQ(row.param, code) << "model " << model << " S" << row.reg;
    }
    EXPECT_EQ(regs, *registers[model]) << "model " << model;
  }
  for (int model = 0; model < kModelCount; ++model)
    for (const RegisterRow& row : pollMap(model)) EXPECT_EQ(row.access, 0);
}

TEST(Catalogue, ModelOneIsModelZeroWithoutModelE) {
  const RegisterMap& m0 = registerMap(0);
  const RegisterMap& m1 = registerMap(1);
  ASSERT_EQ(m1.size(), 34u);
  for (size_t i = 0; i < m1.size(); ++i) {
    EXPECT_EQ(m1[i].reg, m0[i].reg) << i;
    EXPECT_EQ(m1[i].param, m0[i].param) << i;
  }
}

std::vector<int> readWalk(int model, bool poll) {
  std::vector<int> regs;
  const int count = rowCount(model, poll);
  for (int row = nextReadableRow(-1, model, poll); row < count;
       row = nextReadableRow(row, model, poll))
    regs.push_back(std::stoi(registerAt(row, model, poll)));
  return regs;
}

TEST(Catalogue, ReadWalkSkipsWriteOnlyRegisters) {
  const std::vector<int> expected[] = {
      {-1, 1,  0,  2,  3,  4,  5,  6,   7,   8,   10,  13,  15,  16,  17,
       20, 21, 22, 23, 24, 25, 26, 100, 101, 102, 110, 111, 112, 113, 114},
      {-1, 1, 0, 2, 3, 4, 5, 6, 7, 8, 10, 13, 15, 16, 17, 20, 21, 22, 23, 24, 25, 26},
      {-1, 1, 0, 2, 3, 4, 5, 6, 7, 8, 10, 12, 13, 15, 20, 21, 22, 23, 24, 25, 26},
  };
  for (int model = 0; model < kModelCount; ++model) {
    EXPECT_EQ(readWalk(model, false), expected[model]) << "model " << model;
    EXPECT_EQ(readWalk(model, true), (std::vector<int>{1, 8, 10, 12, 16, 17}));
  }
}

TEST(Catalogue, ReadWalkEndsSafely) {
  EXPECT_EQ(nextReadableRow(21, 0, false), 34);  // S26 -> past S30..S41 to S100
  EXPECT_EQ(nextReadableRow(21, 2, false), 33);  // last readable row of model 2
  EXPECT_EQ(nextReadableRow(41, 0, false), 42);
  EXPECT_EQ(nextReadableRow(500, 0, false), 42);
  EXPECT_EQ(nextReadableRow(2147483647, 1, false), 34);
  EXPECT_EQ(nextReadableRow(-9, 1, true), 0);
  EXPECT_EQ(nextReadableRow(0, 5, false), 0);
}

TEST(Catalogue, TenthsEncoding) {
  struct Case {
    const char* text;
    const char* reg;
  };
  const Case cases[] = {
      {"915.7", "9157"}, {"", "0"},           {"1200", "12000"}, {"0", "0"},     {"6553", "65530"},
      {"902.5", "9025"}, {" 915.7 ", "9157"}, {"927.9", "9279"}, {"+2.5", "25"}, {".5", "5"},
      {"-0.01", "0"},    {"abc", "0"},        {"915,7", "0"},    {"1e3", "0"},   {"nan", "0"},
      {"-", "0"},        {"+-1", "0"},        {"12 34", "0"},
  };
  for (const Case& c : cases) EXPECT_EQ(MhzToRegister(c.text), c.reg) << '"' << c.text << '"';
}

// Tenths from the texts people and files give, and back: a text that is no
// number gives none (a blocked frequency: none blocked), never a number.
TEST(Catalogue, TenthsFromTextAndBack) {
  const struct {
    const char* text;
    long tenths;
    const char* flush;    // the flush time shown
    const char* blocked;  // the blocked frequency shown
  } cases[] = {
      {"1200", 12000, "1200", "1200.0"},
      {"1200.5", 12005, "1200.5", "1200.5"},
      {" 915.7 ", 9157, "915.7", "915.7"},
      {"0", 0, "0", ""},
      {"", kNoTenths, "", ""},
      {"abc", kNoTenths, "", ""},
      {"915,7", kNoTenths, "", ""},
      {"1e3", kNoTenths, "", ""},
      {"-5", kNoTenths, "", ""},
      {"+2.5", 25, "2.5", "2.5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    EXPECT_EQ(codec::tenthsOfText(c.text), c.tenths);
    EXPECT_EQ(codec::flushTimeText(codec::tenthsOfText(c.text)), c.flush);
    EXPECT_EQ(codec::blockedText(codec::blockedOfText(c.text)), c.blocked);
  }
}

TEST(Catalogue, BrandModelNames) {
  EXPECT_STREQ(brandModels(0).modelKey, "Radio Model");
  EXPECT_STREQ(brandModels(1).modelKey, "LUMA-HOP-9");
  EXPECT_STREQ(modelName(0, 0), "Vireo E");
  EXPECT_STREQ(modelName(0, 2), "Vireo Version 1");
  EXPECT_STREQ(modelName(1, 1), "LUMA-M");
  EXPECT_STREQ(modelName(1, 2), "");
  EXPECT_STREQ(modelName(1, 3), "");
  EXPECT_EQ(brandModels(1).modelCount, 2);
  EXPECT_EQ(defaultRetries(0), 50);
  EXPECT_EQ(defaultRetries(2), 10);
  EXPECT_EQ(defaultRetries(-1), 50);
}

// A selector lists as many entries as its key has texts, and a choice's
// value is the entry at its item.
TEST(Catalogue, EverySelectorListsItsChoicesInItemOrder) {
  for (const std::string* control : choiceSelectors()) {
    const std::vector<std::string> entries = selectorEntries(*control);
    EXPECT_FALSE(entries.empty()) << *control;
    std::vector<const ProjectKey*> keys = radioKeys();
    keys.insert(keys.end(), groupKeys().begin(), groupKeys().end());
    for (const ProjectKey* k : keys) {
      if (*control == k->control && k->isChoice())
        EXPECT_EQ(entries.size(), static_cast<size_t>(k->count)) << *control;
    }
  }
  const struct {
    const std::string& control;
    int item;
    const char* entry;
  } shown[] = {
      {ctl::radioMode, itemOf(RadioMode::repeater), "Repeater"},
      {ctl::roaming, itemOf(Roaming::masterID), "Master ID"},
      {ctl::repeaters, itemOf(YesNo::no), "No"},
      {ctl::parity, itemOf(Parity::none), "None"},
      {ctl::handShaking, itemOf(Handshake::hardware), "Hardware"},
      {ctl::protocol, itemOf(AutoRouting::df1), "Allen Bradley DF1"},
      {ctl::bufferMode, itemOf(BufferMode::packet), "Packet"},
      {ctl::rfband, 3, "4"},
      {ctl::mainSerialPort, 1, "485"},
  };
  for (const auto& s : shown) EXPECT_EQ(selectorEntries(s.control).at(s.item), s.entry);
  EXPECT_TRUE(selectorEntries("no such control").empty());
}

}  // namespace
}  // namespace tessel
