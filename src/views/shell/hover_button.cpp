#include "views/shell/hover_button.h"

#include <QEnterEvent>
#include <QFocusEvent>

namespace hl {

bool HoverButton::isKeyboardReason(Qt::FocusReason reason) {
  return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
         reason == Qt::ShortcutFocusReason;
}

void HoverButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void HoverButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void HoverButton::focusInEvent(QFocusEvent* event) {
  keyboardFocus_ = isKeyboardReason(event->reason());
  QAbstractButton::focusInEvent(event);
}

void HoverButton::focusOutEvent(QFocusEvent* event) {
  keyboardFocus_ = false;
  QAbstractButton::focusOutEvent(event);
}

}  // namespace hl
