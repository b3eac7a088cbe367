#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "services/in_use/process_snapshot.h"

namespace hl {

// Whether the in-use evidence could be gathered completely. While it is unavailable every
// file-system item counts as in use.
class VerificationState {
 public:
  struct Unavailable {
    std::string reason;  // the capture's failure text
    bool operator==(const Unavailable&) const = default;
  };
  struct Verified {
    bool operator==(const Verified&) const = default;
  };
  // Alternatives in declaration order.
  using Value = std::variant<Unavailable, Verified>;

  VerificationState() = default;
  VerificationState(Value value) : value_(std::move(value)) {}  // NOLINT: implicit by design

  static VerificationState verified() { return VerificationState(Verified{}); }
  static VerificationState unavailable(std::string reason) {
    return VerificationState(Unavailable{std::move(reason)});
  }

  bool isVerified() const { return std::holds_alternative<Verified>(value_); }
  // The failure text while unavailable.
  const std::string* unavailableReason() const {
    const auto* unavailable = std::get_if<Unavailable>(&value_);
    return unavailable ? &unavailable->reason : nullptr;
  }
  const Value& value() const { return value_; }

  bool operator==(const VerificationState&) const = default;

 private:
  Value value_{Verified{}};
};

// A command-line agent session whose process runs now.
struct LiveSession {
  std::int32_t pid = 0;
  std::optional<std::string> sessionId;
  std::optional<std::string> cwd;  // canonical
  std::optional<std::string> hostSessionId;
  bool operator==(const LiveSession&) const = default;
};

// What the desktop agent's registry says of a worktree.
enum class DeskState { leased, pooled };

// All evidence of one in-use capture.
struct InUseSnapshot {
  VerificationState verification;
  ProcessSnapshot processes;
  // Every open file under the roots and each of its ancestor folders ("/" excluded): the keys of
  // `openPathOwners`.
  std::set<std::string> openPathPrefixes;
  // Canonical path to the pid holding the first open file read at or below it; 0 when the
  // holder could not be told.
  std::map<std::string, std::int32_t> openPathOwners;
  std::vector<LiveSession> liveSessions;
  // Canonical worktree path to its state in the desktop agent's registry.
  std::map<std::string, DeskState> desk;

  int claudeProcesses() const { return processes.count("claude"); }
  int codexProcesses() const { return processes.count("codex"); }

  bool operator==(const InUseSnapshot&) const = default;
};

}  // namespace hl
