#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace hl {

// Dataless (cloud placeholder) folders, whose contents are not on the disk. Linux has no such
// file flag, so the platform test is always false; walkers still take the predicate so that
// tests can inject one.
namespace FileFlags {
bool isDataless(std::string_view path);
}

// The volume a location lies on: the device and the mount. A bind mount keeps the device
// number of its source, so the mount id tells the two apart; 0 means the kernel gave none.
struct VolumeIdentifier {
  std::uint64_t device = 0;
  std::uint64_t mountId = 0;
  bool operator==(const VolumeIdentifier&) const = default;
};

// The limits every walk obeys: never cross into another volume, never descend into a
// dataless folder.
struct WalkBoundary {
  enum class Skip { otherVolume, dataless };

  using DatalessTest = std::function<bool(std::string_view path)>;
  // The volume of a folder as a walker sees it; none when it cannot be read.
  using VolumeSource = std::function<std::optional<VolumeIdentifier>(std::string_view path)>;

  WalkBoundary() : isDataless(&FileFlags::isDataless) {}
  explicit WalkBoundary(DatalessTest test) : isDataless(std::move(test)) {}
  WalkBoundary(DatalessTest test, VolumeSource volumes)
      : isDataless(std::move(test)), volumeSource(std::move(volumes)) {}

  // Must be safe to call from several walkers at once.
  DatalessTest isDataless;

  // Left empty, a walker reads each folder's volume from its own status of the entry (device,
  // mount, and whether it is a mount root) at no extra cost. Tests set one to try the volume
  // rule without mounting anything. Must be safe to call from several walkers at once.
  VolumeSource volumeSource;

  // Why a walker must not enter `folder`, or none. A missing identifier never stops a walk.
  std::optional<Skip> skipReason(std::string_view folder, std::optional<VolumeIdentifier> volume,
                                 std::optional<VolumeIdentifier> rootVolume) const;

  // The volume identifier of a location, read fresh without following a final link.
  static std::optional<VolumeIdentifier> volumeIdentifier(std::string_view path);

  // True only when both identifiers are present and differ.
  static bool crossesVolume(std::optional<VolumeIdentifier> volume,
                            std::optional<VolumeIdentifier> root);
};

}  // namespace hl
