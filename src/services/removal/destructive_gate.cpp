#include "services/removal/destructive_gate.h"

#include <algorithm>
#include <cstdlib>

#include "platform/launch_arguments.h"
#include "platform/settings_file.h"

namespace hl {

DestructiveGate DestructiveGate::evaluate(const GateSources& sources) {
  static const std::string readOnlyMode = "read-only mode (-HLMReadOnly)";
  const auto& args = sources.launchArguments;
  if (std::find(args.begin(), args.end(), "-HLMReadOnly") != args.end()) {
    return DestructiveGate{readOnlyMode};
  }
  if (sources.settingsDoubt) {
    return DestructiveGate{"read-only mode (" + *sources.settingsDoubt + ")",
                           sources.settingsDoubt};
  }
  if (sources.readOnlyDefault.value_or(false)) {
    std::optional<std::string> cause;
    if (sources.readOnlyFile) {
      cause = "the settings file " + *sources.readOnlyFile + " sets HLMReadOnly";
    }
    return DestructiveGate{readOnlyMode, std::move(cause)};
  }
  if (sources.hostingTests) return DestructiveGate{"read-only while hosting tests"};
  return DestructiveGate{};
}

DestructiveGate DestructiveGate::current(const GateSourceReader& reader) {
  return evaluate(reader());
}

GateSourceReader DestructiveGate::processGateSources() {
  return [] {
    GateSources sources;
    sources.launchArguments = launchArguments();
    SettingsFile::Switch readOnly = SettingsFile::readFailingClosed("HLMReadOnly");
    sources.readOnlyDefault = readOnly.on;
    sources.settingsDoubt = std::move(readOnly.doubt);
    sources.readOnlyFile = std::move(readOnly.source);
    sources.hostingTests = std::getenv("XCTestConfigurationFilePath") != nullptr;
    return sources;
  };
}

}  // namespace hl
