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

// Whether Tab stops at the widget: it is shown and enabled, passes its focus to no proxy, takes
// focus by Tab, and is not an unchecked button of an exclusive group that has a checked one (the
// arrow keys move inside such a group). A tab of a row is a stop when it is the one Tab enters
// the row at, whatever its own Tab flag says, so that each row keeps exactly one stop.
bool isStop(const QWidget* widget);

// The stops inside the regions (each region and its descendants), region after region.
std::vector<QWidget*> stops(const std::vector<QWidget*>& regions);

// The stop after (or before) `current`, cycling; the first (or last) when `current` is none of
// them or lies inside none of them. Null when there are no stops.
QWidget* neighbour(const std::vector<QWidget*>& stops, const QWidget* current, bool next);

// Where Tab (or Backtab, `next` false) goes from `current` through the regions. From a stop, or
// from inside one, to its neighbour. From a widget that is no stop (a control that was just
// hidden or turned off, whose focus Qt hands on this way, or a container that holds the focus) to
// the first stop of its own region that follows its place in reading order (precedes it for
// Backtab). When its region has none there: a control that vanished goes to the nearest stop of
// its region the other way, else leaves the focus on the region itself, so the keyboard never
// leaves the area the user works in for another panel; any other widget passes it to the next
// region that has a stop. Null when there are no stops and nowhere to stay.
QWidget* next(const std::vector<QWidget*>& regions, QWidget* current, bool next);

}  // namespace FocusOrder

}  // namespace hl
