#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "models/volume_info.h"

namespace hl {

// Reads the capacity of the volume holding a folder. Stateless; every call asks afresh.
namespace VolumeService {

// "/System/Volumes/Data" where it exists, otherwise the user's home folder.
std::string defaultVolumeURL();

// The capacity values of a volume as the platform reports them; a missing value is none.
struct CapacityReading {
  std::optional<std::string> localizedName;
  std::optional<std::string> name;
  std::optional<std::int64_t> totalCapacity;
  std::optional<std::int64_t> availableForImportantUsage;
  std::optional<std::int64_t> availableCapacity;
};

// Builds the record from one reading: available = the capacity for important usage, else the
// plain available capacity, else 0; name = the localized name, else the name, else "Disk".
// None without a total capacity.
std::optional<VolumeInfo> makeVolumeInfo(const std::string& url, const CapacityReading& reading);

// The volume holding `url`, or none when its values cannot be read (a missing path, say).
std::optional<VolumeInfo> volume(const std::string& url);

}  // namespace VolumeService

}  // namespace hl
