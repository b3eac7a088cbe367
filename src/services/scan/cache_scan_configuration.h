#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/user_folders.h"

namespace hl {

// The options of one cache scan.
struct CacheScanConfiguration {
  // The home folder against which discovery, the in-use rules and the virtual rows resolve
  // their paths.
  std::string home = homeDirectory();
  // The user's own paths to look at besides the catalog, as typed.
  std::vector<std::string> extraPaths;
  // At most this many git queries, or measurements, run at once; below 1 counts as 1.
  int maxConcurrentWalks = 4;
  bool checkGitStatus = true;
  // Off: the scan works with the empty tool environment and reports none.
  bool detectTools = true;
  // A process picture before discovery (does the browser run?) and the rows only system
  // commands can tell, at the end.
  bool systemQueries = true;
  // Resolve the tools again even when an environment is kept.
  bool refreshTools = false;
  // Where discovery looks for the browser's code-sign clones; none leaves discovery without one.
  std::optional<std::string> chromeCloneFolder;
  // Let discovery look at the user's private temporary folder.
  bool includeTemporaryDirectory = true;
  bool detectInUse = true;

  bool operator==(const CacheScanConfiguration&) const = default;
};

}  // namespace hl
