#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "utilities/time.h"

namespace hl {

// What one external command left behind. `out` and `err` are the child's standard output and
// standard error (named so because `stdout`/`stderr` are macros of <cstdio>), each decoded as
// UTF-8 with every invalid sequence replaced by U+FFFD.
struct ProcessOutput {
  // The exit code, or the signal number for a child ended by a signal; -1 when the run was cut
  // short before the child's end was seen.
  int status = -1;
  std::string out;
  std::string err;
  // The run did not complete on its own: its time-out fired, or its stop was requested.
  bool timedOut = false;

  bool succeeded() const { return status == 0 && !timedOut; }

  bool operator==(const ProcessOutput&) const = default;
};

// The one launcher of external commands.
namespace ProcessRunner {

using Duration = Seconds;
using Environment = std::map<std::string, std::string>;
// Receives each chunk of output as it arrives, from either stream, unsplit and unjoined.
using OutputHandler = std::function<void(std::string_view)>;

// Runs `executable` (an absolute path, run as it is: no shell, no search) with `arguments`,
// standard input from the null device, and this program's environment with `environment`
// merged over it (given values win). Blocks until both output streams reached their end and the
// child exited, or until the time-out chain ended the run: at the deadline SIGTERM, one second
// later SIGKILL, half a second after that the run finishes with whatever was captured. A
// requested stop starts the same chain at once. No result when the command could not be
// launched (or the stop was requested before it was).
std::optional<ProcessOutput> run(const std::string& executable,
                                 const std::vector<std::string>& arguments, Duration timeout,
                                 const Environment& environment = {},
                                 const OutputHandler& onOutput = {}, std::stop_token stop = {});

// Starts `executable` (an absolute path, run as it is) with `arguments`, this program's standard
// streams and environment, and does not wait for it: it may outlive this program. Whether it was
// started (false when the executable could not be run).
bool startDetached(const std::string& executable, const std::vector<std::string>& arguments);

// The full shape of `run`, for services that pass an environment or watch the output.
using Launcher = std::function<std::optional<ProcessOutput>(
    const std::string& executable, const std::vector<std::string>& arguments, Duration timeout,
    const Environment& environment, const OutputHandler& onOutput, std::stop_token stop)>;

// The short shape: no extra environment, no live output.
using Runner = std::function<std::optional<ProcessOutput>(const std::string& executable,
                                                          const std::vector<std::string>& arguments,
                                                          Duration timeout, std::stop_token stop)>;

// `run` itself, as a value.
Launcher launcher();
// `run` with an empty extra environment and no live output.
Runner defaultRunner();

// The pids of the commands `run` has started and not yet reaped, in this process: what the
// program runs itself is told apart from the user's processes by them.
std::set<int> runningChildren();

// `bytes` decoded as UTF-8, each invalid sequence replaced by U+FFFD.
std::string repairedUtf8(std::string_view bytes);

}  // namespace ProcessRunner

}  // namespace hl
