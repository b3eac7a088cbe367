#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "models/trash_error.h"
#include "utilities/file_identity.h"
#include "utilities/physical_path.h"

namespace hl {

// The last check before anything is moved to the Trash or deleted. It judges an item by where
// it really is on disk, never by the text it was given: protected locations (never removed
// themselves), forbidden trees (never touched, nor any folder holding them), forbidden file
// patterns, the Trash itself, and the folder the item was found in.
struct TrashGuard {
  // The user's home folder; every home-relative entry is resolved against it.
  std::string home;

  // One protected location: its identity path and its identifier (none when it does not exist
  // or cannot be read), so the same folder reached under another path still matches.
  struct Protected {
    std::string path;
    std::optional<FileIdentifier> identifier;
    bool operator==(const Protected&) const = default;
  };

  // What the guard allowed: the exact path to act on (no symbolic link, "." or ".." before its
  // last component) and the object it saw there. Acting code checks that object again.
  struct Approval {
    std::string path;
    FileIdentifier identifier;
    // What was found there is a symbolic link: removing it frees nothing it points at.
    bool isSymbolicLink = false;
    bool operator==(const Approval&) const = default;
  };

  // The home-relative forbidden trees and patterns, and the absolute trees before resolution.
  static const std::vector<std::string>& forbiddenHomeTrees();
  static const std::vector<std::string>& forbiddenHomeGlobs();
  static std::vector<std::string> forbiddenAbsoluteTrees();

  // Every protected location, read afresh from the disk. A caller that checks many items reads
  // it once and passes it to each check.
  std::vector<Protected> protectedLocations() const;

  // The identity paths of every forbidden tree: the home-relative trees (with the shell
  // snapshots only when asked), the absolute trees, their Linux counterparts, and the target of
  // any of them that is a symbolic link. Never fails.
  std::vector<std::string> forbiddenTrees(bool includingShellSnapshots) const;

  // Whether `path` or one of its ancestors (the root excepted) matches a forbidden pattern.
  bool matchesForbiddenGlob(std::string_view path) const;

  // The forbidden patterns of this home, made once for testing many paths.
  struct GlobMatcher {
    std::vector<std::string> patterns;
    // As `matchesForbiddenGlob`.
    bool matches(std::string_view path) const;
  };
  GlobMatcher forbiddenGlobMatcher() const;

  // What the rules read from the disk besides the item and its folder: the home folder, the
  // protected locations, the forbidden trees and patterns, the folders where volumes are mounted
  // and the Trash folders. A caller that judges many items at one moment (a folder's rows) reads
  // them once; a removal's own check reads them afresh.
  struct Surroundings {
    std::string homeIdentity;  // the home folder as named
    std::string homeResolved;  // and where it finally leads
    std::vector<Protected> protectedLocations;
    std::vector<std::string> forbiddenTrees;  // the shell snapshots left out
    std::vector<std::string> forbiddenTreesWithShellSnapshots;
    GlobMatcher globs;
    std::vector<std::string> mountParents;
    std::vector<std::string> homeTrashFolders;
  };
  // `protectedList` absent: the protected locations are read here.
  Surroundings surroundings(const std::optional<std::vector<Protected>>& protectedList) const;

  // The refusal for an item, or none when it may be removed. `protectedList` absent: the
  // guard reads the protected locations itself. Every refusal names the item's canonical path
  // (a relative path, refused as outside its folder, is named as given).
  std::optional<TrashError> check(std::string_view url, std::string_view allowedRoot,
                                  bool allowRootItself,
                                  const std::optional<std::vector<Protected>>& protectedList,
                                  bool shellSnapshotRuleVerified) const;

  // The same check against surroundings read beforehand.
  std::optional<TrashError> check(std::string_view url, std::string_view allowedRoot,
                                  bool allowRootItself, const Surroundings& around,
                                  bool shellSnapshotRuleVerified) const;

  // The same check, returning on success what was judged, so that exactly that is acted on: a
  // path and the identity of the object the guard's walk found there. A relative path or
  // allowed root is refused outright. `onFolder` sees each folder of the walk as it is opened.
  std::variant<TrashError, Approval> judge(
      std::string_view url, std::string_view allowedRoot, bool allowRootItself,
      const std::optional<std::vector<Protected>>& protectedList, bool shellSnapshotRuleVerified,
      const PhysicalItem::FolderHook& onFolder = {}) const;

  bool operator==(const TrashGuard&) const = default;

 private:
  // `around` absent: each rule reads what it needs as it comes to it.
  std::variant<TrashError, Approval> judge(
      std::string_view url, std::string_view allowedRoot, bool allowRootItself,
      const std::optional<std::vector<Protected>>& protectedList, bool shellSnapshotRuleVerified,
      const PhysicalItem::FolderHook& onFolder, const Surroundings* around) const;
};

}  // namespace hl
