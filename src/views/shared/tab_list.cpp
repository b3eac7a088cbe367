#include "views/shared/tab_list.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "views/shared/accessibility.h"

namespace hl::TabList {

namespace {

QWidget* rowOf(const QWidget* tab) {
  for (QWidget* above = tab->parentWidget(); above; above = above->parentWidget()) {
    if (Accessibility::isDeclared(above, Accessibility::Kind::tabList)) return above;
    if (above->isWindow()) break;
  }
  return nullptr;
}

// The row's tabs that can take the keyboard, in the order they stand (top to bottom, then left
// to right).
std::vector<QWidget*> tabsOf(const QWidget* row) {
  std::vector<QWidget*> tabs;
  for (QWidget* child : row->findChildren<QWidget*>()) {
    if (Accessibility::isDeclared(child, Accessibility::Kind::tab) && rowOf(child) == row &&
        child->isVisible() && child->isEnabled()) {
      tabs.push_back(child);
    }
  }
  std::stable_sort(tabs.begin(), tabs.end(), [row](const QWidget* a, const QWidget* b) {
    const QPoint pa = a->mapTo(row, QPoint(0, 0));
    const QPoint pb = b->mapTo(row, QPoint(0, 0));
    return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
  });
  return tabs;
}

}  // namespace

bool inRow(const QWidget* widget) {
  return Accessibility::isDeclared(widget, Accessibility::Kind::tab) && rowOf(widget);
}

bool isEntry(const QWidget* tab) {
  if (!inRow(tab)) return true;
  const QWidget* row = rowOf(tab);
  const std::vector<QWidget*> tabs = tabsOf(row);
  const auto chosen = std::find_if(tabs.begin(), tabs.end(),
                                   [](const QWidget* t) { return Accessibility::isSelected(t); });
  if (chosen != tabs.end()) return *chosen == tab;
  return !tabs.empty() && tabs.front() == tab;
}

bool moveByArrow(QWidget* tab, const QKeyEvent& event) {
  if (event.modifiers() & ~Qt::KeypadModifier) return false;
  int step = 0;
  switch (event.key()) {
    case Qt::Key_Left:
    case Qt::Key_Up: step = -1; break;
    case Qt::Key_Right:
    case Qt::Key_Down: step = 1; break;
    default: return false;
  }
  const QWidget* row = rowOf(tab);
  if (!row) return false;
  const std::vector<QWidget*> tabs = tabsOf(row);
  const auto at = std::find(tabs.begin(), tabs.end(), tab);
  if (at == tabs.end()) return true;
  const auto place = (at - tabs.begin()) + step;
  // The row's ends hold the keyboard, as a tab bar's do.
  if (place < 0 || place >= static_cast<std::ptrdiff_t>(tabs.size())) return true;
  QWidget* target = tabs[static_cast<std::size_t>(place)];
  target->setFocus(Qt::TabFocusReason);
  if (auto* button = qobject_cast<QAbstractButton*>(target)) button->click();
  return true;
}

}  // namespace hl::TabList
