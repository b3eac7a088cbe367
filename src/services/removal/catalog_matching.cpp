#include <algorithm>

#include "platform/directory_listing.h"
#include "platform/temporary_folder.h"
#include "platform/trash_folders.h"
#include "services/removal/scan_trash_policy.h"
#include "utilities/file_identity.h"
#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"

namespace hl {
namespace {

bool claimsChild(const CacheSource& row, const std::string& name) {
  if (row.allowedChildren && row.allowedChildren->count(name) == 0) return false;
  if (row.allowedPrefixes &&
      std::none_of(row.allowedPrefixes->begin(), row.allowedPrefixes->end(),
                   [&](const std::string& prefix) { return name.starts_with(prefix); })) {
    return false;
  }
  return row.excludedChildren.count(name) == 0 && name != ".DS_Store";
}

std::string joined(const std::vector<std::string_view>& parts, std::size_t count) {
  std::string path = "/";
  for (std::size_t i = 0; i < count; ++i) path = appendingPath(path, parts[i]);
  return path;
}

bool hasGitEntry(std::string_view folder) {
  return DirectoryListing::exists(cleanPath(appendingPath(folder, ".git")));
}

}  // namespace

std::optional<std::string> ScanTrashPolicy::location(const std::string& path,
                                                     CacheGroup group) const {
  if (path == "$TMPDIR") return privateTemporaryFolder();
  // The Trash row names the freedesktop home Trash, which follows XDG_DATA_HOME.
  if (group == CacheGroup::trash && path == CacheCatalog::homeTrashPath) {
    return TrashFolders::homeTrash(home);
  }
  if (path.starts_with("/")) return path;
  return appendingPath(home, path);
}

std::vector<ScanTrashPolicy::CatalogLocation> ScanTrashPolicy::catalogLocations() const {
  std::vector<CatalogLocation> locations;
  for (const CacheGroup group : allCacheGroups) {
    for (const CacheSource& row : CacheCatalog::sources(group)) {
      const RiskLevel risk = row.risk.value_or(defaultRisk(group));
      for (const std::string& path : row.paths) {
        if (auto where = location(path, group)) {
          locations.push_back({group, &row, risk, FileIdentity::identityPath(*where)});
        }
      }
    }
  }
  return locations;
}

std::optional<CacheItem> ScanTrashPolicy::catalogItem(const std::string& url) const {
  return catalogItem(url, catalogLocations());
}

std::optional<CacheItem> ScanTrashPolicy::catalogItem(
    const std::string& url, const std::vector<CatalogLocation>& locations) const {
  const std::string identity = FileIdentity::identityPath(url);
  const std::string parent = parentPath(identity);
  const std::string name = lastPathComponent(identity);
  const CatalogLocation* candidate = nullptr;
  RiskLevel candidateRisk = RiskLevel::moderate;
  for (const CatalogLocation& claimed : locations) {
    const CacheSource& row = *claimed.row;
    if (!row.isChildren()) {
      // A row for exactly this location wins over any children row.
      if (identity == claimed.identity) return makeItem(url, claimed.group, row, claimed.risk);
      continue;
    }
    if (candidate || parent != claimed.identity || !claimsChild(row, name)) continue;
    candidate = &claimed;
    candidateRisk = row.reviewChildren.count(name) > 0 ? RiskLevel::review : claimed.risk;
  }
  if (!candidate) return std::nullopt;
  return makeItem(url, candidate->group, *candidate->row, candidateRisk);
}

CacheItem ScanTrashPolicy::makeItem(const std::string& url, CacheGroup group,
                                    const CacheSource& row, RiskLevel risk) const {
  CacheItemInit init;
  init.url = url;
  init.group = group;
  init.risk = risk;
  init.kind = ItemKind::path;
  init.isReportOnly = row.isReportOnly;
  init.modified = DirectoryListing::modificationDate(url);
  init.owners = defaultOwners(group);
  init.owners.insert(init.owners.end(), row.owners.begin(), row.owners.end());
  init.home = home;
  CacheItem item(std::move(init));
  item.guardRule = row.guardRule;
  if (item.guardRule == GuardRule::temporaryFiles || item.guardRule == GuardRule::updaterDownload) {
    // The time rules judge the newest file inside; recorded as the scan records a measurement,
    // so that the item counts as measured.
    if (const auto measured = DiskScanner::measure(url, true, WalkBoundary()).measurement()) {
      item.size = measured->size;
      item.fileCount = measured->fileCount;
      item.isUnreadable = !measured->isReadable;
      item.newestModification = measured->newestModification;
      item.isApproximate = measured->isApproximate();
    }
  }
  return item;
}

std::vector<std::string> ScanTrashPolicy::reviewLocations() const {
  std::vector<std::string> locations;
  for (const CacheGroup group : allCacheGroups) {
    for (const CacheSource& row : CacheCatalog::sources(group)) {
      std::vector<std::string> bases;
      for (const std::string& path : row.paths) {
        if (path.starts_with("$")) continue;
        if (auto where = location(path, group)) bases.push_back(std::move(*where));
      }
      if (row.risk.value_or(defaultRisk(group)) == RiskLevel::review || row.isReportOnly) {
        for (const std::string& base : bases) {
          locations.push_back(FileIdentity::identityPath(base));
        }
      }
      for (const std::string& child : row.reviewChildren) {
        for (const std::string& base : bases) {
          locations.push_back(FileIdentity::identityPath(appendingPath(base, child)));
        }
      }
    }
  }
  return locations;
}

std::optional<std::string> ScanTrashPolicy::worktreeRoot(std::string_view path,
                                                         std::string_view home) {
  const std::vector<std::string_view> parts = PathRelation::components(path);
  for (std::size_t i = 0; i + 2 < parts.size(); ++i) {
    if (parts[i] == ".claude" && parts[i + 1] == "worktrees") return joined(parts, i + 3);
  }
  for (const std::string& folder : CacheCatalog::toolWorktreeFolders()) {
    const std::string base = PathCanonical::canonical(appendingPath(home, folder));
    if (!PathRelation::isSameOrDescendant(path, base)) continue;
    const std::size_t depth = PathRelation::components(base).size();
    if (parts.size() <= depth) continue;  // the agent's folder itself
    const std::string first = appendingPath(base, parts[depth]);
    if (hasGitEntry(first)) return PathCanonical::canonical(first);
    if (parts.size() > depth + 1) {
      const std::string second = appendingPath(first, parts[depth + 1]);
      if (hasGitEntry(second)) return PathCanonical::canonical(second);
    }
    return PathCanonical::canonical(first);
  }
  return std::nullopt;
}

}  // namespace hl
