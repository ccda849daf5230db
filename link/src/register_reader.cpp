#include "link/register_reader.h"

#include "link/attached_callbacks.h"
#include "link/dump_line.h"
#include "link/radio_number.h"
#include "model/catalogue.h"
#include "text_util.h"

namespace tessel {

int TregisterReader::current() const {
  return list_ ? list_->CurrentNumber() : -1;
}

int TregisterReader::model() const {
  return list_ ? list_->CurrentModel() : -1;
}

// Asked at every row: the answer can change when a radio tells its number,
// and asking again renews the node's reading mark.
bool TregisterReader::usePollMap() {
  return window_.markPolling(current());
}

int TregisterReader::rowRegister() {
  const auto& map = mapFor(model(), usePollMap());
  if (row_ < 0 || row_ >= static_cast<int>(map.size())) return kNoRow;
  return map[row_].reg;
}

int TregisterReader::rowParameter() {
  const auto& map = mapFor(model(), usePollMap());
  if (row_ < 0 || row_ >= static_cast<int>(map.size())) return -1;
  return map[row_].param;
}

bool TregisterReader::atFirstModelERow() {
  const auto& map = mapFor(model(), usePollMap());
  if (row_ < 0 || row_ >= static_cast<int>(map.size()) || map[row_].reg <= 99) return false;
  for (int r = 0; r < row_; ++r)
    if (map[r].reg > 99) return false;
  return true;
}

int TregisterReader::lookupRegister(int reg) {
  return parameterFor(reg, model(), usePollMap());
}

bool TregisterReader::nextPage(std::string& command) {
  if (page_ > 3) {
    page_ = 1;
    return false;
  }
  row_ = 0;
  command = "ATI" + std::to_string(page_);
  ++page_;
  return true;
}

void TregisterReader::identification(const std::string& line, bool monitoring) {
  int found = text::contains(line, "1.14") ? 2 : 0;
  window_.applyIdentification(found == 2 ? 2 : 1, line);
  if (!list_) return;
  identified_ = {};
  if (monitoring) identified_ = {list_->Cursor(), list_->CurrentModel(), found};
  list_->SetModel(found);
}

int TregisterReader::pageLine(const std::string& line, bool monitoring) {
  int told = -1;
  for (const DumpValue& v : parseDumpLine(line)) {
    window_.applyRegister(lookupRegister(v.reg), v.value, v.text);
    if (v.reg == 1) told = v.value;
    if (v.reg == 1 && monitoring && list_ && v.value >= 0) {
      // The local radio told its number: the cycle goes on from there. A
      // number not in the list is ignored.
      int radio = v.value;
      const PendingIdentification id = identified_;
      identified_ = {};
      if (list_->Seek([radio](int r) { return r == radio; })) {
        if (id.cursor >= 0 && id.cursor != list_->Cursor()) {
          list_->SetModelAt(id.cursor, id.previousModel);
          list_->SetModel(id.model);
        }
        window_.setRead(radio, false);
      }
    }
  }
  return told;
}

void TregisterReader::skipPagedRows() {
  row_ = 0;
  bool poll = usePollMap();
  int m = model();
  const auto& map = mapFor(m, poll);
  while (row_ < static_cast<int>(map.size()) && map[row_].reg <= 99)
    row_ = nextReadableRow(row_, m, poll);
}

void TregisterReader::registerValue(const std::string& line, int reg, bool monitoring) {
  if (reg >= 0)
    window_.applyRegister(lookupRegister(reg), replyNumber(line), line);
  else
    identification(line, monitoring);
}

void TregisterReader::nextRow(bool everyRow) {
  if (everyRow) {
    ++row_;
    return;
  }
  const int m = model();
  const bool poll = usePollMap();
  row_ = nextReadableRow(row_, m, poll);
  // A model 2 has no supply volts or temperature (S16, S17), yet the poll
  // rows are alike for every model. Their ERROR would end the poll as a
  // failure and, for the local radio, start the round over at itself, so a
  // model-2 poll leaves out registers its own map lacks. (Models 0 and 1
  // answer every poll row, S12 too.)
  if (m == 2 && poll) {
    for (int r = rowRegister(); r != kNoRow && parameterFor(r, m, false) < 0; r = rowRegister())
      row_ = nextReadableRow(row_, m, poll);
  }
}

}  // namespace tessel
