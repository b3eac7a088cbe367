#include <gtest/gtest.h>

#include "support/scanner_fixture.h"
#include "support/git_repository.h"
#include "support/removal_journals.h"
#include "utilities/path_canonical.h"
#include "utilities/byte_formatting.h"

using namespace hl;
using namespace std::chrono_literals;
using hl::test::ScannerFixture;
using Ids = std::set<std::string>;

namespace {

std::vector<std::string> idsOf(const std::vector<FileNode>& nodes) {
  std::vector<std::string> ids;
  for (const FileNode& node : nodes) ids.push_back(node.id());
  return ids;
}

// A scanned folder "t" holding big (16 KB), mid (8 KB) and small (4 KB).
void scannedTree(ScannerFixture& f) {
  f.home.file("t/big", 16000);
  f.home.file("t/mid", 8000);
  f.home.file("t/small", 100);
  f.scanned("t");
}

// Asks for the removal of the ids and lets the request's check finish.
void requested(ScannerFixture& f, const Ids& ids) {
  f.scanner().requestTrash(ids);
  f.settle();
}

// Confirms the pending plan a second and a half later and lets the removal finish.
void confirmed(ScannerFixture& f) {
  ASSERT_TRUE(f.scanner().pendingPlan());
  f.clock.advance(1500ms);
  f.scanner().confirmTrash(*f.scanner().pendingPlan());
  f.settle();
}

const std::string kRunning = "Scanner: refused, a removal is already running";

}  // namespace

TEST(ScannerRequest, ReadOnlyRefusesAtOnce) {
  ScannerFixture f;
  f.services.gate = DestructiveGate{"read-only mode (-HLMReadOnly)"};
  scannedTree(f);
  const std::size_t checks = f.policy.calls.size();
  f.scanner().requestTrash(Ids{f.id("t/big")});
  EXPECT_EQ(f.scanner().resultMessage(),
            "Nothing can be moved to the Trash or deleted: read-only mode (-HLMReadOnly).");
  EXPECT_EQ(f.executor.pending(), 0u);
  EXPECT_EQ(f.policy.calls.size(), checks);
  EXPECT_TRUE(f.scanner().isReadOnly());
}

TEST(ScannerRequest, TheScannedFolderItselfIsNeverPlanned) {
  ScannerFixture f;
  scannedTree(f);
  f.scanner().requestTrash(Ids{f.id("t")});
  EXPECT_EQ(f.scanner().selection(), Ids{f.id("t")});
  EXPECT_EQ(f.executor.pending(), 0u);
  EXPECT_FALSE(f.scanner().isCheckingPolicy());
  EXPECT_EQ(f.scanner().resultMessage(), std::nullopt);
}

TEST(ScannerRequest, RefusedNodesAreLeftOutOrNamed) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> refusals;  // relative → reason
    std::vector<std::string> planned;             // relative, in plan order
    std::optional<std::string> message;
    int refused;
  };
  const Case cases[] = {
      {"none refused", {}, {"t/big", "t/mid", "t/small"}, std::nullopt, 0},
      {"some refused", {{"t/mid", "AI tool state"}}, {"t/big", "t/small"}, std::nullopt, 1},
      {"all for one reason",
       {{"t/big", "AI tool state"}, {"t/mid", "AI tool state"}, {"t/small", "AI tool state"}},
       {},
       "Nothing can be removed: AI tool state.",
       0},
      {"more reasons than shown",
       {{"t/big", "d reason"}, {"t/mid", "b reason"}, {"t/small", "c reason"}, {"t", "a"}},
       {},
       "Nothing can be removed: b reason; c reason; d reason.",
       0},
      {"a reason that is a sentence",
       {{"t/big", "Refusing to remove it."},
        {"t/mid", "AI tool state"},
        {"t/small", "AI tool state"}},
       {},
       "Nothing can be removed: AI tool state; Refusing to remove it.",
       0},
  };
  for (const Case& c : cases) {
    ScannerFixture f;
    scannedTree(f);
    for (const auto& [relative, reason] : c.refusals) f.policy.refusals[f.id(relative)] = reason;
    requested(f, {f.id("t/big"), f.id("t/mid"), f.id("t/small")});
    EXPECT_TRUE(f.policy.calls.back().includeOpenFiles) << c.name;
    EXPECT_EQ(f.scanner().resultMessage(), c.message) << c.name;
    std::vector<std::string> expected;
    for (const std::string& relative : c.planned) expected.push_back(f.id(relative));
    if (expected.empty()) {
      EXPECT_FALSE(f.scanner().pendingPlan()) << c.name;
    } else {
      ASSERT_TRUE(f.scanner().pendingPlan()) << c.name;
      EXPECT_EQ(idsOf(*f.scanner().pendingPlan()), expected) << c.name;
      EXPECT_EQ(f.scanner().pendingRefusedCount(), c.refused) << c.name;
    }
    // What the request judged, the rows show.
    EXPECT_EQ(f.scanner().refusals().size(), c.refusals.size() - c.refusals.count("t")) << c.name;
  }
}

