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

bool isSameOrDescendant(std::string_view path, std::string_view ancestor) {
  const auto p = components(path);
  const auto a = components(ancestor);
  if (p.size() < a.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (p[i] != a[i]) return false;
  }
  return true;
}

bool overlaps(std::string_view a, std::string_view b) {
  return isSameOrDescendant(a, b) || isSameOrDescendant(b, a);
}

}  // namespace hl::PathRelation
