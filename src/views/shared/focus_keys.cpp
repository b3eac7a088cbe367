#include "views/shared/focus_keys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QRadioButton>

namespace hl::FocusKeys {

bool pressFocusedButton(const QKeyEvent& event) {
  if (event.key() != Qt::Key_Return && event.key() != Qt::Key_Enter) return false;
  if ((event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
  auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
  if (!button || !button->isVisible() || !button->isEnabled()) return false;
  if (qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button)) return false;
  if (qobject_cast<QDialog*>(button->window())) return false;
  button->click();
  return true;
}

bool openFocusedMenu(const QKeyEvent& event) {
  if (event.key() != Qt::Key_F10 ||
      (event.modifiers() & ~Qt::KeypadModifier) != Qt::ShiftModifier) {
    return false;
  }
  QWidget* focus = QApplication::focusWidget();
  if (!focus) return true;
  // Where the Menu key puts it: at the text cursor of a field, else in the control's middle;
  // lists open it at their current row themselves.
  QPoint at = focus->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
  if (!focus->rect().contains(at)) at = focus->rect().center();
  QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, focus->mapToGlobal(at),
                         event.modifiers());
  QApplication::sendEvent(focus, &menu);
  return true;
}

}  // namespace hl::FocusKeys
