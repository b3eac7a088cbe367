#include "services/removal/scan_trash_policy.h"
#include "services/removal/trash_guard_linux_supplement.h"
#include "utilities/path_canonical.h"

namespace hl {

// Where the AI tools keep their own state, macOS paths included: they cost nothing where absent.
const std::vector<std::string>& ScanTrashPolicy::aiToolRoots() {
  static const std::vector<std::string> roots = {
      ".claude",
      ".codex",
      ".grok",
      ".gemini",
      ".cursor",
      ".local/share/claude",
      ".local/bin/claude",
      "Library/Application Support/Claude",
      "Library/Application Support/Codex",
      "Library/Application Support/Cursor",
      "Library/Application Support/Code",
  };
  return roots;
}

// The Linux supplement: where the four desktop tools keep their state here. The relocated copies
// are absolute; the others are relative to the home folder.
std::vector<std::string> ScanTrashPolicy::linuxAiToolRoots(std::string_view home) {
  static const std::vector<std::string> relative = {
      ".config/Claude",  // Library/Application Support/Claude
      ".config/Codex",   // Library/Application Support/Codex
      ".config/Cursor",  // Library/Application Support/Cursor
      ".config/Code",    // Library/Application Support/Code
  };
  std::vector<std::string> roots;
  for (const std::string& path : relative) roots.push_back(appendingPath(home, path));
  for (const std::string& path : relative) {
    if (auto moved = TrashGuardLinuxSupplement::relocatedToXdg(path)) roots.push_back(*moved);
  }
  return roots;
}

}  // namespace hl
