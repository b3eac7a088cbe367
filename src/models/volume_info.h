#pragma once

#include <cstdint>
#include <string>

namespace hl {

// Capacity and free space of the volume that holds a location.
struct VolumeInfo {
  std::string url;  // the location asked for, not the mount point
  std::string name;
  std::int64_t totalCapacity = 0;
  std::int64_t availableCapacity = 0;

  // Total minus available, never below 0.
  std::int64_t usedCapacity() const;
  // Used over total, clamped to 0...1; 0 for a volume without capacity.
  double usedFraction() const;
  // A volume bar turns red above nine tenths used; exactly nine tenths is not yet nearly full.
  static bool isNearlyFull(double usedFraction) { return usedFraction > 0.9; }

  bool operator==(const VolumeInfo&) const = default;
};

}  // namespace hl
