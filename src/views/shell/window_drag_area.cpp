#include "views/shell/window_drag_area.h"

#include <QMouseEvent>
#include <QWindow>

namespace hl {

WindowDragArea::WindowDragArea(QWidget* parent) : QWidget(parent) {
  // Takes presses over its whole rectangle, though it draws nothing.
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_TranslucentBackground);
}

void WindowDragArea::mousePressEvent(QMouseEvent* event) {
  startedMove_ = false;
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  if (QWindow* handle = window()->windowHandle()) startedMove_ = handle->startSystemMove();
  event->accept();
}

}  // namespace hl
