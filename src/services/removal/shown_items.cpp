#include "services/removal/shown_items.h"

#include "utilities/path_canonical.h"

namespace hl {

ShownItems ShownItems::record(const std::vector<std::string>& urls) {
  ShownItems shown;
  for (const std::string& url : urls) shown.byPath[cleanPath(url)] = FileIdentity::seen(url);
  return shown;
}

std::optional<SeenIdentity> ShownItems::at(std::string_view url) const {
  const auto found = byPath.find(cleanPath(url));
  if (found == byPath.end()) return std::nullopt;
  return found->second;
}

bool ShownItems::changedIn(const ShownItems& now, const std::vector<std::string>& urls) const {
  for (const std::string& url : urls) {
    const std::optional<SeenIdentity> before = at(url);
    const std::optional<SeenIdentity> after = now.at(url);
    if (!before || !after) return true;
    if (FileIdentity::isAnotherItem(*before, *after)) return true;
  }
  return false;
}

}  // namespace hl
