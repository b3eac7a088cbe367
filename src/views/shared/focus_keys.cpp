#include "views/shared/focus_keys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
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

}  // namespace hl::FocusKeys
