#include "viewmodels/scanner/scanner_services.h"

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

}  // namespace hl
