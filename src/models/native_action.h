#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hl {

// A tool's own cleanup command for an item.
struct NativeAction {
  enum class Tool { pnpm, uv, go, brew, npm, docker, simctl, conda };

  Tool tool;

  std::string id() const;
  std::string title() const;
  std::string executableName() const;
  const std::vector<std::string>& arguments() const;
  std::string_view explanation() const;
  // The executable name and the arguments joined by single spaces, for display and logs.
  std::string commandLine() const;

  bool operator==(const NativeAction&) const = default;
};

inline constexpr std::array<NativeAction::Tool, 8> allTools = {
    NativeAction::Tool::pnpm, NativeAction::Tool::uv,     NativeAction::Tool::go,
    NativeAction::Tool::brew, NativeAction::Tool::npm,    NativeAction::Tool::docker,
    NativeAction::Tool::simctl, NativeAction::Tool::conda};

std::string_view rawValue(NativeAction::Tool tool);
std::optional<NativeAction::Tool> toolFromRaw(std::string_view raw);
// The program that runs the tool's command: the raw value, except "xcrun" for simctl.
std::string_view executableName(NativeAction::Tool tool);

}  // namespace hl
