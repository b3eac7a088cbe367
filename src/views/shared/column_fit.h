#pragma once

#include <vector>

namespace hl {

// Widths for a table's columns within the width its viewport offers, so that no column reaches
// past it while there is any way to avoid it.
namespace ColumnFit {

struct Column {
  // The header and every cell whole.
  int natural = 0;
  // The least at which the column's cells still show whole; its header may be shortened.
  int whole = 0;
  // The least the column is ever given, its texts shortened with an ellipsis.
  int least = 0;
  bool operator==(const Column&) const = default;
};

// Each column its natural width when they all fit, with the room left over given to `stretch`.
// Otherwise the columns shrink toward their `whole` widths, each by the same share of the room
// it has, and only when that is not enough, further toward their `least` widths; the widths
// then add up to `available` exactly. When even the least widths do not fit, those.
std::vector<int> widths(const std::vector<Column>& columns, int available, int stretch);

}  // namespace ColumnFit

}  // namespace hl
