#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

namespace hl {

// A set of paths that answers, with one look-up per path component, whether a path overlaps a
// member (is the same as, below or above it by whole components), exactly as
// `PathRelation::overlaps` would against every member. Claiming thousands of items stays linear.
class PathOverlapSet {
 public:
  void insert(std::string_view path);
  bool overlaps(std::string_view path) const;
  // Whether the path is a member or lies below one, as `PathRelation::isSameOrDescendant`
  // against every member would say.
  bool holds(std::string_view path) const;
  bool empty() const { return members_.empty(); }
  std::size_t size() const { return members_.size(); }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };
  using Set = std::unordered_set<std::string, Hash, std::equal_to<>>;

  Set members_;
  Set ancestors_;  // every proper ancestor of a member, "/" included
};

}  // namespace hl
