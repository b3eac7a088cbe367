#include "services/system/git_service.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <future>
#include <limits>
#include <set>
#include <system_error>
#include <variant>

#include "utilities/ascii_case.h"
#include "utilities/text_lines.h"
#include "utilities/file_identity.h"
#include "utilities/path_canonical.h"
#include "utilities/in_parallel.h"

namespace hl::GitService {
namespace {

constexpr std::string_view noGit = "no .git";
constexpr std::string_view gitMissing = "git is not installed";
constexpr std::string_view gitUncheckable = "could not check whether git is installed";
constexpr std::string_view couldNotRun = "git could not run";
constexpr std::string_view timedOutText = "git timed out";
constexpr std::string_view revListFailed = "git rev-list failed";
constexpr std::string_view statusFailed = "git status failed";
constexpr std::string_view definesFilter = "the repository config defines a filter driver";
constexpr std::string_view configUnreadable = "git config could not be read";
constexpr std::string_view lsFilesFailed = "git ls-files failed";

// Nested submodules deeper than this are not followed; the status is then an error.
constexpr int deepestSubmodule = 32;

struct Context {
  std::optional<std::string> ceiling;
  ProcessRunner::Duration timeout;
  std::stop_token stop;
  const Dependencies& dependencies;
};

// Either the output of a successful `git status`, or the status explaining why there is none.
using StatusProbe = std::variant<ProcessOutput, WorktreeStatus>;

std::optional<WorktreeStatus> unavailableStatus(CommandLineTools::ProbeResult result) {
  switch (result) {
    case CommandLineTools::ProbeResult::installed: return std::nullopt;
    case CommandLineTools::ProbeResult::missing:
      return WorktreeStatus::error(std::string(gitMissing));
    case CommandLineTools::ProbeResult::indeterminate:
      return WorktreeStatus::error(std::string(gitUncheckable));
  }
  return WorktreeStatus::error(std::string(gitUncheckable));
}

CommandLineTools::ProbeResult toolsStatus(const Dependencies& dependencies) {
  if (!dependencies.commandLineTools) return CommandLineTools::ProbeResult::indeterminate;
  return dependencies.commandLineTools();
}

// The one way git is started.
std::optional<ProcessOutput> run(const std::vector<std::string>& query,
                                 const std::string& directory, const Context& context,
                                 const ProcessRunner::Environment& extraEnvironment = {}) {
  if (toolsStatus(context.dependencies) != CommandLineTools::ProbeResult::installed) {
    return std::nullopt;
  }
  if (!context.dependencies.launcher) return std::nullopt;
  std::vector<std::string> arguments = overridePrefix();
  arguments.push_back("-C");
  arguments.push_back(PathCanonical::canonical(directory));
  arguments.insert(arguments.end(), query.begin(), query.end());
  ProcessRunner::Environment env = environment(context.ceiling);
  for (const auto& [key, value] : extraEnvironment) env[key] = value;
  return context.dependencies.launcher(std::string(gitPath), arguments, context.timeout, env, {},
                                       context.stop);
}

// Whether the repository's own configuration (local or worktree scope) names filter commands;
// none when that cannot be told.
std::optional<bool> namesItsOwnFilters(const std::string& directory, const Context& context) {
  const std::optional<ProcessOutput> result =
      run({"config", "--show-scope", "--includes", "--get-regexp",
           "^filter\\..*\\.(clean|smudge|process|required)$"},
          directory, context);
  if (!result || result->timedOut) return std::nullopt;
  if (result->status == 1) return false;
  if (result->status != 0) return std::nullopt;
  for (std::string_view line : nonEmptyLines(result->out)) {
    const std::string_view scope = line.substr(0, line.find('\t'));
    if (scope == "local" || scope == "worktree") return true;
  }
  return false;
}

// Checks the repository in `directory` and, found from its index, every checked-out submodule
// within it, recursively: `git status` descends into them and would run their filters too.
std::optional<WorktreeStatus> filterCheck(const std::string& directory, const Context& context,
                                          std::set<std::string>& visited, int depth) {
  if (depth > deepestSubmodule) return WorktreeStatus::error(std::string(configUnreadable));
  const std::optional<bool> names = namesItsOwnFilters(directory, context);
  if (!names) return WorktreeStatus::error(std::string(configUnreadable));
  if (*names) return WorktreeStatus::error(std::string(definesFilter));

  // ":/" lists the whole index even from a subfolder, paths relative to `directory`; the
  // variable keeps an inherited literal-pathspec setting from turning it into a file name.
  const std::optional<ProcessOutput> listing = run({"ls-files", "-s", "-z", "--", ":/"}, directory,
                                                   context, {{"GIT_LITERAL_PATHSPECS", "0"}});
  if (!listing) return WorktreeStatus::error(std::string(couldNotRun));
  if (listing->timedOut) return WorktreeStatus::error(std::string(timedOutText));
  if (listing->status != 0) return WorktreeStatus::error(std::string(lsFilesFailed));

  for (const std::string& path : gitlinkPaths(listing->out)) {
    const std::string submodule = PathCanonical::canonical(directory + "/" + path);
    // Git looks into a submodule only where it is checked out, which its ".git" marks.
    if (!FileIdentity::existsWithoutFollowing(submodule + "/.git")) continue;
    if (!visited.insert(FileIdentity::resolvingSymlinks(submodule)).second) continue;
    if (auto problem = filterCheck(submodule, context, visited, depth + 1)) return problem;
  }
  return std::nullopt;
}

StatusProbe statusOutput(const std::string& directory, const Context& context) {
  std::set<std::string> visited = {FileIdentity::resolvingSymlinks(directory)};
  if (auto problem = filterCheck(directory, context, visited, 0)) return *problem;
  const std::optional<ProcessOutput> result =
      run({"-c", "status.showUntrackedFiles=all", "status", "--porcelain", "--untracked-files=all",
           "--ignored=matching"},
          directory, context);
  if (!result) return WorktreeStatus::error(std::string(couldNotRun));
  if (result->timedOut) return WorktreeStatus::error(std::string(timedOutText));
  if (result->status != 0) return WorktreeStatus::error(std::string(statusFailed));
  return *result;
}

std::optional<int> stashCount(const std::string& directory, const Context& context) {
  const std::optional<ProcessOutput> result =
      run({"rev-list", "--walk-reflogs", "--count", "refs/stash"}, directory, context);
  if (!result || result->timedOut) return std::nullopt;
  if (result->status == 0) return readCount(result->out);
  if (isMissingRevision(result->err)) return 0;
  return std::nullopt;
}


// The count of a finished `rev-list --count`, or the error that stands in for it.
std::variant<int, WorktreeStatus> countOf(const std::optional<ProcessOutput>& result) {
  if (!result) return WorktreeStatus::error(std::string(couldNotRun));
  if (result->timedOut) return WorktreeStatus::error(std::string(timedOutText));
  if (result->status != 0) return WorktreeStatus::error(std::string(revListFailed));
  const std::optional<int> count = readCount(result->out);
  if (!count) return WorktreeStatus::error(std::string(revListFailed));
  return *count;
}

// Whether the repository's HEAD may name a commit rather than a branch: a commit made on a
// detached HEAD lies on no branch, so the branch count alone would not see it, and removing the
// repository would lose it. Read from the repository's own files; when they cannot be read, git
// is asked about HEAD as well, and a HEAD it cannot resolve then fails the count (the safe side).
bool headMayBeDetached(const std::string& root) {
  std::string gitFolder = appendingPath(root, ".git");
  struct stat info {};
  if (::stat(gitFolder.c_str(), &info) != 0) return true;
  const auto firstLine = [](const std::string& path) -> std::optional<std::string> {
    std::ifstream file(path);
    std::string line;
    if (!std::getline(file, line)) return std::nullopt;
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
  };
  if (!S_ISDIR(info.st_mode)) {
    // A linked checkout's ".git" file names its git folder.
    const std::optional<std::string> link = firstLine(gitFolder);
    if (!link || link->rfind("gitdir: ", 0) != 0) return true;
    const std::string target = link->substr(8);
    gitFolder = !target.empty() && target.front() == '/' ? target : appendingPath(root, target);
  }
  const std::optional<std::string> head = firstLine(appendingPath(gitFolder, "HEAD"));
  return !head || head->rfind("ref:", 0) != 0;
}

std::string resolvedRoot(const std::string& folder) {
  return PathCanonical::canonical(
      FileIdentity::resolvingSymlinks(PathCanonical::canonical(folder)));
}

}  // namespace

const std::vector<std::string>& overridePrefix() {
  static const std::vector<std::string> prefix = {
      "-c", "core.fsmonitor=false",   "-c", "core.hooksPath=/dev/null",
      "-c", "core.pager=cat",         "-c", "log.showSignature=false",
      "-c", "gpg.program=false",      "-c", "gpg.ssh.program=false",
      "-c", "gpg.x509.program=false", "-c", "core.sshCommand=false",
      "-c", "protocol.allow=never"};
  return prefix;
}

const ProcessRunner::Environment& safetyEnvironment() {
  // LC_ALL=C keeps git's messages untranslated: the stash rule reads them.
  static const ProcessRunner::Environment env = {{"GIT_TERMINAL_PROMPT", "0"},
                                                 {"GIT_OPTIONAL_LOCKS", "0"},
                                                 {"GIT_NO_LAZY_FETCH", "1"},
                                                 {"LC_ALL", "C"}};
  return env;
}

ProcessRunner::Environment environment(const std::optional<std::string>& ceiling) {
  ProcessRunner::Environment env = safetyEnvironment();
  if (ceiling) env["GIT_CEILING_DIRECTORIES"] = PathCanonical::canonical(*ceiling);
  return env;
}

WorktreeStatus worktreeStatus(const std::optional<std::string>& gitRoot,
                              ProcessRunner::Duration timeout, std::stop_token stop,
                              const Dependencies& dependencies) {
  if (!gitRoot) return WorktreeStatus::error(std::string(noGit));
  struct stat info {};
  if (::stat(PathCanonical::canonical(*gitRoot + "/.git").c_str(), &info) != 0) {
    return WorktreeStatus::error(std::string(noGit));
  }
  if (S_ISDIR(info.st_mode)) return WorktreeStatus::ownClone();
  if (auto unavailable = unavailableStatus(toolsStatus(dependencies))) return *unavailable;

  const std::string root = resolvedRoot(*gitRoot);
  const Context context{parentPath(root), timeout, stop, dependencies};
  auto unpushed = inParallel([&] {
    return run({"rev-list", "--count", "HEAD", "--not", "--remotes"}, root, context);
  });
  const StatusProbe status = statusOutput(root, context);
  const std::optional<ProcessOutput> countResult = unpushed.get();
  if (const auto* problem = std::get_if<WorktreeStatus>(&status)) return *problem;

  const auto count = countOf(countResult);
  if (const auto* problem = std::get_if<WorktreeStatus>(&count)) return *problem;
  const int unpushedCommits = std::get<int>(count);
  const bool changes = !trimmed(std::get<ProcessOutput>(status).out).empty();
  if (!changes && unpushedCommits < 1) return WorktreeStatus::clean();
  return WorktreeStatus::dirty(changes, unpushedCommits);
}

WorktreeStatus repositoryStatus(const std::string& repository, ProcessRunner::Duration timeout,
                                std::stop_token stop, const Dependencies& dependencies) {
  if (auto unavailable = unavailableStatus(toolsStatus(dependencies))) return *unavailable;

  const std::string root = resolvedRoot(repository);
  const Context context{parentPath(root), timeout, stop, dependencies};
  auto unpushed = inParallel([&] {
    std::vector<std::string> arguments = {"rev-list", "--count", "--branches"};
    if (headMayBeDetached(root)) arguments.push_back("HEAD");
    for (const char* argument : {"--not", "--remotes"}) arguments.emplace_back(argument);
    return run(arguments, root, context);
  });
  auto stashes = inParallel([&] { return stashCount(root, context); });
  const StatusProbe status = statusOutput(root, context);
  const std::optional<ProcessOutput> countResult = unpushed.get();
  const std::optional<int> stashEntries = stashes.get();
  if (const auto* problem = std::get_if<WorktreeStatus>(&status)) return *problem;

  // A count that failed is an error, never zero: a branch git cannot walk may hold commits that
  // no remote has. An empty repository is no failure; its count is 0.
  const auto count = countOf(countResult);
  if (const auto* problem = std::get_if<WorktreeStatus>(&count)) return *problem;
  if (!stashEntries) return WorktreeStatus::error(std::string(revListFailed));

  const int unpushedCommits = std::get<int>(count);
  const bool changes = !trimmed(std::get<ProcessOutput>(status).out).empty();
  if (!changes && *stashEntries < 1 && unpushedCommits < 1) return WorktreeStatus::clean();
  return WorktreeStatus::dirty(changes || *stashEntries >= 1, unpushedCommits);
}

bool pruneWorktrees(const std::string& repository, const DestructiveGate& gate,
                    ProcessRunner::Duration timeout, std::stop_token stop,
                    const Dependencies& dependencies) {
  if (gate.isReadOnly()) return false;
  const std::string root = resolvedRoot(repository);
  const Context context{parentPath(root), timeout, stop, dependencies};
  const std::optional<ProcessOutput> result = run({"worktree", "prune"}, root, context);
  return result && result->succeeded();
}

bool isMissingRevision(std::string_view errorText) {
  const std::string lower = lowercasedAscii(std::string(errorText));
  return lower.find("unknown revision") != std::string::npos ||
         lower.find("bad revision") != std::string::npos;
}

std::optional<int> readCount(std::string_view text) {
  text = trimmed(text);
  const bool negative = !text.empty() && text.front() == '-';
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (digits.empty() ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  long long value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (negative) value = -value;
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
    return std::nullopt;
  }
  return static_cast<int>(value);
}

std::vector<std::string> gitlinkPaths(std::string_view lsFilesOutput) {
  std::vector<std::string> paths;
  std::set<std::string> seen;
  std::size_t start = 0;
  while (start < lsFilesOutput.size()) {
    const std::size_t end = std::min(lsFilesOutput.find('\0', start), lsFilesOutput.size());
    const std::string_view record = lsFilesOutput.substr(start, end - start);
    start = end + 1;
    // "<mode> <object> <stage>\t<path>"
    const std::size_t tab = record.find('\t');
    if (tab == std::string_view::npos || record.substr(0, 7) != "160000 ") continue;
    const std::string path(record.substr(tab + 1));
    if (!path.empty() && seen.insert(path).second) paths.push_back(path);
  }
  return paths;
}

}  // namespace hl::GitService
