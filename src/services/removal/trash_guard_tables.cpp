#include "services/removal/trash_guard_tables.h"

#include "platform/user_folders.h"

namespace hl::TrashGuardTables {

const std::vector<std::string>& protectedAbsolutePaths() {
  static const std::vector<std::string> paths = {
      "/",
      "/System",
      "/Library",
      "/Applications",
      "/Users",
      "/Volumes",
      "/private",
      "/usr",
      "/bin",
      "/sbin",
      "/opt",
      "/etc",
      "/var",
      "/tmp",
      "/cores",
      "/System/Volumes/Data",
      "/private/var/folders",
  };
  return paths;
}

const std::vector<std::string>& protectedHomePaths() {
  static const std::vector<std::string> paths = {
      "",
      "Desktop",
      "Documents",
      "Downloads",
      "Pictures",
      "Movies",
      "Music",
      "Developer",
      "Projects",
      "Library",
      "Library/Mobile Documents",
      "Library/Containers",
      "Library/Group Containers",
      "Library/Application Support",
      "Library/Developer",
      "Library/Developer/Xcode",
      "Library/Developer/CoreSimulator",
      "Library/Keychains",
      "Library/Preferences",
      "Library/Mail",
      "Library/Messages",
      "Library/Caches",
      "Library/Logs",
      "Library/pnpm",
      "Library/Application Support/MobileSync",
      "Library/Application Support/MobileSync/Backup",
      ".ssh",
      ".gnupg",
      ".config",
      ".cache",
      ".local",
      ".local/share",
      ".claude",
      ".claude.json",
      ".claude/projects",
      ".claude/history.jsonl",
      ".claude/settings.json",
      ".claude/plugins",
      ".claude/skills",
      ".codex",
      ".codex/sessions",
      ".codex/config.toml",
      ".codex/auth.json",
      ".cargo",
      ".rustup",
      "go",
      ".npm",
      ".bun",
      ".gradle",
      ".m2",
      ".ollama",
      ".ollama/models",
      ".lmstudio",
      ".Trash",
      ".nvm",
      "miniconda3",
      ".asdf",
      "Library/Android",
      "Library/Application Support/Claude",
      "Library/Application Support/Caches",
  };
  return paths;
}

const std::vector<std::string>& forbiddenHomeTrees() {
  static const std::vector<std::string> trees = {
      ".claude/projects",
      ".claude/sessions",
      ".claude/session-env",
      ".claude/state",
      ".claude/file-history",
      ".claude/backups",
      ".claude/hooks",
      ".claude/plugins",
      ".claude/skills",
      ".claude/scheduled-tasks",
      ".claude/todos",
      ".claude/statsig",
      ".claude/history.jsonl",
      ".claude/.last-cleanup",
      ".claude/CLAUDE.md",
      ".claude/agents",
      ".claude/commands",
      ".codex/sessions",
      ".codex/archived_sessions",
      ".codex/config.toml",
      ".codex/auth.json",
      ".codex/history.jsonl",
      ".codex/memories",
      ".codex/skills",
      ".codex/plugins",
      ".codex/AGENTS.md",
      ".cache/codex-runtimes/codex-primary-runtime",
      "Library/Application Support/Claude/vm_bundles",
      "Library/Application Support/Claude/local-agent-mode-sessions",
      "Library/Application Support/Claude/git-worktrees.json",
      "Library/Application Support/Claude/git-shadow",
      "Library/Application Support/Claude/claude-code",
      "Library/Application Support/Claude/claude-code-vm",
      "Library/Application Support/Claude/claude-code-sessions",
      "Library/Application Support/Claude/IndexedDB",
      "Library/Application Support/Claude/Local Storage",
      "Library/Application Support/Claude/Session Storage",
      "Library/Application Support/Claude/Cookies",
      "Library/Application Support/Claude/Partitions",
      "Library/Application Support/Claude/claude_desktop_config.json",
      "Library/Application Support/Claude/config.json",
      "Library/Application Support/Code/User",
      "Library/Application Support/Cursor/User",
      ".ssh",
      ".gnupg",
      "Library/Keychains",
  };
  return trees;
}

const std::vector<std::string>& forbiddenHomeGlobs() {
  static const std::vector<std::string> globs = {
      ".claude/settings.json*", ".claude/settings.local.json*",
      ".claude.json*",          ".claude/.claude.json*",
      ".codex/*.sqlite*",
  };
  return globs;
}

std::vector<std::string> forbiddenAbsoluteTrees() {
  return {"/private/tmp/claude-" + std::to_string(currentUserID()), "/private/tmp/cc-socks"};
}

}  // namespace hl::TrashGuardTables
