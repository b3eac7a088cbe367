#include <QPointer>
#include <algorithm>
#include <unordered_set>
#include <utility>

#include "models/trash_trigger.h"
#include "platform/directory_listing.h"
#include "services/measurement/walk_pool.h"
#include "utilities/byte_formatting.h"
#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/gui_thread.h"
#include "viewmodels/history_view_model.h"
#include "viewmodels/scanner/scanner_view_model.h"

namespace hl {
namespace {

constexpr const char* kCategory = "Folder scan";
constexpr std::size_t kLoggedFailures = 20;
constexpr std::size_t kShownFailures = 5;

// A node as a plan keeps it: what removing it needs, without its contents.
FileNode planNode(const FileNode& node) {
  return FileNode(node.url(), std::string(node.name()), node.size(), node.isDirectory(),
                  node.isSymbolicLink(), node.fileCount(), node.shareOfParent());
}

std::string trigger() { return std::string(shownName(TrashTrigger::scanner)); }

std::vector<std::string> urlsOf(const std::vector<FileNode>& nodes) {
  std::vector<std::string> urls;
  for (const FileNode& node : nodes) urls.push_back(node.url());
  return urls;
}

}  // namespace

// One confirmed removal from its start to its message: what was confirmed, where, and what
// became of it. Read and written on the GUI thread only.
struct ScannerViewModel::Removal {
  std::vector<FileNode> nodes;
  RemovalMode mode = RemovalMode::trash;
  // The measured folder and its worktree roots as they were when the removal started.
  std::string root;
  std::set<std::string> worktreeRoots;
  // What stood at the nodes' paths when the plan was made, and just before the last judgement.
  ShownItems shown;
  ShownItems seen;
  Verdict verdict;
  TrashResult result;
  std::unordered_set<std::string> removedIDs;
  // The id the history record carries, given when the removal was written down.
  UUID operation;
};

void ScannerViewModel::refuseWhileRemoving() {
  activity_.log(ActivityEvent::Kind::error, refusedWhileRemoving(TrashTrigger::scanner));
}

void ScannerViewModel::requestTrash(std::optional<std::set<std::string>> ids) {
  assertGuiThread(*this);
  if (isTrashing_) {
    refuseWhileRemoving();
    return;
  }
  if (const auto& reason = services_.gate.readOnlyReason) {
    setResultMessage("Nothing can be moved to the Trash or deleted: " + *reason + ".");
    return;
  }
  if (ids) setSelection(std::move(*ids));
  const std::string rootID = tree_.root ? tree_.root->id() : std::string();
  std::vector<FileNode> nodes;
  for (const FileNode* selected : selectedNodes()) {
    if (selected->id() != rootID) nodes.push_back(planNode(*selected));
  }
  if (nodes.empty() || isCheckingPolicy_) return;

  if (!rootURL_) return;
  setIsCheckingPolicy(true);
  // A scan started meanwhile (Choose Folder and Rescan stay usable) makes another tree: the
  // judgement of this one offers nothing there.
  const std::uint64_t generation = treeGeneration_;
  const std::string root = *rootURL_;
  const std::set<std::string> worktreeRoots = tree_.worktreeRoots;
  evaluatePolicy(nodes, [this, nodes, generation, root, worktreeRoots](Verdict verdict,
                                                                       ShownItems seen) {
    setIsCheckingPolicy(false);
    if (generation != treeGeneration_) return;
    std::vector<FileNode> allowed;
    std::set<std::string> reasons;  // distinct, in ascending order
    int refused = 0;
    for (const FileNode& judged : nodes) {
      const auto reason = verdict.refusals.find(judged.id());
      if (reason == verdict.refusals.end()) {
        allowed.push_back(judged);
      } else {
        ++refused;
        reasons.insert(reason->second);
      }
    }
    if (!allowed.empty()) {
      setPendingRefusedCount(refused);
      setPendingMode(removalMode());
      pendingPlanCreatedAt_ = services_.clock();
      pendingShown_ = std::move(seen);
      pendingRoot_ = root;
      pendingWorktreeRoots_ = worktreeRoots;
      setPendingPlan(std::move(allowed));
      return;
    }
    std::string text;
    std::size_t shown = 0;
    for (const std::string& reason : reasons) {
      if (shown == 3) break;
      text += (shown++ > 0 ? "; " : "") + reason;
    }
    // The guard's reasons are sentences of their own; a second full stop would read as a typo.
    if (text.empty() || text.back() != '.') text += '.';
    setResultMessage("Nothing can be removed: " + text);
  });
}

void ScannerViewModel::confirmTrash(const std::vector<FileNode>& nodes) {
  assertGuiThread(*this);
  if (isTrashing_) {
    refuseWhileRemoving();
    return;
  }
  // The sheet arms its button after a second; a confirmation quicker than that was not read.
  if (pendingPlanCreatedAt_ && secondsBetween(*pendingPlanCreatedAt_, services_.clock()) < 1.0) {
    return;
  }
  // Taken before the plan is cleared: the caller may hand in the pending plan itself.
  auto removal = std::make_shared<Removal>();
  for (const FileNode& confirmed : nodes) removal->nodes.push_back(planNode(confirmed));
  removal->shown = std::exchange(pendingShown_, {});
  const std::string plannedRoot = std::exchange(pendingRoot_, {});
  std::set<std::string> plannedWorktreeRoots = std::exchange(pendingWorktreeRoots_, {});
  setPendingPlan(std::nullopt);
  const RemovalMode mode = effectiveRemovalMode(pendingMode_, removalMode());
  setIsTrashing(true);
  setActiveRemovalMode(mode);
  if (plannedRoot.empty()) {
    setIsTrashing(false);
    return;
  }
  // Judged where the plan was made, whatever the page shows now: Choose Folder and Rescan stay
  // usable meanwhile, and a rescan under way knows no worktree roots yet.
  removal->mode = mode;
  removal->root = plannedRoot;
  removal->worktreeRoots = std::move(plannedWorktreeRoots);
  // Written down before anything is acted on, so that a removal cut short is still recorded at
  // the next start; before the last check, which stays right before the removal.
  std::vector<TrashItem> confirmed;
  for (const FileNode& node : removal->nodes) {
    TrashItem item;
    item.url = node.url();
    item.size = node.size();
    confirmed.push_back(std::move(item));
  }
  removal->operation = history_.beginRemoval(
      {{kCategory, urlsOf(removal->nodes)}}, confirmed, {}, TrashTrigger::scanner, mode,
      [self = QPointer<ScannerViewModel>(this), removal] {
        if (!self) return;
        self->evaluate(removal->nodes, removal->root, removal->worktreeRoots,
                       [self, removal](Verdict verdict, ShownItems seen) {
                         removal->verdict = std::move(verdict);
                         removal->seen = std::move(seen);
                         self->removeAccepted(removal);
                       });
      });
}

void ScannerViewModel::removeAccepted(std::shared_ptr<Removal> removal) {
  std::vector<TrashResult::Failure> refused;
  std::vector<TrashItem> items;
  for (const FileNode& confirmed : removal->nodes) {
    const auto reason = removal->verdict.refusals.find(confirmed.id());
    if (removal->shown.changedIn(removal->seen, {confirmed.url()})) {
      // Another folder or file stands there now than the one the user chose.
      refused.push_back({confirmed.url(), StateChanged::changedSinceShown()});
      continue;
    }
    if (reason != removal->verdict.refusals.end()) {
      // Its state changed since the user chose it.
      refused.push_back({confirmed.url(), StateChanged{reason->second}});
      continue;
    }
    TrashItem item;
    item.url = confirmed.url();
    item.size = confirmed.size();
    item.allowedRoot = removal->root;
    item.allowRootItself = false;
    item.shellSnapshotRuleVerified =
        removal->verdict.shellSnapshotsVerified.count(confirmed.id()) > 0;
    item.shown = removal->shown.at(confirmed.url());
    items.push_back(std::move(item));
  }
  removal->result.failed = std::move(refused);
  inBackground([this, removal, items, remove = services_.trash,
                reserved =
                    history_.reservationNote(removal->operation)]() -> std::function<void()> {
    TrashResult done = remove(items, removal->mode, reserved);
    return [this, removal, done = std::move(done)] { recordRemoval(removal, done); };
  });
}

void ScannerViewModel::recordRemoval(std::shared_ptr<Removal> removal, TrashResult serviceResult) {
  TrashResult& combined = removal->result;
  combined.succeeded = std::move(serviceResult.succeeded);
  combined.failed.insert(combined.failed.end(), serviceResult.failed.begin(),
                         serviceResult.failed.end());
  combined.bytesFreed = serviceResult.bytesFreed;
  combined.sizes = std::move(serviceResult.sizes);
  combined.mode = removal->mode;

  // The history calls back on the GUI thread once the file is written; the view model may be
  // gone by then.
  history_.record(
      combined, {{kCategory, urlsOf(removal->nodes)}}, TrashTrigger::scanner,
      [self = QPointer<ScannerViewModel>(this), removal] {
        if (self) self->cutRemoved(removal);
      },
      removal->operation);
}

void ScannerViewModel::cutRemoved(std::shared_ptr<Removal> removal) {
  const TrashResult& result = removal->result;
  const std::size_t count = result.succeeded.size();
  activity_.log(ActivityEvent::Kind::cleanup, trigger() + ": " + std::to_string(count) + " item" +
                                                  (count == 1 ? "" : "s") + ", " +
                                                  ByteFormatting::string(result.bytesFreed) + " " +
                                                  std::string(pastParticiple(result.mode)));

  std::set<std::string> repositories;
  for (const std::string& url : result.succeeded) {
    const std::string id = PathCanonical::canonical(url);
    removal->removedIDs.insert(id);
    if (const auto listed = removal->verdict.pruneRepositories.find(id);
        listed != removal->verdict.pruneRepositories.end()) {
      repositories.insert(listed->second.begin(), listed->second.end());
    }
  }

  // The tree is cut only while it still shows the folder the removal was made in.
  const bool sameTree = tree_.root && rootURL_ == removal->root && !isScanning_;
  std::shared_ptr<const FileNode> base = sameTree ? tree_.root : nullptr;
  const std::uint64_t generation = treeGeneration_;
  inBackground([this, removal, base, repositories, generation,
                home = services_.home]() mutable -> std::function<void()> {
    // Worktrees removed whole, themselves or with a folder above them.
    for (const std::string& root : removal->worktreeRoots) {
      const bool removed = std::any_of(
          removal->removedIDs.begin(), removal->removedIDs.end(),
          [&](const std::string& id) { return PathRelation::isSameOrDescendant(root, id); });
      if (!removed) continue;
      if (auto repository = registeredRepository(root)) repositories.insert(std::move(*repository));
    }
    std::shared_ptr<ScannerTree> cut;
    if (base && !removal->removedIDs.empty()) {
      std::optional<FileNode> remaining = base->removing(removal->removedIDs);
      cut = std::make_shared<ScannerTree>(ScannerTree::prepare(
          remaining ? ScannerTree::share(std::move(*remaining)) : nullptr, home,
          WalkPool::spread()));
    }
    // The old tree is let go of here, on the worker: never by the GUI thread.
    const bool hadTree = base != nullptr;
    base.reset();
    return [this, removal, hadTree, cut, generation, repositories] {
      if (hadTree && rootURL_ == removal->root && !isScanning_ && generation == treeGeneration_) {
        if (cut) {
          install(std::move(*cut), std::nullopt, false);
        } else {
          restartPreviews();
        }
      } else if (cut) {
        release(std::move(*cut));
      }
      pruneRemoved(removal, repositories);
    };
  });
}

void ScannerViewModel::pruneRemoved(std::shared_ptr<Removal> removal,
                                    std::set<std::string> repositories) {
  if (repositories.empty() || !services_.pruneWorktrees) {
    finishRemoval(removal);
    return;
  }
  inBackground([this, removal, repositories, prune = services_.pruneWorktrees,
                gate = services_.gate]() -> std::function<void()> {
    // One repository after another: git locks a repository while it prunes.
    std::vector<std::pair<std::string, bool>> pruned;
    for (const std::string& repository : repositories) {
      pruned.emplace_back(repository, prune(repository, gate));
    }
    return [this, removal, pruned] {
      for (const auto& [repository, succeeded] : pruned) {
        if (succeeded) {
          activity_.log(ActivityEvent::Kind::cleanup,
                        "Pruned worktrees in " + lastPathComponent(repository));
        } else {
          activity_.log(ActivityEvent::Kind::error,
                        "git worktree prune failed in " + lastPathComponent(repository));
        }
      }
      finishRemoval(removal);
    };
  });
}

void ScannerViewModel::finishRemoval(std::shared_ptr<Removal> removal) {
  // What was inside a removed folder went with it.
  std::set<std::string> selection;
  for (const std::string& id : selection_) {
    if (std::none_of(removal->removedIDs.begin(), removal->removedIDs.end(),
                     [&](const std::string& removed) {
                       return PathRelation::isSameOrDescendant(id, removed);
                     })) {
      selection.insert(id);
    }
  }
  setSelection(std::move(selection));
  setIsTrashing(false);

  const TrashResult& result = removal->result;
  const std::string summary = result.summary();
  activity_.log(ActivityEvent::Kind::cleanup, "Folder scan: " + summary);
  for (std::size_t i = 0; i < result.failed.size() && i < kLoggedFailures; ++i) {
    const TrashResult::Failure& failure = result.failed[i];
    activity_.log(ActivityEvent::Kind::error,
                  abbreviated(failure.url) + ": " + describe(failure.error));
  }
  std::string message = summary;
  if (!result.succeeded.empty()) message += reclaimNote(result.mode);
  if (!result.failed.empty()) {
    message += "\n";
    for (std::size_t i = 0; i < result.failed.size() && i < kShownFailures; ++i) {
      const TrashResult::Failure& failure = result.failed[i];
      message += "\n• " + lastPathComponent(failure.url) + ": " + describe(failure.error);
    }
  }
  setResultMessage(std::move(message));
  if (onDiskChanged_) onDiskChanged_(result);
}

std::optional<std::string> ScannerViewModel::registeredRepository(const std::string& worktree) {
  const std::vector<std::string_view> parts = PathRelation::components(worktree);
  const std::size_t count = parts.size();
  if (count < 3 || parts[count - 3] != ".claude" || parts[count - 2] != "worktrees") {
    return std::nullopt;
  }
  std::string repository = "/";
  for (std::size_t i = 0; i + 3 < count; ++i) repository = appendingPath(repository, parts[i]);
  const std::string record =
      appendingPath(repository, ".git/worktrees/" + std::string(parts[count - 1]));
  if (!DirectoryListing::exists(PathCanonical::canonical(record))) return std::nullopt;
  return repository;
}

}  // namespace hl
