#pragma once

#include <string_view>
#include <vector>

namespace hl::PathRelation {

// The path split at "/" with empty parts dropped.
std::vector<std::string_view> components(std::string_view path);

// Whether `path` equals `ancestor` or lies below it, comparing whole components. Applies no
// canonicalisation: callers pass canonical or identity paths.
bool isSameOrDescendant(std::string_view path, std::string_view ancestor);

// Either path is the same as or below the other.
bool overlaps(std::string_view a, std::string_view b);

}  // namespace hl::PathRelation
