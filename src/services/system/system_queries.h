#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "services/system/process_runner.h"

namespace hl {

// Two questions about disk space that no cache folder shows: simulator devices that lost their
// runtime, and local backup snapshots. Both are answered by system commands; where a command is
// absent or fails the answer is empty.
namespace SystemQueries {

struct UnavailableSimulators {
  int count = 0;
  std::int64_t size = 0;
  bool operator==(const UnavailableSimulators&) const = default;
};

// The allocated size of a folder with hidden entries included; none when the measurement was
// stopped.
using FolderMeasurer = std::function<std::optional<std::int64_t>(const std::string& folder)>;

// Runs the simulator list (20 seconds at most) and sums what it reports; a device without a
// reported size is measured with `measure`. None when the query failed or found no device.
std::optional<UnavailableSimulators> unavailableSimulators(
    const FolderMeasurer& measure, std::stop_token stop = {},
    const ProcessRunner::Runner& runner = ProcessRunner::defaultRunner());

// Runs the snapshot list (10 seconds at most); empty when the query failed or found none.
std::vector<std::string> localSnapshots(
    std::stop_token stop = {},
    const ProcessRunner::Runner& runner = ProcessRunner::defaultRunner());

// The simulator list's JSON read as above.
std::optional<UnavailableSimulators> parseUnavailableSimulators(std::string_view json,
                                                                const FolderMeasurer& measure);
// The snapshot lines of the snapshot list's output, untrimmed and in order.
std::vector<std::string> parseLocalSnapshots(std::string_view output);

}  // namespace SystemQueries

}  // namespace hl
