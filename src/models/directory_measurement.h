#pragma once

#include <cstdint>
#include <optional>

#include "utilities/time.h"

namespace hl {

// What one folder (or file) occupies on disk: allocated bytes of everything but folders, with
// the entries that could not be read and the places the walk did not enter.
struct DirectoryMeasurement {
  std::int64_t size = 0;
  std::int64_t fileCount = 0;
  std::int64_t unreadableCount = 0;
  bool isReadable = true;
  // Further hard links to a file already counted in the same walk.
  std::int64_t deduplicatedLinks = 0;
  // Folders not entered because they lie on another volume than the walk's root.
  std::int64_t skippedVolumes = 0;
  // Dataless folders not entered (the root included, when it is one).
  std::int64_t skippedDataless = 0;
  // Newest content modification of a counted entry; none when nothing counted had one.
  std::optional<Date> newestModification;

  // The figure leaves something out or folds something together: hard links counted once, or
  // folders that were not entered.
  bool isApproximate() const;

  // The result for a location that cannot be walked at all (missing, or not listable).
  static DirectoryMeasurement unreadable();

  bool operator==(const DirectoryMeasurement&) const = default;
};

}  // namespace hl
