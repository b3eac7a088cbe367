#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hl {

// The guard's fixed tables, macOS paths included: they cost nothing where absent. The Linux
// counterparts live apart, in trash_guard_linux_supplement.h.
namespace TrashGuardTables {

// Protected locations (each blocks only itself): absolute paths.
const std::vector<std::string>& protectedAbsolutePaths();

// Protected locations relative to the guard's home; the empty entry is the home folder itself.
const std::vector<std::string>& protectedHomePaths();

// Forbidden trees (the tree, its contents and its ancestors) relative to the guard's home.
const std::vector<std::string>& forbiddenHomeTrees();

// The agent's shell snapshots: forbidden unless the caller verified the shell-snapshot rule.
inline constexpr std::string_view shellSnapshotTree = ".claude/shell-snapshots";

// Forbidden shell patterns relative to the guard's home.
const std::vector<std::string>& forbiddenHomeGlobs();

// The two absolute forbidden trees as written, before resolution; the first carries the real
// user id of the process.
std::vector<std::string> forbiddenAbsoluteTrees();

}  // namespace TrashGuardTables

}  // namespace hl
