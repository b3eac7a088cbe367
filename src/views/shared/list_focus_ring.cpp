#include "views/shared/list_focus_ring.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QPainter>

#include "views/shared/palette_colors.h"

namespace hl {

ListFocusRing* ListFocusRing::install(QAbstractScrollArea* list) { return new ListFocusRing(list); }

ListFocusRing::ListFocusRing(QAbstractScrollArea* list) : QWidget(list), list_(list) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setGeometry(list_->rect());
  list_->installEventFilter(this);
}

bool ListFocusRing::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_) {
    switch (event->type()) {
      case QEvent::Resize:
        setGeometry(list_->rect());
        break;
      case QEvent::FocusIn:
        // Above the viewport and the scroll bars, even those set after it was laid.
        raise();
        update();
        break;
      case QEvent::FocusOut:
        update();
        break;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void ListFocusRing::paintEvent(QPaintEvent*) {
  if (!list_->hasFocus()) return;
  QPainter painter(this);
  // Two pixels wide over the frame's own edge, square as the frame is.
  PaletteColors::drawFocusRing(painter, palette(), QRectF(rect()).adjusted(1, 1, -1, -1), 0);
}

}  // namespace hl
