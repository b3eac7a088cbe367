#pragma once

#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "models/cache_item.h"
#include "models/worktree_info.h"
#include "platform/directory_listing.h"
#include "services/discovery/cache_catalog.h"
#include "services/measurement/walk_pool.h"
#include "utilities/spread.h"
#include "utilities/walk_boundary.h"

namespace hl {

// Finds the git worktrees that coding agents leave behind: in a repository's
// ".claude/worktrees" folder (repositories found by a bounded breadth-first search of the
// search roots) and in the agents' own worktree folders. Reads listings and the small ".git"
// and "gitdir" records only; runs no git and writes nothing.
struct WorktreeDiscovery {
  std::string home;
  // Names of folders in the home, matched ignoring ASCII case (see searchRootFolders).
  std::vector<std::string> searchRoots = CacheCatalog::repositorySearchRoots();
  std::vector<std::string> toolFolders = CacheCatalog::toolWorktreeFolders();
  int maxDepth = 4;  // deepest level below a search root still examined
  // Its functions may be asked from several threads at once.
  WalkBoundary boundary;
  // How the folders of one level, and the worktrees' records, are read: side by side on the walk
  // pool; `sequentially()` gives the same items in the same order.
  Spread spread = WalkPool::spread();
  // Ends the walk between two levels; what it found until then is incomplete.
  std::stop_token stop;

  // Every worktree item, without two of the same id; the first found wins.
  std::vector<CacheItem> discover() const;

  // Folders under the search roots holding a ".claude/worktrees" folder, in the order found.
  std::vector<std::string> repositoriesWithClaudeWorktrees() const;

  // The top of the git checkout in or just below `folder`: the folder itself, else its first
  // child, else its first grandchild holding ".git" (name order); none without one.
  std::optional<std::string> gitRoot(std::string_view folder) const;

  // The target of the "gitdir:" line of the folder's ".git" file; none when ".git" is missing,
  // is a folder (a checkout of its own) or holds no such line.
  static std::optional<std::string> gitdirTarget(std::string_view folder);

  // The location a repository's worktree record (the "gitdir" file in `record`) names: its
  // trimmed text as a path, a relative one taken from `record`; none when the file cannot be
  // read as UTF-8 text or holds nothing.
  static std::optional<std::string> recordTarget(std::string_view record);

  // What the checkout at `gitRoot` tells of its repository and whether the repository's
  // worktree record points back at it. The status is left unknown for git to fill in.
  static WorktreeInfo inspect(std::string_view gitRoot,
                              const std::optional<std::string>& expectedRepository);

 private:
  std::vector<std::string> childDirectories(std::string_view folder, bool skipHidden,
                                            std::optional<VolumeIdentifier> rootVolume) const;
  // The same from a listing already made.
  std::vector<std::string> directoriesIn(std::string_view folder,
                                         const std::vector<ListedEntry>& listing, bool skipHidden,
                                         std::optional<VolumeIdentifier> rootVolume) const;
  CacheItem makeItem(const std::string& worktree, const std::string& folder,
                     const std::optional<std::string>& expectedRepository) const;
};

}  // namespace hl
