#include "services/discovery/project_discovery.h"

#include <deque>
#include <unordered_map>

#include "platform/directory_listing.h"
#include "services/discovery/search_roots.h"
#include "utilities/path_canonical.h"
#include "utilities/relative_date.h"

namespace hl {
namespace {

const std::unordered_map<std::string, const ProjectDiscovery::Rule*>& rulesByName() {
  static const auto table = [] {
    std::unordered_map<std::string, const ProjectDiscovery::Rule*> byName;
    for (const ProjectDiscovery::Rule& rule : ProjectDiscovery::rules()) byName[rule.name] = &rule;
    return byName;
  }();
  return table;
}

// Folders never walked into: repositories' own data, dependencies, macOS libraries and the
// agents' folders (whose worktrees are found elsewhere).
bool neverDescend(std::string_view name) {
  return name == ".git" || name == "node_modules" || name == "Library" || name == ".claude";
}

constexpr std::string_view kWorktreeFolder = "/.claude/worktrees/";

}  // namespace

const std::vector<ProjectDiscovery::Rule>& ProjectDiscovery::rules() {
  static const std::vector<Rule> table = {
      {"node_modules",
       {"package.json", "pnpm-workspace.yaml", "yarn.lock", "pnpm-lock.yaml", "package-lock.json",
        "bun.lockb", "bun.lock"},
       {},
       {"node"}},
      {"target", {"Cargo.toml", "pom.xml"}, {}, {"cargo", "java"}},
      {".next",
       {"next.config.js", "next.config.mjs", "next.config.ts", "package.json"},
       {},
       {"node"}},
      {"dist", {"package.json", "pyproject.toml", "setup.py"}, {}, {"node", "python3", "python"}},
      {"build", {"CMakeLists.txt", "build.gradle", "build.gradle.kts"}, {}, {"java", "cmake"}},
      {".build", {"Package.swift"}, {}, {"swift-build", "swift-package", "xcodebuild"}},
      {".gradle",
       {"build.gradle", "build.gradle.kts", "settings.gradle", "settings.gradle.kts"},
       {},
       {"java"}},
      {".venv", {}, {"pyvenv.cfg"}, {"python3", "python"}},
      {"venv", {}, {"pyvenv.cfg"}, {"python3", "python"}},
      {"__pycache__", {}, {}, {"python3", "python"}},
  };
  return table;
}

bool ProjectDiscovery::Rule::matches(std::string_view folder,
                                     const std::unordered_set<std::string>& siblings) const {
  if (!requiredSiblings.empty()) {
    bool found = false;
    for (const std::string& sibling : requiredSiblings) {
      if (siblings.count(sibling) > 0) {
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  if (!requiredChildren.empty()) {
    const std::string base = cleanPath(folder);
    bool found = false;
    for (const std::string& child : requiredChildren) {
      if (DirectoryListing::exists(appendingPath(base, child))) {
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  return true;
}

namespace {

// A folder the walk still has to list, with its depth below its search root and that root's
// place among the roots.
struct Pending {
  std::string folder;
  int depth = 0;
  std::size_t root = 0;
};

// What listing one folder gives: its candidates, as items, and the folders to list next, both in
// listing order.
struct Visited {
  std::vector<CacheItem> items;
  std::vector<Pending> children;
};

}  // namespace

std::vector<CacheItem> ProjectDiscovery::discover(Date now) const {
  struct Candidate {
    std::string path;
    const Rule* rule;
    std::optional<Date> modified;
  };
  const std::vector<std::string> roots = searchRootFolders(home, searchRoots);
  std::vector<std::optional<VolumeIdentifier>> rootVolumes(roots.size());
  std::vector<Pending> level;
  for (std::size_t i = 0; i < roots.size(); ++i) {
    if (boundary.isDataless && boundary.isDataless(roots[i])) continue;
    rootVolumes[i] = DirectoryListing::rootVolume(boundary, roots[i]);
    level.push_back({roots[i], 0, i});
  }

  const auto visit = [&](const Pending& pending) {
    Visited visited;
    const std::string& folder = pending.folder;
    // Which entries are build folders is known from the folders' status alone; the dates of the
    // other entries are read only where there are some, for the project's modification date.
    enum class Role { skipped, candidate, other };
    std::vector<Role> roles;
    auto listing =
        DirectoryListing::entries(folder, [&](const std::vector<ListedEntry>& entries) {
          std::unordered_set<std::string> siblings;
          siblings.reserve(entries.size());
          for (const ListedEntry& entry : entries) siblings.insert(entry.name);
          bool found = false;
          for (const ListedEntry& entry : entries) {
            const bool eligible = entry.hasValues && entry.isDirectory && !entry.isSymbolicLink;
            Role role = Role::other;
            if (eligible &&
                DirectoryListing::skipReason(boundary, entry, rootVolumes[pending.root])) {
              role = Role::skipped;
            } else if (const auto rule = rulesByName().find(entry.name);
                       eligible && rule != rulesByName().end() &&
                       rule->second->matches(entry.path, siblings)) {
              role = Role::candidate;
              found = true;
            }
            roles.push_back(role);
          }
          return found;
        });
    if (!listing) return visited;

    std::optional<Date> projectModified;
    std::vector<Candidate> candidates;
    for (std::size_t index = 0; index < listing->size(); ++index) {
      ListedEntry& entry = (*listing)[index];
      const bool eligible = entry.hasValues && entry.isDirectory && !entry.isSymbolicLink;
      if (roles[index] == Role::skipped) continue;
      if (roles[index] == Role::candidate) {
        candidates.push_back({entry.path, rulesByName().find(entry.name)->second, entry.modified});
        continue;
      }
      if (entry.modified && (!projectModified || *entry.modified > *projectModified)) {
        projectModified = entry.modified;
      }
      // Packages (bundles) do not exist here, so no folder is one.
      if (eligible && pending.depth + 1 <= maxDepth && !entry.name.empty() &&
          entry.name.front() != '.' && !neverDescend(entry.name)) {
        visited.children.push_back({std::move(entry.path), pending.depth + 1, pending.root});
      }
    }

    for (Candidate& candidate : candidates) {
      if (cleanPath(candidate.path).find(kWorktreeFolder) != std::string::npos) continue;
      std::string subtitle = lastPathComponent(folder);
      if (projectModified) {
        subtitle += " · project last modified " + RelativeDate::shortPhrase(*projectModified, now);
      }
      CacheItemInit init;
      init.url = std::move(candidate.path);
      init.subtitle = std::move(subtitle);
      init.group = CacheGroup::projects;
      init.risk = RiskLevel::moderate;
      init.kind = ItemKind::path;
      init.isReportOnly = false;
      init.discoveryRoot = folder;
      init.modified = candidate.modified;
      init.owners = candidate.rule->owners;
      init.home = home;
      CacheItem item(std::move(init));
      item.projectModified = projectModified;
      visited.items.push_back(std::move(item));
    }
    return visited;
  };

  // Breadth first, one level of every root at a time: the folders of a level are listed side by
  // side, and their findings are taken back in the level's order, so each root's items come in
  // exactly the order of a walk with one queue.
  std::vector<std::vector<CacheItem>> found(roots.size());
  while (!level.empty() && !stop.stop_requested()) {
    std::vector<Visited> visited = mapInOrder(spread, level, visit);
    std::vector<Pending> next;
    for (std::size_t k = 0; k < level.size(); ++k) {
      std::vector<CacheItem>& items = found[level[k].root];
      for (CacheItem& item : visited[k].items) items.push_back(std::move(item));
      for (Pending& child : visited[k].children) next.push_back(std::move(child));
    }
    level = std::move(next);
  }
  std::vector<CacheItem> result;
  for (std::vector<CacheItem>& items : found) {
    for (CacheItem& item : items) result.push_back(std::move(item));
  }
  return result;
}

}  // namespace hl
