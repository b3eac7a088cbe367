#include "views/shared/button_pair.h"

#include <QWidget>

namespace hl {

void setEnabledHandingOver(QWidget* a, bool aOn, QWidget* b, bool bOn) {
  if (aOn) a->setEnabled(true);
  if (bOn) b->setEnabled(true);
  const auto handOver = [](QWidget* from, QWidget* to) {
    // The window's own focus widget: the window may not be active (a dialog over it).
    if (to->isEnabled() && to->isVisible() && from->window()->focusWidget() == from) {
      to->setFocus(Qt::OtherFocusReason);
    }
  };
  if (!aOn) {
    handOver(a, b);
    a->setEnabled(false);
  }
  if (!bOn) {
    handOver(b, a);
    b->setEnabled(false);
  }
}

}  // namespace hl
