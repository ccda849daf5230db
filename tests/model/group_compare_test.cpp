#include "model/group_compare.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <sstream>

#include "model/catalogue.h"
#include "model/radio_codec.h"

using namespace tessel;

namespace {

const BrandModels& models() {
  return brandModels(0);
}

RadioSettings groupRadio(int model, Roaming roaming) {
  RadioSettings s;
  s.model = model;
  s.radioID = 4;
  s.name = "Pump house";
  s.roaming = roaming;
  s.masterID = 9;
  s.retries = 33;
  s.parity = Parity::odd;
  s.handShaking = Handshake::hardware;
  s.bufferMode = BufferMode::packet;
  if (model == 0) {
    s.plcAddress = 17;
    s.currentTime = "12:34";
  }
  s.group.groupID = 12;
  s.group.flushTime = 6000;
  s.group.blocked[0] = 9157;
  return s;
}

// A radio holding radio answers a full read, as the engine hands the replies
// to the main window: its identification, then every register of its model.
RadioReading readThrough(GroupReadCollector& c, int id, const RadioSettings& radio) {
  c.beginReplies();
  c.ApplyReply(param::radioIdentity, radio.model == 2 ? 2 : 0,
               radio.model == 2 ? "V1.14" : "V2.10");
  for (const codec::RegisterText& r : codec::registerImage(radio)) {
    int value = -1;
    std::istringstream(r.text) >> value;
    c.ApplyReply(r.param, value, r.text);
  }
  c.setRead(id, true);
  return c.readings().at(id);
}

std::string lines(const std::vector<CompareRow>& rows) {
  std::string out;
  for (const CompareRow& r : rows) out += compareCsvLine(r) + "\n";
  return out;
}

}  // namespace

// Each model, locked and roaming, reads back as its project has it; then
// each drift on the radio's side gives exactly its one line, and what the
// project does not decide (a roaming radio's master ID, the clock) none.
TEST(GroupCompare, ReadBackMatchesAndEachDriftGivesItsLine) {
  struct Drift {
    const char* what;
    std::function<void(RadioSettings&)> change;
    std::string line;  // "" for none; the radio's model and roaming decide
  };
  const std::vector<Drift> drifts = {
      {"retries", [](RadioSettings& r) { r.retries = 34; }, "4,Pump house,Retries,33,34\n"},
      {"parity", [](RadioSettings& r) { r.parity = Parity::even; },
       "4,Pump house,Parity,Odd,Even\n"},
      {"flush time", [](RadioSettings& r) { r.group.flushTime = 7000; },
       "4,Pump house,Flush Time,600,700\n"},
      {"re-broadcast", [](RadioSettings& r) { r.group.reTXBroadcasts = YesNo::no; },
       "4,Pump house,ReTX Broadcasts,Yes,No\n"},
      {"master ID", [](RadioSettings& r) { r.masterID = 8; }, "4,Pump house,Master ID,9,8\n"},
      {"clock", [](RadioSettings& r) { r.currentTime = "01:02"; }, ""},
      {"PLC address", [](RadioSettings& r) { r.plcAddress = 18; },
       "4,Pump house,PLC Address,17,18\n"},
  };
  for (int model : {0, 1, 2}) {
    for (Roaming roaming : {Roaming::masterID, Roaming::allowed}) {
      const RadioSettings project = groupRadio(model, roaming);
      GroupReadCollector c({{4, project}});
      const RadioReading same = readThrough(c, 4, project);
      EXPECT_EQ(same.settings.model, model);
      EXPECT_EQ(lines(compareRadio(project, same, models())), "")
          << "model " << model << " roaming " << itemOf(roaming);
      for (const Drift& d : drifts) {
        SCOPED_TRACE(std::string(d.what) + " model " + std::to_string(model) + " roaming " +
                     std::to_string(itemOf(roaming)));
        RadioSettings radio = project;
        d.change(radio);
        std::string expected = d.line;
        if (d.what == std::string("master ID") && roaming == Roaming::allowed) expected = "";
        if (d.what == std::string("PLC address") && model != 0) expected = "";
        EXPECT_EQ(lines(compareRadio(project, readThrough(c, 4, radio), models())), expected);
      }
    }
  }
}