TEST(ScannerRequest, ASecondRequestWhileOneIsCheckedIsIgnored) {
  ScannerFixture f;
  scannedTree(f);
  f.scanner().requestTrash(Ids{f.id("t/big")});
  EXPECT_TRUE(f.scanner().isCheckingPolicy());
  f.scanner().requestTrash(Ids{f.id("t/mid")});
  EXPECT_EQ(f.executor.pending(), 1u);
  f.settle();
  EXPECT_EQ(idsOf(*f.scanner().pendingPlan()), std::vector<std::string>{f.id("t/big")});
  EXPECT_EQ(f.scanner().pendingMode(), RemovalMode::trash);
}

// A plan belongs to the tree it was judged in: a scan started while the request is checked, or
// while the sheet is up, leaves no plan over the new tree.
TEST(ScannerRequest, AScanStartedMeanwhileLeavesNoPlan) {
  for (const bool whileChecked : {true, false}) {
    SCOPED_TRACE(whileChecked ? "while checked" : "while the sheet is up");
    ScannerFixture f;
    scannedTree(f);
    f.home.file("other/x", 10);
    f.scanner().requestTrash(Ids{f.id("t/big")});
    if (!whileChecked) {
      f.settle();
      ASSERT_TRUE(f.scanner().pendingPlan());
    }
    f.scanner().scan(f.home / "other");
    f.settle();
    EXPECT_FALSE(f.scanner().pendingPlan());
    EXPECT_FALSE(f.scanner().isCheckingPolicy());
    f.scanner().confirmTrash({});
    f.settle();
    EXPECT_TRUE(f.trash.calls.empty());
  }
}

TEST(ScannerRemoval, RemovesRecordsCutsAndReports) {
  ScannerFixture f;
  scannedTree(f);
  const std::int64_t big = f.scanner().node(f.id("t/big"))->size();
  const std::int64_t mid = f.scanner().node(f.id("t/mid"))->size();
  requested(f, {f.id("t/big"), f.id("t/mid"), f.id("t/small")});
  // The small file came into use after the request.
  f.policy.refusals[f.id("t/small")] = "in use: open by vim (pid 9)";
  f.trash.failures[f.home / "t/mid"] = FileSystemError{13, "Permission denied"};
  f.activity.setEvents({});
  // Written down before anything is acted on, with every confirmed node.
  const std::string folder = parentPath(f.store->fileURL());
  std::vector<PendingRemoval> atRemoval;
  f.trash.onRemove = [&] { atRemoval = hl::test::journalsIn(folder); };
  confirmed(f);
  ScannerViewModel& scanner = f.scanner();
  ASSERT_EQ(atRemoval.size(), 1u);
  EXPECT_EQ(atRemoval[0].items.size(), 3u);
  EXPECT_EQ(atRemoval[0].categories.at("Folder scan").size(), 3u);
  EXPECT_EQ(atRemoval[0].trigger, "Scanner");
  EXPECT_TRUE(hl::test::journalsIn(folder).empty());

  ASSERT_EQ(f.trash.calls.size(), 1u);
  ASSERT_EQ(f.trash.calls[0].size(), 2u);
  EXPECT_EQ(f.trash.calls[0][0].allowedRoot, f.home / "t");
  EXPECT_FALSE(f.trash.calls[0][0].allowRootItself);
  EXPECT_EQ(f.trash.calls[0][0].size, big);
  EXPECT_EQ(f.trash.modes, std::vector<RemovalMode>{RemovalMode::trash});

  // The tree lost what was removed and was judged afresh.
  EXPECT_EQ(scanner.node(f.id("t/big")), nullptr);
  EXPECT_NE(scanner.node(f.id("t/mid")), nullptr);
  EXPECT_EQ(scanner.root()->size(), mid + scanner.node(f.id("t/small"))->size());
  EXPECT_EQ(scanner.selection(), (Ids{f.id("t/mid"), f.id("t/small")}));
  EXPECT_FALSE(scanner.isTrashing());
  EXPECT_EQ(f.diskChanges, 1);

  const std::string freed = ByteFormatting::string(big);
  const std::string summary = "Cleaned 1 item (" + freed + "). 2 failed.";
  EXPECT_EQ(f.logged(), (std::vector<std::string>{
                            "Scanner: 1 item, " + freed + " moved to the Trash",
                            "Folder scan: " + summary,
                            "~/t/small: Skipped: in use: open by vim (pid 9)",
                            "~/t/mid: Permission denied",
                        }));
  EXPECT_EQ(scanner.resultMessage(), summary +
                                         " Space is reclaimed when you empty the Trash.\n\n"
                                         "• small: Skipped: in use: open by vim (pid 9)\n"
                                         "• mid: Permission denied");

  ASSERT_EQ(f.history.entries().size(), 1u);
  const HistoryEntry& entry = f.history.entries()[0];
  EXPECT_EQ(entry.category, "Folder scan");
  EXPECT_EQ(entry.trigger, "Scanner");
  EXPECT_EQ(entry.itemPaths, std::vector<std::string>{f.id("t/big")});
  EXPECT_EQ(entry.bytesFreed, big);
  EXPECT_EQ(entry.failures.size(), 2u);
  EXPECT_FALSE(entry.permanent);
  EXPECT_EQ(entry.operationID, atRemoval[0].operationID);
}

