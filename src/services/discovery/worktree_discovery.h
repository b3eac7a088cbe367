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
#include "services/discovery/level_walk.h"
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
  // The same, with the repositories already found (`repositoriesWithClaudeWorktrees`).
  std::vector<CacheItem> discover(const std::vector<std::string>& repositories) const;

  // Folders under the search roots holding a ".claude/worktrees" folder, in the order found.
  std::vector<std::string> repositoriesWithClaudeWorktrees() const;

  // The walk `repositoriesWithClaudeWorktrees` makes, to be walked with others
  // (`walkTogether`). It needs only the folders' status in a listing.
  class RepositoryWalk;

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

class WorktreeDiscovery::RepositoryWalk final : public LevelWalk {
 public:
  explicit RepositoryWalk(const WorktreeDiscovery& discovery);

  bool finished() const override;
  std::size_t size() const override { return level_.size(); }
  const std::string& path(std::size_t folder) const override { return level_[folder].path; }
  bool wantsListing(std::size_t folder) const override;
  std::optional<std::vector<ListedEntry>> list(std::size_t folder) override;
  void visit(std::size_t folder, const std::optional<std::vector<ListedEntry>>& listing) override;
  void advance() override;

  // What `repositoriesWithClaudeWorktrees` returns, once the walk has finished.
  std::vector<std::string> repositories();

 private:
  struct Entry {
    std::string path;
    int depth = 0;
    bool insideRepository = false;
    std::size_t root = 0;
    std::optional<VolumeIdentifier> rootVolume;
  };
  struct Visited {
    bool holdsWorktrees = false;
    std::vector<Entry> children;
  };

  const WorktreeDiscovery& discovery_;
  std::vector<Entry> level_;
  std::vector<Visited> visited_;
  std::vector<std::vector<std::string>> found_;
};

}  // namespace hl
