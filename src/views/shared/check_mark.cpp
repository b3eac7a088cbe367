#include "views/shared/check_mark.h"

#include <QPainter>
#include <QPainterPath>

#include "views/shared/palette_colors.h"

namespace hl::CheckMark {

Colours colours(Qt::CheckState state, const QPalette& palette, bool enabled) {
  const QColor base = palette.color(QPalette::Base);
  if (state == Qt::Unchecked) {
    return {PaletteColors::primary(palette, enabled ? 0.5 : 0.25), base, QColor()};
  }
  const QColor fill =
      enabled ? PaletteColors::accent(palette) : PaletteColors::primary(palette, 0.25);
  return {fill, fill, enabled ? palette.color(QPalette::HighlightedText) : base};
}

void paint(QPainter& painter, const QRectF& box, Qt::CheckState state, const QPalette& palette,
           bool enabled) {
  const Colours c = colours(state, palette, enabled);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF shape = box.adjusted(0.5, 0.5, -0.5, -0.5);
  painter.setPen(QPen(c.frame, 1));
  painter.setBrush(c.fill);
  painter.drawRoundedRect(shape, 3, 3);
  if (state != Qt::Unchecked) {
    painter.setPen(QPen(c.mark, std::max(1.5, box.width() / 8), Qt::SolidLine, Qt::RoundCap,
                        Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    const double w = box.width();
    const double h = box.height();
    if (state == Qt::PartiallyChecked) {
      painter.drawLine(QPointF(box.left() + w * 0.28, box.center().y()),
                       QPointF(box.right() - w * 0.28, box.center().y()));
    } else {
      QPainterPath tick;
      tick.moveTo(box.left() + w * 0.25, box.top() + h * 0.52);
      tick.lineTo(box.left() + w * 0.43, box.top() + h * 0.70);
      tick.lineTo(box.left() + w * 0.76, box.top() + h * 0.32);
      painter.drawPath(tick);
    }
  }
  painter.restore();
}

}  // namespace hl::CheckMark
