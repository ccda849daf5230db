#include "ui/typed_key.h"

#include <QKeyEvent>
#include <QKeySequence>

#include "model/entry_rules.h"

namespace tessel {

char typedKey(const QKeyEvent* key, bool enterPasses) {
  if (key->key() == Qt::Key_Escape) return kEscapeKey;
  if (key->key() == Qt::Key_Backspace) return kBackspaceKey;
  if (key->text().isEmpty() || key->matches(QKeySequence::Paste) ||
      key->matches(QKeySequence::Cut) || key->matches(QKeySequence::Copy) ||
      key->matches(QKeySequence::SelectAll) || key->matches(QKeySequence::Undo) ||
      key->matches(QKeySequence::Redo) || key->key() == Qt::Key_Tab ||
      key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Delete)
    return 0;
  if (enterPasses && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) return 0;
  const QByteArray bytes = key->text().toLatin1();
  return bytes.isEmpty() ? '?' : bytes.at(0);
}

bool focusOutsideTheForm(Qt::FocusReason reason) {
  return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
         reason == Qt::MenuBarFocusReason;
}

}  // namespace tessel
