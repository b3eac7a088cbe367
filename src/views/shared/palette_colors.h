#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRectF>
#include <vector>

#include "views/shared/status_tag_model.h"

class QPainter;

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

// Text colours of lower emphasis: the palette's placeholder-text colour and the primary text
// colour at 42 %, each as `textOn` makes it read. On most palettes both come out alike: a
// lighter grey would not read.
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

// --- Contrast, as the web's accessibility guidelines measure it ----------------------------

// Text at least this many times lighter (or darker) than its ground; controls' rings 3.
inline constexpr double textContrast = 4.5;
inline constexpr double ringContrast = 3.0;

// `top` laid over `bottom` (the result is opaque when `bottom` is).
QColor over(const QColor& top, const QColor& bottom);
// The relative luminance of an opaque colour: 0 for black, 1 for white.
double luminance(const QColor& color);
// How far apart `ink` (laid over the ground) and `ground` are: 1 (none) to 21.
double contrast(const QColor& ink, const QColor& ground);

// Every ground the views lay text on: the window and the card, each bare and under the
// strongest faint fill laid on them (a hovered or chosen row, a card, a banner).
std::vector<QColor> textGrounds(const QPalette& palette);

// `ink` as a text colour: opaque, its hue kept, and darkened on a light palette (lightened on a
// dark one) just as far as it takes to read on every ground, also with `ink` itself laid over the
// ground at `fillOpacity` (a chip's capsule). Unchanged when it reads already.
QColor textOn(const QColor& ink, const QPalette& palette, double fillOpacity = 0,
              double minimum = textContrast);
// A fill that white text reads on: `fill` darkened, its hue kept (a filled button, a selected
// row).
QColor fillUnderWhite(const QColor& fill);
// The ring that marks where the keyboard is: the accent colour, reading on every ground.
QColor focusRing(const QPalette& palette);
// That ring, two pixels wide, along the rounded rectangle `shape`; nothing filled.
void drawFocusRing(QPainter& painter, const QPalette& palette, const QRectF& shape, double radius);
// A chip's title: its tint read on the chip's own fill.
QColor tintText(StatusTint tint, const QPalette& palette);

}  // namespace PaletteColors

// A copy of `base` at `pixelSize` logical pixels and the given weight.
QFont sizedFont(const QFont& base, int pixelSize, QFont::Weight weight = QFont::Normal);

}  // namespace hl
