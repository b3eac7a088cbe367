#include "app/composition/real_services.h"

#include <utility>

#include "services/in_use/in_use_detector.h"
#include "services/in_use/process_guard.h"
#include "services/removal/trash_service.h"
#include "services/scan/cache_scan_service.h"
#include "services/system/git_service.h"
#include "services/system/volume_service.h"

namespace hl {

CleanerDependencies CompositionRoot::cleanerServices(const std::string& home,
                                                     DestructiveGate gate) {
  CleanerDependencies d;
  d.engine = makeCacheScanEngine(std::make_shared<CacheScanService>());
  d.trashService = makeRemovalService(std::make_shared<TrashService>(home, std::move(gate)));
  d.evaluateInUse = [home](const std::vector<CacheItem>& items, Date now) {
    InUseDetector detector;
    detector.home = home;
    detector.now = now;
    return detector.evaluate(items, true);
  };
  d.worktreeStatus = [](const std::optional<std::string>& gitRoot,
                        ProcessRunner::Duration timeout) {
    return GitService::worktreeStatus(gitRoot, timeout);
  };
  d.pruneWorktrees = [](const std::string& repository, const DestructiveGate& gate,
                        ProcessRunner::Duration timeout) {
    return GitService::pruneWorktrees(repository, gate, timeout);
  };
  d.runningOwners = ProcessGuard::snapshotOwners();
  return d;
}

ScannerServices CompositionRoot::scannerServices(const std::string& home, DestructiveGate gate) {
  ScannerServices services;
  services.home = home;
  services.gate = std::move(gate);
  auto service = std::make_shared<TrashService>(services.home, services.gate);
  services.trash = [service](const std::vector<TrashItem>& items, RemovalMode mode,
                             const FreedesktopTrash::ReservationNote& reserved) {
    return service->trash(items, mode, {}, reserved);
  };
  services.makePolicy = ScannerServices::standardPolicy(services.home);
  services.pruneWorktrees = [](const std::string& repository, const DestructiveGate& gate) {
    return GitService::pruneWorktrees(repository, gate, ProcessRunner::Duration(10));
  };
  return services;
}

std::function<std::optional<VolumeInfo>()> CompositionRoot::bootVolumeReader() {
  return [] { return VolumeService::volume(VolumeService::defaultVolumeURL()); };
}

std::shared_ptr<HistoryStore> CompositionRoot::historyStore() {
  return std::make_shared<HistoryStore>(HistoryStore::defaultURL());
}

}  // namespace hl
