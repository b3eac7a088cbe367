#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "services/system/process_runner.h"

namespace hl {

class ProcessSource;

// A point-in-time picture of the processes on the machine: which executable runs under which
// process id, and which process sits in which working directory. Answers whether the programs
// named by owner keys ("claude", "Docker", "node", …) run. Never holds this program's own pid.
struct ProcessSnapshot {
  // The executable of each process, read as a path (a bare name where no path was available).
  std::map<std::int32_t, std::string> executables;
  // The working directory of each process whose directory could be read, in the in-use
  // canonical form.
  std::map<std::int32_t, std::string> workingDirectories;
  // Why the snapshot is incomplete: "ps failed", "ps timed out", "ps returned no processes",
  // "lsof failed", "lsof timed out" or "lsof returned no processes". What was read stays.
  std::optional<std::string> failure;
  // The other names a process answers to besides its executable: the first word of its command
  // line and the kernel's name for it. A program reached through a link is known by these.
  std::map<std::int32_t, std::vector<std::string>> otherNames;
  // The parent of each process whose parent could be read.
  std::map<std::int32_t, std::int32_t> parents;

  // A fresh picture read through `source` (which runs its commands, if any, through `runner`),
  // with this program's own process, the commands it runs (git pruning a worktree, a tool's
  // cleanup command) and every process those started left out: what the program does itself
  // never makes an item busy. Never fails: problems become `failure`.
  static ProcessSnapshot capture(const ProcessSource& source, const ProcessRunner::Runner& runner,
                                 std::stop_token stop = {});

  // "PID EXECUTABLE" lines of `ps -axo pid=,comm=`.
  static std::map<std::int32_t, std::string> parseProcessList(std::string_view text);
  // Whether lsof field output holds at least one process record (a "p" line with a number).
  static bool hasProcessRecord(std::string_view text);
  // The working directories of lsof field output ("p" and "n" lines), canonical.
  static std::map<std::int32_t, std::string> parseWorkingDirectories(std::string_view text);
  // `root` and every process descended from it, by the parents given.
  static std::set<std::int32_t> family(std::int32_t root,
                                       const std::map<std::int32_t, std::int32_t>& parents);
  // This program's own process, the commands it runs now and their descendants, by the parents
  // given.
  static std::set<std::int32_t> ownFamily(const std::map<std::int32_t, std::int32_t>& parents);

  // A decimal signed 32-bit number with an optional leading sign, nothing else.
  static std::optional<std::int32_t> parsePid(std::string_view text);

  // Whether `executable` (a path or a bare name) belongs to the owner named by `owner`.
  static bool matches(std::string_view owner, std::string_view executable);

  // Whether the process `pid` answers to the owner by its executable or any of its other names.
  bool processMatches(std::int32_t pid, std::string_view owner) const;
  // Every name the process is known by: its executable first, then its other names.
  std::vector<std::string> names(std::int32_t pid) const;

  bool isRunning(std::string_view owner) const;
  // The number of processes (pids) of the owner.
  int count(std::string_view owner) const;
  // The keys of `owners` that have a running process.
  std::set<std::string> runningOwners(const std::set<std::string>& owners) const;

  bool operator==(const ProcessSnapshot&) const = default;
};

}  // namespace hl