TEST(ScannerRemoval, APlanIsConfirmedOnlyAfterASecondAndThenOnlyInTheModeBothAllow) {
  ScannerFixture f;
  scannedTree(f);
  f.settings->setDeleteImmediately(true);
  requested(f, {f.id("t/big")});
  EXPECT_EQ(f.scanner().pendingMode(), RemovalMode::deletePermanently);
  f.clock.advance(900ms);
  f.scanner().confirmTrash(*f.scanner().pendingPlan());
  EXPECT_FALSE(f.scanner().isTrashing());
  EXPECT_TRUE(f.scanner().pendingPlan());
  f.settings->setDeleteImmediately(false);
  confirmed(f);
  EXPECT_EQ(f.trash.modes, std::vector<RemovalMode>{RemovalMode::trash});
  EXPECT_EQ(f.scanner().activeRemovalMode(), RemovalMode::trash);
}

TEST(ScannerRemoval, NothingRemovedGivesTheFailuresWithoutTheReclaimNote) {
  ScannerFixture f;
  for (int i = 0; i < 7; ++i) f.home.file("t/f" + std::to_string(i), 100 + i);
  f.scanned("t");
  Ids all;
  for (int i = 0; i < 7; ++i) {
    all.insert(f.id("t/f" + std::to_string(i)));
    f.trash.failures[f.home / ("t/f" + std::to_string(i))] = FileSystemError{5, "I/O error"};
  }
  requested(f, all);
  f.activity.setEvents({});
  confirmed(f);
  EXPECT_EQ(f.logged(ActivityEvent::Kind::error).size(), 7u);
  const std::string message = *f.scanner().resultMessage();
  EXPECT_TRUE(message.starts_with("Cleaned 0 items (0 bytes). 7 failed.\n\n• ")) << message;
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 6);
  EXPECT_EQ(f.diskChanges, 1);
}

TEST(ScannerRemoval, ASecondRemovalWhileOneRunsIsRefused) {
  ScannerFixture f;
  scannedTree(f);
  requested(f, {f.id("t/big")});
  f.clock.advance(2s);
  const std::vector<FileNode> plan = *f.scanner().pendingPlan();
  f.scanner().confirmTrash(plan);
  ASSERT_TRUE(f.scanner().isTrashing());
  const std::size_t queued = f.executor.pending();

  f.scanner().requestTrash(Ids{f.id("t/mid")});
  f.scanner().confirmTrash(plan);
  EXPECT_EQ(f.logged(ActivityEvent::Kind::error), (std::vector<std::string>{kRunning, kRunning}));
  EXPECT_EQ(f.executor.pending(), queued);
  EXPECT_FALSE(f.scanner().isCheckingPolicy());
  f.settle();
  EXPECT_EQ(f.trash.calls.size(), 1u);
}

// Choose Folder and Rescan stay usable during a removal: what the removal needs is taken when it
// starts, and its cut tree never replaces the tree of another folder.
// What was selected inside a removed folder went with it.
TEST(ScannerRemoval, TheSelectionKeepsNothingOfARemovedFolder) {
  ScannerFixture f;
  f.home.file("t/p/c/x", 100);
  f.home.file("t/q", 100);
  f.scanned("t");
  requested(f, {f.id("t/p"), f.id("t/p/c"), f.id("t/q")});
  f.trash.failures[f.home / "t/q"] = FileSystemError{13, "Permission denied"};
  confirmed(f);
  EXPECT_EQ(f.scanner().node(f.id("t/p/c")), nullptr);
  EXPECT_EQ(f.scanner().selection(), Ids{f.id("t/q")});
}

