#include "models/file_node.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "utilities/name_order.h"
#include "utilities/path_canonical.h"

namespace hl {
namespace {

std::string_view lastComponentView(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  if (path == "/") return path;
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// A name that can follow a canonical path as one more component and keep it canonical.
bool isComponent(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find('/') == std::string_view::npos;
}

// `base` followed by `component` as one more component, as `appendingPath` joins them.
bool isChildPath(std::string_view path, std::string_view base, std::string_view component) {
  const bool slash = base.empty() || base.back() != '/';
  return path.size() == base.size() + (slash ? 1 : 0) + component.size() &&
         path.substr(0, base.size()) == base && (!slash || path[base.size()] == '/') &&
         path.substr(path.size() - component.size()) == component;
}

// Whether a path needs no canonical form of its own apart from the folding of its first two
// components: absolute, no empty, "." or ".." parts, no trailing slash.
bool hasCanonicalParts(std::string_view path) {
  if (path.empty() || path.front() != '/') return false;
  if (path.size() == 1) return true;
  if (path.back() == '/') return false;
  for (std::size_t start = 1; start <= path.size();) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (!isComponent(path.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

// Whether the canonical form folds the path's first components ("/private/tmp" is "/tmp").
bool folds(std::string_view path) {
  for (std::string_view folded : {"/private/var", "/private/tmp", "/private/etc"}) {
    if (path.substr(0, folded.size()) == folded &&
        (path.size() == folded.size() || path[folded.size()] == '/')) {
      return true;
    }
  }
  return false;
}

// Larger first; equal sizes by name in the Finder-like order; ties keep their order.
void sortChildren(std::vector<FileNode>& children) {
  std::vector<std::size_t> order(children.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  const auto larger = [&](std::size_t a, std::size_t b) {
    return children[a].size() > children[b].size();
  };
  // Often all of a large folder's files have one size: nothing to sort by size then.
  if (!std::is_sorted(order.begin(), order.end(), larger)) {
    std::stable_sort(order.begin(), order.end(), larger);
  }
  // Names are compared only inside runs of equal size, each converted once.
  std::vector<std::string_view> names;
  for (std::size_t start = 0; start < order.size();) {
    std::size_t end = start + 1;
    while (end < order.size() && children[order[end]].size() == children[order[start]].size()) {
      ++end;
    }
    if (end - start > 1) {
      if (names.empty()) {
        names.reserve(children.size());
        for (const FileNode& child : children) names.push_back(child.name());
      }
      std::vector<std::size_t> run(order.begin() + static_cast<std::ptrdiff_t>(start),
                                   order.begin() + static_cast<std::ptrdiff_t>(end));
      stableSortByName(run, names);
      std::copy(run.begin(), run.end(), order.begin() + static_cast<std::ptrdiff_t>(start));
    }
    start = end;
  }
  // In place, one cycle of the permutation at a time: a second list of a large folder's
  // children would double its memory for a moment.
  for (std::size_t start = 0; start < order.size(); ++start) {
    if (order[start] == start) continue;
    FileNode held = std::move(children[start]);
    std::size_t at = start;
    for (;;) {
      const std::size_t from = order[at];
      order[at] = at;
      if (from == start) {
        children[at] = std::move(held);
        break;
      }
      children[at] = std::move(children[from]);
      at = from;
    }
  }
}

// The ids to remove, by the id of the folder that holds them: a folder is looked up only when
// its id is as long as one of these, so deep trees are not hashed path by path.
class RemovalPlan {
 public:
  explicit RemovalPlan(const std::unordered_set<std::string>& ids) {
    for (const std::string& id : ids) {
      const std::size_t slash = id.rfind('/');
      if (slash == std::string::npos || slash + 1 == id.size()) continue;
      const std::string_view parent = slash == 0 ? std::string_view("/")
                                                 : std::string_view(id).substr(0, slash);
      names_[parent].insert(std::string_view(id).substr(slash + 1));
      if (lengths_.size() <= parent.size()) lengths_.resize(parent.size() + 1, false);
      lengths_[parent.size()] = true;
    }
  }

  // The names to remove from the folder with this id; null when none.
  const std::unordered_set<std::string_view>* inside(const std::string& folder) const {
    if (folder.size() >= lengths_.size() || !lengths_[folder.size()]) return nullptr;
    const auto found = names_.find(folder);
    return found == names_.end() ? nullptr : &found->second;
  }

 private:
  std::unordered_map<std::string_view, std::unordered_set<std::string_view>> names_;
  std::vector<bool> lengths_;
};

// The id of a child whose location is `component` inside the folder with id `folder`.
std::string childID(std::string_view folder, std::string_view component) {
  std::string id;
  if (folder == "/" ||
      (folder == "/private" && (component == "var" || component == "tmp" || component == "etc"))) {
    id.reserve(component.size() + 1);
  } else {
    id.reserve(folder.size() + component.size() + 1);
    id.append(folder);
  }
  id.push_back('/');
  id.append(component);
  return id;
}

}  // namespace

FileNode::FileNode(std::string url, std::optional<std::string> name, std::int64_t size,
                   bool isDirectory, bool isSymbolicLink, std::int64_t fileCount,
                   double shareOfParent, std::optional<std::vector<FileNode>> children)
    : location_(url),
      size_(size),
      fileCount_(fileCount),
      isDirectory_(isDirectory),
      isSymbolicLink_(isSymbolicLink),
      hasChildren_(children.has_value()) {
  if (name && *name != lastComponentView(location_.view())) extras().name = std::move(*name);
  setShare(shareOfParent);
  if (children) {
    children_ = std::move(*children);
    adopt(true);
  }
}

FileNode::FileNode(Summarized, std::string url, std::optional<std::string> name,
                   std::vector<FileNode> children)
    : location_(url), children_(std::move(children)), isDirectory_(true), hasChildren_(true) {
  if (name && *name != lastComponentView(location_.view())) extras().name = std::move(*name);
  adopt(false);
}

FileNode::FileNode(FieldsOnly, const FileNode& other)
    : location_(other.location_),
      extras_(other.extras_ ? std::make_unique<Extras>(*other.extras_) : nullptr),
      size_(other.size_),
      fileCount_(other.fileCount_),
      isDirectory_(other.isDirectory_),
      isSymbolicLink_(other.isSymbolicLink_),
      hasChildren_(other.hasChildren_),
      derived_(other.derived_) {}

FileNode::FileNode(const FileNode& other) : FileNode(FieldsOnly{}, other) {
  // A copy stands on its own: it keeps its whole path and its share.
  if (derived_ && other.parent_) location_ = NodeText(other.url());
  derived_ = false;
  setShare(other.shareOfParent());
  copyChildrenFrom(other);
}

FileNode::FileNode(FileNode&& other) noexcept
    : location_(std::move(other.location_)),
      parent_(other.parent_),
      extras_(std::move(other.extras_)),
      size_(other.size_),
      fileCount_(other.fileCount_),
      children_(std::move(other.children_)),
      isDirectory_(other.isDirectory_),
      isSymbolicLink_(other.isSymbolicLink_),
      hasChildren_(other.hasChildren_),
      derived_(other.derived_) {
  repointChildren();
}

FileNode& FileNode::operator=(const FileNode& other) {
  if (this != &other) *this = FileNode(other);
  return *this;
}

FileNode& FileNode::operator=(FileNode&& other) noexcept {
  if (this == &other) return *this;
  destroyChildren();
  location_ = std::move(other.location_);
  parent_ = other.parent_;
  extras_ = std::move(other.extras_);
  size_ = other.size_;
  fileCount_ = other.fileCount_;
  isDirectory_ = other.isDirectory_;
  isSymbolicLink_ = other.isSymbolicLink_;
  hasChildren_ = other.hasChildren_;
  derived_ = other.derived_;
  children_ = std::move(other.children_);
  repointChildren();
  return *this;
}

FileNode::~FileNode() { destroyChildren(); }

void FileNode::destroyChildren() noexcept {
  // Freed level by level: a chain thousands of folders deep must not recurse.
  const bool deeper = std::any_of(children_.begin(), children_.end(),
                                  [](const FileNode& child) { return !child.children_.empty(); });
  if (!deeper) {
    children_.clear();
    return;
  }
  std::vector<std::vector<FileNode>> pending;
  pending.push_back(std::move(children_));
  while (!pending.empty()) {
    std::vector<FileNode> level = std::move(pending.back());
    pending.pop_back();
    for (FileNode& node : level) {
      if (!node.children_.empty()) pending.push_back(std::move(node.children_));
    }
  }
  children_.clear();
}

FileNode::Extras& FileNode::extras() {
  if (!extras_) extras_ = std::make_unique<Extras>();
  return *extras_;
}

void FileNode::dropEmptyExtras() {
  if (extras_ && !extras_->name && !extras_->share) extras_.reset();
}

void FileNode::setShare(double share) {
  // A root's share is 1.0 unless given otherwise.
  if (!parent_ && share == 1.0) {
    if (extras_) extras_->share.reset();
    dropEmptyExtras();
    return;
  }
  extras().share = share;
}

double FileNode::shareOfParent() const {
  if (extras_ && extras_->share) return *extras_->share;
  if (!parent_) return 1.0;
  // As `directory` gave it: the parent's size is the sum of its children's.
  const std::int64_t total = parent_->size_;
  if (total < 1) return 0;
  return std::clamp(static_cast<double>(size_) / static_cast<double>(total), 0.0, 1.0);
}

void FileNode::repointChildren() {
  for (FileNode& child : children_) child.parent_ = this;
}

void FileNode::adopt(bool keepShares) {
  const std::string_view base = location_.view();
  for (FileNode& child : children_) {
    if (keepShares) child.extras().share = child.shareOfParent();
    // Taken over from another node of the same path (a tree rebuilt while pruned).
    if (child.parent_ && child.derived_) {
      child.parent_ = this;
      continue;
    }
    child.parent_ = this;
    const std::string_view location = child.location_.view();
    if (isComponent(location)) {
      child.derived_ = true;
      continue;
    }
    const std::string_view last = lastComponentView(location);
    if (isComponent(last) && isChildPath(location, base, last)) {
      child.location_ = NodeText(last);
      child.derived_ = true;
    } else {
      child.derived_ = false;
    }
  }
}

void FileNode::copyChildrenFrom(const FileNode& other) {
  // Level by level, never by recursion.
  std::vector<std::pair<FileNode*, const FileNode*>> pending{{this, &other}};
  while (!pending.empty()) {
    auto [target, source] = pending.back();
    pending.pop_back();
    target->children_.reserve(source->children_.size());
    for (const FileNode& child : source->children_) {
      target->children_.push_back(FileNode(FieldsOnly{}, child));
      target->children_.back().parent_ = target;
    }
    for (std::size_t i = 0; i < source->children_.size(); ++i) {
      if (!source->children_[i].children_.empty()) {
        pending.emplace_back(&target->children_[i], &source->children_[i]);
      }
    }
  }
}

std::string FileNode::url() const {
  if (!parent_ || !derived_) return std::string(location_.view());
  // Measured first, then written from the end: no list of the ancestors is built.
  std::size_t length = 0;
  const FileNode* base = this;
  for (; base->parent_ && base->derived_; base = base->parent_) {
    length += base->location_.size() + 1;
  }
  const std::string_view start = base->location_.view();
  const bool joined = !start.empty() && start.back() == '/';
  length += start.size() - (joined ? 1 : 0);
  std::string path(length, '\0');
  std::size_t end = length;
  for (const FileNode* node = this; node != base; node = node->parent_) {
    const std::string_view part = node->location_.view();
    end -= part.size();
    std::copy(part.begin(), part.end(), path.begin() + static_cast<std::ptrdiff_t>(end));
    path[--end] = '/';
  }
  std::copy(start.begin(), start.end() - (joined ? 1 : 0), path.begin());
  return path;
}

std::string FileNode::id() const {
  // Components added below a root are canonical by construction; only the part the path starts
  // from is checked, and the folding of the first components.
  const FileNode* base = this;
  while (base->parent_ && base->derived_) base = base->parent_;
  std::string path = url();
  if (hasCanonicalParts(base->location_.view()) && !folds(path)) return path;
  return PathCanonical::canonical(path);
}

std::string_view FileNode::name() const {
  if (extras_ && extras_->name) return *extras_->name;
  if (parent_ && derived_) return location_.view();
  return lastComponentView(location_.view());
}

FileNode FileNode::directory(std::string url, std::optional<std::string> name,
                             std::vector<FileNode> children) {
  FileNode node(Summarized{}, std::move(url), std::move(name), std::move(children));
  node.summarize();
  return node;
}

void FileNode::summarize() {
  std::int64_t total = 0;
  std::int64_t count = 0;
  for (const FileNode& child : children_) {
    total += child.size_;
    count += child.fileCount_;
  }
  sortChildren(children_);
  // Each child's share is now the one worked out from its size and this node's.
  for (FileNode& child : children_) {
    if (child.extras_) {
      child.extras_->share.reset();
      child.dropEmptyExtras();
    }
  }
  size_ = total;
  fileCount_ = count;
  isDirectory_ = true;
  isSymbolicLink_ = false;
  hasChildren_ = true;
}

const std::vector<FileNode>* FileNode::outlineChildren() const {
  return hasChildren_ && !children_.empty() ? &children_ : nullptr;
}

std::optional<FileNode> FileNode::removing(const std::unordered_set<std::string>& ids) const& {
  return FileNode(*this).pruned(ids);
}

std::optional<FileNode> FileNode::removing(const std::unordered_set<std::string>& ids) && {
  return std::move(*this).pruned(ids);
}

std::optional<FileNode> FileNode::pruned(const std::unordered_set<std::string>& ids) && {
  std::string current = id();
  if (ids.count(current)) return std::nullopt;
  if (!hasChildren_) return std::move(*this);
  const RemovalPlan plan(ids);

  // Depth first without recursion: a folder's doomed children go when it is reached, and the
  // folder is summed, sorted and shared again once everything below it has been.
  struct Frame {
    FileNode* node;
    std::size_t next = 0;
    std::size_t idLength = 0;       // of `current` while this folder is on top
    std::optional<std::string> id;  // the parent's id, when this folder's is not an extension
  };
  const auto enter = [&](FileNode& folder, std::vector<Frame>& stack) {
    const auto* doomed = plan.inside(current);
    const std::string& folderID = current;
    std::erase_if(folder.children_, [&](const FileNode& child) {
      if (child.derived_ && folderID != "/private") {
        return doomed && doomed->count(child.location_.view()) > 0;
      }
      return ids.count(child.derived_ ? childID(folderID, child.location_.view()) : child.id()) >
             0;
    });
    stack.push_back(Frame{&folder, 0, current.size(), std::nullopt});
  };
  std::vector<Frame> stack;
  enter(*this, stack);
  while (!stack.empty()) {
    Frame& frame = stack.back();
    FileNode& folder = *frame.node;
    if (frame.next < folder.children_.size()) {
      FileNode& child = folder.children_[frame.next++];
      if (!child.hasChildren_) continue;
      std::optional<std::string> saved;
      if (child.derived_ && current != "/" && current != "/private") {
        current.push_back('/');
        current.append(child.location_.view());
      } else {
        saved = current;
        current = child.derived_ ? childID(current, child.location_.view()) : child.id();
      }
      enter(child, stack);
      stack.back().id = std::move(saved);
      continue;
    }
    // Everything below is done: the folder as `directory` would make it, keeping its share.
    folder.summarize();
    std::optional<std::string> parentID = std::move(frame.id);
    stack.pop_back();
    if (stack.empty()) break;
    if (parentID) {
      current = std::move(*parentID);
    } else {
      current.resize(stack.back().idLength);
    }
  }
  return std::move(*this);
}

void FileNode::forEachNode(const std::function<void(const FileNode&)>& visit) const {
  // An explicit stack: trees can be thousands of levels deep.
  std::vector<const FileNode*> stack{this};
  while (!stack.empty()) {
    const FileNode* node = stack.back();
    stack.pop_back();
    visit(*node);
    if (node->hasChildren_) {
      for (auto it = node->children_.rbegin(); it != node->children_.rend(); ++it) {
        stack.push_back(&*it);
      }
    }
  }
}

FileNode FileNode::withShare(double share) const& { return FileNode(*this).withShare(share); }

FileNode FileNode::withShare(double share) && {
  FileNode node(std::move(*this));
  node.setShare(share);
  return node;
}

bool FileNode::sameFields(const FileNode& other) const {
  return name() == other.name() && size_ == other.size_ && isDirectory_ == other.isDirectory_ &&
         isSymbolicLink_ == other.isSymbolicLink_ && fileCount_ == other.fileCount_ &&
         shareOfParent() == other.shareOfParent() && hasChildren_ == other.hasChildren_ &&
         children_.size() == other.children_.size();
}

bool FileNode::operator==(const FileNode& other) const {
  // Equal paths give equal ids. Below two nodes of the same path, children of the same stored
  // component have the same path too; only others are compared by their whole path.
  if (url() != other.url() || !sameFields(other)) return false;
  std::vector<std::pair<const FileNode*, const FileNode*>> pending{{this, &other}};
  while (!pending.empty()) {
    auto [a, b] = pending.back();
    pending.pop_back();
    for (std::size_t i = 0; i < a->children_.size(); ++i) {
      const FileNode& x = a->children_[i];
      const FileNode& y = b->children_[i];
      const bool samePlace = x.derived_ && y.derived_ ? x.location_.view() == y.location_.view()
                                                      : x.url() == y.url();
      if (!samePlace || !x.sameFields(y)) return false;
      if (!x.children_.empty()) pending.emplace_back(&x, &y);
    }
  }
  return true;
}

}  // namespace hl
