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
  struct Candidate {
    std::string path;
    const Rule* rule;
    std::optional<Date> modified;
  };
  std::vector<CacheItem> result;
  for (const std::string& root : searchRootFolders(home, searchRoots)) {
    if (boundary.isDataless && boundary.isDataless(root)) continue;
    const auto rootVolume = DirectoryListing::rootVolume(boundary, root);
    std::deque<std::pair<std::string, int>> queue;
    queue.emplace_back(root, 0);
    while (!queue.empty()) {
      auto [folder, depth] = std::move(queue.front());
      queue.pop_front();
      auto listing = DirectoryListing::entries(folder);
      if (!listing) continue;
      std::unordered_set<std::string> siblings;
      siblings.reserve(listing->size());
      for (const ListedEntry& entry : *listing) siblings.insert(entry.name);

      std::optional<Date> projectModified;
      std::vector<Candidate> candidates;
      for (ListedEntry& entry : *listing) {
        const bool eligible = entry.hasValues && entry.isDirectory && !entry.isSymbolicLink;
        if (eligible && DirectoryListing::skipReason(boundary, entry, rootVolume)) continue;
        const auto rule = rulesByName().find(entry.name);
        if (eligible && rule != rulesByName().end() && rule->second->matches(entry.path, siblings)) {
          candidates.push_back({entry.path, rule->second, entry.modified});
          continue;
        }
        if (entry.modified && (!projectModified || *entry.modified > *projectModified)) {
          projectModified = entry.modified;
        }
        // Packages (bundles) do not exist here, so no folder is one.
        if (eligible && depth + 1 <= maxDepth && !entry.name.empty() &&
            entry.name.front() != '.' && !neverDescend(entry.name)) {
          queue.emplace_back(std::move(entry.path), depth + 1);
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
        result.push_back(std::move(item));
      }
    }
  }
  return result;
}

}  // namespace hl
