#include "models/cache_item.h"

#include "utilities/path_canonical.h"

namespace hl {
namespace {

constexpr double kRecentWindow = 604800;   // 7 days
constexpr double kStaleWindow = 5184000;   // 60 days

}  // namespace

std::optional<std::string> WorktreeInfo::repositoryName() const {
  if (!repositoryURL) return std::nullopt;
  return lastPathComponent(*repositoryURL);
}

CacheItem::CacheItem(CacheItemInit init)
    : id(init.id ? std::move(*init.id) : cleanPath(init.url)),
      url(init.url),
      name(init.name ? std::move(*init.name) : lastPathComponent(init.url)),
      subtitle(init.subtitle ? std::move(*init.subtitle) : abbreviatedPath(init.url, init.home)),
      group(init.group),
      risk(init.risk),
      kind(init.kind),
      isReportOnly(init.isReportOnly),
      discoveryRoot(init.discoveryRoot ? std::move(*init.discoveryRoot) : init.url),
      modified(init.modified),
      worktree(std::move(init.worktree)),
      owners(std::move(init.owners)),
      action(init.action) {}

bool CacheItem::isSelectable() const {
  if (inUseReason) return false;
  if (kind != ItemKind::path) return false;
  if (isReportOnly) return false;
  if (risk == RiskLevel::review) return false;
  if (worktree && !(worktree->status.isClean() && !hasNestedGitRoot())) return false;
  return true;
}

std::vector<std::string> CacheItem::targetURLs() const {
  if (!members.empty()) return members;
  return {url};
}

bool CacheItem::hasNestedGitRoot() const {
  if (!worktree) return false;
  if (!worktree->gitRoot) return true;
  return cleanPath(*worktree->gitRoot) != cleanPath(url);
}

bool CacheItem::isRecent(Date now) const {
  return newestModification && secondsBetween(*newestModification, now) < kRecentWindow;
}

bool CacheItem::isAutoTickable(bool includeModerate, Date now) const {
  if (!isSelectable()) return false;
  if (runningOwner) return false;
  if (!size) return false;
  if (isUnreadable) return false;
  if (isRecent(now)) return false;
  if (keepNewest) return false;
  return risk == RiskLevel::safe || (risk == RiskLevel::moderate && includeModerate);
}

std::optional<Date> CacheItem::staleReference() const {
  if (projectModified) return projectModified;
  if (newestModification) return newestModification;
  return modified;
}

bool CacheItem::isStale(Date now) const {
  const auto reference = staleReference();
  return reference && secondsBetween(*reference, now) >= kStaleWindow;
}

double CacheItem::staleDays(Date now) const {
  const auto reference = staleReference();
  if (!reference) return 0;
  const double days = secondsBetween(*reference, now) / 86400.0;
  return days < 0 ? 0 : days;
}

bool CacheItem::isVirtualRow() const { return id.rfind("virtual:", 0) == 0; }

}  // namespace hl
