#pragma once

#include <ostream>
#include <string>
#include <variant>

#include "models/worktree_status.h"
#include "services/system/process_runner.h"

// Readable failure messages for service results.
namespace hl {

// "clean", "ownClone", "unknown", "dirty(true, 2)" or "error: <message>". Tests compare these
// texts rather than status values, which keeps failure messages readable.
inline std::string describe(const WorktreeStatus& status) {
  return std::visit(
      [](const auto& value) -> std::string {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, WorktreeStatus::Unknown>) return "unknown";
        if constexpr (std::is_same_v<T, WorktreeStatus::Clean>) return "clean";
        if constexpr (std::is_same_v<T, WorktreeStatus::OwnClone>) return "ownClone";
        if constexpr (std::is_same_v<T, WorktreeStatus::Dirty>) {
          return std::string("dirty(") + (value.uncommitted ? "true" : "false") + ", " +
                 std::to_string(value.unpushedCommits) + ")";
        }
        if constexpr (std::is_same_v<T, WorktreeStatus::Error>) return "error: " + value.message;
        return {};
      },
      status.value());
}

inline void PrintTo(const WorktreeStatus& status, std::ostream* out) { *out << describe(status); }

inline void PrintTo(const ProcessOutput& output, std::ostream* out) {
  *out << "{status " << output.status << ", out \"" << output.out << "\", err \"" << output.err
       << "\"" << (output.timedOut ? ", timed out}" : "}");
}

}  // namespace hl
