#include "views/home/item_evidence.h"

#include <QRunnable>
#include <QThreadPool>

#include "models/owner_names.h"
#include "utilities/path_canonical.h"
#include "views/pages/page_dates.h"

namespace hl::ItemEvidence {

namespace {

std::string formatted(Date date, const QLocale& locale, const QTimeZone& zone) {
  return PageDates::abbreviated(date, locale, zone).toStdString();
}

void worktreeLines(const CacheItem& item, const EvidenceFacts& facts, const std::string& home,
                   const QLocale& locale, const QTimeZone& zone, std::vector<std::string>& lines) {
  const WorktreeInfo& worktree = *item.worktree;
  if (worktree.repositoryURL) {
    lines.push_back("Repository: " + abbreviatedPath(*worktree.repositoryURL, home) + ".");
  }
  lines.push_back(worktree.isRegistered ? "Registered in the repository's .git/worktrees."
                                        : "Not registered in any repository.");
  if (const auto* dirty = worktree.status.dirty()) {
    if (dirty->unpushedCommits > 0) {
      lines.push_back("git rev-list HEAD --not --remotes: " +
                      std::to_string(dirty->unpushedCommits) + " commit(s).");
    }
    if (dirty->uncommitted) {
      lines.push_back("git status --porcelain --untracked-files=all --ignored: not empty.");
    }
  }
  for (const std::string& lock : facts.gitLockFiles) {
    lines.push_back("Lock file: " + abbreviatedPath(lock, home) + ".");
  }
  if (facts.newestTranscript) {
    lines.push_back("Latest Claude Code transcript: " +
                    formatted(*facts.newestTranscript, locale, zone) + ".");
  }
}

}  // namespace

std::vector<std::string> collect(const CacheItem& item, const EvidenceFacts& facts,
                                 const std::string& home, const QLocale& locale,
                                 const QTimeZone& zone) {
  std::vector<std::string> lines;
  if (item.inUseReason) lines.push_back("In-use check: " + *item.inUseReason + ".");
  if (item.runningOwner) {
    lines.push_back("Running owner: " + ownerDisplayName(*item.runningOwner) + ".");
  }
  if (item.worktree) worktreeLines(item, facts, home, locale, zone, lines);
  if (item.newestModification) {
    lines.push_back("Newest file inside: " + formatted(*item.newestModification, locale, zone) +
                    ".");
  }
  lines.push_back("Found in: " + abbreviatedPath(item.discoveryRoot, home) + ".");
  return lines;
}

Runner threadPoolRunner() {
  return [](std::function<void()> job) { QThreadPool::globalInstance()->start(std::move(job)); };
}

}  // namespace hl::ItemEvidence
