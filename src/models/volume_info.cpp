#include "models/volume_info.h"

namespace hl {

std::int64_t VolumeInfo::usedCapacity() const {
  const std::int64_t used = totalCapacity - availableCapacity;
  return used < 0 ? 0 : used;
}

double VolumeInfo::usedFraction() const {
  if (totalCapacity < 1) return 0;
  const double fraction =
      static_cast<double>(usedCapacity()) / static_cast<double>(totalCapacity);
  return fraction < 0 ? 0 : (fraction > 1 ? 1 : fraction);
}

}  // namespace hl
