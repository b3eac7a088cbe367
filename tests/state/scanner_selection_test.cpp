#include <gtest/gtest.h>

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
