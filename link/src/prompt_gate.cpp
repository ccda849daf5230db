#include "link/prompt_gate.h"

#include <algorithm>

namespace tessel {

bool PromptGate::hold(Event event) {
  if (!isOpen()) return false;
  if (std::find(held_.begin(), held_.end(), event) == held_.end()) held_.push_back(event);
  return true;
}

PromptButton PromptGate::show(PromptIcon icon, const std::string& text, PromptButtons buttons) {
  ++depth_;
  const PromptButton answer = prompts_.show(icon, text, buttons);
  --depth_;
  // A held event may show a box of its own; what comes during that one is
  // held again and runs here too.
  while (!held_.empty() && !isOpen()) {
    const Event next = held_.front();
    held_.erase(held_.begin());
    run_(next);
  }
  return answer;
}

}  // namespace tessel
