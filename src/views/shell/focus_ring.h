#pragma once

#include <Qt>

namespace hl {

// Whether focus that arrived for this reason is drawn: a ring marks where the keyboard is, so
// it shows for focus moved by the keyboard, not for a click or a window that opens.
inline bool isKeyboardReason(Qt::FocusReason reason) {
  return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
         reason == Qt::ShortcutFocusReason;
}

}  // namespace hl
