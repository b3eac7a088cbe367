#include "models/directory_measurement.h"

namespace hl {

bool DirectoryMeasurement::isApproximate() const {
  return deduplicatedLinks > 0 || skippedVolumes > 0 || skippedDataless > 0;
}

DirectoryMeasurement DirectoryMeasurement::unreadable() {
  DirectoryMeasurement m;
  m.unreadableCount = 1;
  m.isReadable = false;
  return m;
}

}  // namespace hl
