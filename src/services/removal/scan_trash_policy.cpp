#include "services/removal/scan_trash_policy.h"

#include <algorithm>
#include <chrono>

#include "models/in_use_reasons.h"
#include "models/owner_names.h"
#include "services/in_use/process_guard.h"
#include "services/removal/trash_guard.h"
#include "services/removal/trash_guard_tables.h"
#include "services/system/git_service.h"
#include "utilities/file_identity.h"
#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"

namespace hl {
namespace {

using Checkout = ScanTrashPolicy::Checkout;
using Kind = Checkout::Kind;

constexpr ProcessRunner::Duration kGitTimeout{5};

InUseDetector standardDetector(const std::string& home) {
  InUseDetector detector;
  detector.home = home;
  return detector;
}

// An AI tool's own folder as judged: where it leads, and where it finally resolves when it is
// itself a symbolic link (a dotfile-managed folder), so that both are protected.
struct ToolRoot {
  std::string identity;
  std::optional<std::string> target;

  bool holds(const std::string& path) const {
    return PathRelation::isSameOrDescendant(path, identity) ||
           (target && PathRelation::isSameOrDescendant(path, *target));
  }
  bool is(const std::string& path) const { return path == identity || (target && path == *target); }
  // Whether the folder at `path` holds this root: it lies strictly below and is there.
  bool liesIn(const std::string& path) const {
    const auto inside = [&](const std::string& root) {
      return root != path && PathRelation::isSameOrDescendant(root, path) &&
             FileIdentity::existsWithoutFollowing(root);
    };
    return inside(identity) || (target && inside(*target));
  }
};

ToolRoot toolRoot(const std::string& path) {
  ToolRoot root{FileIdentity::identityPath(path), std::nullopt};
  if (FileIdentity::isSymbolicLink(root.identity)) {
    std::string target =
        FileIdentity::normalizedPath(FileIdentity::resolvingSymlinks(root.identity));
    if (target != root.identity) root.target = std::move(target);
  }
  return root;
}

// The item of a location no catalog row claims.
CacheItem plainItem(const std::string& url, const std::string& home) {
  CacheItemInit init;
  init.url = url;
  init.group = CacheGroup::custom;
  init.risk = RiskLevel::moderate;
  init.kind = ItemKind::path;
  init.home = home;
  return CacheItem(std::move(init));
}

std::string statusRefusal(const WorktreeStatus& status, bool& clean) {
  clean = false;
  if (const auto* dirty = status.dirty()) {
    if (dirty->unpushedCommits >= 1) return std::to_string(dirty->unpushedCommits) + " unpushed";
    return dirty->uncommitted ? "dirty" : "not clean";
  }
  if (const auto* error = status.error()) return "status unknown: " + error->message;
  if (status.isUnknown()) return "status unknown";
  if (status.isOwnClone()) return "own clone";
  clean = true;
  return {};
}

std::string containsText(const Checkout& checkout, const std::string& reason) {
  const std::string name = lastPathComponent(checkout.url);
  switch (checkout.kind) {
    case Kind::linkedWorktree:
      return "contains worktree " + name + " (" + reason + ")";
    case Kind::repository:
      return "contains repository " + name + " (" + reason + ")";
    case Kind::bareRepository:
      break;
  }
  return "contains bare repository " + name;
}

void dropDuplicates(std::vector<Checkout>& checkouts) {
  std::vector<Checkout> unique;
  for (Checkout& checkout : checkouts) {
    if (std::find(unique.begin(), unique.end(), checkout) == unique.end()) {
      unique.push_back(std::move(checkout));
    }
  }
  checkouts = std::move(unique);
}

}  // namespace

ScanTrashPolicy::GitQueries ScanTrashPolicy::GitQueries::standard() {
  GitQueries queries;
  queries.worktreeStatus = [](const std::string& gitRoot, std::stop_token stop) {
    return GitService::worktreeStatus(gitRoot, kGitTimeout, std::move(stop));
  };
  queries.repositoryStatus = [](const std::string& repository, std::stop_token stop) {
    return GitService::repositoryStatus(repository, kGitTimeout, std::move(stop));
  };
  return queries;
}

ScanTrashPolicy::ScanTrashPolicy(std::string homeFolder, std::optional<InUseDetector> inUse)
    : home(std::move(homeFolder)), detector(inUse ? std::move(*inUse) : standardDetector(home)) {}

std::optional<std::string> ScanTrashPolicy::refusal(const Checkout& checkout,
                                                    const std::optional<std::string>& inUse,
                                                    std::stop_token stop) const {
  if (inUse) {
    if (*inUse == InUseReasons::keptByClaudeApp) return "kept by Claude";
    if (*inUse == InUseReasons::claudeAppPool) return "Claude pool";
    return "in use: " + *inUse;
  }
  WorktreeStatus status;
  switch (checkout.kind) {
    case Kind::bareRepository:
      return "bare repository";
    case Kind::linkedWorktree:
      status = git.worktreeStatus(checkout.url, std::move(stop));
      break;
    case Kind::repository:
      status = git.repositoryStatus(checkout.url, std::move(stop));
      break;
  }
  bool clean = false;
  std::string text = statusRefusal(status, clean);
  if (clean) return std::nullopt;
  return text;
}

ScanTrashPolicy::Verdict ScanTrashPolicy::evaluate(const std::vector<std::string>& urls,
                                                   const std::string& scanRoot,
                                                   const std::set<std::string>& worktreeRoots,
                                                   std::stop_token stop) const {
  Verdict verdict;
  const std::vector<std::string> review = reviewLocations();
  const std::string shellSnapshots =
      FileIdentity::identityPath(appendingPath(home, TrashGuardTables::shellSnapshotTree));
  std::vector<ToolRoot> toolRoots;
  for (const std::string& relative : aiToolRoots()) {
    toolRoots.push_back(toolRoot(appendingPath(home, relative)));
  }
  for (const std::string& path : linuxAiToolRoots(home)) toolRoots.push_back(toolRoot(path));

  // What each location is and which checkouts it holds; a later location with the same id
  // replaces an earlier one. The items stay where the in-use rules judge them, beside the
  // checkouts: a wide folder's rows are not copied a second time.
  const std::vector<CatalogLocation> catalog = catalogLocations();
  std::vector<CacheItem> judged;
  std::map<std::string, std::size_t> itemAt;
  std::map<std::string, CheckoutList> checkouts;
  for (const std::string& url : urls) {
    const std::string id = cleanPath(url);
    CacheItem item = catalogItem(url, catalog).value_or(plainItem(url, home));
    if (const auto [at, isNew] = itemAt.try_emplace(id, judged.size()); isNew) {
      judged.push_back(std::move(item));
    } else {
      judged[at->second] = std::move(item);
    }
    CheckoutList list = containedCheckouts(url);
    if (auto* found = std::get_if<std::vector<Checkout>>(&list)) {
      if (auto root = worktreeRoot(id, home)) {
        found->push_back({*root, Kind::linkedWorktree, std::nullopt});
      }
      for (const std::string& root : worktreeRoots) {
        if (PathRelation::isSameOrDescendant(root, id)) {
          found->push_back({root, Kind::linkedWorktree, std::nullopt});
        }
      }
      dropDuplicates(*found);
    }
    checkouts.insert_or_assign(id, std::move(list));
  }
  std::set<Checkout> allCheckouts;
  for (const auto& [id, list] : checkouts) {
    if (const auto* found = std::get_if<std::vector<Checkout>>(&list)) {
      allCheckouts.insert(found->begin(), found->end());
    }
  }

  CacheItemInit shellInit;
  shellInit.url = appendingPath(home, TrashGuardTables::shellSnapshotTree);
  shellInit.group = CacheGroup::buildTools;
  shellInit.risk = RiskLevel::moderate;
  shellInit.kind = ItemKind::path;
  shellInit.home = home;
  CacheItem shellItem(std::move(shellInit));
  shellItem.guardRule = GuardRule::claudeShellSnapshots;

  std::vector<std::string> roots;
  for (const std::string& url : urls) roots.push_back(cleanPath(url));
  for (const Checkout& checkout : allCheckouts) roots.push_back(cleanPath(checkout.url));
  const InUseSnapshot snapshot = detector.capture(roots, includeOpenFiles, stop);

  const std::size_t locationCount = judged.size();
  for (const Checkout& checkout : allCheckouts) judged.push_back(checkoutItem(checkout));
  judged.push_back(shellItem);
  const std::map<std::string, std::string> reasons = detector.reasons(judged, snapshot);
  const bool shellRuleVerified = reasons.count(shellItem.id) == 0;

  std::set<std::string> owners;
  for (std::size_t i = 0; i < locationCount; ++i) {
    owners.insert(judged[i].owners.begin(), judged[i].owners.end());
  }
  const std::set<std::string> running = snapshot.processes.runningOwners(owners);

  // One git question per checkout, one after another. The same folder found as a worktree of
  // its repository and by the walk is one question.
  std::vector<Checkout> ordered(allCheckouts.begin(), allCheckouts.end());
  std::stable_sort(ordered.begin(), ordered.end(), checkoutOrder);
  std::map<std::pair<Kind, std::string>, std::optional<std::string>> answers;
  std::map<Checkout, std::string> checkoutRefusals;
  for (const Checkout& checkout : ordered) {
    const std::string path = cleanPath(checkout.url);
    auto [answer, isNew] = answers.try_emplace({checkout.kind, path});
    if (isNew) {
      const auto inUse = reasons.find(path);
      answer->second = refusal(
          checkout, inUse == reasons.end() ? std::nullopt : std::optional(inUse->second), stop);
    }
    if (answer->second) checkoutRefusals.emplace(checkout, *answer->second);
  }

  if (urls.empty()) return verdict;
  const TrashGuard guard{home};
  // Read once for every location judged here, as the guard would read them for each: a wide
  // folder's rows would otherwise resolve every forbidden tree once a row.
  const TrashGuard::Surroundings surroundings = guard.surroundings(std::nullopt);
  const std::set<std::string>& generic = ProcessGuard::genericRuntimes();
  for (const std::string& url : urls) {
    const std::string id = cleanPath(url);
    const std::string identity = FileIdentity::identityPath(url);
    const CacheItem& item = judged[itemAt.at(id)];
    const bool touchesShellSnapshots = PathRelation::overlaps(identity, shellSnapshots);
    auto refuse = [&](std::string text) { verdict.refusals.insert_or_assign(id, std::move(text)); };

    if (const std::string* reason = snapshot.verification.unavailableReason()) {
      refuse("cannot verify in-use state (" + *reason + ")");
      continue;
    }

    const auto tool = std::find_if(toolRoots.begin(), toolRoots.end(),
                                   [&](const ToolRoot& root) { return root.holds(identity); });
    if (tool != toolRoots.end()) {
      const bool exempt = worktreeRoot(id, home) == id ||
                          (item.group != CacheGroup::custom && item.kind == ItemKind::path &&
                           !item.isReportOnly && item.risk != RiskLevel::review);
      if (tool->is(identity) || !exempt) {
        refuse(std::string(aiToolState));
        continue;
      }
    }
    // A folder that holds an AI tool's state (~/.local/bin holds the agent's launcher) would
    // take that state with it.
    if (std::any_of(toolRoots.begin(), toolRoots.end(),
                    [&](const ToolRoot& root) { return root.liesIn(identity); })) {
      refuse(std::string(aiToolState));
      continue;
    }

    if (const auto inUse = reasons.find(id); inUse != reasons.end()) {
      refuse(inUse->second == InUseReasons::cannotVerify ? inUse->second
                                                         : "in use: " + inUse->second);
      continue;
    }

    if (const auto error = guard.check(url, scanRoot, false, surroundings,
                                       touchesShellSnapshots && shellRuleVerified)) {
      refuse(error->description());
      continue;
    }

    if (item.risk == RiskLevel::review ||
        std::any_of(review.begin(), review.end(), [&](const std::string& location) {
          return PathRelation::overlaps(identity, location);
        })) {
      refuse(std::string(reviewOnly));
      continue;
    }

    const auto owner = std::find_if(
        item.owners.begin(), item.owners.end(),
        [&](const std::string& key) { return running.count(key) > 0 && generic.count(key) == 0; });
    if (owner != item.owners.end()) {
      refuse(ownerDisplayName(*owner) + " running");
      continue;
    }

    const CheckoutList& list = checkouts.at(id);
    if (const auto* failure = std::get_if<VerifyFailure>(&list)) {
      refuse(failure->reason);
      continue;
    }
    const auto& found = std::get<std::vector<Checkout>>(list);
    const Checkout* first = nullptr;
    for (const Checkout& checkout : found) {
      if (checkoutRefusals.count(checkout) == 0) continue;
      if (!first || refusalOrder(checkout, *first)) first = &checkout;
    }
    if (first) {
      refuse(containsText(*first, checkoutRefusals.at(*first)));
      continue;
    }

    std::set<std::string> repositories;
    for (const Checkout& checkout : found) {
      if (checkout.kind == Kind::linkedWorktree && checkout.repository) {
        repositories.insert(*checkout.repository);
      }
    }
    if (!repositories.empty()) verdict.pruneRepositories[id] = std::move(repositories);
    if (touchesShellSnapshots && shellRuleVerified) verdict.shellSnapshotsVerified.insert(id);
  }
  return verdict;
}

}  // namespace hl
