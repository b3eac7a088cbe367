#include "viewmodels/scanner/scanner_tree.h"

#include <algorithm>

#include "services/removal/scan_trash_policy.h"
#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"

namespace hl {
namespace {

// Folders with more children than this get an index of their names; smaller ones are searched
// child by child.
constexpr std::size_t kIndexedWidth = 32;

constexpr std::string_view kWorktrees = "worktrees";

// The last component of a node's own path.
std::string ownName(const FileNode& node) {
  const std::string_view component = node.component();
  return component.empty() ? lastPathComponent(node.id()) : std::string(component);
}

// How many levels below the nearest folder named "worktrees" above it a node lies (1 for a
// node directly in one), judged from its whole id; none when no folder above it has that name.
std::optional<int> levelsBelowWorktrees(const std::string& id) {
  const std::vector<std::string_view> parts = PathRelation::components(id);
  for (std::size_t i = parts.size(); i-- > 1;) {
    if (parts[i - 1] == kWorktrees) return static_cast<int>(parts.size() - i);
  }
  return std::nullopt;
}

}  // namespace

const FileNode* ScannerTree::child(const FileNode& folder, std::string_view name) const {
  const std::vector<FileNode>* children = folder.children();
  if (!children) return nullptr;
  if (const auto index = byName_.find(&folder); index != byName_.end()) {
    const auto found = std::lower_bound(
        index->second.begin(), index->second.end(), name,
        [&](std::uint32_t at, std::string_view wanted) {
          return (*children)[at].component() < wanted;
        });
    if (found != index->second.end() && (*children)[*found].component() == name) {
      return &(*children)[*found];
    }
    return nullptr;
  }
  for (const FileNode& candidate : *children) {
    if (candidate.component() == name) return &candidate;
  }
  return nullptr;
}

const FileNode* ScannerTree::find(std::string_view id) const {
  if (!root) return nullptr;
  if (id == rootID_) return root.get();
  const FileNode* node = nullptr;
  std::string_view rest;
  const std::size_t skip = rootID_ == "/" ? 1 : rootID_.size() + 1;
  if (id.size() > skip && id.substr(0, rootID_.size()) == rootID_ && id[skip - 1] == '/') {
    node = root.get();
    rest = id.substr(skip);
  }
  while (node) {
    const std::size_t slash = rest.find('/');
    const std::string_view name = rest.substr(0, slash);
    node = name.empty() ? nullptr : child(*node, name);
    if (node && slash == std::string_view::npos) return node;
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
  }
  if (!irregular_) return nullptr;
  const FileNode* found = nullptr;
  root->forEachNode([&](const FileNode& candidate) {
    if (!found && candidate.id() == id) found = &candidate;
  });
  return found;
}

ScannerTree ScannerTree::prepare(std::shared_ptr<const FileNode> root, const std::string& home) {
  ScannerTree tree;
  tree.root = std::move(root);
  if (!tree.root) return tree;
  tree.rootID_ = tree.root->id();
  // Below "/" and "/private" the canonical form folds "/private/tmp" onto "/tmp".
  tree.irregular_ = tree.rootID_ == "/" || tree.rootID_ == "/private";

  // A node's worktree root follows from its path up to two components below the last folder
  // named "worktrees" above it, so it is asked for only down to there (and for every node whose
  // path is not its folder's followed by its name): deeper nodes share their folder's.
  struct Frame {
    const FileNode* node;
    std::optional<int> levels;
  };
  std::vector<Frame> pending{{tree.root.get(), levelsBelowWorktrees(tree.rootID_)}};
  const auto addWorktreeRoot = [&](const FileNode& node) {
    if (auto found = ScanTrashPolicy::worktreeRoot(node.id(), home)) {
      tree.worktreeRoots.insert(std::move(*found));
    }
  };
  if (pending.front().levels) addWorktreeRoot(*tree.root);
  while (!pending.empty()) {
    const Frame frame = pending.back();
    pending.pop_back();
    const std::vector<FileNode>* children = frame.node->children();
    if (!children || children->empty()) continue;
    const bool named = ownName(*frame.node) == kWorktrees;
    for (const FileNode& child : *children) {
      std::optional<int> levels;
      if (child.component().empty()) {
        tree.irregular_ = true;
        levels = levelsBelowWorktrees(child.id());
        if (levels) addWorktreeRoot(child);
      } else {
        if (named) {
          levels = 1;
        } else if (frame.levels) {
          levels = *frame.levels + 1;
        }
        if (levels && *levels <= 3) addWorktreeRoot(child);
      }
      if (child.children() && !child.children()->empty()) pending.push_back({&child, levels});
    }
    if (children->size() > kIndexedWidth) {
      std::vector<std::uint32_t> order;
      order.reserve(children->size());
      for (std::uint32_t i = 0; i < children->size(); ++i) {
        if (!(*children)[i].component().empty()) order.push_back(i);
      }
      std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return (*children)[a].component() < (*children)[b].component();
      });
      tree.byName_.emplace(frame.node, std::move(order));
    }
  }
  return tree;
}

}  // namespace hl
