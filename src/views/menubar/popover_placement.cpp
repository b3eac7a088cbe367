#include "views/menubar/popover_placement.h"

#include <algorithm>

namespace hl::PopoverPlacement {

namespace {

// `start` moved inside [low, high - length], or to `low` when it cannot fit at all.
int clampInto(int start, int length, int low, int high) {
  return std::max(low, std::min(start, high - length));
}

}  // namespace

QPoint topLeft(const QRect& anchor, const QSize& size, const QRect& available) {
  const bool below = anchor.center().y() < available.center().y();
  const int y = below ? anchor.bottom() + 1 + gap : anchor.top() - gap - size.height();
  const int x = anchor.center().x() - size.width() / 2;
  return {clampInto(x, size.width(), available.left(), available.right() + 1),
          clampInto(y, size.height(), available.top(), available.bottom() + 1)};
}

}  // namespace hl::PopoverPlacement
