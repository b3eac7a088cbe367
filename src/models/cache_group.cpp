#include "models/cache_group.h"

namespace hl {
namespace {

struct GroupTexts {
  std::string_view raw;
  std::string_view displayName;
  std::string_view systemImage;
  RiskLevel defaultRisk;
  std::string_view summary;
  std::string_view regenerates;
};

// The texts name what a Linux home holds, in the program's Linux words (platform-words.md). The
// Xcode group's speak of its own folders: it is listed only where a home has them.
constexpr std::array<GroupTexts, 9> kGroups = {{
    {"aiWorktrees", "AI worktrees", "sparkles", RiskLevel::moderate,
     "Git worktrees created by AI coding tools (Claude Code, Codex, Cursor, Grok) that are often "
     "left behind after a task.",
     "Nothing regenerates a worktree. Only clean worktrees (no uncommitted changes, no commits "
     "outside a branch) are safe to drop."},
    {"projects", "Projects", "folder.badge.gearshape", RiskLevel::moderate,
     "Build output and dependency folders inside your projects: node_modules, target, .next, "
     "dist, build, .build, .gradle, .venv, venv, __pycache__.",
     "Reinstall or rebuild (npm install, cargo build, pip install \u2026). Slow, but nothing is "
     "lost."},
    {"packageCaches", "Package caches", "shippingbox", RiskLevel::safe,
     "Download caches of npm, pnpm, Yarn, Bun, pip, uv, Cargo, Go, Homebrew, SwiftPM, Gradle, "
     "Maven and friends.",
     "Package managers download packages again the next time you install."},
    {"buildTools", "Build & dev tools", "wrench.and.screwdriver", RiskLevel::safe,
     "Caches and scratch data of AI coding CLIs (Claude Code, Codex).",
     "Each tool recreates its cache on next launch."},
    {"xcode", "Xcode", "hammer", RiskLevel::safe,
     "Xcode build products, previews, device symbols and simulator data.",
     "Xcode rebuilds DerivedData and previews, and copies device symbols again when a device "
     "connects. Archives and simulator devices are not regenerated."},
    {"systemCaches", "System caches", "internaldrive", RiskLevel::safe,
     "Files left in your private temporary folder ($TMPDIR). Application caches in ~/.cache are "
     "listed under Package caches.",
     "Programs write temporary files again as they need them."},
    {"largeBackups", "Large & backups", "externaldrive", RiskLevel::review,
     "Big items worth knowing about: conda's package cache and the tool versions asdf installed. "
     "Report only.",
     "Not regenerated. Manage these with your file manager, conda or asdf."},
    {"trash", "Trash", "trash", RiskLevel::review,
     "Items already in the Trash. Harbor Lume never empties it; empty it from your file manager "
     "when you are sure.",
     "Not applicable."},
    {"custom", "Custom paths", "folder.badge.plus", RiskLevel::moderate,
     "Extra paths you added in Settings.", "Depends on what the path contains."},
}};

const GroupTexts& texts(CacheGroup group) {
  return kGroups[static_cast<std::size_t>(group)];
}

const std::string kSizeCaveat =
    "Sizes are allocated size. Reflinked copies and hard links share blocks, so trashing may free "
    "less than shown.";

}  // namespace

std::string_view rawValue(CacheGroup group) { return texts(group).raw; }

std::optional<CacheGroup> cacheGroupFromRaw(std::string_view raw) {
  for (CacheGroup group : allCacheGroups) {
    if (texts(group).raw == raw) return group;
  }
  return std::nullopt;
}

std::string_view displayName(CacheGroup group) { return texts(group).displayName; }
std::string_view summary(CacheGroup group) { return texts(group).summary; }
std::string_view regenerates(CacheGroup group) { return texts(group).regenerates; }
std::string_view systemImage(CacheGroup group) { return texts(group).systemImage; }
RiskLevel defaultRisk(CacheGroup group) { return texts(group).defaultRisk; }

const std::vector<std::string>& neverTouch(CacheGroup group) {
  static const std::array<std::vector<std::string>, 9> lists = {{
      {"Worktrees with uncommitted changes or commits that are not on any branch (not "
       "auto-selected)",
       "The main repository and its .git directory"},
      {"Project sources", ".git directories"},
      {"~/.cache/huggingface, Ollama and LM Studio models (review only)",
       "~/.cargo and ~/.rustup toolchains", "~/go source"},
      {"Everything in ~/.claude except cache, paste-cache, shell-snapshots, debug, downloads "
       "(projects, sessions, state, history.jsonl, settings.json, plugins, skills, \u2026)",
       "Everything in ~/.codex except log, cache, tmp (sessions, config.toml, auth.json, \u2026)",
       "/tmp/claude-<uid> (live Claude Code scratchpads)",
       "Anything open by Claude, Codex, node, editors or Chrome right now (in use)"},
      {"Archives (review only)", "Simulator devices (review only)",
       "The newest two iOS DeviceSupport versions are not auto-selected"},
      {"~/.config, ~/.local/share/keyrings, ~/.ssh, ~/.gnupg"},
      {},
      {},
      {},
  }};
  return lists[static_cast<std::size_t>(group)];
}

const std::vector<std::string>& caveats(CacheGroup group) {
  static const std::vector<std::string> plain = {kSizeCaveat};
  static const std::vector<std::string> projects = {
      kSizeCaveat, "Folders inside .claude/worktrees are counted under AI worktrees, not here."};
  return group == CacheGroup::projects ? projects : plain;
}

const std::vector<std::string>& defaultOwners(CacheGroup group) {
  static const std::vector<std::string> none;
  static const std::vector<std::string> xcode = {"Xcode", "Simulator",
                                                 "com.apple.CoreSimulator.CoreSimulatorService"};
  return group == CacheGroup::xcode ? xcode : none;
}

}  // namespace hl
