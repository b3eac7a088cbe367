#include "viewmodels/scanner/scanner_tree.h"

#include <algorithm>

#include "platform/memory_release.h"
#include "services/removal/scan_trash_policy.h"
#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"

namespace hl {
namespace {

// Folders with more children than this get an index of their names; smaller ones are searched
// child by child.
constexpr std::size_t kIndexedWidth = 32;

constexpr std::string_view kWorktrees = "worktrees";

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

namespace {

// What preparing a part of a tree finds.
struct Findings {
  std::set<std::string> worktreeRoots;
  std::vector<std::pair<const FileNode*, std::vector<std::uint32_t>>> indexes;
  bool irregular = false;
};

// A folder still to be looked at, and how many levels below a folder named "worktrees" it lies
// (0: none above it).
struct Pending {
  const FileNode* folder;
  int levels;
};

// A node's worktree root follows from its path up to two components below the last folder
// named "worktrees" above it, so it is asked for only down to there (and for every node whose
// path is not its folder's followed by its name): deeper nodes share their folder's.
void addWorktreeRoot(const FileNode& node, const std::string& home, Findings& found) {
  if (auto root = ScanTrashPolicy::worktreeRoot(node.id(), home)) {
    found.worktreeRoots.insert(std::move(*root));
  }
}

// Looks at the children of one folder: their worktree roots, an index of their names when
// there are many, and the folders among them, which go to `next`.
void prepareFolder(const Pending& at, bool namedWorktrees, const std::string& home,
                   Findings& found, std::vector<Pending>& next) {
  const std::vector<FileNode>& children = *at.folder->children();
  for (const FileNode& child : children) {
    int levels = 0;
    if (child.component().empty()) {
      found.irregular = true;
      levels = levelsBelowWorktrees(child.id()).value_or(0);
      if (levels > 0) addWorktreeRoot(child, home, found);
    } else {
      levels = namedWorktrees ? 1 : at.levels > 0 ? at.levels + 1 : 0;
      if (levels > 0 && levels <= 3) addWorktreeRoot(child, home, found);
    }
    if (child.outlineChildren()) next.push_back({&child, levels});
  }
  if (children.size() > kIndexedWidth) {
    std::vector<std::uint32_t> order;
    order.reserve(children.size());
    for (std::uint32_t i = 0; i < children.size(); ++i) {
      if (!children[i].component().empty()) order.push_back(i);
    }
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
      return children[a].component() < children[b].component();
    });
    found.indexes.emplace_back(at.folder, std::move(order));
  }
}

bool isNamedWorktrees(const FileNode& folder) {
  const std::string_view component = folder.component();
  return component.empty() ? lastPathComponent(folder.id()) == kWorktrees
                           : component == kWorktrees;
}

// Every folder below `start`, depth first.
void prepareSubtree(const Pending& start, const std::string& home, Findings& found) {
  std::vector<Pending> pending{start};
  while (!pending.empty()) {
    const Pending at = pending.back();
    pending.pop_back();
    prepareFolder(at, isNamedWorktrees(*at.folder), home, found, pending);
  }
}

}  // namespace

std::shared_ptr<const FileNode> ScannerTree::share(FileNode tree) {
  return std::shared_ptr<const FileNode>(new FileNode(std::move(tree)), [](const FileNode* last) {
    delete last;
    MemoryRelease::giveBackFreed();
  });
}

ScannerTree ScannerTree::prepare(std::shared_ptr<const FileNode> root, const std::string& home,
                                 const Spread& spread) {
  ScannerTree tree;
  tree.root = std::move(root);
  if (!tree.root) return tree;
  tree.rootID_ = tree.root->id();
  // Below "/" and "/private" the canonical form folds "/private/tmp" onto "/tmp".
  tree.irregular_ = tree.rootID_ == "/" || tree.rootID_ == "/private";

  Findings first;
  const int rootLevels = levelsBelowWorktrees(tree.rootID_).value_or(0);
  if (rootLevels > 0) addWorktreeRoot(*tree.root, home, first);
  // The top of the tree level by level, until there are enough folders to share out between
  // threads; then each of their subtrees on its own.
  std::vector<Pending> frontier;
  if (tree.root->outlineChildren()) frontier.push_back({tree.root.get(), rootLevels});
  constexpr std::size_t kShares = 256;
  while (!frontier.empty() && frontier.size() < kShares) {
    std::vector<Pending> below;
    for (const Pending& at : frontier) {
      prepareFolder(at, isNamedWorktrees(*at.folder), home, first, below);
    }
    frontier = std::move(below);
  }
  std::vector<Findings> found(frontier.size());
  spread(frontier.size(), [&](std::size_t i) { prepareSubtree(frontier[i], home, found[i]); });
  found.push_back(std::move(first));
  for (Findings& part : found) {
    tree.worktreeRoots.merge(part.worktreeRoots);
    tree.irregular_ = tree.irregular_ || part.irregular;
    for (auto& [folder, order] : part.indexes) tree.byName_.emplace(folder, std::move(order));
  }
  return tree;
}

}  // namespace hl
