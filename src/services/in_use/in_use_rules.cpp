#include "services/in_use/in_use_rules.h"

#include <fcntl.h>

#include <algorithm>
#include <set>

#include "models/in_use_reasons.h"
#include "platform/file_times.h"
#include "platform/folder_reader.h"
#include "platform/unique_fd.h"
#include "services/in_use/in_use_detector.h"
#include "services/in_use/worktree_in_use_rules.h"
#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"

namespace hl::InUseRules {
namespace {

constexpr double kShellSnapshotWindow = 604800;   // 7 days
constexpr double kTemporaryFilesWindow = 259200;  // 72 hours
constexpr double kUpdaterDownloadWindow = 3600;   // 1 hour

std::string text(std::string_view reason) { return std::string(reason); }

bool isBelowAny(const std::string& path, const std::vector<std::string>& folders) {
  return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
    return PathRelation::isSameOrDescendant(path, folder);
  });
}

}  // namespace

std::map<std::string, std::string> reasons(const std::vector<CacheItem>& items,
                                           const InUseSnapshot& snapshot, const std::string& home,
                                           Date now) {
  std::map<std::string, std::string> result;
  if (!snapshot.verification.isVerified()) {
    for (const CacheItem& item : items) {
      if (item.kind == ItemKind::path) result.emplace(item.id, text(InUseReasons::cannotVerify));
    }
    return result;
  }

  std::set<std::string> cwds;
  for (const auto& [pid, directory] : snapshot.processes.workingDirectories) cwds.insert(directory);
  for (const LiveSession& session : snapshot.liveSessions) {
    if (session.cwd) cwds.insert(*session.cwd);
  }
  WorktreeInUseRules::TranscriptCache transcripts;

  // Where every item's folders lead through linked folders, worked out for all at once: the
  // kernel names open files and working folders by where they really are.
  std::vector<std::string> targets;
  for (const CacheItem& item : items) {
    if (item.kind != ItemKind::path) continue;
    for (const std::string& target : item.targetURLs()) {
      targets.push_back(InUseDetector::canonical(cleanPath(target)));
    }
  }
  const std::vector<std::string> led = InUseDetector::whereTheyLead(targets);
  std::size_t next = 0;

  for (const CacheItem& item : items) {
    if (item.kind != ItemKind::path) continue;
    std::vector<std::string> paths;
    for (const std::string& target : item.targetURLs()) {
      paths.push_back(InUseDetector::canonical(cleanPath(target)));
    }
    for (std::size_t i = 0, count = paths.size(); i < count; ++i, ++next) {
      if (led[next] != paths[i]) paths.push_back(led[next]);
    }

    std::optional<std::string> reason;
    for (const std::string& path : paths) {
      if (snapshot.openPathPrefixes.count(path) == 0) continue;
      std::optional<std::int32_t> holder;
      if (const auto owner = snapshot.openPathOwners.find(path);
          owner != snapshot.openPathOwners.end()) {
        holder = owner->second;
      }
      reason = text(InUseReasons::openByPrefix) + describe(holder, snapshot.processes);
      break;
    }

    if (!reason && std::any_of(cwds.begin(), cwds.end(),
                               [&](const std::string& cwd) { return isBelowAny(cwd, paths); })) {
      // A live session alone names no process.
      std::optional<std::int32_t> sitter;
      for (const auto& [pid, directory] : snapshot.processes.workingDirectories) {
        if (isBelowAny(directory, paths)) {
          sitter = pid;
          break;
        }
      }
      reason = text(InUseReasons::workingDirectoryPrefix) + describe(sitter, snapshot.processes);
    }

    if (!reason) reason = guardReason(item, snapshot, now);
    if (!reason && item.worktree) {
      reason = WorktreeInUseRules::worktreeReason(item, snapshot, home, now, transcripts);
    }
    if (reason) result[item.id] = std::move(*reason);
  }
  return result;
}

std::optional<std::string> guardReason(const CacheItem& item, const InUseSnapshot& snapshot,
                                       Date now) {
  if (!item.guardRule) return std::nullopt;
  switch (*item.guardRule) {
    case GuardRule::claudeShellSnapshots: {
      if (snapshot.processes.isRunning("claude") || !snapshot.liveSessions.empty()) {
        return text(InUseReasons::sourcedByLiveSessions);
      }
      const std::optional<Date> newest = newestModification(item.url);
      if (newest && secondsBetween(*newest, now) < kShellSnapshotWindow) {
        return text(InUseReasons::usedInLast7Days);
      }
      return std::nullopt;
    }
    case GuardRule::temporaryFiles:
    case GuardRule::updaterDownload:
      return timeRuleReason(item, now);
    case GuardRule::codexNotRunning:
      if (snapshot.processes.isRunning("codex") || snapshot.processes.isRunning("Codex.app")) {
        return text(InUseReasons::codexRunning);
      }
      return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::string> timeRuleReason(const CacheItem& item, Date now) {
  if (item.guardRule != GuardRule::temporaryFiles && item.guardRule != GuardRule::updaterDownload) {
    return std::nullopt;
  }
  if (!item.size) return text(InUseReasons::notMeasuredYet);
  // A measured folder without a newest entry date (empty, only folders, unreadable) is judged
  // by its own date; never by a "not measured" that would stay for good.
  Date reference;
  if (item.newestModification) {
    reference = item.modified ? std::max(*item.newestModification, *item.modified)
                              : *item.newestModification;
  } else if (item.isUnreadable) {
    return text(InUseReasons::contentsUnreadable);
  } else if (item.modified) {
    reference = *item.modified;
  } else {
    return text(InUseReasons::modificationDateUnknown);
  }
  const double age = secondsBetween(reference, now);
  if (item.guardRule == GuardRule::temporaryFiles) {
    if (age < kTemporaryFilesWindow) return text(InUseReasons::modifiedInLast72h);
  } else if (age < kUpdaterDownloadWindow) {
    return text(InUseReasons::updateInProgress);
  }
  return std::nullopt;
}

std::optional<Date> newestModification(const std::string& folder) {
  const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  FolderListing listing(fd.get());
  std::optional<Date> newest;
  while (const char* name = listing.next()) {
    EntryStatus status;
    if (!FolderAccess::status(fd.get(), name, status)) continue;
    const Date date = contentModificationDate(status);
    if (!newest || date > *newest) newest = date;
  }
  if (listing.failed()) return std::nullopt;
  return newest;
}

std::string describe(std::optional<std::int32_t> pid, const ProcessSnapshot& processes) {
  if (!pid || *pid < 1) return text(InUseReasons::anyRunningProcess);
  const auto executable = processes.executables.find(*pid);
  const std::string name = executable != processes.executables.end()
                               ? lastPathComponent(executable->second)
                               : text(InUseReasons::unknownProcessName);
  return name + " (pid " + std::to_string(*pid) + ")";
}

std::vector<std::string> scanRoots(const std::vector<CacheItem>& items) {
  std::set<std::string> roots;
  for (const CacheItem& item : items) {
    if (item.kind != ItemKind::path) continue;
    roots.insert(PathCanonical::canonical(item.worktree ? item.url : item.discoveryRoot));
  }
  return {roots.begin(), roots.end()};
}

}  // namespace hl::InUseRules
