#pragma once

#include <QAccessible>
#include <functional>

class QAbstractItemView;
class QWidget;

namespace hl {

// What assistive tools (a screen reader over the desktop's accessibility bus) are told about the
// program's own controls where the class Qt would choose says something else: a page's title is
// a heading, a rail or segment button is a page tab with a selected state (not a check box), a
// size bar is a bar whose value is its percentage, a painted text is text.
namespace Accessibility {

enum class Kind {
  // A page's or a sidebar's title; its name is its text.
  heading,
  // One of a row of buttons that choose what a pane shows: selected while chosen, pressed by
  // its action; never a check box.
  tab,
  // The row of tabs.
  tabList,
  // A `SizeBar`: its value is "<n> percent".
  bar,
  // Text the widget paints itself (its accessible name is the text).
  text,
  // A window of its own that Qt would read as a mere pane (the tray's popover).
  window,
};

// Declares what `widget` is. Called from the widget's constructor, before anything asks about
// it; a widget of a class Qt already describes keeps Qt's description.
void declare(QWidget* widget, Kind kind);
bool isDeclared(const QWidget* widget, Kind kind);

// Whether a tab is the chosen one. Setting a new value tells assistive tools.
void setSelected(QWidget* tab, bool selected);
bool isSelected(const QWidget* tab);

// Tells assistive tools that these states of `widget` changed.
void announce(QWidget* widget, QAccessible::State changed);

// Tells assistive tools the widget's new value.
void announceValue(QWidget* widget, const QString& value);

// Tells assistive tools that these states of the view's current row changed (its check mark,
// whether it is open), from the row itself, as a screen reader reads the row the keyboard is on.
void announceCurrentRow(QAbstractItemView* view, QAccessible::State changed);

// Hears every announcement above before it goes to the platform's bridge, which drops them
// while no assistive tool listens (and the offscreen platform has no bridge at all): tests listen
// here. None by default; a new listener replaces the old.
using Listener = std::function<void(QAccessibleEvent&)>;
void setListener(Listener listener);

}  // namespace Accessibility

}  // namespace hl
