#include "services/system/command_line_tools.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace hl {

CommandLineTools& CommandLineTools::shared() {
  static CommandLineTools instance([] { return checkGit(); });
  return instance;
}

CommandLineTools::CommandLineTools(Probe probe) : probe_(std::move(probe)) {}

CommandLineTools::ProbeResult CommandLineTools::status() {
  std::shared_future<ProbeResult> joined;
  std::optional<std::promise<ProbeResult>> ours;
  unsigned long run = 0;
  {
    std::lock_guard lock(mutex_);
    if (cached_) return *cached_;
    if (!inFlight_) {
      ours.emplace();
      inFlight_ = ours->get_future().share();
      ++inFlightRun_;
    }
    joined = *inFlight_;
    run = inFlightRun_;
  }
  if (ours) {
    // The probe runs outside the lock, so a slow probe never holds up anything but its waiters.
    ProbeResult result = ProbeResult::indeterminate;
    try {
      result = probe_();
    } catch (...) {
      result = ProbeResult::indeterminate;
    }
    ours->set_value(result);
  }
  const ProbeResult result = joined.get();
  std::lock_guard lock(mutex_);
  // A newer probe started after an indeterminate answer is left alone.
  if (inFlight_ && inFlightRun_ == run) inFlight_.reset();
  if (result != ProbeResult::indeterminate) cached_ = result;
  return result;
}

CommandLineTools::ProbeResult CommandLineTools::checkGit(const std::string& gitPath) {
  struct stat info {};
  if (::stat(gitPath.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) return ProbeResult::missing;
    return ProbeResult::indeterminate;
  }
  if (!S_ISREG(info.st_mode)) return ProbeResult::missing;
  if (::access(gitPath.c_str(), X_OK) == 0) return ProbeResult::installed;
  return errno == EACCES ? ProbeResult::missing : ProbeResult::indeterminate;
}

std::string_view rawValue(CommandLineTools::ProbeResult result) {
  switch (result) {
    case CommandLineTools::ProbeResult::installed: return "installed";
    case CommandLineTools::ProbeResult::missing: return "missing";
    case CommandLineTools::ProbeResult::indeterminate: return "indeterminate";
  }
  return "indeterminate";
}

}  // namespace hl