// The model a radio answers as is told by its identification and by whether
// model E's registers answer; a radio of another model is flagged and only
// the parameters both models hold are compared.
TEST(GroupCompare, WrongModelIsFlaggedAndSharedParametersCompared) {
  RadioSettings project = groupRadio(0, Roaming::masterID);
  RadioSettings radio = groupRadio(1, Roaming::masterID);
  radio.retries = 5;
  GroupReadCollector c({{4, project}});
  EXPECT_EQ(lines(compareRadio(project, readThrough(c, 4, radio), models())),
            "4,Pump house,Radio Model,Vireo E,Vireo Version 2\n"
            "4,Pump house,Retries,33,5\n");
  radio = groupRadio(2, Roaming::masterID);
  EXPECT_EQ(lines(compareRadio(project, readThrough(c, 4, radio), models())),
            "4,Pump house,Radio Model,Vireo E,Vireo Version 1\n");
}

// A radio whose read did not end is not taken as read; the questions the
// engine asks are answered from the reads and the project.
TEST(GroupCompare, CollectorKeepsOnlyCompleteReads) {
  RadioSettings master = groupRadio(1, Roaming::allowed);
  master.radioMode = RadioMode::master;
  master.radioID = 1;
  GroupReadCollector c({{1, master}, {4, groupRadio(1, Roaming::allowed)}});
  EXPECT_TRUE(c.isMaster(1));
  EXPECT_FALSE(c.isMaster(4));
  EXPECT_FALSE(c.exists(5));
  EXPECT_FALSE(c.markPolling(4));  // always the full map
  EXPECT_FALSE(c.markLocal(1));
  EXPECT_TRUE(c.isLocal(1));
  c.beginReplies();
  c.ApplyReply(param::retries, 7, "7");
  c.setRead(4, false);
  EXPECT_FALSE(c.wasRead(4));
  c.beginReplies();  // the engine moved on: the part read is dropped
  c.setRead(4, true);
  ASSERT_TRUE(c.wasRead(4));
  EXPECT_EQ(c.readings().at(4).settings.retries, RadioSettings().retries);
}

TEST(GroupCompare, CsvQuotesNamesAndValues) {
  CompareRow r;
  r.radio = 12;
  r.name = "Tank, \"north\"";
  r.parameter = kNoAnswer;
  EXPECT_EQ(compareCsvLine(r), "12,\"Tank, \"\"north\"\"\",No answer,,");
  EXPECT_EQ(compareCsvHeader(), "radio_id,name,parameter,project,radio");
}

// Taking a radio's values leaves nothing to differ, keeps what the radio
// does not report (its name) and takes its model.
TEST(GroupCompare, TakenValuesMatchTheRadioAndKeepWhatItDoesNotReport) {
  for (int model : {0, 1, 2}) {
    SCOPED_TRACE("model " + std::to_string(model));
    const RadioSettings project = groupRadio(model, Roaming::masterID);
    RadioSettings radio = project;
    radio.retries = 5;
    radio.masterID = 3;
    radio.group.flushTime = 9000;
    radio.group.blocked[0] = 0;
    if (model == 0) radio.plcAddress = 99;
    GroupReadCollector c({{4, project}});
    const RadioReading read = readThrough(c, 4, radio);
    ASSERT_NE(lines(compareRadio(project, read, models())), "");
    const RadioSettings taken = takenValues(project, read);
    EXPECT_EQ(lines(compareRadio(taken, read, models())), "");
    EXPECT_EQ(taken.name, "Pump house");
    EXPECT_EQ(taken.group.blocked[0], 0);
    EXPECT_EQ(taken.group.flushTime, 9000);
  }
  RadioSettings project = groupRadio(0, Roaming::masterID);
  GroupReadCollector c({{4, project}});
  EXPECT_EQ(takenValues(project, readThrough(c, 4, groupRadio(2, Roaming::masterID))).model, 2);
}

