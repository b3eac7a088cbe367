#pragma once

#include <QPalette>
#include <QString>

class QScrollBar;

namespace hl {

// A slim scroll bar drawn from the palette's roles: a faint groove and a handle of the text
// colour at low opacity, so it reads on light and dark windows alike (a style's own shades can
// put a bright block on a dark list, or a handle lighter than its groove). It follows every
// later palette change.
namespace ScrollBarLook {

void apply(QScrollBar* bar);

// The style sheet for a palette.
QString styleSheet(const QPalette& palette);

}  // namespace ScrollBarLook

}  // namespace hl
