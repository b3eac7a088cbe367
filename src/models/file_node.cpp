#include "models/file_node.h"

#include <algorithm>
#include <numeric>

#include "utilities/name_order.h"
#include "utilities/path_canonical.h"

namespace hl {
namespace {

std::string_view lastComponentView(const std::string& path) {
  std::string_view view(path);
  while (view.size() > 1 && view.back() == '/') view.remove_suffix(1);
  if (view == "/") return view;
  const std::size_t slash = view.rfind('/');
  return slash == std::string_view::npos ? view : view.substr(slash + 1);
}

// Whether `path` is already its own canonical form, decided without building that form: absolute,
// no empty, "." or ".." parts, no trailing slash, and no /private prefix that would fold away.
// Trees hold hundreds of thousands of nodes whose paths are nearly always canonical.
bool isCanonical(std::string_view path) {
  if (path.empty() || path.front() != '/') return false;
  if (path.size() == 1) return true;
  if (path.back() == '/') return false;
  for (std::size_t start = 1; start <= path.size();) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  for (std::string_view folded : {"/private/var", "/private/tmp", "/private/etc"}) {
    if (path.substr(0, folded.size()) == folded &&
        (path.size() == folded.size() || path[folded.size()] == '/')) {
      return false;
    }
  }
  return true;
}

// Larger first; equal sizes by name in the Finder-like order; ties keep their order.
void sortChildren(std::vector<FileNode>& children) {
  std::vector<std::size_t> order(children.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return children[a].size() > children[b].size();
  });
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
  std::vector<FileNode> sorted;
  sorted.reserve(children.size());
  for (std::size_t index : order) sorted.push_back(std::move(children[index]));
  children = std::move(sorted);
}

}  // namespace

FileNode::FileNode(std::string url, std::optional<std::string> name, std::int64_t size,
                   bool isDirectory, bool isSymbolicLink, std::int64_t fileCount,
                   double shareOfParent, std::optional<std::vector<FileNode>> children)
    : url_(std::move(url)),
      size_(size),
      fileCount_(fileCount),
      shareOfParent_(shareOfParent),
      isDirectory_(isDirectory),
      isSymbolicLink_(isSymbolicLink),
      hasChildren_(children.has_value()) {
  if (children) children_ = std::move(*children);
  setDerived(std::move(name));
}

void FileNode::setDerived(std::optional<std::string> name) {
  Extras extras;
  if (!isCanonical(url_)) {
    std::string canonical = PathCanonical::canonical(url_);
    if (canonical != url_) extras.id = std::move(canonical);
  }
  if (name && *name != lastComponentView(url_)) extras.name = std::move(name);
  if (extras.id || extras.name) {
    extras_ = std::make_shared<const Extras>(std::move(extras));
  } else {
    extras_.reset();
  }
}

const std::string& FileNode::id() const {
  return extras_ && extras_->id ? *extras_->id : url_;
}

std::string_view FileNode::name() const {
  if (extras_ && extras_->name) return *extras_->name;
  return lastComponentView(url_);
}

FileNode FileNode::directory(std::string url, std::optional<std::string> name,
                             std::vector<FileNode> children) {
  std::int64_t total = 0;
  std::int64_t count = 0;
  for (const FileNode& child : children) {
    total += child.size_;
    count += child.fileCount_;
  }
  sortChildren(children);
  for (FileNode& child : children) {
    double share = 0;
    if (total >= 1) {
      share = std::clamp(static_cast<double>(child.size_) / static_cast<double>(total), 0.0, 1.0);
    }
    child.shareOfParent_ = share;
  }
  return FileNode(std::move(url), std::move(name), total, true, false, count, 1.0,
                  std::move(children));
}

const std::vector<FileNode>* FileNode::outlineChildren() const {
  return hasChildren_ && !children_.empty() ? &children_ : nullptr;
}

std::optional<FileNode> FileNode::removing(const std::unordered_set<std::string>& ids) const& {
  return FileNode(*this).removing(ids);
}

std::optional<FileNode> FileNode::removing(const std::unordered_set<std::string>& ids) && {
  if (ids.count(id())) return std::nullopt;
  if (!hasChildren_) return std::move(*this);
  std::vector<FileNode> kept;
  kept.reserve(children_.size());
  for (FileNode& child : children_) {
    if (auto pruned = std::move(child).removing(ids)) kept.push_back(std::move(*pruned));
  }
  std::optional<std::string> name;
  if (extras_ && extras_->name) name = *extras_->name;
  const double share = shareOfParent_;
  return directory(std::move(url_), std::move(name), std::move(kept)).withShare(share);
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
  node.shareOfParent_ = share;
  return node;
}

bool FileNode::operator==(const FileNode& other) const {
  return id() == other.id() && url_ == other.url_ && name() == other.name() &&
         size_ == other.size_ && isDirectory_ == other.isDirectory_ &&
         isSymbolicLink_ == other.isSymbolicLink_ && fileCount_ == other.fileCount_ &&
         shareOfParent_ == other.shareOfParent_ && hasChildren_ == other.hasChildren_ &&
         children_ == other.children_;
}

}  // namespace hl
