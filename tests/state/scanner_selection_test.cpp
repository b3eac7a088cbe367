#include <gtest/gtest.h>

#include <thread>

#include "support/scanner_fixture.h"

using namespace hl;
using hl::test::ScannerFixture;
using Ids = std::set<std::string>;

namespace {

std::vector<std::string> idsOf(const std::vector<const FileNode*>& nodes) {
  std::vector<std::string> ids;
  for (const FileNode* node : nodes) ids.push_back(node->id());
  return ids;
}

// A tree of a/ (8 KB in a/x.bin), a/x.bin, ab (12 KB), b (4 KB).
void plantTree(ScannerFixture& f) {
  f.home.file("t/a/x.bin", 8000);
  f.home.file("t/ab", 12000);
  f.home.file("t/b", 100);
}

}  // namespace

TEST(ScannerSelection, NestedNodesCountOnceAndSiblingsByNameAreNotNested) {
  ScannerFixture f;
  plantTree(f);
  f.scanned("t");
  ScannerViewModel& scanner = f.scanner();
  scanner.setSelection({f.id("t/a"), f.id("t/a/x.bin"), f.id("t/ab"), f.id("t/gone")});
  EXPECT_EQ(idsOf(scanner.selectedNodes()), (std::vector<std::string>{f.id("t/ab"), f.id("t/a")}));
  EXPECT_EQ(scanner.selectedSize(),
            scanner.node(f.id("t/ab"))->size() + scanner.node(f.id("t/a"))->size());

  // A node two levels below a selected folder goes with it too.
  f.home.file("t/a/deeper/y.bin", 4000);
  f.scanned("t");
  scanner.setSelection({f.id("t"), f.id("t/a/deeper/y.bin"), f.id("t/b")});
  EXPECT_EQ(idsOf(scanner.selectedNodes()), (std::vector<std::string>{f.id("t")}));
  scanner.setSelection({f.id("t/a"), f.id("t/a/deeper/y.bin"), f.id("t/b")});
  EXPECT_EQ(idsOf(scanner.selectedNodes()), (std::vector<std::string>{f.id("t/a"), f.id("t/b")}));
}

TEST(ScannerSelection, SelectAllTakesTheTopLevelNodesThatAreNotRefused) {
  ScannerFixture f;
  plantTree(f);
  ScannerViewModel& scanner = f.scanner();
  EXPECT_FALSE(scanner.canSelectAll());  // no tree
  f.policy.refusals[f.id("t/ab")] = "in use: open by node (pid 3)";
  f.scanned("t");
  EXPECT_TRUE(scanner.canSelectAll());
  scanner.selectAll();
  EXPECT_EQ(scanner.selection(), (Ids{f.id("t/a"), f.id("t/b")}));
  EXPECT_FALSE(scanner.canSelectAll());
  scanner.deselectAll();
  EXPECT_TRUE(scanner.selection().empty());

  f.policy.refusals[f.id("t/a")] = "AI tool state";
  f.policy.refusals[f.id("t/b")] = "AI tool state";
  f.scanned("t");
  EXPECT_FALSE(scanner.canSelectAll());
}

// "Select All" counts before it looks: ids that name no row, or rows below the top level, must
// not make a selection look complete.
TEST(ScannerSelection, SelectAllSeesPastIdsThatAreNotTopLevelRows) {
  ScannerFixture f;
  plantTree(f);
  f.scanned("t");
  ScannerViewModel& scanner = f.scanner();
  scanner.setSelection({f.id("t/a"), f.id("t/a/x.bin"), f.id("t/gone"), f.id("t/b")});
  EXPECT_TRUE(scanner.canSelectAll());  // t/ab is not selected
  scanner.setSelection({f.id("t/a"), f.id("t/ab"), f.id("t/b"), f.id("t/gone")});
  EXPECT_FALSE(scanner.canSelectAll());
}

TEST(ScannerSelection, RevealAndCopyNameTheNodes) {
  ScannerFixture f;
  plantTree(f);
  f.scanned("t");
  f.scanner().revealInFinder({f.id("t/b"), "/not/a/node", f.id("t/a")});
  f.scanner().revealInFinder({"/not/a/node"});
  EXPECT_EQ(f.desktop.revealed,
            (std::vector<std::vector<std::string>>{{f.home / "t/b", f.home / "t/a"}}));
  f.scanner().copyPaths({f.id("t/b"), f.id("t/a")});
  EXPECT_EQ(f.desktop.copied, std::vector<std::string>{f.id("t/a") + "\n" + f.id("t/b")});

  // Nothing could open the folder: the Activity log says so.
  EXPECT_TRUE(f.logged(ActivityEvent::Kind::error).empty());
  f.desktop.unopened = {f.home / "t"};
  f.scanner().revealInFinder({f.id("t/b")});
  EXPECT_EQ(f.logged(ActivityEvent::Kind::error),
            std::vector<std::string>{"Could not open the folder " + (f.home / "t") +
                                     ": no program that opens folders was found"});
}

