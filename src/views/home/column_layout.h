#pragma once

namespace hl {

// Which columns the items table shows and how wide Name and Status are, from the width alone.
// The Size column is 148 with its size bar and 76 without; Modified is 96. Name and Status
// together take exactly what the fixed columns, spacings and paddings leave.
struct ColumnLayout {
  double width = 0;
  bool showModified = false;
  bool showSizeBar = false;
  int maxTags = 1;
  double name = 0;
  double status = 0;

  explicit ColumnLayout(double width);

  double sizeColumn() const { return showSizeBar ? 148 : 76; }
  static constexpr double modifiedColumn = 96;
  static constexpr double leadingColumn = 28;
  static constexpr double spacing = 12;
  static constexpr double sidePadding = 12;
  // The leading cell, the narrow Size column, three spacings and both paddings (164), plus 72
  // for the size bar and 108 for the Modified column.
  static double fixedWidth(bool showModified, bool showSizeBar);

  bool operator==(const ColumnLayout&) const = default;
};

}  // namespace hl
