#include "utilities/walk_boundary.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace hl {

bool FileFlags::isDataless(std::string_view) { return false; }

std::optional<WalkBoundary::Skip> WalkBoundary::skipReason(
    std::string_view folder, std::optional<VolumeIdentifier> volume,
    std::optional<VolumeIdentifier> rootVolume) const {
  if (crossesVolume(volume, rootVolume)) return Skip::otherVolume;
  if (isDataless && isDataless(folder)) return Skip::dataless;
  return std::nullopt;
}

std::optional<VolumeIdentifier> WalkBoundary::volumeIdentifier(std::string_view path) {
  struct statx sx {};
  const std::string p(path);
  if (::statx(AT_FDCWD, p.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_MNT_ID, &sx) !=
      0) {
    return std::nullopt;
  }
  VolumeIdentifier id;
  id.device = (static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
  if (sx.stx_mask & STATX_MNT_ID) id.mountId = sx.stx_mnt_id;
  return id;
}

bool WalkBoundary::crossesVolume(std::optional<VolumeIdentifier> volume,
                                 std::optional<VolumeIdentifier> root) {
  return volume.has_value() && root.has_value() && *volume != *root;
}

}  // namespace hl