// A preview of the selection must not drop the refusals of the tree's first preview that is
// still under way: every node keeps the token of the latest preview that asked about it.
TEST(ScannerPolicyPreview, ALatePreviewStillWritesTheNodesNoLaterPreviewAskedAbout) {
  ScannerFixture f;
  plantTree(f);
  f.policy.refusals[f.id("t/ab")] = "AI tool state";
  f.policy.refusals[f.id("t/b")] = "in use: open by vim (pid 9)";
  ScannerViewModel& scanner = f.scanner();
  scanner.scan(f.home / "t");
  ASSERT_TRUE(f.executor.run());  // the walk
  QCoreApplication::processEvents();
  ASSERT_EQ(f.executor.pending(), 1u);  // the tree's first preview, not answered yet

  scanner.setSelection({f.id("t/b")});
  f.policy.refusals[f.id("t/b")] = "Claude Code running";
  scanner.previewPolicy({f.id("t/b")});
  ASSERT_TRUE(f.executor.runLast());  // the selection's preview answers first
  QCoreApplication::processEvents();
  f.policy.refusals[f.id("t/b")] = "in use: open by vim (pid 9)";
  ASSERT_TRUE(f.executor.run());  // then the first preview, late, and older on t/b
  QCoreApplication::processEvents();

  EXPECT_EQ(scanner.refusals(), (std::map<std::string, std::string>{
                                    {f.id("t/ab"), "AI tool state"},
                                    {f.id("t/b"), "Claude Code running"},
                                }));
  scanner.selectAll();
  EXPECT_EQ(scanner.selection(), Ids{f.id("t/a")});
}

TEST(ScannerPolicyPreview, APreviewOfAReplacedTreeIsDropped) {
  ScannerFixture f;
  plantTree(f);
  f.policy.refusals[f.id("t/ab")] = "AI tool state";
  ScannerViewModel& scanner = f.scanner();
  scanner.scan(f.home / "t");
  ASSERT_TRUE(f.executor.run());
  QCoreApplication::processEvents();
  ASSERT_EQ(f.executor.pending(), 1u);
  // The same folder measured again while the first tree's preview is under way.
  scanner.scan(f.home / "t");
  ASSERT_TRUE(f.executor.run(1));  // the new walk
  QCoreApplication::processEvents();
  f.policy.refusals.clear();
  ASSERT_TRUE(f.executor.run(1));  // the new tree's preview: nothing refused now
  QCoreApplication::processEvents();
  f.policy.refusals[f.id("t/ab")] = "AI tool state";
  ASSERT_TRUE(f.executor.run());  // the old tree's preview, late
  QCoreApplication::processEvents();
  EXPECT_TRUE(scanner.refusals().empty());
}

TEST(ScannerPolicyPreview, OnlyNodesOfTheTreeAreJudgedAndNeverTheFolderItself) {
  ScannerFixture f;
  plantTree(f);
  f.scanned("t");
  const std::size_t before = f.policy.calls.size();
  f.scanner().previewPolicy({f.id("t"), "/unknown"});
  EXPECT_EQ(f.executor.pending(), 0u);
  f.scanner().previewPolicy({f.id("t"), f.id("t/a/x.bin")});
  f.settle();
  ASSERT_EQ(f.policy.calls.size(), before + 1);
  EXPECT_EQ(f.policy.calls.back().urls, std::vector<std::string>{f.home / "t/a/x.bin"});
  EXPECT_EQ(f.policy.calls.back().scanRoot, f.home / "t");
  EXPECT_FALSE(f.policy.calls.back().includeOpenFiles);
}

// The first judgement of a folder of thousands of entries is gathered and made on the worker
// that the executor runs it on, never on the GUI thread; its answer names the refused rows only,
// and a later preview of a few of them keeps what it found.
TEST(ScannerPolicyPreview, AWideFoldersFirstJudgementIsMadeOffTheGuiThread) {
  ScannerFixture f;
  const std::string root = f.home / "wide";
  std::vector<FileNode> entries;
  for (int i = 0; i < 5000; ++i) {
    entries.emplace_back("entry-" + std::to_string(i), std::nullopt, i, false, false, 1);
  }
  std::vector<std::thread::id> judgedOn;
  ScannerServices::PolicyFactory judge = f.policy.factory();
  f.services.makePolicy = [&](bool includeOpenFiles) -> ScannerServices::PolicyCheck {
    return [&, check = judge(includeOpenFiles)](const std::vector<std::string>& urls,
                                                const std::string& scanRoot,
                                                const std::set<std::string>& worktreeRoots) {
      judgedOn.push_back(std::this_thread::get_id());
      return check(urls, scanRoot, worktreeRoots);
    };
  };
  f.policy.refusals[root + "/entry-7"] = "AI tool state";
  f.policy.refusals[root + "/entry-9"] = "AI tool state";
  ScannerViewModel& scanner = f.scanner();
  scanner.setTree(FileNode::directory(root, std::nullopt, std::move(entries)), root);
  EXPECT_TRUE(judgedOn.empty());
  ASSERT_EQ(f.executor.pending(), 1u);

  scanner.previewPolicy({root + "/entry-9"});
  f.policy.refusals.erase(root + "/entry-9");
  std::thread worker([&] { f.executor.run(1); f.executor.run(0); });
  worker.join();
  ASSERT_EQ(judgedOn.size(), 2u);
  EXPECT_NE(judgedOn[0], std::this_thread::get_id());
  EXPECT_NE(judgedOn[1], std::this_thread::get_id());
  ASSERT_EQ(f.policy.calls.size(), 2u);
  const std::vector<std::string>& urls = f.policy.calls[1].urls;
  ASSERT_EQ(urls.size(), 5000u);
  for (std::size_t i = 0; i < urls.size(); ++i) {
    EXPECT_EQ(urls[i], scanner.root()->children()->at(i).url()) << i;
  }
  EXPECT_TRUE(scanner.refusals().empty());
  QCoreApplication::processEvents();
  // The preview of the one node is newer than the judgement of all of them.
  EXPECT_EQ(scanner.refusals(),
            (std::map<std::string, std::string>{{root + "/entry-7", "AI tool state"}}));
  EXPECT_EQ(scanner.selectableTopLevelIDs().size(), 4999u);
}
