#include "views/shared/elided_label.h"

#include <QPainter>
#include <cmath>

#include "views/shared/accessibility.h"

namespace hl {

ElidedLabel::ElidedLabel(const QString& text, Qt::TextElideMode mode, QWidget* parent)
    : QWidget(parent), mode_(mode) {
  Accessibility::declare(this, Accessibility::Kind::text);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  setText(text);
}

void ElidedLabel::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  setAccessibleName(text);
  updateGeometry();
  update();
}

void ElidedLabel::setAlignment(Qt::Alignment alignment) {
  alignment_ = alignment & Qt::AlignHorizontal_Mask;
  update();
}

void ElidedLabel::setMaximumLines(int lines) {
  maximumLines_ = std::max(1, lines);
  updateGeometry();
  update();
}

QStringList ElidedLabel::shownLines() const {
  // A line break in a name is shown as a space rather than cut off.
  QString single = text_;
  single.replace(QLatin1Char('\n'), QLatin1Char(' '));
  const QFontMetrics metrics = fontMetrics();
  const int lineWidth = width();
  if (maximumLines_ == 1) return {metrics.elidedText(single, mode_, lineWidth)};
  // Shortened to the room of every line together (less a character a line for the breaks),
  // then broken wherever a line is full.
  const int room = std::max(0, lineWidth * maximumLines_ -
                                   metrics.averageCharWidth() * maximumLines_);
  const QString shortened = metrics.horizontalAdvance(single) <= lineWidth * maximumLines_
                                ? single
                                : metrics.elidedText(single, mode_, room);
  QStringList lines;
  qsizetype start = 0;
  while (start < shortened.size() && lines.size() < maximumLines_) {
    qsizetype end = start + 1;
    while (end < shortened.size() &&
           metrics.horizontalAdvance(shortened.mid(start, end + 1 - start)) <= lineWidth) {
      ++end;
    }
    if (lines.size() + 1 == maximumLines_) end = shortened.size();
    lines.push_back(lines.size() + 1 == maximumLines_
                        ? metrics.elidedText(shortened.mid(start), mode_, lineWidth)
                        : shortened.mid(start, end - start));
    start = end;
  }
  if (lines.isEmpty()) lines.push_back(QString());
  return lines;
}

QString ElidedLabel::shownText() const { return shownLines().join(QString()); }

QSize ElidedLabel::sizeHint() const {
  // Rounded up: a width cut to whole pixels would shorten the text it was measured for.
  const auto width = static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(text_)));
  return {width, fontMetrics().height() * maximumLines_};
}

QSize ElidedLabel::minimumSizeHint() const {
  return {0, fontMetrics().height() * maximumLines_};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  const QStringList lines = shownLines();
  if (maximumLines_ == 1) {
    painter.drawText(rect(), Qt::AlignVCenter | alignment_ | Qt::TextSingleLine, lines.front());
    return;
  }
  const int lineHeight = fontMetrics().height();
  for (int i = 0; i < lines.size(); ++i) {
    painter.drawText(QRect(0, i * lineHeight, width(), lineHeight),
                     Qt::AlignVCenter | alignment_ | Qt::TextSingleLine, lines[i]);
  }
}

}  // namespace hl
