#include "model/group_compare.h"

#include "model/catalogue.h"
#include "model/parameter_table.h"
#include "model/poll_readings.h"
#include "model/project.h"
#include "model/project_keys.h"
#include "model/radio_codec.h"
#include "model/text.h"

#include <cstdlib>

namespace tessel {

namespace {

bool isBlocked(int p) {
  return p >= param::blockedFreq1 && p <= param::blockedFreq12;
}

std::string choiceText(int p, int item) {
  const ProjectKey* k = keyOf(p);
  return k ? fileTextOf(*k, item) : std::string();
}

std::string modelText(const BrandModels& models, int m) {
  return m >= 0 && m < kModelCount ? models.names[static_cast<size_t>(m)] : std::string();
}

// Compared in the tenths their registers hold.
bool inTenths(int p) {
  return p == param::flushTime || isBlocked(p);
}

// A register's tenths as a number's text; a blocked entry of 899 or less is
// none, as a radio takes it.
std::string tenths(int p, const std::string& text) {
  int v = 0;
  if (!parseInt32(text, v)) return trimBlanks(text);
  if (isBlocked(p) && v <= 899) v = 0;
  return std::to_string(v);
}

// Tenths as the project writes seconds: 12005 is "1200.5", 12000 "1200".
std::string secondsOfTenths(const std::string& text) {
  int v = 0;
  if (!parseInt32(text, v) || v < 0) return trimBlanks(text);
  return std::to_string(v / 10) + (v % 10 ? "." + std::to_string(v % 10) : std::string());
}

// The lock register's reply is the master ID's.
int reportedAs(int p) {
  return p == param::masterLock ? param::masterID : p;
}

// What only the pages give (the blocked frequencies) is kept from an
// earlier read of the same radio when a later one lacks it.
void keepPagedValues(RadioReading& later, const RadioReading& earlier) {
  for (int p = param::blockedFreq1; p <= param::blockedFreq12; ++p) {
    if (!earlier.reported.count(p) || later.reported.count(p) || later.refused.count(p)) continue;
    const size_t i = static_cast<size_t>(p - param::blockedFreq1);
    later.settings.group.blocked[i] = earlier.settings.group.blocked[i];
    later.reported.insert(p);
    auto text = earlier.registers.find(p);
    if (text != earlier.registers.end()) later.registers[p] = text->second;
  }
}

bool holds(int model, int p) {
  for (const RegisterRow& row : registerMap(model))
    if (row.param == p) return true;
  // Models 0 and 1 keep the master ID in the lock register.
  return p == param::masterID && model != 2;
}

}  // namespace

std::string parameterCaption(int p) {
  const std::string caption = parameterOf(p).caption;
  if (isBlocked(p)) return caption + " " + std::to_string(p - param::blockedFreq1 + 1);
  return caption;
}

std::string parameterText(const RadioSettings& s, int p) {
  if (std::optional<std::string> text = codec::sameInBothForms(s, p)) return *text;
  const GroupSettings& g = s.group;
  if (isBlocked(p))
    return codec::blockedText(g.blocked[static_cast<size_t>(p - param::blockedFreq1)]);
  switch (p) {
    case param::flushTime:
      return codec::flushTimeText(g.flushTime);
    case param::reTXBroadcasts:
      return choiceText(p, itemOf(g.reTXBroadcasts));
    case param::repeaters:
      return choiceText(p, itemOf(g.repeaters));
    case param::radioMode:
      return choiceText(p, itemOf(s.radioMode));
    case param::roaming:
      return choiceText(p, itemOf(s.roaming));
    case param::protocol:
      return choiceText(p, itemOf(s.protocol));
    case param::bufferMode:
      return choiceText(p, itemOf(s.bufferMode));
    case param::emulationMode:
      return choiceText(p, s.emulationMode);
    case param::sleepMode:
      return choiceText(p, s.sleepMode);
    case param::parity:
      return choiceText(p, itemOf(s.parity));
    case param::handShaking:
      return choiceText(p, itemOf(s.handShaking));
    default:
      return std::string();
  }
}

std::vector<int> comparedParameters(const RadioSettings& s) {
  std::vector<int> out;
  for (const RegisterRow& row : registerMap(s.model)) {
    const int p = row.param;
    // The blocked frequencies are not read one by one, yet a local radio's
    // register pages give them.
    if (row.access != raReadWrite && !isBlocked(p)) continue;
    if (p < 0 || p == param::fixedN || p == param::currentTime || p == param::masterLock ||
        p == param::masterID)
      continue;
    out.push_back(p);
  }
  // A master or a roaming radio keeps whatever master ID it found.
  if (s.radioMode != RadioMode::master && s.roaming == Roaming::masterID)
    out.push_back(param::masterID);
  return out;
}

ReadVerdict readVerdict(const RadioSettings& project, const RadioReading& radio, int p) {
  if (radio.refused.count(p)) return ReadVerdict::Refused;
  if (!radio.reported.count(p)) return ReadVerdict::NotReported;
  const std::string want = parameterText(project, p);
  auto text = radio.registers.find(p);
  const bool same = inTenths(p) && text != radio.registers.end()
                        ? tenths(p, MhzToRegister(want)) == tenths(p, text->second)
                        : trimBlanks(want) == trimBlanks(parameterText(radio.settings, p));
  return same ? ReadVerdict::Same : ReadVerdict::Differs;
}

std::string readText(const RadioReading& radio, int p) {
  auto text = radio.registers.find(p);
  if (p == param::flushTime && text != radio.registers.end()) return secondsOfTenths(text->second);
  return trimBlanks(parameterText(radio.settings, p));
}

std::vector<CompareRow> compareRadio(const RadioSettings& project, const RadioReading& radio,
                                     const BrandModels& models) {
  std::vector<CompareRow> rows;
  const RadioSettings& got = radio.settings;
  auto row = [&](CompareRow::Kind kind, std::string parameter, std::string a, std::string b) {
    CompareRow r;
    r.kind = kind;
    r.radio = std::max(project.radioID, 0);
    r.name = project.name;
    r.parameter = std::move(parameter);
    r.project = std::move(a);
    r.radioValue = std::move(b);
    rows.push_back(std::move(r));
  };
  // Without its identification a radio's model is a guess: not compared.
  if (radio.refused.count(param::radioIdentity))
    row(CompareRow::Kind::NotRead, models.modelKey, modelText(models, project.model), kRefused);
  else if (got.model != project.model)
    row(CompareRow::Kind::WrongModel, models.modelKey, modelText(models, project.model),
        modelText(models, got.model));
  for (int p : comparedParameters(project)) {
    const std::string a = trimBlanks(parameterText(project, p));
    switch (readVerdict(project, radio, p)) {
      case ReadVerdict::Refused:
        row(CompareRow::Kind::NotRead, parameterCaption(p), a, kRefused);
        break;
      case ReadVerdict::Differs:
        if (holds(got.model, p))
          row(CompareRow::Kind::Differs, parameterCaption(p), a, readText(radio, p));
        break;
      default:
        break;
    }
  }
  return rows;
}

RadioSettings projectSettings(Tproject& project, int slot, const BrandModels&) {
  RadioSettings s = project.radioSettings(slot);
  s.group = project.group();
  return s;
}

std::string compareCsvHeader() {
  return "radio_id,name,parameter,project,radio";
}

std::string compareCsvLine(const CompareRow& r) {
  return std::to_string(r.radio) + "," + csvField(r.name) + "," + csvField(r.parameter) + "," +
         csvField(r.project) + "," + csvField(r.radioValue);
}

GroupReadCollector::GroupReadCollector(std::map<int, RadioSettings> project)
    : project_(std::move(project)) {}

bool GroupReadCollector::isMaster(int radio) {
  auto read = readings_.find(radio);
  if (read != readings_.end()) return read->second.settings.radioMode == RadioMode::master;
  auto p = project_.find(radio);
  return p != project_.end() && p->second.radioMode == RadioMode::master;
}

bool GroupReadCollector::markPolling(int) {
  return false;  // every radio is read in full
}

void GroupReadCollector::beginReplies() {
  current_ = RadioReading{};
  identified2_ = false;
}

bool GroupReadCollector::ApplyReply(int p, int value, const std::string& text) {
  if (p == param::radioIdentity) {
    // The identification names model 2; models 0 and 1 tell apart by
    // whether the model-E registers answer.
    identified2_ = value == 2;
    current_.settings.model = identified2_ ? 2 : 0;
    return true;
  }
  if (!codec::applyRegister(current_.settings, p, value, text)) return false;
  const int as = reportedAs(p);
  current_.reported.insert(as);
  current_.registers[as] = text;
  current_.refused.erase(as);
  return true;
}

void GroupReadCollector::registerRefused(int p) {
  current_.refused.insert(reportedAs(p));
}

bool GroupReadCollector::setRead(int radio, bool read) {
  if (!read || radio < 0) return false;
  RadioReading done = current_;
  bool modelE = false;
  for (int p : done.reported)
    if (p >= param::emulationMode) modelE = true;
  done.settings.model = identified2_ ? 2 : modelE ? 0 : 1;
  auto earlier = readings_.find(radio);
  if (earlier != readings_.end()) keepPagedValues(done, earlier->second);
  readings_[radio] = std::move(done);
  current_ = RadioReading{};
  if (onRead) onRead(radio);
  return false;
}

void GroupReadCollector::setReading(int radio, const RadioReading* reading) {
  if (reading)
    readings_[radio] = *reading;
  else
    readings_.erase(radio);
}

bool GroupReadCollector::markLocal(int radio) {
  const bool was = local_ >= 0 && local_ == radio;
  local_ = radio;
  return was;
}

GroupCompareRun::GroupCompareRun(Tproject& project, const BrandModels& models,
                                 const std::set<int>& only)
    : models_(models) {
  for (const TpollEntry& e : project.BuildPollList(true)) {
    RadioSettings s = projectSettings(project, e.radio, models);
    const bool asked = only.empty() || only.count(e.radio);
    if (!asked && s.radioMode != RadioMode::master) continue;
    settings_[e.radio] = s;
    list_.push_back(e);
    if (asked) shown_.push_back(e.radio);
  }
  for (int id : only)
    if (!settings_.count(id)) unknown_.push_back(id);
  reader_.setProject(settings_);
}

void GroupCompareRun::dialling(int radio) {
  if (radio < 0) return;
  // The engine moves on from a radio that does not answer its dial (or
  // stops answering): the one it left unread is silent.
  if (lastDialled_ >= 0 && radio != lastDialled_ && !reader_.wasRead(lastDialled_))
    silent_.insert(lastDialled_);
  lastDialled_ = radio;
}

bool GroupCompareRun::complete() const {
  return position() == count();
}

int GroupCompareRun::position() const {
  int n = 0;
  for (const TpollEntry& e : list_)
    if (reader_.wasRead(e.radio) || silent_.count(e.radio)) ++n;
  return n;
}

void GroupCompareRun::reloadProject(Tproject& project) {
  for (auto& [id, s] : settings_) s = projectSettings(project, id, models_);
  reader_.setProject(settings_);
}

void GroupCompareRun::takeRadio(const GroupCompareRun& later, int radio) {
  if (const RadioSettings* s = later.projectRadio(radio)) settings_[radio] = *s;
  reader_.setProject(settings_);
  reader_.setReading(radio, later.reading(radio));
  if (later.reading(radio) || !later.silent(radio))
    silent_.erase(radio);
  else
    silent_.insert(radio);
}

const RadioSettings* GroupCompareRun::projectRadio(int radio) const {
  auto it = settings_.find(radio);
  return it == settings_.end() ? nullptr : &it->second;
}

const RadioReading* GroupCompareRun::reading(int radio) const {
  auto it = reader_.readings().find(radio);
  return it == reader_.readings().end() ? nullptr : &it->second;
}

std::vector<CompareRow> GroupCompareRun::rows() const {
  std::vector<CompareRow> out;
  for (int id : shown_) {
    const RadioSettings& s = settings_.at(id);
    const RadioReading* read = reading(id);
    if (!read) {
      CompareRow row;
      row.kind = CompareRow::Kind::Silent;
      row.radio = id;
      row.name = s.name;
      row.parameter = kNoAnswer;
      out.push_back(row);
      continue;
    }
    for (CompareRow& row : compareRadio(s, *read, models_)) {
      row.radio = id;
      out.push_back(std::move(row));
    }
  }
  return out;
}

RadioSettings takenValues(const RadioSettings& project, const RadioReading& radio) {
  RadioSettings t = project;
  const RadioSettings& got = radio.settings;
  t.model = got.model;
  for (int p : radio.reported) {
    if (p == param::masterID) {
      t.masterID = got.masterID;
      continue;
    }
    const std::string text = codec::registerText(got, p, got.model == 2);
    int value = -1;
    try {
      size_t used = 0;
      value = std::stoi(text, &used);
      if (used != text.size()) value = -1;
    } catch (...) {
      value = -1;
    }
    codec::applyRegister(t, p, value, text);
  }
  // Its register's tenths, which the reply's decoding drops.
  if (radio.reported.count(param::flushTime))
    t.group.flushTime = codec::tenthsOfText(readText(radio, param::flushTime));
  return t;
}

bool writeTaken(Tproject& project, int slot, const RadioSettings& s, const BrandModels&) {
  Tproject::Batch batch(project);
  const bool ok = project.storeRadio(slot, s);
  return project.storeGroupValues(s.group) && ok;
}

bool writeGroupValues(Tproject& project, const GroupSettings& g) {
  return project.storeGroupValues(g);
}

}  // namespace tessel
