#pragma once

#include <optional>
#include <string>

#include "support/scratch_mount.h"

namespace hl::test {

// Folders on file systems that keep no birth time, mounted for one test in its private mount
// namespace: an ext4 made with 128-byte inodes, which have no room for one but keep the inode
// generation, and an overlay over such an ext4, which passes on neither. Both start as a copy of
// the same contents, every object in them with its change time set back to 2001: such an inode
// keeps whole seconds only, and what a test makes there now must differ from what was there.
class NoBirthTimeVolume {
 public:
  // Empty when this process can make one; otherwise why not (for GTEST_SKIP).
  static std::string unavailableReason();

  // Copies of the folder `contents`: on the ext4 itself at `plainAt` and through the overlay at
  // `overlaidAt` (existing folders; an empty `plainAt` is left alone).
  NoBirthTimeVolume(const std::string& contents, const std::string& plainAt,
                    const std::string& overlaidAt);

 private:
  // In the order they are mounted; they go in the reverse order.
  ScratchMount disk_;
  std::optional<ScratchMount> plain_;
  std::optional<ScratchMount> overlay_;
};

}  // namespace hl::test
