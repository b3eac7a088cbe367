#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "models/native_action.h"
#include "services/in_use/process_source.h"
#include "services/system/process_runner.h"

namespace hl {

// The owner knowledge that keeps cleanup away from running software.
namespace ProcessGuard {

// Takes a fresh process list and answers which of the given owner keys have a running process;
// none when the process list could not be read.
using RunningOwnersSource =
    std::function<std::optional<std::set<std::string>>(const std::set<std::string>& ownerKeys)>;

// The source the program uses: each call takes a fresh process snapshot through `source` (this
// platform's by default) and answers none when the snapshot is incomplete.
RunningOwnersSource snapshotOwners(
    std::shared_ptr<const ProcessSource> source = defaultProcessSource(),
    ProcessRunner::Runner runner = ProcessRunner::defaultRunner());

// Generic runtimes and command-line tools whose running processes never make an item's owner
// count as running.
const std::set<std::string>& genericRuntimes();

// The owners that must not run while the tool's own cleanup command runs, in the order they are
// checked.
const std::vector<std::string>& blockingOwners(NativeAction::Tool tool);

// Which of `ownerKeys` run now, read through `source`; none when the process list could not be
// read. An empty set is answered without taking a process list.
std::optional<std::set<std::string>> running(const std::set<std::string>& ownerKeys,
                                             const RunningOwnersSource& source);

}  // namespace ProcessGuard

}  // namespace hl
