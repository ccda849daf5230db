#pragma once

#include <functional>
#include <string>
#include <vector>

#include "seams/prompts.h"

namespace tessel {

// The message boxes the engine shows. While one is up (a modal box runs
// the GUI's event loop) the engine's own events must not run inside it: a
// tick or received bytes that come meanwhile are held, and run in the order
// they came once the box is closed, before show() returns.
class PromptGate : public Prompts {
 public:
  enum class Event { Tick, Received };

  PromptGate(Prompts& prompts, std::function<void(Event)> run)
      : prompts_(prompts), run_(std::move(run)) {}

  bool isOpen() const { return depth_ > 0; }
  // True when event has to wait for the box; it is then held (once).
  bool hold(Event event);
  PromptButton show(PromptIcon icon, const std::string& text, PromptButtons buttons) override;

 private:
  Prompts& prompts_;
  std::function<void(Event)> run_;
  int depth_ = 0;
  std::vector<Event> held_;
};

}  // namespace tessel
