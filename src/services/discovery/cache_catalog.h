#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "models/cache_group.h"
#include "models/cache_item.h"
#include "models/guard_rule.h"
#include "models/native_action.h"
#include "models/risk_level.h"
#include "models/tool_location_key.h"

namespace hl {

// One row of the built-in catalog: where a cache may live and how it becomes items.
struct CacheSource {
  // Each eligible entry directly inside the location is one item.
  struct Children {
    bool directoriesOnly = false;
    bool operator==(const Children&) const = default;
  };
  // The location is one item.
  struct Itself {
    bool operator==(const Itself&) const = default;
  };
  using Mode = std::variant<Children, Itself>;

  // Tried in order, the first that exists is used: home-relative, "$TMPDIR" (the scan's
  // temporary folder), or absolute when it begins with "/".
  std::vector<std::string> paths;
  Mode mode = Itself{};
  std::optional<RiskLevel> risk;  // none: the group's default
  // Children mode only.
  std::optional<std::set<std::string>> allowedChildren;
  std::optional<std::vector<std::string>> allowedPrefixes;
  std::set<std::string> excludedChildren;
  std::optional<GuardRule> guardRule;
  std::optional<std::string> note;  // appended to each item's subtitle
  std::set<std::string> reviewChildren;
  bool isReportOnly = false;
  // A location the tool reports for this key is tried before `paths`.
  std::optional<ToolLocationKey> toolKey;
  // Itself mode only: offered when the tool is available.
  std::optional<NativeAction::Tool> action;
  std::vector<std::string> owners;
  int keepNewestVersions = 0;

  static CacheSource itself(std::string path, std::optional<RiskLevel> risk = std::nullopt,
                            bool reportOnly = false,
                            std::optional<ToolLocationKey> toolKey = std::nullopt,
                            std::optional<NativeAction::Tool> action = std::nullopt,
                            std::vector<std::string> owners = {},
                            std::optional<GuardRule> guardRule = std::nullopt,
                            std::optional<std::string> note = std::nullopt);

  static CacheSource children(std::string path, bool directoriesOnly = false,
                              std::optional<RiskLevel> risk = std::nullopt,
                              std::optional<std::set<std::string>> allowed = std::nullopt,
                              std::optional<std::vector<std::string>> allowedPrefixes = std::nullopt,
                              std::set<std::string> excluded = {},
                              std::set<std::string> reviewChildren = {},
                              std::vector<std::string> owners = {}, int keepNewestVersions = 0,
                              std::optional<GuardRule> guardRule = std::nullopt);

  bool isChildren() const { return std::holds_alternative<Children>(mode); }
  bool directoriesOnly() const;

  std::size_t hash() const;

  bool operator==(const CacheSource&) const = default;
};

// The built-in knowledge of where developer caches live. Every table is built once, on first
// use, and never changes.
namespace CacheCatalog {

// Folder names never queued while searching for repositories.
const std::set<std::string>& worktreeSkippedNames();
// The review children of the ".cache" row.
const std::set<std::string>& modelCacheNames();
// Home-relative folders searched for projects and repositories.
const std::vector<std::string>& repositorySearchRoots();
// Home-relative folders where agents keep their own worktrees.
const std::vector<std::string>& toolWorktreeFolders();
const std::vector<std::string>& claudeOwners();
const std::vector<std::string>& codexOwners();

// The home-relative path of the Trash row. Discovery reads it as the freedesktop home Trash of
// the scan's home, which follows XDG_DATA_HOME for the user's own home.
inline constexpr std::string_view homeTrashPath = ".local/share/Trash";

const std::vector<CacheSource>& packageCaches();
const std::vector<CacheSource>& buildTools();
const std::vector<CacheSource>& xcode();
const std::vector<CacheSource>& largeBackups();
const std::vector<CacheSource>& systemCaches();
const std::vector<CacheSource>& trash();

// The rows of a catalog-backed group; empty for the groups found by other means (worktrees,
// projects, custom paths).
const std::vector<CacheSource>& sources(CacheGroup group);

// Whether every location the row names lies in a folder only macOS has (the home's "Library").
bool isMacOnly(const CacheSource& source);
// A catalog-backed group all of whose rows are macOS-only: it finds something only in a home
// that has such a folder, so it is listed only while it holds an item.
bool coversOnlyMacLocations(CacheGroup group);

// The lines that tell the user what a group covers, one per catalog row. A location in the home's
// "Library" is listed only where `found` (the scan's items) holds an item of the group read
// there: only macOS fills that folder, and a home here has one only when someone made it. What a
// scan here never finds (simulators, local snapshots, the clones of the browser's bundle) has no
// line.
std::vector<std::string> coveredPaths(CacheGroup group, const std::vector<std::string>& extraPaths,
                                      std::string_view home, const std::vector<CacheItem>& found);

}  // namespace CacheCatalog

}  // namespace hl

template <>
struct std::hash<hl::CacheSource> {
  std::size_t operator()(const hl::CacheSource& source) const { return source.hash(); }
};