TEST(ScannerRemoval, TheTreeIsCutOnlyWhileItStillShowsTheSameFolder) {
  ScannerFixture f;
  scannedTree(f);
  f.home.file("other/x", 10);
  requested(f, {f.id("t/big")});
  f.clock.advance(2s);
  f.scanner().confirmTrash(*f.scanner().pendingPlan());
  f.scanner().scan(f.home / "other");
  f.settle();
  ASSERT_EQ(f.trash.calls.size(), 1u);
  EXPECT_EQ(f.trash.calls[0][0].allowedRoot, f.home / "t");
  EXPECT_EQ(f.scanner().rootURL(), f.home / "other");
  ASSERT_NE(f.scanner().root(), nullptr);
  EXPECT_EQ(f.scanner().root()->id(), f.id("other"));
  EXPECT_EQ(f.scanner().resultMessage()->substr(0, 14), "Cleaned 1 item");
}

TEST(ScannerRemoval, NoTreeIsInstalledWhileAScanRuns) {
  ScannerFixture f;
  scannedTree(f);
  requested(f, {f.id("t/big")});
  f.clock.advance(2s);
  f.scanner().confirmTrash(*f.scanner().pendingPlan());
  f.waitForQueuedWork();  // the journal is written first
  ASSERT_TRUE(f.executor.run());  // the final check
  QCoreApplication::processEvents();
  ASSERT_TRUE(f.executor.run());  // the removal
  // The history is written on its own thread; then the cut is queued.
  f.waitForQueuedWork();
  ASSERT_EQ(f.executor.pending(), 1u);
  f.scanner().scan(f.home / "t");  // a rescan of the same folder starts meanwhile
  ASSERT_TRUE(f.executor.run(0));  // the cut
  QCoreApplication::processEvents();
  EXPECT_FALSE(f.scanner().isTrashing());
  EXPECT_TRUE(f.scanner().isScanning());
  EXPECT_EQ(f.scanner().root(), nullptr);
  f.settle();
  EXPECT_NE(f.scanner().root(), nullptr);
}

TEST(ScannerRemoval, RemovedAgentWorktreesArePrunedFromTheirRepositories) {
  if (!hl::test::gitAvailable()) GTEST_SKIP() << "git is not installed";
  ScannerFixture f;
  const std::string repository = f.home / "proj";
  hl::test::initRepository(repository);
  hl::test::commitFile(repository, "readme.txt", "hi\n");
  hl::test::git(repository, {"worktree", "add", "-q", "-b", "feat", ".claude/worktrees/feat"});
  hl::test::git(repository, {"worktree", "add", "-q", "-b", "two", ".claude/worktrees/two"});
  f.home.file("proj/.claude/worktrees/two/src/part.txt", 10);
  f.pruneSucceeds = false;
  f.scanned("proj/.claude/worktrees");
  ASSERT_FALSE(f.policy.calls.empty());
  EXPECT_EQ(f.policy.calls[0].worktreeRoots,
            (Ids{f.id("proj/.claude/worktrees/feat"), f.id("proj/.claude/worktrees/two")}));

  // A folder inside a worktree: the worktree stays registered.
  requested(f, {f.id("proj/.claude/worktrees/two/src")});
  confirmed(f);
  EXPECT_TRUE(f.pruned.empty());

  requested(f, {f.id("proj/.claude/worktrees/feat")});
  f.activity.setEvents({});
  confirmed(f);
  EXPECT_EQ(f.pruned, std::vector<std::string>{repository});
  EXPECT_EQ(f.logged()[1], "git worktree prune failed in proj");
}

TEST(ScannerRemoval, TheVerdictSaysWhatToPruneAndWhichShellSnapshotsMayGo) {
  ScannerFixture f;
  scannedTree(f);
  f.policy.pruneRepositories[f.id("t/big")] = {f.home / "repo"};
  f.policy.shellSnapshotsVerified = {f.id("t/mid")};
  requested(f, {f.id("t/big"), f.id("t/mid")});
  f.activity.setEvents({});
  confirmed(f);
  ASSERT_EQ(f.trash.calls.size(), 1u);
  EXPECT_FALSE(f.trash.calls[0][0].shellSnapshotRuleVerified);
  EXPECT_TRUE(f.trash.calls[0][1].shellSnapshotRuleVerified);
  EXPECT_EQ(f.pruned, std::vector<std::string>{f.home / "repo"});
  EXPECT_EQ(f.logged()[1], "Pruned worktrees in repo");
}
