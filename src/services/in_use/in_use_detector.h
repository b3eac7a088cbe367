#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "models/cache_item.h"
#include "services/in_use/in_use_evaluation.h"
#include "services/in_use/in_use_snapshot.h"
#include "services/system/process_runner.h"
#include "services/in_use/process_snapshot.h"
#include "services/in_use/process_source.h"
#include "utilities/time.h"

namespace hl {

// Tells which items something uses right now, and why: it gathers the evidence (processes,
// their working directories and open files, the agents' live sessions and registry) and applies
// the in-use rules. Everything blocks; callers run it on worker threads. A value: copies are
// independent and may run at the same time.
struct InUseDetector {
  // Why the open files could not be read.
  struct CaptureFailure {
    std::string reason;
    bool operator==(const CaptureFailure&) const = default;
  };
  using OpenPaths = std::variant<std::map<std::string, std::int32_t>, CaptureFailure>;

  // The user's home folder: base of the agents' session, transcript and registry files.
  std::string home;
  // The reference time of the rules (the capture does not read it).
  Date now = std::chrono::system_clock::now();
  // Runs the external commands of a source that uses them.
  ProcessRunner::Runner runner = ProcessRunner::defaultRunner();
  // Where processes and open files are read; none means this platform's default.
  std::shared_ptr<const ProcessSource> source = defaultProcessSource();

  // The desktop agent's support folder.
  std::string claudeDesktopSupport() const;

  // Captures a snapshot for the items' roots and applies the rules; the running owners are
  // those of all items' owner keys. A requested stop ends the capture's work early; its result
  // is then unverified and must be dropped.
  InUseEvaluation evaluate(const std::vector<CacheItem>& items, bool includeOpenFiles,
                           std::stop_token stop = {}) const;

  // All evidence of one capture. The process picture and the open files are read at the same
  // time; `verification` says whether both could be read completely.
  InUseSnapshot capture(const std::vector<std::string>& roots, bool includeOpenFiles,
                        std::stop_token stop = {}) const;

  // Item id to why it is in use, for the items found in use.
  std::map<std::string, std::string> reasons(const std::vector<CacheItem>& items,
                                             const InUseSnapshot& snapshot) const;

  // The live command-line agent sessions whose process runs and is the agent.
  std::vector<LiveSession> liveSessions(const ProcessSnapshot& processes) const;
  // The desktop agent's registry: canonical worktree path to its state.
  std::map<std::string, DeskState> deskRegistry() const;

  // The time windows of the temporary-files and updater-download rules.
  static std::optional<std::string> timeRuleReason(const CacheItem& item, Date now);

  // Every open file of the user's processes at or below a root (canonical, longer than "/"),
  // with each ancestor folder, mapped to the pid holding the first file read beneath it. This
  // program's own files are left out. No root: an empty map without reading anything.
  static OpenPaths openPathPrefixes(const std::vector<std::string>& roots,
                                    const ProcessSource& source,
                                    const ProcessRunner::Runner& runner, std::stop_token stop = {});

  // The open-path map of lsof field output (`lsof -Fpn`) for the canonical `roots`.
  static std::map<std::string, std::int32_t> parseOpenFiles(std::string_view text,
                                                            const std::set<std::string>& roots);
  // Folds open files into the open-path map: each file at or below a root and its ancestors up
  // to (not including) "/", the first file read beneath a folder naming its holder.
  static std::map<std::string, std::int32_t> foldOpenFiles(const std::vector<OpenFileRecord>& files,
                                                           const std::set<std::string>& roots);

  // The form in which all in-use code compares paths: canonical, with a leading
  // "/System/Volumes/Data" folded away.
  static std::string canonical(std::string_view path);
  // Where each path leads through linked folders above it (canonical), in order.
  static std::vector<std::string> whereTheyLead(const std::vector<std::string>& paths);
  // The roots, and where each leads when that is elsewhere (followed in full, a final link too).
  static std::vector<std::string> withWhereTheyLead(const std::vector<std::string>& roots);

  // The command-line agent's project folder name for a path.
  static std::string claudeProjectFolderName(std::string_view path);
};

}  // namespace hl
