#include "views/shared/palette_colors.h"

namespace hl {

namespace PaletteColors {

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

QColor tint(StatusTint tint, const QPalette& palette) {
  const bool dark = isDark(palette);
  switch (tint) {
    case StatusTint::safe:
      return dark ? QColor(48, 209, 88) : QColor(36, 138, 61);
    case StatusTint::moderate:
      return orange(palette);
    case StatusTint::review:
      return dark ? QColor(191, 90, 242) : QColor(137, 68, 171);
    case StatusTint::locked:
      return red(palette);
    case StatusTint::recent:
      return dark ? QColor(10, 132, 255) : QColor(0, 88, 208);
    case StatusTint::neutral:
      return secondaryText(palette);
  }
  return secondaryText(palette);
}

QColor red(const QPalette& palette) {
  return isDark(palette) ? QColor(255, 69, 58) : QColor(215, 0, 21);
}

QColor yellow(const QPalette& palette) {
  return isDark(palette) ? QColor(255, 214, 10) : QColor(178, 134, 0);
}

QColor orange(const QPalette& palette) {
  return isDark(palette) ? QColor(255, 159, 10) : QColor(201, 82, 0);
}

QColor accent(const QPalette& palette) { return palette.color(QPalette::Highlight); }

QColor secondaryText(const QPalette& palette) {
  return palette.color(QPalette::PlaceholderText);
}

QColor tertiaryText(const QPalette& palette) {
  return withOpacity(palette.color(QPalette::WindowText), 0.42);
}

QColor chrome(const QPalette& palette) { return palette.color(QPalette::Window); }

QColor panel(const QPalette& palette) { return palette.color(QPalette::Base); }

QColor primary(const QPalette& palette, double opacity) {
  return withOpacity(palette.color(QPalette::WindowText), opacity);
}

QColor withOpacity(QColor color, double opacity) {
  color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
  return color;
}

}  // namespace PaletteColors

QFont sizedFont(const QFont& base, int pixelSize, QFont::Weight weight) {
  QFont font = base;
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

}  // namespace hl
