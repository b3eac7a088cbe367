#include "views/shell/sidebar_resize_handle.h"

#include <QMouseEvent>
#include <algorithm>
#include <cmath>

#include "viewmodels/settings_store.h"
#include "views/shared/text.h"
#include "views/shell/window_sizing.h"

namespace hl {

SidebarResizeHandle::SidebarResizeHandle(SettingsStore& settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
  setObjectName(QStringLiteral("sidebarResizeHandle"));
  setAttribute(Qt::WA_NoSystemBackground);
  setCursor(Qt::SplitHCursor);
  setHelp(this, QStringLiteral("Drag to resize the sidebar"));
  setAccessibleName(QStringLiteral("Drag to resize the sidebar"));
  setFixedWidth(stripWidth);
}

double SidebarResizeHandle::draggedWidth(double startWidth, double dx) {
  return std::clamp(startWidth + dx, WindowSizing::minimumSidebar, WindowSizing::maximumSidebar);
}

void SidebarResizeHandle::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  pressX_ = event->globalPosition().x();
  startWidth_.reset();
  event->accept();
}

void SidebarResizeHandle::mouseMoveEvent(QMouseEvent* event) {
  if (!pressX_) return;
  const double dx = event->globalPosition().x() - *pressX_;
  // A drag begins once the pointer has moved a whole point.
  if (!startWidth_ && std::abs(dx) < 1) return;
  if (!startWidth_) startWidth_ = settings_.sidebarWidth();
  settings_.setSidebarWidth(draggedWidth(*startWidth_, dx));
  event->accept();
}

void SidebarResizeHandle::mouseReleaseEvent(QMouseEvent* event) {
  pressX_.reset();
  startWidth_.reset();
  event->accept();
}

}  // namespace hl
