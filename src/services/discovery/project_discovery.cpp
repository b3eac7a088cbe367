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

std::vector<CacheItem> ProjectDiscovery::discover(Date now) const {
  Walk walk(*this, now);
  walkTogether({&walk}, spread);
  return walk.items();
}

ProjectDiscovery::Walk::Walk(const ProjectDiscovery& discovery, Date now)
    : discovery_(discovery), now_(now) {
  const std::vector<std::string> roots = searchRootFolders(discovery.home, discovery.searchRoots);
  rootVolumes_.resize(roots.size());
  found_.resize(roots.size());
  for (std::size_t i = 0; i < roots.size(); ++i) {
    if (discovery.boundary.isDataless && discovery.boundary.isDataless(roots[i])) continue;
    rootVolumes_[i] = DirectoryListing::rootVolume(discovery.boundary, roots[i]);
    level_.push_back({roots[i], 0, i});
  }
  visited_.resize(level_.size());
}

bool ProjectDiscovery::Walk::finished() const {
  return level_.empty() || discovery_.stop.stop_requested();
}

std::optional<std::vector<ListedEntry>> ProjectDiscovery::Walk::list(std::size_t folder) {
  const Pending& pending = level_[folder];
  std::vector<Role>& roles = visited_[folder].roles;
  // Which entries are build folders is known from the folders' status alone; the dates of the
  // other entries are read only where there are some, for the project's modification date.
  return DirectoryListing::entries(
      pending.folder, [&](const std::vector<ListedEntry>& entries) {
        std::unordered_set<std::string> siblings;
        siblings.reserve(entries.size());
        for (const ListedEntry& entry : entries) siblings.insert(entry.name);
        bool found = false;
        roles.clear();
        for (const ListedEntry& entry : entries) {
          const bool eligible = entry.hasValues && entry.isDirectory && !entry.isSymbolicLink;
          Role role = Role::other;
          if (eligible && DirectoryListing::skipReason(discovery_.boundary, entry,
                                                       rootVolumes_[pending.root])) {
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
}

void ProjectDiscovery::Walk::visit(std::size_t folderIndex,
                                   const std::optional<std::vector<ListedEntry>>& listing) {
  struct Candidate {
    std::string path;
    const Rule* rule;
    std::optional<Date> modified;
  };
  if (!listing) return;
  const Pending& pending = level_[folderIndex];
  Visited& visited = visited_[folderIndex];
  const std::string& folder = pending.folder;
  const std::vector<Role>& roles = visited.roles;
  std::optional<Date> projectModified;
  std::vector<Candidate> candidates;
  for (std::size_t index = 0; index < listing->size(); ++index) {
    const ListedEntry& entry = (*listing)[index];
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
    if (eligible && pending.depth + 1 <= discovery_.maxDepth && !entry.name.empty() &&
        entry.name.front() != '.' && !neverDescend(entry.name)) {
      visited.children.push_back({entry.path, pending.depth + 1, pending.root});
    }
  }

  for (Candidate& candidate : candidates) {
    if (cleanPath(candidate.path).find(kWorktreeFolder) != std::string::npos) continue;
    std::string subtitle = lastPathComponent(folder);
    if (projectModified) {
      subtitle += " · project last modified " + RelativeDate::shortPhrase(*projectModified, now_);
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
    init.home = discovery_.home;
    CacheItem item(std::move(init));
    item.projectModified = projectModified;
    visited.items.push_back(std::move(item));
  }
}

// Breadth first, one level of every root at a time: the folders of a level are listed side by
// side, and their findings are taken back in the level's order, so each root's items come in
// exactly the order of a walk with one queue.
void ProjectDiscovery::Walk::advance() {
  std::vector<Pending> next;
  for (std::size_t k = 0; k < level_.size(); ++k) {
    std::vector<CacheItem>& items = found_[level_[k].root];
    for (CacheItem& item : visited_[k].items) items.push_back(std::move(item));
    for (Pending& child : visited_[k].children) next.push_back(std::move(child));
  }
  level_ = std::move(next);
  visited_.assign(level_.size(), Visited{});
}

std::vector<CacheItem> ProjectDiscovery::Walk::items() {
  std::vector<CacheItem> result;
  for (std::vector<CacheItem>& items : found_) {
    for (CacheItem& item : items) result.push_back(std::move(item));
  }
  return result;
}

}  // namespace hl
