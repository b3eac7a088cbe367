#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "utilities/time.h"

namespace hl {

// Damaged bytes of the program's own files are never thrown away: they are kept beside the file
// under a dated name, "<file>.corrupt-yyyyMMdd-HHmmss" in local time. When that name is taken
// (an earlier recovery in the same second), "-2", "-3"… are added; an existing file is never
// replaced.
namespace AsideCopy {

// Why the bytes could not be kept: "path: reason".
struct Failure {
  std::string description;
  bool operator==(const Failure&) const = default;
};
// The path the bytes now have, or why they could not be kept.
using Outcome = std::variant<std::string, Failure>;

// "20260301-140000": `date` in the local time zone.
std::string localStamp(Date date);

// Moves the file at `path` to its dated name.
Outcome moveAside(const std::string& path, Date date);

// Writes `bytes` durably under the dated name of `path`; the file at `path` is not touched.
Outcome copyAside(const std::string& path, std::string_view bytes, Date date);

}  // namespace AsideCopy

}  // namespace hl
