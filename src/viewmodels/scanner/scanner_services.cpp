#include "viewmodels/scanner/scanner_services.h"

#include <memory>

#include "platform/user_folders.h"
#include "services/removal/trash_service.h"
#include "services/system/git_service.h"

namespace hl {

ScannerServices::PolicyFactory ScannerServices::standardPolicy(std::string home) {
  return [home = std::move(home)](bool includeOpenFiles) -> PolicyCheck {
    ScanTrashPolicy policy(home);
    policy.includeOpenFiles = includeOpenFiles;
    return [policy](const std::vector<std::string>& urls, const std::string& scanRoot,
                    const std::set<std::string>& worktreeRoots) {
      return policy.evaluate(urls, scanRoot, worktreeRoots);
    };
  };
}

ScannerServices ScannerServices::standard() {
  ScannerServices services;
  services.home = homeDirectory();
  services.gate = DestructiveGate::current();
  auto service = std::make_shared<TrashService>(services.home, services.gate);
  services.trash = [service](const std::vector<TrashItem>& items, RemovalMode mode) {
    return service->trash(items, mode);
  };
  services.makePolicy = standardPolicy(services.home);
  services.pruneWorktrees = [](const std::string& repository, const DestructiveGate& gate) {
    return GitService::pruneWorktrees(repository, gate, ProcessRunner::Duration(10));
  };
  return services;
}

}  // namespace hl
