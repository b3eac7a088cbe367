#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

#include "models/file_node.h"

namespace hl {

// A measured tree as the folder scanner holds it: the nodes (never changed once made, so any
// thread may read them), every node by id, and the roots of the agent worktrees its nodes lie
// in. Preparing one walks the whole tree, so it is done off the GUI thread for large trees.
struct ScannerTree {
  std::shared_ptr<const FileNode> root;
  // Points into `root`; valid as long as it is.
  std::unordered_map<std::string, const FileNode*> nodesByID;
  std::set<std::string> worktreeRoots;

  // Indexes a tree; the worktree roots are judged against `home`.
  static ScannerTree prepare(std::shared_ptr<const FileNode> root, const std::string& home);
};

}  // namespace hl
