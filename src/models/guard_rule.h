#pragma once

namespace hl {

// An extra in-use condition that a catalog row attaches to its items.
enum class GuardRule { claudeShellSnapshots, temporaryFiles, updaterDownload, codexNotRunning };

}  // namespace hl
