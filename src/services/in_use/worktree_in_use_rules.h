#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "models/cache_item.h"
#include "services/in_use/in_use_snapshot.h"
#include "utilities/time.h"

namespace hl {

// The traces by which an agent still owns a worktree that no process holds: the desktop
// agent's registry, recent transcripts of the command-line agent, a running git operation, a
// folder made moments ago. Everything here only reads, with plain reads (never a memory map:
// a file cut short under a mapping would kill the program).
namespace WorktreeInUseRules {

// What one repository's recent transcripts hold after each mention of an agent worktree folder
// (".claude/worktrees/"): the bytes that follow it, at most a file name's length. Enough to
// answer whether the transcripts mention a worktree by name, without keeping whole files.
struct TranscriptMentions {
  std::set<std::string> following;
  // Whether some transcript holds ".claude/worktrees/" followed by `worktreeName` (a byte
  // search: a mention of fix-10 also mentions fix-1).
  bool mention(std::string_view worktreeName) const;
};

// Repository canonical path to what its recent transcripts mention; one per rule pass, so each
// repository's transcripts are read at most once per pass (an empty answer is kept too).
using TranscriptCache = std::map<std::string, TranscriptMentions>;

// The first trace that fires, or none.
std::optional<std::string> worktreeReason(const CacheItem& item, const InUseSnapshot& snapshot,
                                          const std::string& home, Date now,
                                          TranscriptCache& transcripts);

// The command-line agent's folder name for a project at `path`: every user-perceived character
// that is not an ASCII letter or digit becomes one "-".
std::string claudeProjectFolderName(std::string_view path);

// The entries of `folder` (its subtree when `recursive`, links never followed) whose extension is
// exactly `extension` and whose content changed less than `window` seconds before `now`, in
// listing order. Nothing when the folder cannot be listed.
std::vector<std::string> recentFiles(const std::string& folder, std::string_view extension,
                                     double window, Date now, bool recursive);

// Git's "index.lock" and "HEAD.lock" where they exist in the git folder of the checkout at
// `gitRoot` (a linked worktree's private folder, else its ".git" folder): a git operation runs.
std::vector<std::string> gitLockFiles(const std::string& gitRoot);

// The newest content change among the command-line agent's direct transcripts (".jsonl") of the
// project at `folder` under `home`; none when there is none or the folder cannot be listed to
// its end. A session within the last 24 hours locks a worktree.
std::optional<Date> newestOwnTranscript(const std::string& home, const std::string& folder);

// What the transcript files mention (files that cannot be read are left out).
TranscriptMentions readMentions(const std::vector<std::string>& files);

}  // namespace WorktreeInUseRules

}  // namespace hl