// The flush time and the blocked frequencies are compared in the tenths
// their registers hold, whatever text the project gives them; a radio's
// flush time shows with its tenths, and taking it keeps them.
TEST(GroupCompare, TenthsAreComparedAsTheRegistersHoldThem) {
  struct Case {
    int param;
    const char* project;
    const char* reply;  // the register's text as the radio answers it
    const char* line;   // "" for a match
  };
  const std::vector<Case> cases = {
      {param::flushTime, "1200.5", "12005", ""},
      {param::flushTime, "1200", "12005", "4,Pump house,Flush Time,1200,1200.5\n"},
      {param::flushTime, "1200.5", "12000", "4,Pump house,Flush Time,1200.5,1200\n"},
      {param::flushTime, "0", "0", ""},
      {param::flushTime, "", "0", ""},
      {param::flushTime, "0", "12000", "4,Pump house,Flush Time,0,1200\n"},
      {param::flushTime, "1200", "0", "4,Pump house,Flush Time,1200,0\n"},
      {param::blockedFreq1, "915.7", "9157", ""},
      {param::blockedFreq1, "915.7", "9158", "4,Pump house,Blocked Frequency 1,915.7,915.8\n"},
      {param::blockedFreq1, "", "0", ""},
      {param::blockedFreq1, "", "500", ""},  // 899 or less blocks nothing
      {param::blockedFreq1, "915.7", "0", "4,Pump house,Blocked Frequency 1,915.7,\n"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.project) + " against " + k.reply);
    RadioSettings project = groupRadio(0, Roaming::masterID);
    if (k.param == param::flushTime)
      project.group.flushTime = codec::tenthsOfText(k.project);
    else
      project.group.blocked[0] = codec::blockedOfText(k.project);
    GroupReadCollector c({{4, project}});
    c.beginReplies();
    c.ApplyReply(param::radioIdentity, 0, "V2.10");
    for (const codec::RegisterText& r : codec::registerImage(project))
      if (r.param != k.param) c.ApplyReply(r.param, std::atoi(r.text.c_str()), r.text);
    c.ApplyReply(k.param, std::atoi(k.reply), k.reply);
    c.setRead(4, true);
    const RadioReading& read = c.readings().at(4);
    EXPECT_EQ(lines(compareRadio(project, read, models())), k.line);
    const RadioSettings taken = takenValues(project, read);
    EXPECT_EQ(lines(compareRadio(taken, read, models())), "");
    // Taken, the flush time writes back what the radio holds, 0 too.
    if (k.param == param::flushTime) {
      EXPECT_EQ(std::to_string(taken.group.flushTime), k.reply);
    }
  }
}

// A refused register is a row of its own, the registers after it still
// compared; a refused identification leaves the model uncompared. A radio
// read twice in one round (a model-2 local radio: its pages, then dialled)
// keeps the blocked frequencies its pages gave.
TEST(GroupCompare, RefusedRegistersAreRowsAndASecondReadKeepsThePages) {
  const RadioSettings project = groupRadio(0, Roaming::masterID);
  RadioSettings radio = project;
  radio.parity = Parity::even;
  GroupReadCollector c({{4, project}});
  c.beginReplies();
  c.registerRefused(param::radioIdentity);
  for (const codec::RegisterText& r : codec::registerImage(radio)) {
    if (r.param == param::retries || r.param == param::masterLock)
      c.registerRefused(r.param);
    else if (r.param != param::emulationMode)  // a model E guessed from its other registers
      c.ApplyReply(r.param, std::atoi(r.text.c_str()), r.text);
  }
  c.setRead(4, true);
  EXPECT_EQ(lines(compareRadio(project, c.readings().at(4), models())),
            "4,Pump house,Radio Model,Vireo E,not read: refused\n"
            "4,Pump house,Retries,33,not read: refused\n"
            "4,Pump house,Parity,Odd,Even\n"
            "4,Pump house,Master ID,9,not read: refused\n");
  // Read again without its pages (no blocked frequencies reported).
  c.beginReplies();
  c.ApplyReply(param::radioIdentity, 0, "V2.10");
  for (const codec::RegisterText& r : codec::registerImage(project))
    if (r.param < param::blockedFreq1 || r.param > param::blockedFreq12)
      c.ApplyReply(r.param, std::atoi(r.text.c_str()), r.text);
  c.setRead(4, true);
  const RadioReading& again = c.readings().at(4);
  EXPECT_EQ(again.settings.group.blocked[0], 9157);
  EXPECT_EQ(lines(compareRadio(project, again, models())), "");
  RadioSettings moved = project;
  moved.group.blocked[0] = 9158;
  EXPECT_EQ(lines(compareRadio(moved, again, models())),
            "4,Pump house,Blocked Frequency 1,915.8,915.7\n");
}
