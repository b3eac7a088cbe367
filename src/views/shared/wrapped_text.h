#pragma once

#include <QFont>
#include <QPointF>
#include <QString>

class QPainter;

namespace hl {

// Text laid out in a given width for a list delegate: broken between words where it can and
// inside a word where it must, so a long path never runs past its row; line breaks in the text
// are kept.
namespace WrappedText {

double height(const QString& text, const QFont& font, double width);
// Draws with the painter's pen, the first line's top at `topLeft`.
void draw(QPainter& painter, const QString& text, const QFont& font, QPointF topLeft, double width);

}  // namespace WrappedText

}  // namespace hl
