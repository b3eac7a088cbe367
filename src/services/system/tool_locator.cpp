#include "services/system/tool_locator.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <future>
#include <set>
#include <system_error>

#include "platform/user_folders.h"
#include "utilities/text_lines.h"
#include "utilities/path_canonical.h"
#include "utilities/in_parallel.h"

namespace hl {
namespace {

using namespace std::chrono_literals;

constexpr auto shellTimeout = 8s;
constexpr auto probeTimeout = 10s;
constexpr auto cleanupTimeout = 120s;
constexpr std::string_view envPath = "/usr/bin/env";
constexpr std::string_view fallbackShell = "/bin/bash";

struct CacheProbe {
  NativeAction::Tool tool;
  std::vector<std::string> arguments;
};

const std::vector<CacheProbe>& cacheProbes() {
  static const std::vector<CacheProbe> probes = {
      {NativeAction::Tool::pnpm, {"store", "path"}},
      {NativeAction::Tool::uv, {"cache", "dir"}},
      {NativeAction::Tool::go, {"env", "GOMODCACHE", "GOCACHE"}},
      {NativeAction::Tool::brew, {"--cache"}},
      {NativeAction::Tool::npm, {"config", "get", "cache"}},
  };
  return probes;
}

// What the cache probes run with besides PATH: asking npm where its cache lives must leave the
// home as it was. Without these, every probe writes a debug log into ~/.npm/_logs (where npm
// keeps only its ten newest, so a scan every few minutes evicts the log of a real failure) and
// may ask the registry whether a newer npm exists. The cleanup commands the user confirms run
// without them.
const ProcessRunner::Environment& probeEnvironment() {
  static const ProcessRunner::Environment environment = {
      {"npm_config_logs_max", "0"},
      {"npm_config_update_notifier", "false"},
  };
  return environment;
}

bool isExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}


}  // namespace

ToolLocator::ToolLocator() : ToolLocator(Dependencies{}) {}

ToolLocator::ToolLocator(Dependencies dependencies) : dependencies_(std::move(dependencies)) {}

ToolEnvironment ToolLocator::environment(bool refresh) {
  return *environment(refresh, std::stop_token{});
}

std::optional<ToolEnvironment> ToolLocator::environment(bool refresh, std::stop_token stop) {
  {
    std::lock_guard lock(mutex_);
    if (cached_ && !refresh) return cached_;
  }
  std::optional<ToolEnvironment> resolved = resolve(stop);
  if (!resolved) return std::nullopt;
  std::lock_guard lock(mutex_);
  cached_ = resolved;
  return resolved;
}

std::optional<ToolEnvironment> ToolLocator::cached() const {
  std::lock_guard lock(mutex_);
  return cached_;
}

std::optional<ToolEnvironment> ToolLocator::resolve(std::stop_token stop) const {
  ToolEnvironment environment = ToolEnvironment::empty();
  std::map<std::string, std::string> found;

  const std::string shell =
      probeShell(dependencies_.loginShell ? dependencies_.loginShell() : std::string());
  std::optional<ProcessOutput> answer;
  if (dependencies_.launcher) {
    answer = dependencies_.launcher(shell, {"-lc", probeScript()}, shellTimeout, {}, {}, stop);
  }
  // The exit status does not matter: the loop's last lookup decides it.
  if (answer && !answer->timedOut) {
    ShellAnswer parsed = parseShellOutput(answer->out);
    if (parsed.path) environment.path = *parsed.path;
    found = std::move(parsed.found);
  }
  if (stop.stop_requested()) return std::nullopt;

  if (found.count("conda") == 0) {
    const std::string home = dependencies_.home ? dependencies_.home() : std::string("/");
    const std::string conda = PathCanonical::canonical(home + "/miniconda3/bin/conda");
    if (isExecutableFile(conda)) found["conda"] = conda;
  }

  for (NativeAction::Tool tool : allTools) {
    const auto binary = found.find(std::string(executableName(tool)));
    if (binary == found.end()) continue;
    environment.available.insert(tool);
    environment.binaries[tool] = binary->second;
  }

  // The probes run side by side; each finds its tool through PATH by its plain name.
  std::vector<std::pair<NativeAction::Tool, std::future<std::vector<std::string>>>> running;
  for (const CacheProbe& probe : cacheProbes()) {
    if (environment.available.count(probe.tool) == 0) continue;
    running.emplace_back(probe.tool, inParallel([this, &probe, &environment, stop] {
                           const std::optional<ProcessOutput> output =
                               runTool(std::string(rawValue(probe.tool)), probe.arguments,
                                       environment.path, probeTimeout, {}, stop,
                                       probeEnvironment());
                           if (!output || !output->succeeded()) return std::vector<std::string>{};
                           return absoluteLines(output->out);
                         }));
  }
  std::map<NativeAction::Tool, std::vector<std::string>> lines;
  for (auto& [tool, result] : running) lines[tool] = result.get();
  if (stop.stop_requested()) return std::nullopt;

  auto last = [&lines](NativeAction::Tool tool) -> std::optional<std::string> {
    const auto entry = lines.find(tool);
    if (entry == lines.end() || entry->second.empty()) return std::nullopt;
    return entry->second.back();
  };
  if (auto store = last(NativeAction::Tool::pnpm)) {
    environment.locations[ToolLocationKey::pnpmStore] = *store;
  }
  if (auto cache = last(NativeAction::Tool::uv)) {
    environment.locations[ToolLocationKey::uvCache] = *cache;
  }
  if (const auto go = lines.find(NativeAction::Tool::go);
      go != lines.end() && go->second.size() == 2) {
    environment.locations[ToolLocationKey::goModCache] = go->second[0] + "/cache";
    environment.locations[ToolLocationKey::goBuildCache] = go->second[1];
  }
  if (auto cache = last(NativeAction::Tool::brew)) {
    environment.locations[ToolLocationKey::brewCache] = *cache;
  }
  if (auto cache = last(NativeAction::Tool::npm)) {
    environment.locations[ToolLocationKey::npmCacache] = *cache + "/_cacache";
    environment.locations[ToolLocationKey::npmNpx] = *cache + "/_npx";
  }
  return environment;
}

