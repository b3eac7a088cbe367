#pragma once

#include <optional>
#include <string>

#include "models/worktree_status.h"

namespace hl {

// What is known of a worktree: the repository it belongs to, whether that repository
// registers it, the top of its checkout and its git state.
struct WorktreeInfo {
  std::optional<std::string> repositoryURL;
  bool isRegistered = false;
  std::optional<std::string> gitRoot;
  WorktreeStatus status;

  // The last component of the repository path; none without a repository.
  std::optional<std::string> repositoryName() const;

  bool operator==(const WorktreeInfo&) const = default;
};

}  // namespace hl
