#include "views/shell/focus_order.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QWidget>
#include <algorithm>
#include <optional>

namespace hl::FocusOrder {

namespace {

QRect placeInWindow(const QWidget* widget) {
  return {widget->mapTo(widget->window(), QPoint(0, 0)), widget->size()};
}

// Reading order inside one region: widgets whose tops lie above the middle of a line join it.
void sortByReading(std::vector<QWidget*>& widgets) {
  std::vector<std::pair<QWidget*, QRect>> placed;
  for (QWidget* widget : widgets) placed.emplace_back(widget, placeInWindow(widget));
  std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) {
    return a.second.top() < b.second.top();
  });
  std::vector<std::pair<int, int>> keys;  // line, left
  int line = -1;
  int lineTop = 0;
  int lineBottom = 0;
  for (const auto& [widget, rect] : placed) {
    if (line < 0 || rect.top() >= (lineTop + lineBottom) / 2) {
      ++line;
      lineTop = rect.top();
      lineBottom = rect.bottom();
    } else {
      lineBottom = std::max(lineBottom, rect.bottom());
    }
    keys.emplace_back(line, rect.left());
  }
  std::vector<std::size_t> order(placed.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  widgets.clear();
  for (std::size_t i : order) widgets.push_back(placed[i].first);
}

}  // namespace

bool isStop(const QWidget* widget) {
  if ((widget->focusPolicy() & Qt::TabFocus) != Qt::TabFocus) return false;
  if (widget->focusProxy() || !widget->isVisible() || !widget->isEnabled()) return false;
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
    const QButtonGroup* group = button->group();
    if (group && group->exclusive() && group->checkedButton() &&
        group->checkedButton() != button) {
      return false;
    }
  }
  return true;
}

std::vector<QWidget*> stops(const std::vector<QWidget*>& regions) {
  std::vector<QWidget*> result;
  for (QWidget* region : regions) {
    if (!region || !region->isVisible()) continue;
    std::vector<QWidget*> inside;
    if (isStop(region)) inside.push_back(region);
    for (QWidget* child : region->findChildren<QWidget*>()) {
      if (!child->isWindow() && isStop(child)) inside.push_back(child);
    }
    sortByReading(inside);
    result.insert(result.end(), inside.begin(), inside.end());
  }
  return result;
}

QWidget* neighbour(const std::vector<QWidget*>& stops, const QWidget* current, bool next) {
  if (stops.empty()) return nullptr;
  const std::size_t n = stops.size();
  const auto step = [&](std::size_t i) { return stops[(i + (next ? 1 : n - 1)) % n]; };
  for (std::size_t i = 0; i < n; ++i) {
    if (stops[i] == current) return step(i);
  }
  // Focus inside a stop (an editor in a list, say) counts as that stop's; the innermost wins.
  std::optional<std::size_t> holder;
  for (std::size_t i = 0; i < n; ++i) {
    if (current && stops[i]->isAncestorOf(current) &&
        (!holder || stops[*holder]->isAncestorOf(stops[i]))) {
      holder = i;
    }
  }
  if (holder) return step(*holder);
  return next ? stops.front() : stops.back();
}

}  // namespace hl::FocusOrder
