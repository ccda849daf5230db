#pragma once

#include <memory>
#include <string>

namespace tessel {

class AttachedCallbacks;
class TradioNumber;

// Where the read of a radio stands: the identification page asked next and
// the row of the radio's register map asked next, and what the replies mean
// for the radio under the cursor of the engine's current list.
class TregisterReader {
 public:
  static constexpr int kNoRow = -1000;  // the row is outside the radio's map

  TregisterReader(AttachedCallbacks& window, const std::shared_ptr<TradioNumber>& list)
      : window_(window), list_(list) {}

  // The pages "ATI1" to "ATI3" in turn; false once they were all asked (the
  // pages then start over).
  void startPages() { page_ = 1; }
  bool nextPage(std::string& command);
  // The identification line: it tells the model. While monitoring the model
  // waits to move to the local radio's own entry until page 1 tells its
  // number.
  void identification(const std::string& line, bool monitoring);
  // A line of an identification page: the registers it reports. Gives the
  // radio ID it told (register 1), -1 when it told none.
  int pageLine(const std::string& line, bool monitoring);

  // The register rows, asked one at a time.
  void startRows() { row_ = 0; }
  // Past the rows the pages carried (registers below 100).
  void skipPagedRows();
  // The register of the row asked next; kNoRow past the end of the map.
  int rowRegister();
  // The parameter of that row; -1 past the end of the map.
  int rowParameter();
  // Whether that row is the first of the map's model-E registers (above
  // 99): a radio refusing it has none of them.
  bool atFirstModelERow();
  // A register value read, or (register < 0) the identification line.
  void registerValue(const std::string& line, int reg, bool monitoring);
  // On to the next row: every row for a local read, else the next row the
  // radio can answer.
  void nextRow(bool everyRow);

  // The model of the radio under the cursor; -1 without one.
  int model() const;

 private:
  bool usePollMap();
  int lookupRegister(int reg);
  int current() const;

  AttachedCallbacks& window_;
  const std::shared_ptr<TradioNumber>& list_;
  int page_ = 1;
  int row_ = 0;
  // The entry that took the model of an identification while monitoring,
  // until page 1 tells which entry is the local radio's.
  struct PendingIdentification {
    int cursor = -1;  // -1: none pending
    int previousModel = -1;
    int model = -1;
  } identified_;
};

}  // namespace tessel
