#pragma once

#include <string>

namespace tessel {

// The icon of a modal message box.
enum class PromptIcon { Information, Warning, Error, Question };

// Buttons of a modal message box; a set of them is an or-ed mask.
enum PromptButton : unsigned {
  pbNone = 0,
  pbOk = 1u << 0,
  pbCancel = 1u << 1,
  pbYes = 1u << 2,
  pbNo = 1u << 3,
  pbAbort = 1u << 4,
  pbRetry = 1u << 5,
  pbIgnore = 1u << 6,
  // Not a button: the refusal (Cancel, else No) is the default, so Enter
  // does not act on a question that guards against a mistake.
  pbRefusalIsDefault = 1u << 7,
};
using PromptButtons = unsigned;

// Modal message boxes. The GUI shows a real box; the headless front end and
// the tests answer from a script. The call returns only when the user chose.
class Prompts {
 public:
  virtual ~Prompts() = default;
  // Shows text with the icon and the buttons; returns the button pressed
  // (one of the bits of buttons).
  virtual PromptButton show(PromptIcon icon, const std::string& text, PromptButtons buttons) = 0;
};

}  // namespace tessel
