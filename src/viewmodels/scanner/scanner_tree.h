#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "models/file_node.h"
#include "utilities/spread.h"

namespace hl {

// A measured tree as the folder scanner holds it: the nodes (never changed once made, so any
// thread may read them), a way to find every node by id, and the roots of the agent worktrees
// its nodes lie in. Preparing one walks the whole tree, so it is done off the GUI thread for
// large trees.
struct ScannerTree {
  std::shared_ptr<const FileNode> root;
  std::set<std::string> worktreeRoots;

  // The node with this id; null when the tree holds none. Goes down from the root one path
  // component at a time, so nothing is kept per node but an index of each wide folder's names.
  const FileNode* find(std::string_view id) const;
  // The child of `folder` whose path component is `name`; null when there is none.
  const FileNode* child(const FileNode& folder, std::string_view name) const;

  // A tree to share: whichever holder lets go of it last frees it and gives the memory back to
  // the system, so that a program that measures folder after folder does not grow with each.
  static std::shared_ptr<const FileNode> share(FileNode tree);

  // Indexes a tree, its parts spread as `spread` does; the worktree roots are judged against
  // `home`.
  static ScannerTree prepare(std::shared_ptr<const FileNode> root, const std::string& home,
                             const Spread& spread = sequentially());

 private:
  std::string rootID_;
  // Some node's id is not its folder's id followed by its name (a node that keeps a path of its
  // own, or a path the canonical form folds): ids not found on the way down are then looked for
  // among all nodes.
  bool irregular_ = false;
  // For each folder with many children, their positions ordered by name.
  std::unordered_map<const FileNode*, std::vector<std::uint32_t>> byName_;
};

}  // namespace hl
