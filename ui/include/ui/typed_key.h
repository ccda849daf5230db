#pragma once

#include <Qt>

class QKeyEvent;

namespace tessel {

// The character a key press types, as the entry rules take it: Escape and
// Backspace as their control characters, other text by its first Latin-1
// byte ('?' where it has none). 0 for a key that types nothing the rules
// judge (moving, deleting, the clipboard; Return and Enter too where
// enterPasses, so a dialog's default button still answers): such a key goes
// to the field untouched, and what a paste brings is filtered on arrival.
char typedKey(const QKeyEvent* key, bool enterPasses);

// Focus that goes to a menu, the menu bar or another window, or comes back
// from one, does not leave or enter the field: its rules do not run, so
// opening a menu over a field holding a refused value asks nothing.
bool focusOutsideTheForm(Qt::FocusReason reason);

}  // namespace tessel
