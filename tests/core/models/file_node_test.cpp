#include <gtest/gtest.h>

#include "models/file_node.h"
#include "utilities/path_canonical.h"

using namespace hl;

namespace {

FileNode leaf(const std::string& url, std::int64_t size) {
  return FileNode(url, std::nullopt, size, false, false, 1);
}

std::vector<std::string> names(const FileNode& node) {
  std::vector<std::string> out;
  for (const FileNode& child : *node.children()) out.emplace_back(child.name());
  return out;
}

}  // namespace

TEST(FileNode, DirectorySumsSortsAndShares) {
  const FileNode root = FileNode::directory(
      "/r", std::nullopt, {leaf("/r/small", 100), leaf("/r/big", 300), leaf("/r/mid", 100)});
  EXPECT_EQ(root.size(), 500);
  EXPECT_EQ(root.fileCount(), 3);
  EXPECT_EQ(root.name(), "r");
  EXPECT_EQ(root.shareOfParent(), 1.0);
  EXPECT_EQ(names(root), (std::vector<std::string>{"big", "mid", "small"}));
  EXPECT_DOUBLE_EQ((*root.children())[0].shareOfParent(), 0.6);
  EXPECT_DOUBLE_EQ((*root.children())[2].shareOfParent(), 0.2);
}

TEST(FileNode, EqualSizesUseNumericCaseInsensitiveNames) {
  const FileNode root = FileNode::directory(
      "/r", std::nullopt,
      {leaf("/r/file10", 0), leaf("/r/File2", 0), leaf("/r/file9", 0), leaf("/r/a", 0)});
  EXPECT_EQ(root.size(), 0);
  EXPECT_EQ(names(root), (std::vector<std::string>{"a", "File2", "file9", "file10"}));
  for (const FileNode& child : *root.children()) EXPECT_EQ(child.shareOfParent(), 0.0);
}

TEST(FileNode, SharesAreClamped) {
  const FileNode root =
      FileNode::directory("/r", std::nullopt, {leaf("/r/neg", -50), leaf("/r/pos", 100)});
  EXPECT_EQ(root.size(), 50);
  for (const FileNode& child : *root.children()) {
    EXPECT_GE(child.shareOfParent(), 0.0);
    EXPECT_LE(child.shareOfParent(), 1.0);
  }
}

TEST(FileNode, IdIsCanonicalAndNamesDefaultToTheLastComponent) {
  const FileNode node("/private/tmp/a/", std::nullopt, 1, false, true, 1);
  EXPECT_EQ(node.id(), "/tmp/a");
  EXPECT_EQ(node.url(), "/private/tmp/a/");
  EXPECT_EQ(node.name(), "a");
  EXPECT_TRUE(node.isSymbolicLink());
  const FileNode named = FileNode::directory("/x/y", std::string("Shown"), {});
  EXPECT_EQ(named.name(), "Shown");
  EXPECT_EQ(named.withShare(0.5).name(), "Shown");
  EXPECT_EQ(named.withShare(0.5).shareOfParent(), 0.5);
}

TEST(FileNode, RemovingPrunesAndRecomputes) {
  const FileNode tree = FileNode::directory(
      "/r", std::nullopt,
      {FileNode::directory("/r/a", std::nullopt, {leaf("/r/a/1", 400), leaf("/r/a/2", 100)}),
       leaf("/r/b", 300)});
  EXPECT_FALSE(tree.removing({"/r"}));
  EXPECT_EQ(tree.removing({"/nowhere"}), tree);

  const auto pruned = tree.removing({"/r/a/1"});
  ASSERT_TRUE(pruned);
  EXPECT_EQ(pruned->size(), 400);
  EXPECT_EQ(pruned->fileCount(), 2);
  EXPECT_EQ(names(*pruned), (std::vector<std::string>{"b", "a"}));
  EXPECT_DOUBLE_EQ((*pruned->children())[0].shareOfParent(), 0.75);
  // The original is untouched.
  EXPECT_EQ(tree.size(), 800);
}

TEST(FileNode, OutlineAndWalkOrder) {
  const FileNode tree = FileNode::directory(
      "/root", std::nullopt,
      {FileNode::directory("/root/A", std::nullopt, {leaf("/root/A/A1", 5)}), leaf("/root/B", 1),
       FileNode::directory("/root/E", std::nullopt, {})});
  std::vector<std::string> visited;
  tree.forEachNode([&](const FileNode& node) { visited.emplace_back(node.name()); });
  EXPECT_EQ(visited, (std::vector<std::string>{"root", "A", "A1", "B", "E"}));
  EXPECT_EQ((*tree.children())[2].outlineChildren(), nullptr);
  EXPECT_NE((*tree.children())[2].children(), nullptr);
  EXPECT_EQ((*tree.children())[1].outlineChildren(), nullptr);
  EXPECT_NE(tree.outlineChildren(), nullptr);
}

TEST(FileNode, DeepTreesBuildAndWalk) {
  FileNode node = leaf("/d/leaf", 7);
  std::string path = "/d";
  for (int depth = 0; depth < 3000; ++depth) {
    node = FileNode::directory("/d/" + std::to_string(depth), std::nullopt, {std::move(node)});
  }
  std::size_t count = 0;
  node.forEachNode([&](const FileNode&) { ++count; });
  EXPECT_EQ(count, 3001u);
  EXPECT_EQ(node.size(), 7);
}

