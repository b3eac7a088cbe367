#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "services/removal/scan_trash_policy.h"
#include "support/fake_home.h"
#include "viewmodels/scanner/scanner_tree.h"

using namespace hl;

namespace {

FileNode file(const std::string& path, std::int64_t size = 1) {
  return FileNode(path, std::nullopt, size, false, false, 1);
}

}  // namespace

// Every node is found by its id, and nothing else is: names that sort around "/" ("a-c",
// "a.b", "a b" against "a/b"), bytes above ASCII, a prefix of a name, the folder's own id.
TEST(ScannerTree, EveryNodeIsFoundByItsIdAndOnlyBy) {
  const std::string r = "/t";
  std::vector<FileNode> inA{file(r + "/a/b"), file(r + "/a/\xc3\xa9t\xc3\xa9"), file(r + "/a/z")};
  std::vector<FileNode> top{FileNode::directory(r + "/a", std::nullopt, std::move(inA)),
                            file(r + "/a-c"), file(r + "/a.b"), file(r + "/a b"),
                            file(r + "/\xff"), file(r + "/A"), file(r + "/ab")};
  auto root = std::make_shared<const FileNode>(FileNode::directory(r, std::nullopt, std::move(top)));
  const ScannerTree tree = ScannerTree::prepare(root, "/home/ada");

  std::vector<std::string> ids;
  root->forEachNode([&](const FileNode& node) { ids.push_back(node.id()); });
  for (const std::string& id : ids) {
    const FileNode* found = tree.find(id);
    ASSERT_NE(found, nullptr) << id;
    EXPECT_EQ(found->id(), id);
  }
  for (const char* missing : {"/t/a/", "/t/a/bb", "/t/a-", "/t/a/b/c", "/", "/s", "/u", ""}) {
    EXPECT_EQ(tree.find(missing), nullptr) << missing;
  }
  EXPECT_EQ(ScannerTree::prepare(nullptr, "/home/ada").find("/t"), nullptr);
}

// Wide folders are searched through their index of names, and trees whose ids are not all their
// folder's id and a name (a node built with a path of its own, the folding below "/private")
// node by node: every node is still found by its id.
TEST(ScannerTree, WideFoldersAndOddTreesAreSearchedToo) {
  std::vector<FileNode> wide;
  for (int i = 0; i < 100; ++i) wide.push_back(file("/w/n" + std::to_string(i), i));
  std::vector<FileNode> inner;
  for (int i = 0; i < 40; ++i) inner.push_back(file("/w/sub/m" + std::to_string(i)));
  wide.push_back(FileNode::directory("/w/sub", std::nullopt, std::move(inner)));
  wide.push_back(file("/elsewhere/own"));
  for (const std::string& root : {std::string("/w"), std::string("/private")}) {
    std::vector<FileNode> children = wide;
    if (root == "/private") children = {file("/private/tmp"), file("/private/x")};
    auto tree = std::make_shared<const FileNode>(
        FileNode::directory(root, std::nullopt, std::move(children)));
    const ScannerTree prepared = ScannerTree::prepare(tree, "/home/ada");
    tree->forEachNode([&](const FileNode& node) {
      EXPECT_EQ(prepared.find(node.id()), &node) << node.id();
    });
    EXPECT_EQ(prepared.find(root + "/n100"), nullptr);
  }
}

// A node's worktree root is asked for only down to two levels below a folder named
// "worktrees": the roots found are exactly those of every node, asked one by one, also where a
// checkout one level down in an agent's worktree folder makes that level the root.
TEST(ScannerTree, WorktreeRootsAreThoseOfEveryNode) {
  test::FakeHome fakeHome{"worktrees"};
  fakeHome.text(".codex/worktrees/t1/a/.git", "gitdir: /elsewhere\n");
  const std::string home = fakeHome.path();
  const auto chain = [](std::string path, const std::vector<std::string>& names) {
    FileNode node = file(path + "/" + names.back());
    for (std::size_t i = names.size() - 1; i-- > 0;) {
      std::string folder = path;
      for (std::size_t k = 0; k <= i; ++k) folder += "/" + names[k];
      node = FileNode::directory(folder, std::nullopt, {std::move(node)});
    }
    return node;
  };
  const std::vector<std::pair<std::string, std::vector<std::vector<std::string>>>> trees = {
      {"/r",
       {{"a", ".claude", "worktrees", "w1", "deep", "deeper", "deepest", "f"},
        {"b", "worktrees", "x", "worktrees", "y", "z", "f"},
        {"worktrees", "f"}}},
      {"/r/.claude/worktrees/w2/src", {{"lib", "f"}, {"g"}}},
      {home + "/.codex", {{"worktrees", "t1", "a", "b", "c", "f"}, {"worktrees", "t2", "f"}}},
      {home + "/.codex/worktrees", {{"t3", "x", "y", "f"}}},
  };
  for (const auto& [root, paths] : trees) {
    std::vector<FileNode> children;
    for (const std::vector<std::string>& names : paths) {
      children.push_back(chain(root, names));
    }
    auto tree = std::make_shared<const FileNode>(
        FileNode::directory(root, std::nullopt, std::move(children)));
    std::set<std::string> expected;
    tree->forEachNode([&](const FileNode& node) {
      if (node.id().find("/worktrees/") == std::string::npos) return;
      if (auto found = ScanTrashPolicy::worktreeRoot(node.id(), home)) expected.insert(*found);
    });
    EXPECT_FALSE(expected.empty()) << root;
    if (root == home + "/.codex") {
      EXPECT_TRUE(expected.count(home + "/.codex/worktrees/t1/a"));
    }
    EXPECT_EQ(ScannerTree::prepare(tree, home).worktreeRoots, expected) << root;
  }
}
