#pragma once

#include <string_view>

namespace hl {

// The texts that say why an item is in use. Other parts lock items by them and derive status
// chips from them by lower-cased substrings, so they never change.
namespace InUseReasons {

inline constexpr std::string_view cannotVerify = "cannot verify in-use state";
// Followed by an owner description such as "node (pid 812)".
inline constexpr std::string_view openByPrefix = "open by ";
inline constexpr std::string_view workingDirectoryPrefix = "working directory of ";

inline constexpr std::string_view sourcedByLiveSessions = "sourced by live Claude Code sessions";
inline constexpr std::string_view usedInLast7Days = "used in the last 7 days";
inline constexpr std::string_view notMeasuredYet = "not measured yet";
inline constexpr std::string_view contentsUnreadable = "contents could not be read";
inline constexpr std::string_view modificationDateUnknown = "modification date unknown";
inline constexpr std::string_view modifiedInLast72h = "modified in the last 72 h";
inline constexpr std::string_view updateInProgress = "update in progress";
inline constexpr std::string_view codexRunning = "Codex is running";

inline constexpr std::string_view keptByClaudeApp = "kept by Claude app";
inline constexpr std::string_view claudeAppPool = "Claude app pool";
inline constexpr std::string_view recentOwnSession = "Claude Code session in the last 24 h";
inline constexpr std::string_view namedInRecentSession = "named in a recent Claude Code session";
inline constexpr std::string_view gitOperationInProgress = "git operation in progress";
inline constexpr std::string_view createdInLast2h = "created in the last 2 h";

// Owner descriptions when the process is not known.
inline constexpr std::string_view unknownProcessName = "process";
inline constexpr std::string_view anyRunningProcess = "a running process";

}  // namespace InUseReasons

}  // namespace hl
