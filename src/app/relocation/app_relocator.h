#pragma once

#include <QLoggingCategory>
#include <string>
#include <string_view>
#include <vector>

#include "app/relocation/relocation_system.h"

namespace hl {

// The one category the relocation step logs under.
Q_DECLARE_LOGGING_CATEGORY(relocationLog)

enum class RelocationOutcome {
  nothingToDo,       // already in an Applications folder, declined before, or never offered
  declined,          // the user chose "Not Now"
  alreadyInstalled,  // the Applications folder's entry is this very copy, through a link
  relaunching,       // the installed copy starts once this process is gone: end it, status 0
  failed,            // reported to the user; launching goes on from where the program is
};

// A program and its arguments, run without a shell between them.
struct LaunchCommand {
  std::string executable;
  std::vector<std::string> arguments;
  bool operator==(const LaunchCommand&) const = default;
};

// Offers once per launch to install the program into the Applications folder when it runs from
// anywhere else, copies it there through a staging copy, and starts the installed copy after
// this process has ended. Runs on the GUI thread before any window exists; never in a process
// that hosts tests.
class AppRelocator {
 public:
  // The settings flag set once the user declines the offer outside a translocated launch.
  static constexpr std::string_view declinedMoveKey = "AppRelocatorDeclinedMove";
  static constexpr std::string_view applicationsFolder = "/Applications";

  AppRelocator(RelocationSystem& system, RelocationPrompts& prompts);

  RelocationOutcome moveToApplicationsIfNeeded();

  enum class Relocation { copied, alreadyInPlace };
  // Copies `source` to `destination`, through a staging copy beside it when something is there
  // already. The source is never moved. Throws `RelocationError`.
  Relocation relocate(const std::string& source, const std::string& destination);

  // Whether a path (links already resolved) lies inside "/Applications" or "~/Applications".
  static bool isInApplicationsFolder(std::string_view resolvedPath, std::string_view home);
  // The hidden staging item beside `destination`: ".<name>.new-<pid>".
  static std::string stagingPath(std::string_view destination, long processIdentifier);
  // Clears the download quarantine flag of the installed copy.
  static LaunchCommand quarantineCommand(const std::string& destination);
  // Waits until process `processIdentifier` is gone, then starts `destination`. The path travels
  // as a positional argument of the shell, never inside its script.
  static LaunchCommand relaunchCommand(long processIdentifier, const std::string& destination);

 private:
  RelocationSystem& system_;
  RelocationPrompts& prompts_;
};

}  // namespace hl
