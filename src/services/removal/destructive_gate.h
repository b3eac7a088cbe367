#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hl {

// What the read-only gate looks at, read afresh each time the gate is evaluated.
struct GateSources {
  std::vector<std::string> launchArguments;
  // The user default "HLMReadOnly", read so that it fails closed (any value but a plain "off"
  // switches read-only mode on); none when absent.
  std::optional<bool> readOnlyDefault;
  // Whether the environment has "XCTestConfigurationFilePath" (any value).
  bool hostingTests = false;
  // Why the settings could not tell whether the switch is on ("the settings file … cannot be
  // read"); read-only mode is then on for that reason.
  std::optional<std::string> settingsDoubt;
  // The settings file the user default was read from, when one held it.
  std::optional<std::string> readOnlyFile = std::nullopt;
};

using GateSourceReader = std::function<GateSources()>;

// Forbids every destructive step of the process (moving to the Trash, deleting, pruning
// worktrees, native cleanup commands) while it holds a reason.
struct DestructiveGate {
  std::optional<std::string> readOnlyReason;
  // When a settings file switched read-only mode on, that file and what is wrong with it or
  // what it says ("the settings file PATH is damaged", "… cannot be read", "… sets
  // HLMReadOnly"), for the user who has to mend it; none for the launch argument or a test host.
  std::optional<std::string> settingsCause = std::nullopt;

  bool isReadOnly() const { return readOnlyReason.has_value(); }

  // The gate these sources give: the launch argument, then the settings (a doubt about them
  // named as such), then the test host; the first that holds gives the reason.
  static DestructiveGate evaluate(const GateSources& sources);
  // The gate of this process, read through `reader` (default: the real sources).
  static DestructiveGate current(const GateSourceReader& reader = processGateSources());
  // Reads the launch arguments, the settings file and the environment of this process.
  static GateSourceReader processGateSources();

  // A gate with no reason. Only for code paths where the caller has already established that
  // removal is allowed (tests that must remove something).
  static DestructiveGate open() { return DestructiveGate{}; }

  bool operator==(const DestructiveGate&) const = default;
};

}  // namespace hl
