#include "views/shared/elided_label.h"

#include <QPainter>

namespace hl {

ElidedLabel::ElidedLabel(const QString& text, Qt::TextElideMode mode, QWidget* parent)
    : QWidget(parent), mode_(mode) {
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  setText(text);
}

void ElidedLabel::setText(const QString& text) {
  text_ = text;
  setAccessibleName(text);
  updateGeometry();
  update();
}

void ElidedLabel::setAlignment(Qt::Alignment alignment) {
  alignment_ = alignment & Qt::AlignHorizontal_Mask;
  update();
}

QString ElidedLabel::shownText() const {
  // One line: a line break in a name is shown as a space rather than cut off.
  QString single = text_;
  single.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return fontMetrics().elidedText(single, mode_, width());
}

QSize ElidedLabel::sizeHint() const {
  return {fontMetrics().horizontalAdvance(text_), fontMetrics().height()};
}

QSize ElidedLabel::minimumSizeHint() const { return {0, fontMetrics().height()}; }

void ElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(rect(), Qt::AlignVCenter | alignment_ | Qt::TextSingleLine, shownText());
}

}  // namespace hl
