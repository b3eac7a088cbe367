#include "models/native_action.h"

namespace hl {
namespace {

struct ToolRow {
  std::string_view raw;
  std::string_view executable;
  std::string_view explanation;
};

constexpr std::array<ToolRow, 8> kTools = {{
    {"pnpm", "pnpm", "Removes packages that no project references from the pnpm store."},
    {"uv", "uv", "Removes unused entries from the uv cache."},
    {"go", "go",
     "Removes the entire Go module cache. Modules are downloaded again on the next build."},
    {"brew", "brew", "Removes old downloads and outdated versions from the Homebrew cache."},
    {"npm", "npm", "Verifies the npm cache and garbage-collects unneeded data."},
    {"docker", "docker",
     "Removes stopped containers, unused networks, dangling images and build cache (not -a: "
     "tagged images are kept)."},
    {"simctl", "xcrun", "Deletes simulators whose runtime is no longer installed."},
    {"conda", "conda",
     "Removes unused packages, tarballs and caches from the conda package directory."},
}};

const ToolRow& row(NativeAction::Tool tool) { return kTools[static_cast<std::size_t>(tool)]; }

}  // namespace

std::string_view rawValue(NativeAction::Tool tool) { return row(tool).raw; }

std::optional<NativeAction::Tool> toolFromRaw(std::string_view raw) {
  for (NativeAction::Tool tool : allTools) {
    if (row(tool).raw == raw) return tool;
  }
  return std::nullopt;
}

std::string_view executableName(NativeAction::Tool tool) { return row(tool).executable; }

std::string NativeAction::id() const { return std::string(rawValue(tool)); }

std::string NativeAction::title() const { return "Prune with " + std::string(rawValue(tool)); }

std::string NativeAction::executableName() const { return std::string(hl::executableName(tool)); }

const std::vector<std::string>& NativeAction::arguments() const {
  static const std::array<std::vector<std::string>, 8> lists = {{
      {"store", "prune"},
      {"cache", "prune"},
      {"clean", "-modcache"},
      {"cleanup", "-s"},
      {"cache", "verify"},
      {"system", "prune", "-f"},
      {"simctl", "delete", "unavailable"},
      {"clean", "-y", "-a"},
  }};
  return lists[static_cast<std::size_t>(tool)];
}

std::string_view NativeAction::explanation() const { return row(tool).explanation; }

std::string NativeAction::commandLine() const {
  std::string line = executableName();
  for (const std::string& argument : arguments()) {
    line += ' ';
    line += argument;
  }
  return line;
}

}  // namespace hl
