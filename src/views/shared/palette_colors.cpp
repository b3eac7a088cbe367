#include "views/shared/palette_colors.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

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
  return textOn(over(palette.color(QPalette::PlaceholderText), chrome(palette)), palette);
}

QColor tertiaryText(const QPalette& palette) {
  return textOn(over(primary(palette, 0.42), chrome(palette)), palette);
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

QColor over(const QColor& top, const QColor& bottom) {
  const double a = top.alphaF();
  const double b = bottom.alphaF() * (1 - a);
  const double alpha = a + b;
  if (alpha <= 0) return QColor(0, 0, 0, 0);
  const auto mix = [&](double t, double u) { return (t * a + u * b) / alpha; };
  return QColor::fromRgbF(static_cast<float>(mix(top.redF(), bottom.redF())),
                          static_cast<float>(mix(top.greenF(), bottom.greenF())),
                          static_cast<float>(mix(top.blueF(), bottom.blueF())),
                          static_cast<float>(alpha));
}

double luminance(const QColor& color) {
  const auto linear = [](double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
  };
  const QColor rgb = color.toRgb();
  return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
         0.0722 * linear(rgb.blueF());
}

double contrast(const QColor& ink, const QColor& ground) {
  const double a = luminance(over(ink, ground));
  const double b = luminance(ground);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

std::vector<QColor> textGrounds(const QPalette& palette) {
  std::vector<QColor> grounds;
  for (const QColor& base : {chrome(palette), panel(palette)}) {
    const QColor ground = over(base, QColor(isDark(palette) ? Qt::black : Qt::white));
    grounds.push_back(ground);
    grounds.push_back(over(primary(palette, 0.09), ground));
    grounds.push_back(over(withOpacity(accent(palette), 0.22), ground));
    grounds.push_back(over(withOpacity(orange(palette), 0.10), ground));
    grounds.push_back(over(withOpacity(yellow(palette), 0.14), ground));
  }
  return grounds;
}

namespace {

// The least contrast `ink` has on the palette's grounds, `fill` of `tint` laid over each.
double leastContrast(const QColor& ink, const std::vector<QColor>& grounds, const QColor& tint,
                     double fill) {
  double least = 21;
  for (const QColor& ground : grounds) {
    const QColor under = fill > 0 ? over(withOpacity(tint, fill), ground) : ground;
    least = std::min(least, contrast(ink, under));
  }
  return least;
}

// `color` with its lightness moved toward black (`darker`) or white by `step` of the way.
QColor shifted(const QColor& color, bool darker, double step) {
  const QColor hsl = color.toHsl();
  const double lightness = hsl.lightnessF();
  const double target = darker ? lightness * (1 - step) : lightness + (1 - lightness) * step;
  return QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), static_cast<float>(target))
      .toRgb();
}

// The smallest shift of `color` (by bisection) for which `reads` holds; the full shift when none
// short of it does.
template <typename Reads>
QColor leastShift(const QColor& color, bool darker, Reads reads) {
  if (reads(color)) return color;
  double low = 0;
  double high = 1;
  for (int i = 0; i < 24; ++i) {
    const double middle = (low + high) / 2;
    (reads(shifted(color, darker, middle)) ? high : low) = middle;
  }
  return shifted(color, darker, high);
}

}  // namespace

QColor textOn(const QColor& ink, const QPalette& palette, double fillOpacity, double minimum) {
  // Asked for on every paint of a row: one answer per palette and ink.
  using Key = std::tuple<qint64, QRgb, int, int>;
  static std::map<Key, QColor> known;
  const Key key{palette.cacheKey(), ink.rgba(), static_cast<int>(fillOpacity * 1000),
                static_cast<int>(minimum * 100)};
  if (const auto found = known.find(key); found != known.end()) return found->second;

  const std::vector<QColor> grounds = textGrounds(palette);
  const QColor opaque = over(ink, grounds.front());
  // A small margin, so that rounding to whole channel values keeps the minimum.
  const double wanted = minimum + 0.05;
  const QColor result = leastShift(opaque, !isDark(palette), [&](const QColor& candidate) {
    return leastContrast(candidate, grounds, opaque, fillOpacity) >= wanted;
  });
  if (known.size() > 512) known.clear();
  known.emplace(key, result);
  return result;
}

QColor fillUnderWhite(const QColor& fill) {
  return leastShift(fill, true, [](const QColor& candidate) {
    return contrast(Qt::white, candidate) >= textContrast + 0.05;
  });
}

QColor focusRing(const QPalette& palette) {
  return textOn(accent(palette), palette, 0, ringContrast);
}

void drawFocusRing(QPainter& painter, const QPalette& palette, const QRectF& shape, double radius) {
  painter.setPen(QPen(focusRing(palette), 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawRoundedRect(shape, radius, radius);
}

QColor tintText(StatusTint tint, const QPalette& palette) {
  return textOn(PaletteColors::tint(tint, palette), palette, isDark(palette) ? 0.14 : 0.12);
}

}  // namespace PaletteColors

QFont sizedFont(const QFont& base, int pixelSize, QFont::Weight weight) {
  QFont font = base;
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

}  // namespace hl
