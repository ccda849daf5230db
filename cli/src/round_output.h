#pragma once

// What the rounds of tessel-cli's monitor and compare print beside their
// CSV: each radio once a round, and a lost link on the error stream.
#include <map>
#include <ostream>
#include <string>

#include "link/tcom_port.h"

namespace tessel::cli {

// A model-1 local radio is read by its pages, then again when the round
// dials it: the monitor prints one line a round.
class OncePerRound {
 public:
  bool first(int radio, int round) {
    auto [it, fresh] = printedIn_.emplace(radio, round);
    if (!fresh && it->second == round) return false;
    it->second = round;
    return true;
  }

 private:
  std::map<int, int> printedIn_;  // radio ID -> the round its last line was printed in
};

// A link to a radio that dropped while the rounds went on, on the error
// stream; listening while it lives.
class DropNotice : public LinkObserver {
 public:
  DropNotice(TcomPort& engine, std::ostream& err) : engine_(engine), err_(err) {
    engine_.addObserver(this);
  }
  ~DropNotice() override { engine_.removeObserver(this); }
  void linkDropped(int, const std::string& message) override {
    err_ << "tessel-cli: " << message << std::endl;
  }

 private:
  TcomPort& engine_;
  std::ostream& err_;
};

}  // namespace tessel::cli
