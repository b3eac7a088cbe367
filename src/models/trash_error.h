#pragma once

#include <string>
#include <variant>

namespace hl {

// Why the guard refused to remove an item. The payload is the gate's reason for `readOnly` and
// the item's canonical path otherwise. The descriptions are shown as they stand and are matched
// by the status chips, so their wording is a contract.
struct TrashError {
  enum class Kind {
    readOnly,
    protectedPath,
    outsideAllowedRoot,
    alreadyInTrash,
    missing,
    // The item is itself where another volume is mounted: removing it would reach into that
    // volume, and the words say so rather than calling it protected.
    mountPoint,
  };

  Kind kind = Kind::missing;
  std::string text;

  static TrashError readOnly(std::string reason) { return {Kind::readOnly, std::move(reason)}; }
  static TrashError protectedPath(std::string path) {
    return {Kind::protectedPath, std::move(path)};
  }
  static TrashError outsideAllowedRoot(std::string path) {
    return {Kind::outsideAllowedRoot, std::move(path)};
  }
  static TrashError alreadyInTrash(std::string path) {
    return {Kind::alreadyInTrash, std::move(path)};
  }
  static TrashError missing(std::string path) { return {Kind::missing, std::move(path)}; }
  static TrashError mountPoint(std::string path) { return {Kind::mountPoint, std::move(path)}; }

  std::string description() const;

  bool operator==(const TrashError&) const = default;
};

// A failure reported by the file system while removing an item: the error number and the
// message shown to the user.
struct FileSystemError {
  int errorNumber = 0;
  std::string message;
  bool operator==(const FileSystemError&) const = default;
};

// An item that was not removed because its state changed after the user chose it (it came
// into use, its worktree is no longer clean, the policy refuses it now). Shown as "Skipped: "
// followed by the reason.
struct StateChanged {
  std::string reason;
  std::string description() const { return "Skipped: " + reason; }
  bool operator==(const StateChanged&) const = default;

  // What stands at the item's path is not what the user was shown: another object, or the same
  // reached through another mount.
  static StateChanged changedSinceShown() { return {"it changed since it was shown"}; }
};

// A refusal of the guard, a failure of the file system, or a re-check that skipped the item.
using RemovalError = std::variant<TrashError, FileSystemError, StateChanged>;

// The user-facing text of either kind of failure.
std::string describe(const RemovalError& error);

}  // namespace hl
