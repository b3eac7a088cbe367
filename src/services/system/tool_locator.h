#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "models/native_action.h"
#include "models/tool_environment.h"
#include "services/removal/destructive_gate.h"
#include "services/system/process_runner.h"

namespace hl {

// Finds the package tools the way the user's login shell sees them, asks five of them where
// their caches live, keeps the answer, and runs a tool's own cleanup command. One mutex guards
// the kept answer and is never held while a process runs.
class ToolLocator {
 public:
  struct Dependencies {
    ProcessRunner::Launcher launcher = ProcessRunner::launcher();
    // The user's login shell as the password database names it.
    std::function<std::string()> loginShell = passwordDatabaseShell;
    std::function<std::string()> home = defaultHome;
  };

  // What a login-shell probe printed: its PATH (the last such line) and the tools it found.
  struct ShellAnswer {
    std::optional<std::string> path;
    std::map<std::string, std::string> found;
    bool operator==(const ShellAnswer&) const = default;
  };

  ToolLocator();
  explicit ToolLocator(Dependencies dependencies);
  ToolLocator(const ToolLocator&) = delete;
  ToolLocator& operator=(const ToolLocator&) = delete;

  // The kept environment, or a fresh resolution (then kept) when none is kept or `refresh` asks.
  // Two callers that find nothing kept both resolve; the later answer is kept.
  ToolEnvironment environment(bool refresh = false);
  // The same for a run that may be stopped: none when the stop was requested before the
  // resolution completed, and a stopped resolution is never kept.
  std::optional<ToolEnvironment> environment(bool refresh, std::stop_token stop);
  std::optional<ToolEnvironment> cached() const;

  // A fresh resolution that is not kept; none when the stop was requested before it completed.
  std::optional<ToolEnvironment> resolve(std::stop_token stop = {}) const;

  // Runs the action's command with the resolved PATH, 120 seconds at most, passing its output to
  // `onOutput` as it arrives. None, without starting anything, while the gate is read-only; none
  // also when the command could not be launched.
  std::optional<ProcessOutput> run(const NativeAction& action, const DestructiveGate& gate,
                                   const ProcessRunner::OutputHandler& onOutput = {});

  // The one-line probe script: the shell's PATH, then "name=path" for each tool it resolves.
  static std::string probeScript();
  // The shell that runs the probe: the login shell when it is a shell that understands the
  // script, else /bin/bash.
  static std::string probeShell(std::string_view loginShell);
  static ShellAnswer parseShellOutput(std::string_view output);
  // The lines of a tool's answer that begin with "/", in order.
  static std::vector<std::string> absoluteLines(std::string_view output);
  // The program and arguments that run `tool` (an absolute path or a bare name) with `arguments`:
  // an absolute path directly, a bare name through /usr/bin/env.
  static std::pair<std::string, std::vector<std::string>> command(
      const std::string& tool, const std::vector<std::string>& arguments);

  static std::string passwordDatabaseShell();
  static std::string defaultHome();

 private:
  std::optional<ProcessOutput> runTool(const std::string& tool,
                                       const std::vector<std::string>& arguments,
                                       const std::string& path, ProcessRunner::Duration timeout,
                                       const ProcessRunner::OutputHandler& onOutput,
                                       std::stop_token stop,
                                       ProcessRunner::Environment environment = {}) const;

  Dependencies dependencies_;
  mutable std::mutex mutex_;
  std::optional<ToolEnvironment> cached_;
};

}  // namespace hl
