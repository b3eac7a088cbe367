#pragma once

namespace hl {

// Which columns the items table shows and how wide Name and Status are, from the width and the
// width of the widest size text. The Size column is that text's frame, and 72 more with its size
// bar; Modified is 96. Name and Status together take exactly what the fixed columns, spacings
// and paddings leave.
struct ColumnLayout {
  // The frame the size texts were laid out for: 76 fits them in the fonts they were drawn for,
  // not in every font.
  static constexpr double defaultSizeText = 76;

  double width = 0;
  double sizeText = defaultSizeText;
  bool showModified = false;
  bool showSizeBar = false;
  int maxTags = 1;
  double name = 0;
  double status = 0;

  explicit ColumnLayout(double width, double sizeText = defaultSizeText);

  double sizeColumn() const { return showSizeBar ? sizeText + sizeBarColumn : sizeText; }
  static constexpr double modifiedColumn = 96;
  static constexpr double leadingColumn = 28;
  static constexpr double spacing = 12;
  static constexpr double sidePadding = 12;
  // The size bar and the gap after it.
  static constexpr double sizeBarColumn = 72;
  // The leading cell, the size text's frame, three spacings and both paddings (164 with the
  // default frame), plus 72 for the size bar and 108 for the Modified column.
  static double fixedWidth(bool showModified, bool showSizeBar,
                           double sizeText = defaultSizeText);

  bool operator==(const ColumnLayout&) const = default;
};

}  // namespace hl
