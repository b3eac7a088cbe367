#pragma once

#include <QPalette>
#include <QRectF>

class QPainter;

namespace hl {

// A check box drawn from the palette's roles rather than the style's fixed shades, so an
// unticked box reads on a dark window as well as on a light one: a box of the base colour in a
// frame of the text colour, filled with the accent colour and marked when ticked or mixed.
namespace CheckMark {

void paint(QPainter& painter, const QRectF& box, Qt::CheckState state, const QPalette& palette,
           bool enabled);

// The colours it is drawn in, for a look at them in tests.
struct Colours {
  QColor frame;
  QColor fill;
  QColor mark;
};
Colours colours(Qt::CheckState state, const QPalette& palette, bool enabled);

}  // namespace CheckMark

}  // namespace hl
