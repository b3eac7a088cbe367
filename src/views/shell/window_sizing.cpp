#include "views/shell/window_sizing.h"

#include <algorithm>

namespace hl::WindowSizing {

QRectF defaultFrame(const QRectF& visible) {
  const double width = std::min(
      visible.width(), std::clamp(0.86 * visible.width(), double(minimumSize.width()), 1440.0));
  const double height = std::min(
      visible.height(), std::clamp(0.86 * visible.height(), double(minimumSize.height()), 900.0));
  const QPointF centre = visible.center();
  return {centre.x() - width / 2, centre.y() - height / 2, width, height};
}

ColumnWidths columnWidths(double offeredWidth, double storedSidebarWidth) {
  if (offeredWidth < wideThreshold) return {narrowSidebar, narrowRightPanel};
  return {storedSidebarWidth, wideRightPanel};
}

}  // namespace hl::WindowSizing
