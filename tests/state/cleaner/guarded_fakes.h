#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cleaner_harness.h"
#include "utilities/path_canonical.h"

namespace hl::test {

// The trash service as the test scripts it: every entry succeeds with its size unless it is
// listed as failing; every call is recorded.
class FakeRemoval : public RemovalService {
 public:
  explicit FakeRemoval(DestructiveGate gate = DestructiveGate::open()) : gate_(std::move(gate)) {}
  const DestructiveGate& gate() const override { return gate_; }
  TrashResult trash(const std::vector<TrashItem>& items, RemovalMode mode,
                    const TrashService::Progress& progress,
                    const FreedesktopTrash::ReservationNote&) override {
    if (onTrash) onTrash();
    calls.push_back(items);
    TrashResult result;
    result.mode = mode;
    int done = 0;
    for (const TrashItem& item : items) {
      if (const auto found = failing.find(item.url); found != failing.end()) {
        result.failed.push_back({item.url, found->second});
      } else {
        result.succeeded.push_back(item.url);
        result.sizes[cleanPath(item.url)] = item.size;
        result.bytesFreed += item.size;
      }
      if (progress) progress(++done, static_cast<int>(items.size()));
    }
    return result;
  }
  // Every path handed over, in order.
  std::vector<std::string> handed() const {
    std::vector<std::string> urls;
    for (const auto& call : calls) {
      for (const TrashItem& item : call) urls.push_back(item.url);
    }
    return urls;
  }

  std::map<std::string, RemovalError> failing;
  std::vector<std::vector<TrashItem>> calls;
  // Called as a removal starts, before any item is handled.
  std::function<void()> onTrash;

 private:
  DestructiveGate gate_;
};

// In-use answers, git, the process list and a tool's command, as the test scripts them.
struct Fakes {
  explicit Fakes(DestructiveGate gate = DestructiveGate::open())
      : removal(std::make_shared<FakeRemoval>(std::move(gate))) {}

  std::map<std::string, std::string> reasons;
  std::set<std::string> running;
  std::optional<std::string> unverifiable;
  std::vector<std::vector<std::string>> evaluated;

  std::map<std::string, WorktreeStatus> gitStatus;  // by git root; clean when absent
  std::vector<std::string> gitAsked;
  bool pruneSucceeds = true;
  std::vector<std::string> pruned;
  // Called as a prune starts (to look at the state at that moment).
  std::function<void()> onPrune;

  std::optional<std::set<std::string>> processes = std::set<std::string>{};
  int processListReads = 0;

  std::vector<std::string> toolPieces;
  std::optional<ProcessOutput> toolResult = ProcessOutput{0, "", "", false};
  std::vector<std::string> toolsRun;

  std::shared_ptr<FakeRemoval> removal;

  CleanerDependencies dependencies() {
    CleanerDependencies d;
    d.trashService = removal;
    d.evaluateInUse = [this](const std::vector<CacheItem>& items, Date) {
      InUseEvaluation evaluation;
      std::vector<std::string> ids;
      for (const CacheItem& item : items) {
        ids.push_back(item.id);
        if (unverifiable) {
          evaluation.reasons[item.id] = "cannot verify in-use state";
        } else if (const auto found = reasons.find(item.id); found != reasons.end()) {
          evaluation.reasons[item.id] = found->second;
        }
        for (const std::string& owner : item.owners) {
          if (running.contains(owner)) evaluation.runningOwners.insert(owner);
        }
      }
      if (unverifiable) evaluation.verification = VerificationState::unavailable(*unverifiable);
      evaluated.push_back(ids);
      return evaluation;
    };
    d.worktreeStatus = [this](const std::optional<std::string>& root, ProcessRunner::Duration) {
      gitAsked.push_back(root.value_or(""));
      const auto found = gitStatus.find(root.value_or(""));
      // Copied from one value: g++ 12 with the sanitizers warns falsely about a fresh temporary.
      static const WorktreeStatus clean = WorktreeStatus::clean();
      return found == gitStatus.end() ? clean : found->second;
    };
    d.pruneWorktrees = [this](const std::string& repository, const DestructiveGate& gate,
                              ProcessRunner::Duration) {
      if (onPrune) onPrune();
      if (gate.isReadOnly()) return false;
      pruned.push_back(repository);
      return pruneSucceeds;
    };
    d.runningOwners = [this](const std::set<std::string>& keys)
        -> std::optional<std::set<std::string>> {
      ++processListReads;
      if (!processes) return std::nullopt;
      std::set<std::string> found;
      for (const std::string& key : keys) {
        if (processes->contains(key)) found.insert(key);
      }
      return found;
    };
    d.runTool = [this](const NativeAction& action, const DestructiveGate&,
                       const ProcessRunner::OutputHandler& onOutput) {
      toolsRun.push_back(action.id());
      for (const std::string& piece : toolPieces) onOutput(piece);
      return toolResult;
    };
    return d;
  }
};

// A cleaner with every guarded dependency faked.
struct Guarded : Fakes, CleanerHarness {
  Guarded() : CleanerHarness(dependencies()) {}
  explicit Guarded(DestructiveGate gate) : Fakes(std::move(gate)), CleanerHarness(dependencies()) {}
};

// A worktree item of a repository, clean and registered unless told otherwise.
inline CacheItem worktreeItem(const std::string& path, const std::string& repository,
                              std::int64_t size = 100) {
  CacheItem item = makeItem(path, CacheGroup::aiWorktrees, RiskLevel::moderate, size);
  item.discoveryRoot = repository + "/.claude/worktrees";
  // Copied from one value: g++ 12 with the sanitizers warns falsely about a fresh temporary here.
  static const WorktreeStatus clean = WorktreeStatus::clean();
  item.worktree = WorktreeInfo{repository, true, path, clean};
  return item;
}

}  // namespace hl::test
