#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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
