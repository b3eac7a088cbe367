#pragma once

#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace hl {

// Answers whether git may run on this machine, once per program run (asked again only while
// the answer is indeterminate). The git service starts no git process unless it is installed.
class CommandLineTools {
 public:
  enum class ProbeResult { installed, missing, indeterminate };
  using Probe = std::function<ProbeResult()>;

  // The one instance the whole program shares, probing the real git.
  static CommandLineTools& shared();

  explicit CommandLineTools(Probe probe);
  CommandLineTools(const CommandLineTools&) = delete;
  CommandLineTools& operator=(const CommandLineTools&) = delete;

  // The cached answer, or a probe's. Callers that arrive while a probe runs wait for that probe
  // and receive its answer; an installed or missing answer is kept for good.
  ProbeResult status();
  bool isInstalled() { return status() == ProbeResult::installed; }

  // The probe of `shared`: installed when `gitPath` is an executable regular file (links
  // followed), missing when nothing usable is there, indeterminate when it cannot be looked at.
  static ProbeResult checkGit(const std::string& gitPath = "/usr/bin/git");

 private:
  Probe probe_;
  std::mutex mutex_;
  std::optional<ProbeResult> cached_;
  std::optional<std::shared_future<ProbeResult>> inFlight_;
  // Tells one probe run from the next.
  unsigned long inFlightRun_ = 0;
};

std::string_view rawValue(CommandLineTools::ProbeResult result);

}  // namespace hl
