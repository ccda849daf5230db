#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "seams/prompts.h"

namespace tessel::testing {

// Message boxes answered from a script; every box shown is recorded. With the
// script empty the first offered button of preference is pressed.
class PromptScript : public Prompts {
 public:
  struct Shown {
    PromptIcon icon;
    std::string text;
    PromptButtons buttons;
  };

  PromptButton show(PromptIcon icon, const std::string& text, PromptButtons buttons) override {
    shown.push_back({icon, text, buttons});
    if (whileOpen) whileOpen();
    if (!answers.empty()) {
      PromptButton b = answers.front();
      answers.pop_front();
      return b;
    }
    for (PromptButton b : preference)
      if (buttons & b) return b;
    return pbNone;
  }

  std::vector<std::string> texts() const {
    std::vector<std::string> t;
    for (const auto& s : shown) t.push_back(s.text);
    return t;
  }

  std::deque<PromptButton> answers;
  std::vector<PromptButton> preference{pbAbort, pbOk, pbYes};
  // Runs while a box is open (events the GUI would handle meanwhile).
  std::function<void()> whileOpen;
  std::vector<Shown> shown;
};

}  // namespace tessel::testing
