#pragma once

#include <cstddef>
#include <string>
#include <variant>

namespace hl {

// The git state of a worktree or repository.
class WorktreeStatus {
 public:
  struct Unknown {
    bool operator==(const Unknown&) const = default;
  };
  struct Clean {
    bool operator==(const Clean&) const = default;
  };
  struct Dirty {
    bool uncommitted = false;
    int unpushedCommits = 0;
    bool operator==(const Dirty&) const = default;
  };
  struct OwnClone {
    bool operator==(const OwnClone&) const = default;
  };
  struct Error {
    std::string message;
    bool operator==(const Error&) const = default;
  };
  // Alternatives in declaration order; the index feeds the hash.
  using Value = std::variant<Unknown, Clean, Dirty, OwnClone, Error>;

  WorktreeStatus() = default;
  WorktreeStatus(Value value) : value_(std::move(value)) {}  // NOLINT: implicit by design

  static WorktreeStatus unknown() { return WorktreeStatus(Unknown{}); }
  static WorktreeStatus clean() { return WorktreeStatus(Clean{}); }
  static WorktreeStatus dirty(bool uncommitted, int unpushedCommits) {
    return WorktreeStatus(Dirty{uncommitted, unpushedCommits});
  }
  static WorktreeStatus ownClone() { return WorktreeStatus(OwnClone{}); }
  static WorktreeStatus error(std::string message) {
    return WorktreeStatus(Error{std::move(message)});
  }

  bool isClean() const { return std::holds_alternative<Clean>(value_); }
  bool isUnknown() const { return std::holds_alternative<Unknown>(value_); }
  bool isOwnClone() const { return std::holds_alternative<OwnClone>(value_); }
  const Dirty* dirty() const { return std::get_if<Dirty>(&value_); }
  const Error* error() const { return std::get_if<Error>(&value_); }
  const Value& value() const { return value_; }

  std::size_t hash() const;

  bool operator==(const WorktreeStatus&) const = default;

 private:
  Value value_{Unknown{}};
};

}  // namespace hl

template <>
struct std::hash<hl::WorktreeStatus> {
  std::size_t operator()(const hl::WorktreeStatus& status) const { return status.hash(); }
};
