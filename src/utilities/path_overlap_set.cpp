#include "utilities/path_overlap_set.h"

#include "utilities/path_relation.h"

namespace hl {
namespace {

// The path rebuilt from its components, so that "/a//b/" and "/a/b" are one key, as they are
// one path to the component comparison.
std::string key(std::string_view path) {
  std::string out;
  out.reserve(path.size() + 1);
  for (std::string_view part : PathRelation::components(path)) {
    out.push_back('/');
    out.append(part);
  }
  return out.empty() ? "/" : out;
}

// The key without its last component; "/" for a top-level key.
std::string_view parentKey(std::string_view key) {
  const std::size_t slash = key.rfind('/');
  return slash == 0 ? std::string_view("/") : key.substr(0, slash);
}

}  // namespace

void PathOverlapSet::insert(std::string_view path) {
  std::string member = key(path);
  std::string_view current = member;
  while (current != "/") {
    current = parentKey(current);
    if (!ancestors_.emplace(current).second) break;  // its ancestors are there already
  }
  members_.insert(std::move(member));
}

bool PathOverlapSet::holds(std::string_view path) const {
  if (members_.empty()) return false;
  const std::string probe = key(path);
  std::string_view current = probe;
  for (;;) {
    if (members_.find(current) != members_.end()) return true;
    if (current == "/") return false;
    current = parentKey(current);
  }
}

bool PathOverlapSet::overlaps(std::string_view path) const {
  if (members_.empty()) return false;
  const std::string probe = key(path);
  // A member below the path, or the path itself.
  if (members_.find(std::string_view(probe)) != members_.end() ||
      ancestors_.find(std::string_view(probe)) != ancestors_.end()) {
    return true;
  }
  // A member above the path.
  std::string_view current = probe;
  while (current != "/") {
    current = parentKey(current);
    if (members_.find(current) != members_.end()) return true;
  }
  return false;
}

}  // namespace hl
