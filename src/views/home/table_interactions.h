#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "models/cache_item.h"
#include "models/removal_mode.h"

namespace hl {

// What clicks and the context menu do with the items table's rows; the highlight (the table
// selection) is separate from the check marks.
namespace TableInteractions {

struct ClickResult {
  std::set<std::string> selection;
  // A plain click also opens the row's details.
  std::optional<std::string> showDetails;
};

// A click on the row `clicked` with the rows in display order: Ctrl toggles the row; Shift
// highlights from the first highlighted row to the clicked one; otherwise the row alone is
// highlighted and its details open (also for Shift with nothing highlighted).
ClickResult select(const std::string& clicked, const std::vector<std::string>& rows,
                   const std::set<std::string>& selection, bool command, bool shift);

// The rows a row's context menu acts on: the whole highlight when the row is in it, else the
// row alone.
std::set<std::string> contextIDs(const std::string& id, const std::set<std::string>& selection);

struct MenuEntry {
  enum class Action { reveal, copyPaths, check, uncheck, nativeAction, exclude, remove, divider };
  Action action;
  std::string title;
  bool enabled = true;
  bool destructive = false;
  bool operator==(const MenuEntry&) const = default;
};

// The facts the menu's titles and enabled states depend on.
struct MenuFacts {
  bool isReadOnly = false;
  // The cleaner would refuse a new removal (`CleanerViewModel::isRemovalBusy`).
  bool removalBusy = false;
  RemovalMode removalMode = RemovalMode::trash;
  // The raw names of the tools whose cleanup command runs now.
  std::set<std::string> runningActions;
};

// The context menu for `idCount` ids, of which `items` were found (ids without an item are left
// out of every rule; the actions still get every id).
std::vector<MenuEntry> menu(std::size_t idCount, const std::vector<CacheItem>& items,
                            const MenuFacts& facts);

}  // namespace TableInteractions

}  // namespace hl
