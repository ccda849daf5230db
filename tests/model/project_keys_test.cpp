// The one table of the project file's keys and the conversions built on it.
#include <gtest/gtest.h>

#include <set>

#include "model/catalogue.h"
#include "model/project_keys.h"

namespace tessel {
namespace {

TEST(ProjectKeys, EveryChoiceItemSurvivesBothRoundTrips) {
  std::set<std::string> names;
  std::vector<const ProjectKey*> all = groupKeys();
  all.insert(all.end(), radioKeys().begin(), radioKeys().end());
  for (const ProjectKey* k : all) {
    SCOPED_TRACE(k->name);
    EXPECT_TRUE(names.insert(k->name).second) << "a key listed twice";
    if (k->param >= 0) {
      EXPECT_EQ(keyOf(k->param), k);
    }
    if (!k->isChoice()) continue;
    for (int i = 0; i < k->count; ++i) {
      EXPECT_EQ(itemOfFileText(*k, fileTextOf(*k, i)), i);
      for (bool numeric : {false, true})
        EXPECT_EQ(itemOfRegisterText(*k, registerTextOf(*k, i, numeric)), i) << numeric;
    }
    bool defaultListed = false;
    for (int i = 0; i < k->count; ++i)
      defaultListed = defaultListed || k->def == std::string(k->texts[i]);
    EXPECT_TRUE(defaultListed) << "the default is one of the texts";
  }
  EXPECT_EQ(keyOf(-1), nullptr);
  EXPECT_EQ(keyOf(param::rssi), nullptr);
}

TEST(ProjectKeys, FileTextsToPanelItems) {
  using namespace radiokey;
  struct Case {
    const ProjectKey& key;
    const char* text;
    int item;
  } cases[] = {
      {radioMode, "Master", 0},
      {radioMode, "Slave", 1},
      {radioMode, "Repeater", 2},
      {radioMode, "slave", 0},
      {radioMode, "", 0},
      {roaming, "Yes", 0},
      {roaming, "No", 1},
      {roaming, "yes", 1},
      {autoRouting, "Disable", 0},
      {autoRouting, "Allen Bradley DF1", 2},
      {autoRouting, "Other", 1},
      {bufferMode, "Character", 0},
      {bufferMode, "Packet", 1},
      {bufferMode, "", 1},
      {emulationMode, "Modicon PLC", 2},
      {emulationMode, "x", 3},
      {sleepMode, "Off", 0},
      {sleepMode, "x", 2},
      {parity, "None", 2},
      {parity, "Even", 0},
      {parity, "Mark", 1},
      {handshaking, "No", 0},
      {handshaking, "Yes", 1},
      {handshaking, "Maybe", 1},
      {dataBits, "8", 1},
      {dataBits, "9", 0},
      {stopBits, "1", 0},
      {stopBits, "0", 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(itemOfFileText(c.key, c.text), c.item) << c.key.name << " '" << c.text << "'";
  EXPECT_EQ(itemOfFileText(retries, "10"), -1) << "a free text has no item";
}

TEST(ProjectKeys, PanelItemsWithoutAValidChoiceAreWrittenOrLeftOut) {
  using namespace radiokey;
  struct Case {
    const ProjectKey& key;
    int item;
    const char* text;
  } cases[] = {
      {radioMode, -1, "Slave"},
      {radioMode, 3, "Slave"},
      {roaming, -1, "No"},
      {autoRouting, -1, "MODBUS RTU"},
      {bufferMode, -1, "Packet"},
      {parity, -1, "Even"},
      {handshaking, -1, "No"},
      {dataBits, -1, "7"},
      {stopBits, 2, "1"},
      {emulationMode, -1, ""},
      {emulationMode, 4, ""},
      {sleepMode, -1, ""},
      {retries, 0, ""},
      {groupkey::repeaters, -1, "No"},
      {groupkey::reTXBroadcasts, 2, "No"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(fileTextOf(c.key, c.item), c.text) << c.key.name << " " << c.item;
}

TEST(ProjectKeys, RegisterTextsBothWays) {
  using namespace radiokey;
  // Replies: the words of a dump, letters, or (model 2) item numbers.
  struct In {
    const ProjectKey& key;
    const char* text;
    int item;
  } in[] = {
      {radioMode, "MSTR", 0},  {radioMode, "SLAVE", 1},  {radioMode, "RPTR", 2},
      {radioMode, "1", 2},     {roaming, "YES", 0},      {roaming, "NO", 1},
      {roaming, "0", 1},       {parity, "EVEN", 0},      {parity, "ODD", 1},
      {parity, "NONE", 2},     {handshaking, "NONE", 0}, {handshaking, "HW", 1},
      {handshaking, "1", 1},   {handshaking, "0", 0},    {handshaking, "2", -1},
      {handshaking, "00", -1}, {bufferMode, "CHAR", 0},  {bufferMode, "PKT", 1},
      {bufferMode, "01", -1},  {autoRouting, "NONE", 0}, {autoRouting, "MODBUS", 1},
      {autoRouting, "DF1", 2}, {autoRouting, "02", 2},   {autoRouting, "3", -1},
      {emulationMode, "3", 3}, {emulationMode, "4", -1}, {emulationMode, "X", -1},
      {sleepMode, "2", 2},     {dataBits, "8", 1},       {dataBits, "9", -1},
      {stopBits, "2", 1},      {radioMode, "", -1},      {retries, "10", -1},
  };
  for (const In& c : in)
    EXPECT_EQ(itemOfRegisterText(c.key, c.text), c.item) << c.key.name << " '" << c.text << "'";

  struct Out {
    const ProjectKey& key;
    int item;
    bool numeric;
    const char* text;
  } out[] = {
      {radioMode, 2, true, "R"},    {roaming, 1, false, "N"},     {parity, 2, false, "N"},
      {handshaking, 1, false, "H"}, {handshaking, 1, true, "1"},  {bufferMode, 1, false, "P"},
      {bufferMode, 0, true, "0"},   {autoRouting, 2, false, "2"}, {emulationMode, 3, false, "3"},
      {dataBits, 0, false, "7"},    {stopBits, 1, true, "2"},     {parity, -1, false, ""},
      {sleepMode, 3, false, ""},    {masterID, 0, false, ""},
  };
  for (const Out& c : out)
    EXPECT_EQ(registerTextOf(c.key, c.item, c.numeric), c.text) << c.key.name << " " << c.item;
}

}  // namespace
}  // namespace tessel
