#include "models/owner_names.h"

#include <map>

namespace hl {

std::string ownerDisplayName(const std::string& ownerKey) {
  static const std::map<std::string, std::string> names = {
      {"claude", "Claude Code"},
      {"Claude.app", "Claude desktop"},
      {"codex", "Codex"},
      {"Codex.app", "Codex app"},
      {"com.apple.CoreSimulator.CoreSimulatorService", "CoreSimulatorService"},
  };
  const auto found = names.find(ownerKey);
  return found == names.end() ? ownerKey : found->second;
}

}  // namespace hl
