#include "views/shared/placeholder_overlay.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QWidget>

namespace hl {

PlaceholderOverlay::PlaceholderOverlay(QAbstractScrollArea* list, QWidget* placeholder)
    : QObject(list), list_(list), placeholder_(placeholder) {
  placeholder_->setParent(list_->viewport());
  placeholder_->hide();
  list_->viewport()->installEventFilter(this);
}

void PlaceholderOverlay::setShown(bool shown) {
  shown_ = shown;
  if (!placeholder_) return;
  fit();
  placeholder_->setVisible(shown);
  if (shown) placeholder_->raise();
}

bool PlaceholderOverlay::isShown() const { return shown_; }

bool PlaceholderOverlay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_->viewport() && event->type() == QEvent::Resize) fit();
  return QObject::eventFilter(watched, event);
}

void PlaceholderOverlay::fit() {
  if (placeholder_) placeholder_->setGeometry(list_->viewport()->rect());
}

}  // namespace hl
