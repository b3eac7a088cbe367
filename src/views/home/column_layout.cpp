#include "views/home/column_layout.h"

#include <algorithm>

namespace hl {

double ColumnLayout::fixedWidth(bool showModified, bool showSizeBar, double sizeText) {
  return 2 * sidePadding + leadingColumn + 3 * spacing + sizeText +
         (showSizeBar ? sizeBarColumn : 0) + (showModified ? modifiedColumn + spacing : 0);
}

ColumnLayout::ColumnLayout(double w, double sizeTextWidth) : width(w), sizeText(sizeTextWidth) {
  showModified = w >= 820;
  showSizeBar = w >= 700;
  const double rest = std::max(0.0, w - fixedWidth(showModified, showSizeBar, sizeText));
  double statusWidth = std::min(std::max(0.4 * rest, 180.0), 300.0);
  if (rest - statusWidth < 220) statusWidth = std::max(rest - 220, 120.0);
  statusWidth = std::min(statusWidth, rest);
  status = statusWidth;
  name = rest - statusWidth;
  maxTags = (w >= 700 && status >= 180) ? 2 : 1;
}

}  // namespace hl
