#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QStyle>
#include <QStyleFactory>
#include <map>

#include "views/screenshot_support.h"
#include "views/shared/destructive_button.h"
#include "views/shared/palette_colors.h"
#include "views/shared/status_tag.h"
#include "views/shared/text.h"

namespace hl {
namespace {

using namespace PaletteColors;

struct NamedPalette {
  const char* name;
  QPalette palette;
};

// Light and dark palettes of the kind a desktop gives the program, and the style's own.
std::vector<NamedPalette> palettes() {
  std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
  return {{"light", test::lightPalette()},
          {"dark", test::darkPalette()},
          {"style", fusion ? fusion->standardPalette() : QApplication::palette()}};
}

const StatusTint allTints[] = {StatusTint::safe,   StatusTint::moderate, StatusTint::review,
                               StatusTint::locked, StatusTint::recent,   StatusTint::neutral};

// Every text colour the views draw reads at 4.5:1 on every ground text lies on (with its own
// fill under it where it has one), in light and dark; white reads on every filled control; the
// focus ring stands out at 3:1. Chips keep their tint's hue.
TEST(Contrast, EveryTextColourReadsOnEveryGroundInLightAndDark) {
  for (const NamedPalette& p : palettes()) {
    SCOPED_TRACE(p.name);
    const QPalette& palette = p.palette;
    struct Ink {
      std::string name;
      QColor color;
      // The ink itself laid over the ground at this opacity (a chip's capsule).
      QColor fillColor;
      double fill;
    };
    std::vector<Ink> inks = {
        {"secondary", secondaryText(palette), {}, 0},
        {"tertiary", tertiaryText(palette), {}, 0},
        {"red line", textOn(red(palette), palette), {}, 0},
        {"orange line", textOn(orange(palette), palette), {}, 0},
        {"link", textOn(accent(palette), palette), {}, 0},
        {"accent button label", textOn(accent(palette), palette, 0.22), accent(palette), 0.22},
        {"read-only badge", textOn(red(palette), palette, 0.14), red(palette), 0.14},
    };
    for (StatusTint t : allTints) {
      const double fill = StatusTag::fillOpacity(isDark(palette));
      inks.push_back({"chip " + std::string(rawValue(t)), tintText(t, palette), tint(t, palette), fill});
    }
    for (const QColor& ground : textGrounds(palette)) {
      for (const Ink& ink : inks) {
        const QColor under = ink.fill > 0 ? over(withOpacity(ink.fillColor, ink.fill), ground)
                                          : ground;
        EXPECT_GE(contrast(ink.color, under), textContrast)
            << ink.name << " " << ink.color.name().toStdString() << " on "
            << under.name().toStdString();
      }
      EXPECT_GE(contrast(focusRing(palette), ground), ringContrast) << ground.name().toStdString();
    }
    for (const QColor& fill : {red(palette), accent(palette), QColor(255, 159, 10)}) {
      EXPECT_GE(contrast(Qt::white, fillUnderWhite(fill)), textContrast) << fill.name().toStdString();
      EXPECT_NEAR(fillUnderWhite(fill).hslHueF(), fill.hslHueF(), 0.01);
    }
    // A chip's title keeps its tint's hue; only its lightness moves.
    for (StatusTint t : {StatusTint::safe, StatusTint::moderate, StatusTint::review,
                         StatusTint::locked, StatusTint::recent}) {
      EXPECT_NEAR(tintText(t, palette).hslHueF(), tint(t, palette).hslHueF(), 0.01) << rawValue(t);
    }
  }
}

// The contrast of two colours as the guidelines define it, and text that reads already kept as
// it is.
TEST(Contrast, RatiosFollowTheGuidelinesAndReadableInksAreKept) {
  EXPECT_NEAR(contrast(Qt::black, Qt::white), 21.0, 1e-9);
  EXPECT_NEAR(contrast(Qt::white, Qt::white), 1.0, 1e-9);
  EXPECT_NEAR(contrast(QColor(118, 118, 118), Qt::white), 4.54, 0.01);
  // Half-transparent black on white is the grey it shows as.
  EXPECT_NEAR(contrast(QColor(0, 0, 0, 128), Qt::white), contrast(QColor(127, 127, 127), Qt::white),
              0.02);
  const QPalette light = test::lightPalette();
  EXPECT_EQ(textOn(QColor(28, 28, 30), light), QColor(28, 28, 30));
}

// Measured on the screen as the issue measured it: the strongest ink pixel of a secondary line,
// a chip's title and a filled button's label against the ground around it.
TEST(Contrast, RenderedTextReadsInLightAndDark) {
  const auto measured = [](QWidget& widget) {
    const QImage image = test::grabSettled(widget).convertToFormat(QImage::Format_RGB32);
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y)];
    }
    QRgb ground = counts.begin()->first;
    for (const auto& [colour, count] : counts) {
      if (count > counts[ground]) ground = colour;
    }
    double best = 1;
    for (const auto& [colour, count] : counts) {
      best = std::max(best, contrast(QColor(colour), QColor(ground)));
    }
    return best;
  };
  for (const bool dark : {false, true}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    const test::AppPalette palette(dark ? test::darkPalette() : test::lightPalette());
    QWidget card;
    card.setAutoFillBackground(true);
    card.setBackgroundRole(QPalette::Window);
    QLabel* line = plainLabel(QStringLiteral("Everything found on this computer"), &card);
    makeSecondary(line);
    line->resize(line->sizeHint());
    card.resize(line->size());
    card.show();
    EXPECT_GE(measured(card), textContrast);

    for (StatusTint t : allTints) {
      StatusTag chip(StatusTagModel{StatusTagModel::Kind::state, "Unpushed", std::nullopt, t, ""});
      chip.setAutoFillBackground(true);
      chip.show();
      EXPECT_GE(measured(chip), textContrast) << rawValue(t);
    }
    DestructiveButton button(QStringLiteral("Move to Trash"));
    button.show();
    EXPECT_GE(measured(button), textContrast);
  }
}

}  // namespace
}  // namespace hl
