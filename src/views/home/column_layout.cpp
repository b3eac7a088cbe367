#include "views/home/column_layout.h"

#include <algorithm>

namespace hl {

double ColumnLayout::fixedWidth(bool showModified, bool showSizeBar) {
  return 164 + (showSizeBar ? 72 : 0) + (showModified ? 108 : 0);
}

ColumnLayout::ColumnLayout(double w) : width(w) {
  showModified = w >= 820;
  showSizeBar = w >= 700;
  const double rest = std::max(0.0, w - fixedWidth(showModified, showSizeBar));
  double statusWidth = std::min(std::max(0.4 * rest, 180.0), 300.0);
  if (rest - statusWidth < 220) statusWidth = std::max(rest - 220, 120.0);
  statusWidth = std::min(statusWidth, rest);
  status = statusWidth;
  name = rest - statusWidth;
  maxTags = (w >= 700 && status >= 180) ? 2 : 1;
}

}  // namespace hl
