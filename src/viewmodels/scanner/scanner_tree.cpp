#include "viewmodels/scanner/scanner_tree.h"

#include "services/removal/scan_trash_policy.h"

namespace hl {

ScannerTree ScannerTree::prepare(std::shared_ptr<const FileNode> root, const std::string& home) {
  ScannerTree tree;
  tree.root = std::move(root);
  if (!tree.root) return tree;
  tree.root->forEachNode([&](const FileNode& node) {
    tree.nodesByID.emplace(node.id(), &node);
    // A node deep inside a worktree adds the worktree's root, even above the scanned folder.
    if (node.id().find("/worktrees/") == std::string::npos) return;
    if (auto found = ScanTrashPolicy::worktreeRoot(node.id(), home)) {
      tree.worktreeRoots.insert(std::move(*found));
    }
  });
  return tree;
}

}  // namespace hl
