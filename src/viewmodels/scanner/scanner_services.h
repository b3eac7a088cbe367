#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "models/removal_mode.h"
#include "models/trash_item.h"
#include "models/trash_result.h"
#include "platform/freedesktop_trash.h"
#include "services/measurement/disk_scanner.h"
#include "services/removal/destructive_gate.h"
#include "services/removal/scan_trash_policy.h"
#include "utilities/time.h"
#include "utilities/walk_boundary.h"

namespace hl {

class DesktopServices;

// Everything the folder scanner reaches outside itself, injected so that tests decide when work
// finishes and what the disk, the policy, git and the trash answer. The remover, the policy and
// the pruner must be given (the composition root wires the real ones); the view model refuses to
// be made without them.
struct ScannerServices {
  // Runs blocking work off the GUI thread. Empty: the view model's own worker threads.
  using Executor = std::function<void(std::function<void()>)>;
  // One judgement of the removal policy; blocks, may run on any thread.
  using PolicyCheck = std::function<ScanTrashPolicy::Verdict(
      const std::vector<std::string>& urls, const std::string& scanRoot,
      const std::set<std::string>& worktreeRoots)>;
  // A fresh policy for every evaluation; previews ask for one that skips the open files.
  using PolicyFactory = std::function<PolicyCheck(bool includeOpenFiles)>;
  // Removes the items, checked by the trash guard one by one, telling the note of each Trash
  // record reserved before its item is moved; blocks.
  using Remover = std::function<TrashResult(const std::vector<TrashItem>&, RemovalMode,
                                            const FreedesktopTrash::ReservationNote&)>;
  // Lets git forget removed worktrees of a repository; true when it ran and succeeded.
  using Pruner = std::function<bool(const std::string& repository, const DestructiveGate&)>;
  // Asks the user for a folder; none when the user cancels.
  using FolderChooser = std::function<std::optional<std::string>()>;

  std::string home;
  // The read-only gate of the removals; the remover refuses everything while it is closed.
  DestructiveGate gate;
  Remover trash;
  PolicyFactory makePolicy;
  Pruner pruneWorktrees;
  FolderChooser chooseFolder;
  Executor executor;
  WalkBoundary boundary;
  // Failures a test cannot cause on a real disk; real callers leave it empty.
  WalkFaults walkFaults;
  // Dates the removal plans, which cannot be confirmed before they are one second old.
  WallClock clock = systemWallClock();
  // Reveals and copies paths; none does nothing.
  DesktopServices* desktop = nullptr;

  // The policy over `home` with the current time and no detector of its own.
  static PolicyFactory standardPolicy(std::string home);
};

}  // namespace hl
