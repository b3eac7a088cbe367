#include "views/home/table_interactions.h"

#include <algorithm>

namespace hl::TableInteractions {

ClickResult select(const std::string& clicked, const std::vector<std::string>& rows,
                   const std::set<std::string>& selection, bool command, bool shift) {
  if (command) {
    std::set<std::string> toggled = selection;
    if (!toggled.erase(clicked)) toggled.insert(clicked);
    return {std::move(toggled), std::nullopt};
  }
  if (shift) {
    const auto anchor = std::find_if(rows.begin(), rows.end(),
                                     [&](const std::string& id) { return selection.contains(id); });
    const auto target = std::find(rows.begin(), rows.end(), clicked);
    if (anchor != rows.end() && target != rows.end()) {
      const auto [low, high] = std::minmax(anchor, target);
      return {std::set<std::string>(low, high + 1), std::nullopt};
    }
  }
  return {{clicked}, clicked};
}

std::set<std::string> contextIDs(const std::string& id, const std::set<std::string>& selection) {
  if (selection.contains(id)) return selection;
  return {id};
}

std::vector<MenuEntry> menu(std::size_t idCount, const std::vector<CacheItem>& items,
                            const MenuFacts& facts) {
  using Action = MenuEntry::Action;
  const bool allVirtual = std::all_of(items.begin(), items.end(), [](const CacheItem& item) {
    return item.kind == ItemKind::virtual_;
  });
  const bool anySelectable =
      std::any_of(items.begin(), items.end(), [](const CacheItem& item) { return item.isSelectable(); });
  const MenuEntry divider{Action::divider, "", true, false};

  std::vector<MenuEntry> entries;
  entries.push_back({Action::reveal, "Open Containing Folder", !allVirtual, false});
  entries.push_back({Action::copyPaths, idCount == 1 ? "Copy Path" : "Copy Paths", true, false});
  entries.push_back(divider);
  entries.push_back({Action::check, "Check", anySelectable, false});
  entries.push_back({Action::uncheck, "Uncheck", true, false});
  entries.push_back(divider);
  if (items.size() == 1 && items.front().action) {
    const NativeAction& action = *items.front().action;
    entries.push_back({Action::nativeAction, action.title() + "\u2026",
                       !facts.isReadOnly && !facts.runningActions.contains(action.id()), false});
    entries.push_back(divider);
  }
  entries.push_back({Action::exclude, "Exclude", true, false});
  entries.push_back(divider);
  entries.push_back({Action::remove, std::string(actionTitle(facts.removalMode)) + "\u2026",
                     !facts.isReadOnly && anySelectable && !facts.removalBusy, true});
  return entries;
}

}  // namespace hl::TableInteractions
