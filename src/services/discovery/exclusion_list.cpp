#include "services/discovery/exclusion_list.h"

#include "utilities/path_relation.h"

namespace hl {

std::vector<CacheItem> ExclusionList::filter(const std::vector<CacheItem>& items) const {
  if (paths.empty()) return items;
  std::vector<CacheItem> kept;
  kept.reserve(items.size());
  for (const CacheItem& item : items) {
    if (!isExcluded(item.id)) kept.push_back(item);
  }
  return kept;
}

bool ExclusionList::isExcluded(std::string_view path) const {
  for (const std::string& excluded : paths) {
    if (PathRelation::isSameOrDescendant(path, excluded)) return true;
  }
  return false;
}

}  // namespace hl
