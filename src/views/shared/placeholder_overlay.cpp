#include "views/shared/placeholder_overlay.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QWidget>

namespace hl {

PlaceholderOverlay::PlaceholderOverlay(QAbstractScrollArea* list, QWidget* placeholder)
    : QObject(list), viewport_(list->viewport()), placeholder_(placeholder) {
  placeholder_->setParent(viewport_);
  placeholder_->hide();
  viewport_->installEventFilter(this);
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
  if (watched == viewport_ && event->type() == QEvent::Resize) fit();
  return QObject::eventFilter(watched, event);
}

void PlaceholderOverlay::fit() {
  if (placeholder_ && viewport_) placeholder_->setGeometry(viewport_->rect());
}

}  // namespace hl
