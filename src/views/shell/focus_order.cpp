#include "views/shell/focus_order.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QWidget>
#include <algorithm>
#include <optional>

#include "views/shared/tab_list.h"

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
  if (widget->focusProxy() || !widget->isVisible() || !widget->isEnabled()) return false;
  if (TabList::inRow(widget)) {
    // The row decides: its chosen tab. A tab's own Tab flag cannot say it: an exclusive group
    // of buttons hands that flag to whichever of them last had the keyboard, so a tab the
    // program chose would have none and the row no stop at all.
    if (widget->focusPolicy() == Qt::NoFocus || !TabList::isEntry(widget)) return false;
  } else if ((widget->focusPolicy() & Qt::TabFocus) != Qt::TabFocus) {
    return false;
  }
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

QWidget* next(const std::vector<QWidget*>& regions, QWidget* current, bool next) {
  const std::vector<QWidget*> all = stops(regions);
  const auto holds = [current](const QWidget* widget) {
    return widget == current || widget->isAncestorOf(current);
  };
  if (!current || std::any_of(all.begin(), all.end(), holds)) {
    return neighbour(all, current, next);
  }
  const auto region = std::find_if(regions.begin(), regions.end(), [&](const QWidget* r) {
    return r && r->isVisible() && holds(r);
  });
  if (region == regions.end()) return neighbour(all, current, next);

  // The region's stops with the widget in its place among them.
  std::vector<QWidget*> placed = stops({*region});
  placed.push_back(current);
  sortByReading(placed);
  const auto at = std::find(placed.begin(), placed.end(), current);
  if (next && at + 1 != placed.end()) return *(at + 1);
  if (!next && at != placed.begin()) return *(at - 1);

  if (!current->isVisible() || !current->isEnabled()) {
    // A control that went away keeps the keyboard in its region: on the nearest control the
    // other way, or on the region itself until it has a control again.
    if (next && at != placed.begin()) return *(at - 1);
    if (!next && at + 1 != placed.end()) return *(at + 1);
    return *region;
  }
  // On to the regions after (or before) this one, cycling.
  const std::size_t n = regions.size();
  const std::size_t from = static_cast<std::size_t>(region - regions.begin());
  for (std::size_t step = 1; step <= n; ++step) {
    const std::vector<QWidget*> found = stops({regions[(from + (next ? step : n - step)) % n]});
    if (!found.empty()) return next ? found.front() : found.back();
  }
  return nullptr;
}

}  // namespace hl::FocusOrder