std::optional<ProcessOutput> ToolLocator::run(const NativeAction& action,
                                              const DestructiveGate& gate,
                                              const ProcessRunner::OutputHandler& onOutput) {
  if (gate.isReadOnly()) return std::nullopt;
  const ToolEnvironment current = environment(false);
  const auto binary = current.binaries.find(action.tool);
  const std::string tool =
      binary != current.binaries.end() ? binary->second : action.executableName();
  return runTool(tool, action.arguments(), current.path, cleanupTimeout, onOutput, {});
}

std::optional<ProcessOutput> ToolLocator::runTool(const std::string& tool,
                                                  const std::vector<std::string>& arguments,
                                                  const std::string& path,
                                                  ProcessRunner::Duration timeout,
                                                  const ProcessRunner::OutputHandler& onOutput,
                                                  std::stop_token stop,
                                                  ProcessRunner::Environment environment) const {
  if (!dependencies_.launcher) return std::nullopt;
  auto [executable, commandArguments] = command(tool, arguments);
  environment["PATH"] = path;
  return dependencies_.launcher(executable, commandArguments, timeout, environment, onOutput,
                                std::move(stop));
}

std::string ToolLocator::probeScript() {
  std::set<std::string> names;
  for (NativeAction::Tool tool : allTools) names.insert(std::string(executableName(tool)));
  std::string joined;
  for (const std::string& name : names) {
    if (!joined.empty()) joined += ' ';
    joined += name;
  }
  return "printf '%s\\n' \"PATH=$PATH\"; for t in " + joined +
         "; do p=$(command -v $t 2>/dev/null) && printf '%s\\n' \"$t=$p\"; done";
}

std::string ToolLocator::probeShell(std::string_view loginShell) {
  static const std::array<std::string_view, 6> understood = {"sh",  "bash", "dash",
                                                             "zsh", "ksh",  "mksh"};
  if (loginShell.empty() || loginShell.front() != '/') return std::string(fallbackShell);
  const std::string name = lastPathComponent(loginShell);
  if (std::find(understood.begin(), understood.end(), name) == understood.end()) {
    return std::string(fallbackShell);
  }
  return std::string(loginShell);
}

ToolLocator::ShellAnswer ToolLocator::parseShellOutput(std::string_view output) {
  ShellAnswer answer;
  for (std::string_view line : nonEmptyLines(output)) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string key(line.substr(0, equals));
    const std::string value(line.substr(equals + 1));
    if (key == "PATH") {
      answer.path = value;
    } else if (!value.empty() && value.front() == '/') {
      answer.found[key] = value;
    }
  }
  return answer;
}

std::vector<std::string> ToolLocator::absoluteLines(std::string_view output) {
  std::vector<std::string> lines;
  for (std::string_view line : nonEmptyLines(output)) {
    if (line.front() == '/') lines.emplace_back(line);
  }
  return lines;
}

std::pair<std::string, std::vector<std::string>> ToolLocator::command(
    const std::string& tool, const std::vector<std::string>& arguments) {
  // A path is run as it is: handed to env, a path holding "=" would read as a variable and the
  // next argument would run as the program.
  if (!tool.empty() && tool.front() == '/') return {tool, arguments};
  std::vector<std::string> withTool;
  withTool.reserve(arguments.size() + 1);
  withTool.push_back(tool);
  withTool.insert(withTool.end(), arguments.begin(), arguments.end());
  return {std::string(envPath), withTool};
}

std::string ToolLocator::passwordDatabaseShell() { return loginShell(); }

std::string ToolLocator::defaultHome() { return homeDirectory(); }

}  // namespace hl
