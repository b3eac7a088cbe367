#include <gtest/gtest.h>

#include "models/file_node.h"

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
