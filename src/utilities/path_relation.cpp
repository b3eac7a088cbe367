#include "utilities/path_relation.h"

namespace hl::PathRelation {

std::vector<std::string_view> components(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t next = path.find('/', pos);
    if (next == std::string_view::npos) next = path.size();
    if (next > pos) parts.push_back(path.substr(pos, next - pos));
    pos = next + 1;
  }
  return parts;
}

namespace {

// The component of `path` at or after `pos`, moving `pos` past it; empty when none is left.
std::string_view nextComponent(std::string_view path, std::size_t& pos) {
  while (pos < path.size() && path[pos] == '/') ++pos;
  const std::size_t start = pos;
  while (pos < path.size() && path[pos] != '/') ++pos;
  return path.substr(start, pos - start);
}

}  // namespace

// Compared component by component as they are found: the scan asks this for every item against
// every working folder, and lists of components would cost an allocation each time.
bool isSameOrDescendant(std::string_view path, std::string_view ancestor) {
  std::size_t inPath = 0;
  std::size_t inAncestor = 0;
  for (;;) {
    const std::string_view wanted = nextComponent(ancestor, inAncestor);
    if (wanted.empty()) return true;
    if (nextComponent(path, inPath) != wanted) return false;
  }
}

bool overlaps(std::string_view a, std::string_view b) {
  return isSameOrDescendant(a, b) || isSameOrDescendant(b, a);
}

}  // namespace hl::PathRelation