// A node inside a tree keeps its name and finds its path through its folder: whatever the folder
// and the child were given, the path, id and name come out as given, also once the child is
// copied out of the tree, the tree copied, or a sibling pruned.
TEST(FileNode, ChildrenKeepTheLocationsTheyWereGiven) {
  struct Case {
    std::string folder;
    std::string child;
    std::string url;
    std::string id;
    std::string name;
    bool byName;  // found through the folder one component at a time
  };
  const std::vector<Case> cases = {
      {"/r", "/r/a", "/r/a", "/r/a", "a", true},
      {"/r", "a", "/r/a", "/r/a", "a", true},
      {"/r/", "/r/a", "/r/a", "/r/a", "a", true},
      {"/", "/etc", "/etc", "/etc", "etc", true},
      {"/private", "/private/tmp", "/private/tmp", "/tmp", "tmp", true},
      {"/private/var", "/private/var/x", "/private/var/x", "/var/x", "x", true},
      {"/r", "/r/a/", "/r/a/", "/r/a", "a", false},
      {"/r", "/elsewhere/x", "/elsewhere/x", "/elsewhere/x", "x", false},
      {"/r", "/r/./a", "/r/./a", "/r/a", "a", false},
      {"/r", "a/b", "a/b", "/a/b", "b", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder + " + " + c.child);
    const FileNode tree =
        FileNode::directory(c.folder, std::nullopt, {leaf(c.child, 5), leaf(c.folder + "/z", 1)});
    const FileNode* child = nullptr;
    for (const FileNode& candidate : *tree.children()) {
      if (candidate.size() == 5) child = &candidate;
    }
    ASSERT_TRUE(child);
    EXPECT_EQ(child->parent(), &tree);
    EXPECT_EQ(child->url(), c.url);
    EXPECT_EQ(child->id(), c.id);
    EXPECT_EQ(child->name(), c.name);
    EXPECT_EQ(child->component(), c.byName ? c.name : "");

    const FileNode copied = *child;
    EXPECT_EQ(copied.parent(), nullptr);
    EXPECT_EQ(copied.url(), c.url);
    EXPECT_EQ(copied.id(), c.id);
    EXPECT_EQ(copied.name(), c.name);
    const FileNode whole = tree;
    EXPECT_EQ(whole, tree);
    EXPECT_EQ(whole.children()->front().url(), tree.children()->front().url());
    const auto pruned = tree.removing({PathCanonical::canonical(c.folder + "/z")});
    ASSERT_TRUE(pruned);
    ASSERT_EQ(pruned->children()->size(), 1u);
    EXPECT_EQ(pruned->children()->front().url(), c.url);
    EXPECT_EQ(pruned->children()->front().parent(), &*pruned);
  }
}

// A chain thousands of folders deep is built from names, and its deepest node knows its whole
// path; copying, comparing, pruning and freeing it does not recurse level by level.
TEST(FileNode, DeepChainsDerivePathsAndPruneFromTheirNames) {
  constexpr int kDepth = 20000;
  FileNode node("bottom", std::nullopt, 7, false, false, 1);
  for (int depth = kDepth; depth > 0; --depth) {
    std::vector<FileNode> children;
    children.push_back(std::move(node));
    if (depth == kDepth / 2) children.push_back(FileNode("middle", std::nullopt, 3, false, false, 1));
    node = FileNode::directory(depth == 1 ? "/deep" : "d", std::nullopt, std::move(children));
  }
  std::string expected = "/deep";
  for (int depth = 1; depth < kDepth; ++depth) expected += "/d";
  const FileNode* deepest = &node;
  while (deepest->children()) deepest = &deepest->children()->front();
  EXPECT_EQ(deepest->url(), expected + "/bottom");
  EXPECT_EQ(deepest->id(), expected + "/bottom");
  EXPECT_EQ(node.size(), 10);

  const FileNode copy = node;
  EXPECT_EQ(copy, node);
  const std::string middle = expected.substr(0, 5 + 2 * (kDepth / 2 - 1)) + "/middle";
  const auto pruned = node.removing({middle});
  ASSERT_TRUE(pruned);
  EXPECT_EQ(pruned->size(), 7);
  EXPECT_EQ(pruned->fileCount(), 1);
  EXPECT_FALSE(*pruned == node);
  const auto cut = std::move(*pruned).removing({expected.substr(0, 7)});
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->size(), 0);
  EXPECT_TRUE(cut->children()->empty());
}

// Shares are worked out from the sizes unless given: a node made with its children keeps the
// children's own, a copy keeps the share it had, `withShare` sets one.
TEST(FileNode, SharesAreWorkedOutUnlessGiven) {
  const FileNode made("/r", std::nullopt, 10, true, false, 2, 1.0,
                      std::vector<FileNode>{FileNode("/r/a", std::nullopt, 4, false, false, 1, 0.9),
                                            leaf("/r/b", 6)});
  EXPECT_EQ(made.children()->front().shareOfParent(), 0.9);
  EXPECT_EQ(made.children()->back().shareOfParent(), 1.0);
  const FileNode built = FileNode::directory("/r", std::nullopt, *made.children());
  EXPECT_DOUBLE_EQ(built.children()->front().shareOfParent(), 0.6);
  const FileNode copied = built.children()->back();
  EXPECT_DOUBLE_EQ(copied.shareOfParent(), 0.4);
  EXPECT_EQ(copied.withShare(1.0).shareOfParent(), 1.0);
  EXPECT_EQ(built.withShare(0.25).shareOfParent(), 0.25);
}
