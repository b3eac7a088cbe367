#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace hl {

// Where the tray popover opens: next to its anchor (the tray icon's rectangle, or the pointer
// as a one-pixel rectangle when the tray does not tell where its icon is), below it when the
// anchor lies in the upper half of the screen and above it otherwise, centred on it across, and
// always inside the screen's available area (panels excluded).
namespace PopoverPlacement {

inline constexpr int gap = 4;

// The popover's top-left corner.
QPoint topLeft(const QRect& anchor, const QSize& size, const QRect& available);

}  // namespace PopoverPlacement

}  // namespace hl
