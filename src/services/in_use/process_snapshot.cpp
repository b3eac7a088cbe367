#include "services/in_use/process_snapshot.h"

#include <unistd.h>

#include <algorithm>
#include <limits>

#include "services/in_use/owner_key_counterparts.h"
#include "services/in_use/process_source.h"
#include "utilities/file_identity.h"
#include "utilities/path_canonical.h"
#include "utilities/text_lines.h"

namespace hl {
namespace {

bool contains(std::string_view text, std::string_view fragment) {
  return text.find(fragment) != std::string_view::npos;
}

// The owner rules as the owner keys define them.
bool matchesOwnRule(std::string_view owner, std::string_view executable) {
  const std::string basename = lastPathComponent(executable);
  if (owner == "claude") return basename == "claude" || contains(executable, "/claude-code/");
  if (owner == "Claude.app") return executable.starts_with("/Applications/Claude.app/");
  if (owner == "codex") return basename == "codex" || contains(executable, "/Codex.app/");
  if (owner == "Codex.app") return contains(executable, "/Codex.app/");
  if (owner == "Google Chrome") return contains(executable, "/Google Chrome.app/");
  if (owner == "Xcode") return executable.ends_with("/Xcode.app/Contents/MacOS/Xcode");
  if (owner == "Simulator") return contains(executable, "/Simulator.app/");
  if (owner == "Cursor") return contains(executable, "/Cursor.app/");
  if (owner == "Code") return contains(executable, "/Visual Studio Code.app/");
  if (owner == "Docker") return contains(executable, "/Docker.app/");
  return basename == owner;
}

}  // namespace

ProcessSnapshot ProcessSnapshot::capture(const ProcessSource& source,
                                         const ProcessRunner::Runner& runner,
                                         std::stop_token stop) {
  ProcessSnapshot snapshot = source.processes(runner, std::move(stop));
  for (const std::int32_t pid : ownFamily(snapshot.parents)) {
    snapshot.executables.erase(pid);
    snapshot.workingDirectories.erase(pid);
    snapshot.otherNames.erase(pid);
    snapshot.parents.erase(pid);
  }
  return snapshot;
}

std::set<std::int32_t> ProcessSnapshot::family(std::int32_t root,
                                               const std::map<std::int32_t, std::int32_t>& parents) {
  std::map<std::int32_t, std::vector<std::int32_t>> children;
  for (const auto& [pid, parent] : parents) {
    if (pid != parent) children[parent].push_back(pid);
  }
  std::set<std::int32_t> found = {root};
  std::vector<std::int32_t> waiting = {root};
  while (!waiting.empty()) {
    const std::int32_t pid = waiting.back();
    waiting.pop_back();
    const auto below = children.find(pid);
    if (below == children.end()) continue;
    for (const std::int32_t child : below->second) {
      // A pid met again (a table read while pids were reused) is not walked twice.
      if (found.insert(child).second) waiting.push_back(child);
    }
  }
  return found;
}

std::set<std::int32_t> ProcessSnapshot::ownFamily(
    const std::map<std::int32_t, std::int32_t>& parents) {
  std::set<std::int32_t> own = {static_cast<std::int32_t>(::getpid())};
  for (const int child : ProcessRunner::runningChildren()) own.merge(family(child, parents));
  return own;
}

std::optional<std::int32_t> ProcessSnapshot::parsePid(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1) {
      return std::nullopt;
    }
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max() ||
      value < std::numeric_limits<std::int32_t>::min()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

std::map<std::int32_t, std::string> ProcessSnapshot::parseProcessList(std::string_view text) {
  std::map<std::int32_t, std::string> result;
  for (std::string_view line : splitLines(text)) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string_view::npos) continue;
    line.remove_prefix(first);
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) continue;
    const std::optional<std::int32_t> pid = parsePid(line.substr(0, space));
    if (!pid) continue;
    result[*pid] = std::string(line.substr(space + 1));
  }
  return result;
}

bool ProcessSnapshot::hasProcessRecord(std::string_view text) {
  for (const std::string_view line : splitLines(text)) {
    if (line.front() == 'p' && parsePid(line.substr(1))) return true;
  }
  return false;
}

std::map<std::int32_t, std::string> ProcessSnapshot::parseWorkingDirectories(
    std::string_view text) {
  std::map<std::int32_t, std::string> result;
  std::optional<std::int32_t> current;
  for (const std::string_view line : splitLines(text)) {
    if (line.front() == 'p') {
      current = parsePid(line.substr(1));
    } else if (line.starts_with("n/")) {
      if (current) result[*current] = FileIdentity::normalizedPath(line.substr(1));
    }
  }
  return result;
}

bool ProcessSnapshot::matches(std::string_view owner, std::string_view executable) {
  return matchesOwnRule(owner, executable) || OwnerKeyCounterparts::matches(owner, executable);
}

std::vector<std::string> ProcessSnapshot::names(std::int32_t pid) const {
  std::vector<std::string> result;
  if (const auto executable = executables.find(pid); executable != executables.end()) {
    result.push_back(executable->second);
  }
  if (const auto other = otherNames.find(pid); other != otherNames.end()) {
    result.insert(result.end(), other->second.begin(), other->second.end());
  }
  return result;
}

bool ProcessSnapshot::processMatches(std::int32_t pid, std::string_view owner) const {
  const std::vector<std::string> known = names(pid);
  return std::any_of(known.begin(), known.end(),
                     [&](const std::string& name) { return matches(owner, name); });
}

bool ProcessSnapshot::isRunning(std::string_view owner) const {
  return std::any_of(executables.begin(), executables.end(),
                     [&](const auto& entry) { return processMatches(entry.first, owner); });
}

int ProcessSnapshot::count(std::string_view owner) const {
  return static_cast<int>(
      std::count_if(executables.begin(), executables.end(),
                    [&](const auto& entry) { return processMatches(entry.first, owner); }));
}

std::set<std::string> ProcessSnapshot::runningOwners(const std::set<std::string>& owners) const {
  std::set<std::string> result;
  for (const std::string& owner : owners) {
    if (isRunning(owner)) result.insert(owner);
  }
  return result;
}

}  // namespace hl
