#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace hl {

// One node of a measured folder tree. Directories carry the sums of their children, keep them
// largest first, and give each child its share of the parent.
//
// Trees hold hundreds of thousands of nodes, so a node stores its location once: the id (the
// canonical path) and the name (the last component) are derived from it unless they differ.
// Children are moved, never copied, when a tree is built or pruned.
class FileNode {
 public:
  FileNode(std::string url, std::optional<std::string> name, std::int64_t size,
           bool isDirectory, bool isSymbolicLink, std::int64_t fileCount,
           double shareOfParent = 1.0,
           std::optional<std::vector<FileNode>> children = std::nullopt);

  // A directory node over `children`: sizes and counts summed, children ordered and shared.
  static FileNode directory(std::string url, std::optional<std::string> name,
                            std::vector<FileNode> children);

  const std::string& id() const;
  const std::string& url() const { return url_; }
  std::string_view name() const;
  std::int64_t size() const { return size_; }
  bool isDirectory() const { return isDirectory_; }
  bool isSymbolicLink() const { return isSymbolicLink_; }
  std::int64_t fileCount() const { return fileCount_; }
  double shareOfParent() const { return shareOfParent_; }
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
  // Kept only for the rare node whose id or name is not derived from its location.
  struct Extras {
    std::optional<std::string> id;
    std::optional<std::string> name;
  };

  void setDerived(std::optional<std::string> name);

  std::string url_;
  std::shared_ptr<const Extras> extras_;
  std::int64_t size_ = 0;
  std::int64_t fileCount_ = 0;
  double shareOfParent_ = 1.0;
  bool isDirectory_ = false;
  bool isSymbolicLink_ = false;
  bool hasChildren_ = false;
  std::vector<FileNode> children_;
};

}  // namespace hl
