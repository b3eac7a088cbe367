#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "models/node_text.h"

namespace hl {

// One node of a measured folder tree. Directories carry the sums of their children, keep them
// largest first, and give each child its share of the parent.
//
// Trees hold hundreds of thousands of nodes and can be thousands of levels deep, so a node inside
// a tree stores only its own path component and finds the rest through its parent: its path, and
// the id (the canonical path) made from it, are put together when asked for. A node whose
// location is not its parent's path and its own name keeps its whole path. Children are moved,
// never copied, when a tree is built or pruned; a copy of a node is a tree of its own, with the
// same path. A child's share of its folder is worked out from the two sizes, as the folder was
// made, unless it was given otherwise. Deep trees are copied, compared and freed without
// recursion.
class FileNode {
 public:
  // A node at `url`. A url that is a single name (no "/") is a location relative to the folder
  // that `directory` puts the node into; until then it stands for itself.
  FileNode(std::string url, std::optional<std::string> name, std::int64_t size,
           bool isDirectory, bool isSymbolicLink, std::int64_t fileCount,
           double shareOfParent = 1.0,
           std::optional<std::vector<FileNode>> children = std::nullopt);

  // A directory node over `children`: sizes and counts summed, children ordered and shared.
  static FileNode directory(std::string url, std::optional<std::string> name,
                            std::vector<FileNode> children);

  FileNode(const FileNode& other);
  FileNode(FileNode&& other) noexcept;
  FileNode& operator=(const FileNode& other);
  FileNode& operator=(FileNode&& other) noexcept;
  ~FileNode();

  // The canonical path of `url()`.
  std::string id() const;
  std::string url() const;
  std::string_view name() const;
  // The last component of the node's path when the path is its parent's path followed by that
  // component (always so in a walked tree); empty for a root and for a node that keeps its whole
  // path. Lets a tree be searched by path one component at a time.
  std::string_view component() const {
    return parent_ && derived_ ? location_.view() : std::string_view();
  }
  // The directory that holds this node; null for a root.
  const FileNode* parent() const { return parent_; }
  std::int64_t size() const { return size_; }
  bool isDirectory() const { return isDirectory_; }
  bool isSymbolicLink() const { return isSymbolicLink_; }
  std::int64_t fileCount() const { return fileCount_; }
  double shareOfParent() const;
  // The children of a directory (possibly empty); null for a leaf.
  const std::vector<FileNode>* children() const { return hasChildren_ ? &children_ : nullptr; }
  // The children for an outline: null for a leaf and for an empty directory.
  const std::vector<FileNode>* outlineChildren() const;

  // The tree without the nodes whose ids are in `ids`; none when this node itself goes.
  std::optional<FileNode> removing(const std::unordered_set<std::string>& ids) const&;
  std::optional<FileNode> removing(const std::unordered_set<std::string>& ids) &&;

  // Pre-order, depth first, children in their stored order.
  void forEachNode(const std::function<void(const FileNode&)>& visit) const;

  FileNode withShare(double share) const&;
  FileNode withShare(double share) &&;

  bool operator==(const FileNode& other) const;

 private:
  struct FieldsOnly {};
  // Copies every field but the children, and the location as it is stored.
  FileNode(FieldsOnly, const FileNode& other);
  struct Summarized {};
  // A directory over `children` whose sums and shares `summarize` is about to set.
  FileNode(Summarized, std::string url, std::optional<std::string> name,
           std::vector<FileNode> children);

  // What few nodes have: a display name other than the path's last component, a share other
  // than the one worked out from the sizes.
  struct Extras {
    std::optional<std::string> name;
    std::optional<double> share;
  };
  Extras& extras();
  void dropEmptyExtras();
  void setShare(double share);

  // Takes the children in: each one's location becomes relative to this node where it can.
  // `keepShares`: each keeps the share it has now instead of one worked out from the sizes.
  void adopt(bool keepShares);
  // Points the children at this node, after it moved.
  void repointChildren();
  void copyChildrenFrom(const FileNode& other);
  // Sums sizes and counts, orders the children and gives each its share, as `directory` does.
  void summarize();
  bool sameFields(const FileNode& other) const;
  void destroyChildren() noexcept;
  std::optional<FileNode> pruned(const std::unordered_set<std::string>& ids) &&;

  // A root's path as given; a derived node's own component; otherwise the node's whole path.
  NodeText location_;
  FileNode* parent_ = nullptr;
  std::unique_ptr<Extras> extras_;
  std::int64_t size_ = 0;
  std::int64_t fileCount_ = 0;
  std::vector<FileNode> children_;
  bool isDirectory_ = false;
  bool isSymbolicLink_ = false;
  bool hasChildren_ = false;
  // The path is the parent's path followed by `location_`.
  bool derived_ = false;
};

}  // namespace hl
