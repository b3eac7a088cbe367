#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

#include "views/shared/status_tag_model.h"

namespace hl {

// The program's named colours, taken from the palette so that light and dark palettes both
// read well.
namespace PaletteColors {

// A palette whose window is darker than mid-grey.
bool isDark(const QPalette& palette);

// Green, orange, purple, red and blue in the shade that reads on this palette's window; the
// neutral tint is the secondary text colour.
QColor tint(StatusTint tint, const QPalette& palette);

QColor red(const QPalette& palette);
QColor yellow(const QPalette& palette);
QColor orange(const QPalette& palette);
// The accent colour: the palette's highlight.
QColor accent(const QPalette& palette);

// Text colours of lower emphasis: the secondary one is the palette's placeholder-text colour.
QColor secondaryText(const QPalette& palette);
QColor tertiaryText(const QPalette& palette);

// The window's background behind the columns ("Chrome") and the content card's fill ("Panel"):
// the palette's window and base colours, so both follow light and dark.
QColor chrome(const QPalette& palette);
QColor panel(const QPalette& palette);

// The primary text colour at the given opacity (tracks, placeholder shapes, faint fills).
QColor primary(const QPalette& palette, double opacity);

// `color` at the given opacity.
QColor withOpacity(QColor color, double opacity);

}  // namespace PaletteColors

// A copy of `base` at `pixelSize` logical pixels and the given weight.
QFont sizedFont(const QFont& base, int pixelSize, QFont::Weight weight = QFont::Normal);

}  // namespace hl
