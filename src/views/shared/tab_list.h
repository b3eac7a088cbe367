#pragma once

class QKeyEvent;
class QWidget;

namespace hl {

// The keyboard in a row of tabs (the rail's pages, the Home sidebar's groups): one stop for Tab,
// as Qt's own tab bar is. Tab enters the row at its chosen tab (the first when none is chosen)
// and the next Tab leaves it; the arrows move along the row and choose the tab they reach. A tab
// is a widget declared `Accessibility::Kind::tab`; its row is its nearest ancestor declared
// `Accessibility::Kind::tabList`.
namespace TabList {

// Whether `widget` is a tab of a row.
bool inRow(const QWidget* widget);

// Whether Tab stops at `tab`: true for a widget that is no tab of a row.
bool isEntry(const QWidget* tab);

// Left or Up, Right or Down on `tab`: the keyboard goes to the tab before or after it (shown and
// turned on), which is then pressed. True when the key was such an arrow.
bool moveByArrow(QWidget* tab, const QKeyEvent& event);

}  // namespace TabList

}  // namespace hl
