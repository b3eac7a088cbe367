#pragma once

#include <vector>

class QWidget;

namespace hl {

// Where Tab goes in the window: region by region (the rail, the page's sidebar, its main view,
// the right panel, the status bar), and inside each region in reading order, line by line from
// the top and from the left along a line. Qt's own chain follows the order in which widgets
// joined the window, so rows and cards built later (after a scan, on opening an item) would
// come last.
namespace FocusOrder {

// Whether Tab stops at the widget: it takes focus by Tab, is shown and enabled, passes its focus
// to no proxy, and is not an unchecked button of an exclusive group that has a checked one
// (the arrow keys move inside such a group).
bool isStop(const QWidget* widget);

// The stops inside the regions (each region and its descendants), region after region.
std::vector<QWidget*> stops(const std::vector<QWidget*>& regions);

// The stop after (or before) `current`, cycling; the first (or last) when `current` is none of
// them or lies inside none of them. Null when there are no stops.
QWidget* neighbour(const std::vector<QWidget*>& stops, const QWidget* current, bool next);

}  // namespace FocusOrder

}  // namespace hl
