#pragma once

#include <QFont>

class QLabel;
class QWidget;

namespace hl {

// The popover's text sizes, in pixels: the platform's caption, callout and body fonts.
namespace PopoverFonts {

inline constexpr int caption = 11;
inline constexpr int callout = 12;
inline constexpr int body = 13;

// An empty plain-text label named `name` (tests and the accessibility tree find it by that),
// at `pixels` and `weight`.
QLabel* label(QWidget* parent, const char* name, int pixels, QFont::Weight weight = QFont::Normal);

}  // namespace PopoverFonts

}  // namespace hl
