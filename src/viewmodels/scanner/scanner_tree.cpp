#include "viewmodels/scanner/scanner_tree.h"

#include <algorithm>
#include <cstring>

#include "services/removal/scan_trash_policy.h"

namespace hl {

bool ScannerTree::idOrder(std::string_view a, std::string_view b) {
  // Only the first byte that differs decides; ids share long prefixes, so the equal part is
  // skipped a word at a time.
  const std::size_t common = std::min(a.size(), b.size());
  std::size_t i = 0;
  while (i + 8 <= common && std::memcmp(a.data() + i, b.data() + i, 8) == 0) i += 8;
  while (i < common && a[i] == b[i]) ++i;
  if (i == common) return a.size() < b.size();
  const auto key = [](char c) {
    return c == '/' ? 0 : static_cast<int>(static_cast<unsigned char>(c)) + 1;
  };
  return key(a[i]) < key(b[i]);
}

const FileNode* ScannerTree::find(std::string_view id) const {
  const auto found = std::lower_bound(
      nodesByID.begin(), nodesByID.end(), id,
      [](const FileNode* node, std::string_view wanted) { return idOrder(node->id(), wanted); });
  return found != nodesByID.end() && (*found)->id() == id ? *found : nullptr;
}

ScannerTree ScannerTree::prepare(std::shared_ptr<const FileNode> root, const std::string& home) {
  ScannerTree tree;
  tree.root = std::move(root);
  if (!tree.root) return tree;
  tree.root->forEachNode([&](const FileNode& node) {
    tree.nodesByID.push_back(&node);
    // A node deep inside a worktree adds the worktree's root, even above the scanned folder.
    if (node.id().find("/worktrees/") == std::string::npos) return;
    if (auto found = ScanTrashPolicy::worktreeRoot(node.id(), home)) {
      tree.worktreeRoots.insert(std::move(*found));
    }
  });
  std::sort(tree.nodesByID.begin(), tree.nodesByID.end(),
            [](const FileNode* a, const FileNode* b) { return idOrder(a->id(), b->id()); });
  tree.nodesByID.shrink_to_fit();
  return tree;
}

}  // namespace hl
