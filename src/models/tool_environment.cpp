#include "models/tool_environment.h"

#include <functional>

namespace hl {

ToolEnvironment ToolEnvironment::empty() {
  ToolEnvironment environment;
  environment.path = "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin";
  return environment;
}

std::size_t ToolEnvironment::hash() const {
  std::size_t seed = std::hash<std::string>{}(path);
  auto mix = [&seed](std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
  };
  for (NativeAction::Tool tool : available) mix(static_cast<std::size_t>(tool));
  for (const auto& [tool, binary] : binaries) {
    mix(static_cast<std::size_t>(tool));
    mix(std::hash<std::string>{}(binary));
  }
  for (const auto& [key, location] : locations) {
    mix(static_cast<std::size_t>(key));
    mix(std::hash<std::string>{}(location));
  }
  return seed;
}

}  // namespace hl
