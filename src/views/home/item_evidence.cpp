#include "views/home/item_evidence.h"

#include <QRunnable>
#include <QThreadPool>
#include <dirent.h>
#include <sys/stat.h>

#include <optional>

#include "services/discovery/worktree_discovery.h"
#include "services/in_use/in_use_detector.h"
#include "services/in_use/process_guard.h"
#include "utilities/path_canonical.h"
#include "utilities/path_extension.h"
#include "views/pages/page_dates.h"

namespace hl::ItemEvidence {

namespace {

std::string formatted(Date date, const QLocale& locale, const QTimeZone& zone) {
  return PageDates::abbreviated(date, locale, zone).toStdString();
}

bool exists(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0;
}

// The newest content change among the folder's direct ".jsonl" entries; none when the folder
// cannot be listed or no date can be read.
std::optional<Date> newestTranscript(const std::string& folder) {
  DIR* listing = ::opendir(folder.c_str());
  if (!listing) return std::nullopt;
  std::optional<Date> newest;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == ".." || pathExtension(name) != "jsonl") continue;
    struct stat status {};
    if (::stat(appendingPath(folder, name).c_str(), &status) != 0) continue;
    const Date modified = Date{std::chrono::duration_cast<Date::duration>(
        std::chrono::seconds(status.st_mtim.tv_sec) +
        std::chrono::nanoseconds(status.st_mtim.tv_nsec))};
    if (!newest || modified > *newest) newest = modified;
  }
  ::closedir(listing);
  return newest;
}

void worktreeLines(const CacheItem& item, const std::string& home, const QLocale& locale,
                   const QTimeZone& zone, std::vector<std::string>& lines) {
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
  if (worktree.gitRoot) {
    const std::string gitFolder = WorktreeDiscovery::gitdirTarget(*worktree.gitRoot)
                                      .value_or(appendingPath(*worktree.gitRoot, ".git"));
    for (const char* lock : {"index.lock", "HEAD.lock"}) {
      const std::string path = appendingPath(PathCanonical::canonical(gitFolder), lock);
      if (exists(path)) lines.push_back("Lock file: " + abbreviatedPath(path, home) + ".");
    }
  }
  const std::string transcripts = appendingPath(
      appendingPath(home, ".claude/projects"),
      InUseDetector::claudeProjectFolderName(PathCanonical::canonical(item.url)));
  if (const auto newest = newestTranscript(transcripts)) {
    lines.push_back("Latest Claude Code transcript: " + formatted(*newest, locale, zone) + ".");
  }
}

}  // namespace

std::vector<std::string> collect(const CacheItem& item, const std::string& home,
                                 const QLocale& locale, const QTimeZone& zone) {
  std::vector<std::string> lines;
  if (item.inUseReason) lines.push_back("In-use check: " + *item.inUseReason + ".");
  if (item.runningOwner) {
    lines.push_back("Running owner: " + ProcessGuard::displayName(*item.runningOwner) + ".");
  }
  if (item.worktree) worktreeLines(item, home, locale, zone, lines);
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
