#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "models/tool_location_key.h"
#include "services/removal/trash_guard.h"

namespace hl {

// The cache folders the tools reported, each kept only where it may be treated as that tool's
// cache. A tool's answer is only as good as the program found first on the login PATH and the
// tool's own settings: either can name any folder, and a cache row's items are offered as safe.
struct TrustedToolLocations {
  std::map<ToolLocationKey, std::string> accepted;
  // One line for each location set aside, saying which tool's and why.
  std::vector<std::string> notes;
  bool operator==(const TrustedToolLocations&) const = default;
};

namespace ToolLocationTrust {

// Keeps a reported location only when it is absolute, is neither a protected location of the
// guard over `home` (the home, the project search roots …) nor a folder holding one, is not at
// or above a folder searched for projects or worktrees, and holds the tool's own layout. A location where nothing exists is dropped without a note: nothing
// would be found there, and the catalog's own location is looked at instead either way.
TrustedToolLocations vet(const std::map<ToolLocationKey, std::string>& reported,
                         const std::string& home);

// The folders searched for projects and agents' worktrees in `home`, as identity paths.
std::vector<std::string> searchedFolders(const std::string& home);

// Why `location` is not the cache `key` names; none when it is. `protectedLocations` are the
// guard's, `searched` those of `searchedFolders`.
std::optional<std::string> objection(ToolLocationKey key, const std::string& location,
                                     const std::vector<TrashGuard::Protected>& protectedLocations,
                                     const std::vector<std::string>& searched);

// Whether the folder holds what the tool keeps in the cache `key` names: pnpm's store is a
// folder named after its layout version holding "files"; uv's cache is tagged as a cache and
// holds its versioned buckets; go's module download cache holds "download" and its build
// cache a README of go's; Homebrew's cache holds its downloads or its formula data; npm's cache
// holds its content index, and its npx folder lies beside one.
bool holdsLayout(ToolLocationKey key, const std::string& location);

}  // namespace ToolLocationTrust

}  // namespace hl
