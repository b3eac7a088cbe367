#include "views/shared/hover_button.h"

#include <QEnterEvent>
#include <QEvent>
#include <QFocusEvent>

namespace hl {

bool HoverButton::isKeyboardReason(Qt::FocusReason reason) {
  return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
         reason == Qt::ShortcutFocusReason;
}

void HoverButton::enterEvent(QEnterEvent* event) {
  QAbstractButton::enterEvent(event);
  setHovered(isEnabled());
}

void HoverButton::leaveEvent(QEvent* event) {
  QAbstractButton::leaveEvent(event);
  setHovered(false);
}

void HoverButton::changeEvent(QEvent* event) {
  QAbstractButton::changeEvent(event);
  if (event->type() == QEvent::EnabledChange && !isEnabled()) setHovered(false);
}

void HoverButton::hideEvent(QHideEvent* event) {
  QAbstractButton::hideEvent(event);
  setHovered(false);
}

void HoverButton::focusInEvent(QFocusEvent* event) {
  keyboardFocus_ = isKeyboardReason(event->reason());
  QAbstractButton::focusInEvent(event);
}

void HoverButton::focusOutEvent(QFocusEvent* event) {
  keyboardFocus_ = false;
  QAbstractButton::focusOutEvent(event);
}

void HoverButton::setHovered(bool hovered) {
  if (hovered_ == hovered) return;
  hovered_ = hovered;
  hoverChanged();
}

}  // namespace hl
