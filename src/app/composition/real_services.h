#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "models/volume_info.h"
#include "services/removal/destructive_gate.h"
#include "services/storage/history_store.h"
#include "viewmodels/cleaner/cleaner_dependencies.h"
#include "viewmodels/scanner/scanner_services.h"

namespace hl {

// The services that reach the world: the only place outside the core that makes a trash
// service, runs git or reads the process list. The view models take every one of them from
// their caller and refuse to be made without, so a test that leaves one out fails instead of
// acting on the real system. Built as a library of its own so that end-to-end tests of the
// state layer can wire the real thing on purpose.
namespace CompositionRoot {

// The cleaner's: the cache scan engine, a trash service for `home` behind `gate`, the in-use
// detector over `home`, git's worktree status and prune, and the process list's owners. The
// executor, clocks, home and desktop are left to the caller.
CleanerDependencies cleanerServices(const std::string& home, DestructiveGate gate);

// The folder scanner's: `home`, a trash service behind `gate`, the folder-scanner policy, and
// git's prune with 10 seconds. No folder chooser: the views supply one.
ScannerServices scannerServices(const std::string& home, DestructiveGate gate);

// Reads the capacity of the volume that holds the default volume location; blocks.
std::function<std::optional<VolumeInfo>()> bootVolumeReader();

// The history file at its default location.
std::shared_ptr<HistoryStore> historyStore();

}  // namespace CompositionRoot

}  // namespace hl
