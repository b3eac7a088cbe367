#pragma once

#include <QRectF>
#include <QSize>

namespace hl {

// The main window's sizes: its first frame, its smallest size, and how wide its sidebar and
// right panel are at a given width.
namespace WindowSizing {

inline constexpr QSize minimumSize{1040, 680};

// The frame of a window opened for the first time on a screen whose available area is
// `visible`: 86 % of it each way, between the smallest size and 1440 × 900 but never larger than
// the area itself, centred on it. The window system may still keep the window at its minimum.
QRectF defaultFrame(const QRectF& visible);

struct ColumnWidths {
  double sidebar;
  double rightPanel;
  bool operator==(const ColumnWidths&) const = default;
};

// Below 1180 the sidebar and the right panel are 220 each, whatever width is stored; from 1180
// on the sidebar takes the stored width and the right panel 260.
ColumnWidths columnWidths(double offeredWidth, double storedSidebarWidth);

// The window manager draws the title bar and the menu bar sits inside the window, so the band
// kept above the columns for a title bar drawn over the content shrinks to a margin.
inline constexpr double topMargin = 8;

inline constexpr double wideThreshold = 1180;
inline constexpr double narrowSidebar = 220;
inline constexpr double narrowRightPanel = 220;
inline constexpr double wideRightPanel = 260;
// The range a dragged sidebar width is kept in.
inline constexpr double minimumSidebar = 220;
inline constexpr double maximumSidebar = 300;

}  // namespace WindowSizing

}  // namespace hl
