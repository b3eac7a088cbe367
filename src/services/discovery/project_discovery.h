#pragma once

#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "models/cache_item.h"
#include "services/discovery/cache_catalog.h"
#include "services/discovery/level_walk.h"
#include "services/measurement/walk_pool.h"
#include "utilities/spread.h"
#include "utilities/time.h"
#include "utilities/walk_boundary.h"

namespace hl {

// Finds the regenerable folders inside the user's projects (dependencies, build output,
// virtual environments, bytecode caches) by a bounded breadth-first walk of the search roots.
// A folder is recognised by its exact name and a marker beside or inside it, and is never
// walked into. Reads listings only; writes nothing.
struct ProjectDiscovery {
  struct Rule {
    std::string name;
    std::vector<std::string> requiredSiblings;  // one must lie beside the folder
    std::vector<std::string> requiredChildren;  // one must exist inside the folder
    std::vector<std::string> owners;

    // Whether the markers hold for `folder`, given the names beside it. The name itself is
    // not tested here.
    bool matches(std::string_view folder, const std::unordered_set<std::string>& siblings) const;

    bool operator==(const Rule&) const = default;
  };

  std::string home;
  // Names of folders in the home, matched ignoring ASCII case (see searchRootFolders).
  std::vector<std::string> searchRoots = CacheCatalog::repositorySearchRoots();
  int maxDepth = 5;  // deepest level below a search root still listed
  // Its functions may be asked from several threads at once.
  WalkBoundary boundary;
  // How the folders of one level are listed: side by side on the walk pool; `sequentially()`
  // gives the same items in the same order.
  Spread spread = WalkPool::spread();
  // Ends the walk between two levels; what it found until then is incomplete.
  std::stop_token stop;

  // The project items, roots in order, folders breadth first, the candidates of one folder in
  // listing order. Neither sorted nor de-duplicated: the claim settles repeated paths. The
  // folders are listed in parallel; the order is that of a walk with one queue all the same.
  std::vector<CacheItem> discover(Date now) const;

  static const std::vector<Rule>& rules();

  // The walk `discover` makes, to be walked with others (`walkTogether`). Its listings read the
  // status of every folder, and of every entry where a build folder is found.
  class Walk;
};

class ProjectDiscovery::Walk final : public LevelWalk {
 public:
  Walk(const ProjectDiscovery& discovery, Date now);

  bool finished() const override;
  std::size_t size() const override { return level_.size(); }
  const std::string& path(std::size_t folder) const override { return level_[folder].folder; }
  bool wantsListing(std::size_t) const override { return true; }
  std::optional<std::vector<ListedEntry>> list(std::size_t folder) override;
  void visit(std::size_t folder, const std::optional<std::vector<ListedEntry>>& listing) override;
  void advance() override;

  // What `discover` returns, once the walk has finished.
  std::vector<CacheItem> items();

 private:
  // A folder still to list, with its depth below its search root and that root's place.
  struct Pending {
    std::string folder;
    int depth = 0;
    std::size_t root = 0;
  };
  enum class Role { skipped, candidate, other };
  // What listing one folder gives: its candidates, as items, and the folders to list next, both
  // in listing order.
  struct Visited {
    std::vector<Role> roles;
    std::vector<CacheItem> items;
    std::vector<Pending> children;
  };

  const ProjectDiscovery& discovery_;
  Date now_;
  std::vector<std::optional<VolumeIdentifier>> rootVolumes_;
  std::vector<Pending> level_;
  std::vector<Visited> visited_;
  std::vector<std::vector<CacheItem>> found_;
};

}  // namespace hl
