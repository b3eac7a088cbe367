#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "models/removal_mode.h"
#include "models/trash_error.h"

namespace hl {

// The outcome of one call of the trash service.
struct TrashResult {
  struct Failure {
    std::string url;
    RemovalError error;
    bool operator==(const Failure&) const = default;
  };

  std::vector<std::string> succeeded;  // in the order of the request
  std::vector<Failure> failed;         // in the order of the request
  std::int64_t bytesFreed = 0;
  std::map<std::string, std::int64_t> sizes;  // canonical path of each removed item → size
  RemovalMode mode = RemovalMode::trash;

  // "Cleaned 3 items (1.2 MB)." or "Deleted 1 item (4 KB). 2 failed."
  std::string summary() const;

  bool operator==(const TrashResult&) const = default;
};

}  // namespace hl
