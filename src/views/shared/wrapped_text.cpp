#include "views/shared/wrapped_text.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>

namespace hl::WrappedText {
namespace {

void layOut(QTextLayout& layout, double width) {
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  double y = 0;
  while (true) {
    QTextLine line = layout.createLine();
    if (!line.isValid()) break;
    line.setLineWidth(std::max(1.0, width));
    line.setPosition(QPointF(0, y));
    y += line.height();
  }
  layout.endLayout();
}

QString paragraph(QString text) {
  text.replace(QLatin1Char('\n'), QChar::LineSeparator);
  return text;
}

}  // namespace

double height(const QString& text, const QFont& font, double width) {
  QTextLayout layout(paragraph(text), font);
  layOut(layout, width);
  return std::max(layout.boundingRect().height(), QFontMetricsF(font).height());
}

void draw(QPainter& painter, const QString& text, const QFont& font, QPointF topLeft,
          double width) {
  QTextLayout layout(paragraph(text), font);
  layOut(layout, width);
  layout.draw(&painter, topLeft);
}

}  // namespace hl::WrappedText
