#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "models/file_node.h"

namespace hl {

// A measured tree as the folder scanner holds it: the nodes (never changed once made, so any
// thread may read them), every node by id, and the roots of the agent worktrees its nodes lie
// in. Preparing one walks the whole tree, so it is done off the GUI thread for large trees.
struct ScannerTree {
  std::shared_ptr<const FileNode> root;
  // Every node of `root`, ordered by id (see `idOrder`): a sorted list of pointers costs a few
  // bytes a node where a hash table keyed by path would store every path a second time. Valid
  // as long as `root` is.
  std::vector<const FileNode*> nodesByID;
  std::set<std::string> worktreeRoots;

  // The node with this id; null when the tree holds none.
  const FileNode* find(std::string_view id) const;

  // Indexes a tree; the worktree roots are judged against `home`.
  static ScannerTree prepare(std::shared_ptr<const FileNode> root, const std::string& home);

  // Byte order, except that "/" comes before every other byte.
  static bool idOrder(std::string_view a, std::string_view b);
};

}  // namespace hl
