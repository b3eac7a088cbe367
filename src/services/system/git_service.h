#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "models/worktree_status.h"
#include "services/system/command_line_tools.h"
#include "services/removal/destructive_gate.h"
#include "services/system/process_runner.h"

namespace hl {

// Asks git whether a worktree or repository holds work that removing it would lose, and lets git
// forget removed worktrees. Every git process is hardened against the repository it looks at:
// fixed overrides that switch off hooks, fsmonitor, pagers, signature programs, ssh and every
// transport, an environment without prompts, optional locks or lazy fetches, a ceiling folder,
// and no `git status` wherever the repository (or one of its submodules) names its own filter
// commands, which status would run.
namespace GitService {

// What git runs through and what tells whether git may run at all.
struct Dependencies {
  ProcessRunner::Launcher launcher = ProcessRunner::launcher();
  std::function<CommandLineTools::ProbeResult()> commandLineTools = [] {
    return CommandLineTools::shared().status();
  };
};

inline constexpr std::string_view gitPath = "/usr/bin/git";

// The 18 "-c" overrides that begin every git argument list.
const std::vector<std::string>& overridePrefix();
// Merged over the program's environment for every git process.
const ProcessRunner::Environment& safetyEnvironment();
// The safety environment, with the ceiling folder when one is given.
ProcessRunner::Environment environment(const std::optional<std::string>& ceiling);

// The state of a linked worktree whose top folder is `gitRoot`.
WorktreeStatus worktreeStatus(const std::optional<std::string>& gitRoot,
                              ProcessRunner::Duration timeout, std::stop_token stop = {},
                              const Dependencies& dependencies = {});

// The state of a whole repository (every local branch, the stash and the working tree).
WorktreeStatus repositoryStatus(const std::string& repository, ProcessRunner::Duration timeout,
                                std::stop_token stop = {}, const Dependencies& dependencies = {});

// Runs `git worktree prune` in the repository; true only when it ran and succeeded. Never runs
// while the gate is read-only.
bool pruneWorktrees(const std::string& repository, const DestructiveGate& gate,
                    ProcessRunner::Duration timeout, std::stop_token stop = {},
                    const Dependencies& dependencies = {});

// Whether git's error text says a revision does not exist.
bool isMissingRevision(std::string_view errorText);
// A count printed by git: trimmed, an optional sign, decimal digits; none otherwise.
std::optional<int> readCount(std::string_view text);
// The paths of the submodule entries (mode 160000) of `git ls-files -s -z` output, each once.
std::vector<std::string> gitlinkPaths(std::string_view lsFilesOutput);

}  // namespace GitService

}  // namespace hl
