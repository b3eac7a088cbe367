#pragma once

#include <ostream>
#include <variant>

#include "models/worktree_status.h"
#include "services/process_runner.h"

// Readable failure messages for service results.
namespace hl {

inline void PrintTo(const WorktreeStatus& status, std::ostream* out) {
  std::visit(
      [out](const auto& value) {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, WorktreeStatus::Unknown>) *out << "unknown";
        if constexpr (std::is_same_v<T, WorktreeStatus::Clean>) *out << "clean";
        if constexpr (std::is_same_v<T, WorktreeStatus::OwnClone>) *out << "ownClone";
        if constexpr (std::is_same_v<T, WorktreeStatus::Dirty>) {
          *out << "dirty(uncommitted: " << value.uncommitted
               << ", unpushedCommits: " << value.unpushedCommits << ")";
        }
        if constexpr (std::is_same_v<T, WorktreeStatus::Error>) {
          *out << "error(\"" << value.message << "\")";
        }
      },
      status.value());
}

inline void PrintTo(const ProcessOutput& output, std::ostream* out) {
  *out << "{status " << output.status << ", out \"" << output.out << "\", err \"" << output.err
       << "\"" << (output.timedOut ? ", timed out}" : "}");
}

}  // namespace hl
