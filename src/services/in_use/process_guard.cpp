#include "services/in_use/process_guard.h"

#include <array>
#include <map>
#include <utility>

#include "services/in_use/process_snapshot.h"

namespace hl::ProcessGuard {

RunningOwnersSource snapshotOwners(std::shared_ptr<const ProcessSource> source,
                                   ProcessRunner::Runner runner) {
  return [source = std::move(source), runner = std::move(runner)](
             const std::set<std::string>& ownerKeys) -> std::optional<std::set<std::string>> {
    const ProcessSnapshot snapshot =
        ProcessSnapshot::capture(source ? *source : *defaultProcessSource(), runner);
    if (snapshot.failure) return std::nullopt;
    return snapshot.runningOwners(ownerKeys);
  };
}

const std::set<std::string>& genericRuntimes() {
  static const std::set<std::string> keys = {"node",   "npm",     "npx",   "pnpm",  "yarn", "bun",
                                             "python", "python3", "java",  "cargo", "go",   "gopls",
                                             "uv",     "brew",    "cmake", "conda", "nvm"};
  return keys;
}

const std::vector<std::string>& blockingOwners(NativeAction::Tool tool) {
  // Indexed by the tool's declaration order.
  static const std::array<std::vector<std::string>, 8> owners = {{
      {"pnpm"},
      {"uv"},
      {"go", "gopls"},
      {},
      {},
      {"Docker", "com.docker.backend"},
      {"Simulator", "com.apple.CoreSimulator.CoreSimulatorService"},
      {"conda", "python", "python3"},
  }};
  return owners[static_cast<std::size_t>(tool)];
}

std::optional<std::set<std::string>> running(const std::set<std::string>& ownerKeys,
                                             const RunningOwnersSource& source) {
  if (ownerKeys.empty()) return std::set<std::string>{};
  if (!source) return std::nullopt;
  std::optional<std::set<std::string>> found = source(ownerKeys);
  if (!found) return std::nullopt;
  // Only keys that were asked about can be answered.
  std::set<std::string> subset;
  for (const std::string& key : *found) {
    if (ownerKeys.count(key) != 0) subset.insert(key);
  }
  return subset;
}

}  // namespace hl::ProcessGuard
