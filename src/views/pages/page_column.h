#pragma once

#include <QString>

class QLabel;
class QVBoxLayout;
class QWidget;

namespace hl {

// The main column of a secondary page: 24 in from the sides, 16 from top and bottom, with the
// given spacing between its parts.
QVBoxLayout* pageColumnLayout(QWidget* column, int spacing);

// A page's title at the top of its main column: the second-level title font, semibold;
// announced as a heading.
QLabel* pageTitleLabel(const QString& title, QWidget* parent = nullptr);

}  // namespace hl
