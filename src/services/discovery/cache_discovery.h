#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "models/cache_group.h"
#include "models/cache_item.h"
#include "models/tool_environment.h"
#include "services/discovery/cache_catalog.h"
#include "services/discovery/project_discovery.h"
#include "services/discovery/worktree_discovery.h"
#include "services/measurement/walk_pool.h"
#include "utilities/spread.h"
#include "utilities/time.h"

namespace hl {

// The candidate items of one scan and the notes discovery has for the user (the tools' answers
// it set aside first, then the rows' own notes).
struct DiscoveryResult {
  std::vector<CacheItem> items;  // in claim order
  std::vector<std::string> notes;
  bool operator==(const DiscoveryResult&) const = default;
};

// Turns the catalog, the user's extra paths, the agents' worktrees and the projects' build
// folders into the flat item list of one scan, before anything is measured. The first claim of
// a path wins; nothing that holds or lies in a forbidden tree is listed. Reads the file system
// and writes nothing. Everything is found side by side; the claim then goes group by group in
// the claim order, so the items and their order never depend on the threads.
struct CacheDiscovery {
  std::string home;
  std::vector<std::string> extraPaths;  // as typed; may begin with "~"
  ToolEnvironment tools;
  WorktreeDiscovery worktrees;
  ProjectDiscovery projects;
  bool chromeRunning = false;
  // What "$TMPDIR" means in this scan; none leaves its row without a location.
  std::optional<std::string> temporaryDirectory;
  // Where the browser keeps its code-sign clones; none means no clone item.
  std::optional<std::string> chromeCloneFolder;
  // The time projects are judged against.
  WallClock clock = systemWallClock();
  // How the walks, the rows and the claim's look at each candidate are spread: side by side on
  // the walk pool. The claim itself goes one candidate after another in claim order, so
  // `sequentially()` (here and in both walks) gives the same result.
  Spread spread = WalkPool::spread();

  static constexpr std::array<CacheGroup, 9> claimOrder = {
      CacheGroup::aiWorktrees, CacheGroup::projects,     CacheGroup::packageCaches,
      CacheGroup::buildTools,  CacheGroup::xcode,        CacheGroup::custom,
      CacheGroup::largeBackups, CacheGroup::trash,       CacheGroup::systemCaches,
  };

  // What the two walks find; it depends on nothing but the home, the walks' settings and the
  // disk, so a scan can start the walks before it knows the tools.
  struct Walks {
    std::vector<CacheItem> worktrees;
    std::vector<CacheItem> projects;
  };
  // Both walks, side by side.
  Walks walk() const;
  // When set, `discover` takes the walks' findings from here (walks started earlier) instead of
  // walking itself.
  std::function<Walks()> earlyWalks;

  DiscoveryResult discover() const;

  // The items of one catalog row, and the note it leaves (a skipped linked root). A row with a
  // tool's location looks there first: `locations` holds the tools' answers that were trusted.
  std::pair<std::vector<CacheItem>, std::optional<std::string>> items(
      const CacheSource& source, CacheGroup group,
      const std::map<ToolLocationKey, std::string>& locations) const;

  // The items of the user's custom paths that exist, in the order given.
  std::vector<CacheItem> customPathItems() const;

  // The one aggregated item for the browser's code-sign clones, when there are any.
  std::optional<CacheItem> chromeClonesItem() const;

  // The deepest component strictly below home that is a symbolic link, looking from `path`
  // upwards; none outside home.
  std::optional<std::string> symlinkComponent(std::string_view path) const;

  std::string subtitle(std::string_view path, const std::optional<std::string>& note) const;

  static std::optional<Date> modificationDate(std::string_view path);

  // The first "major.minor[.patch]" in a name as numbers; empty without one. Compared
  // element by element, a shorter prefix first.
  static std::vector<std::int64_t> versionKey(std::string_view name);
};

}  // namespace hl
