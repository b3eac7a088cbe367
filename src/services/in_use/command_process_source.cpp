#include "services/in_use/command_process_source.h"

#include <unistd.h>

#include <chrono>

#include "utilities/in_parallel.h"
#include "utilities/text_lines.h"

namespace hl {
namespace {

using namespace std::chrono_literals;

const std::string kPs = "/bin/ps";
const std::string kLsof = "/usr/sbin/lsof";

}  // namespace

ProcessSnapshot CommandProcessSource::processes(const ProcessRunner::Runner& runner,
                                                std::stop_token stop) const {
  // Both commands run at once; the second result is awaited even when the first already
  // decided the failure text.
  auto lsof = inParallel([&runner, stop] {
    return runner(kLsof, {"-w", "-d", "cwd", "-Fpn"}, 10s, stop);
  });
  const std::optional<ProcessOutput> ps = runner(kPs, {"-axo", "pid=,comm="}, 5s, stop);
  const std::optional<ProcessOutput> cwd = lsof.get();

  ProcessSnapshot snapshot;
  if (!ps) {
    snapshot.failure = "ps failed";
  } else if (!ps->succeeded()) {
    snapshot.failure = ps->timedOut ? "ps timed out" : "ps failed";
  } else {
    auto executables = ProcessSnapshot::parseProcessList(ps->out);
    if (executables.empty()) {
      snapshot.failure = "ps returned no processes";
    } else {
      snapshot.executables = std::move(executables);
    }
  }

  // lsof's exit status is not looked at: it exits non-zero for any file it could not read.
  if (cwd && !cwd->timedOut && ProcessSnapshot::hasProcessRecord(cwd->out)) {
    snapshot.workingDirectories = ProcessSnapshot::parseWorkingDirectories(cwd->out);
  } else if (!snapshot.failure) {
    snapshot.failure =
        !cwd ? "lsof failed" : (cwd->timedOut ? "lsof timed out" : "lsof returned no processes");
  }
  return snapshot;
}

OpenFiles CommandProcessSource::openFiles(const std::set<std::string>& /*roots*/,
                                          const ProcessRunner::Runner& runner,
                                          std::stop_token stop) const {
  const std::string user = std::to_string(::getuid());
  const std::optional<ProcessOutput> lsof =
      runner(kLsof, {"-w", "-u", user, "-Fpn"}, 20s, std::move(stop));
  OpenFiles result;
  if (!lsof) {
    result.failure = "lsof failed";
  } else if (lsof->timedOut) {
    result.failure = "lsof timed out";
  } else if (!ProcessSnapshot::hasProcessRecord(lsof->out)) {
    result.failure = "lsof returned no processes";
  } else {
    result.files = parseOpenFileRecords(lsof->out);
  }
  return result;
}

std::vector<OpenFileRecord> CommandProcessSource::parseOpenFileRecords(std::string_view text) {
  std::vector<OpenFileRecord> records;
  std::int32_t current = 0;
  for (const std::string_view line : splitLines(text)) {
    if (line.front() == 'p') {
      current = ProcessSnapshot::parsePid(line.substr(1)).value_or(0);
    } else if (line.size() >= 2 && line[0] == 'n' && line[1] == '/') {
      records.push_back({current, std::string(line.substr(1))});
    }
  }
  return records;
}

}  // namespace hl
