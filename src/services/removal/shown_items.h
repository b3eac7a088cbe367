#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "utilities/file_identity.h"

namespace hl {

// What stood at each path of a removal when the user was shown it: read when the plan is made
// and compared when it is confirmed, so that a folder renamed away and replaced, or a mount put
// over a folder on the way, is never removed in place of what was shown.
struct ShownItems {
  // Canonical path to what was found there.
  std::map<std::string, SeenIdentity> byPath;

  // Reads what is at each path now. Blocks on the disk.
  static ShownItems record(const std::vector<std::string>& urls);

  // What was found at the path; none when it was not recorded.
  std::optional<SeenIdentity> at(std::string_view url) const;

  // Whether any of the paths is another item in `now` than it was here. A path recorded in
  // neither counts as changed; one where `now` found nothing does not (it is gone, which the
  // removal reports as such).
  bool changedIn(const ShownItems& now, const std::vector<std::string>& urls) const;

  bool operator==(const ShownItems&) const = default;
};

}  // namespace hl
