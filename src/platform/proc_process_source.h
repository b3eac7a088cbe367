#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "services/in_use/process_source.h"

namespace hl {

// How long one capture may take before it is given up: the time-outs of the commands it stands
// in for.
struct ProcCaptureLimits {
  ProcessRunner::Duration processList{5.0};
  ProcessRunner::Duration openFiles{10.0};
};

// The process picture read straight from the Linux process file system, filling what ps and
// lsof would and failing with their texts. A process is known by its executable (the target of
// `exe`, without the kernel's " (deleted)" mark), and also by the first word of its command line
// and its kernel name, so a program started through a link still answers to its own name. A
// process's open files are what lsof lists for it: its descriptors, working directory, root,
// executable and mapped files. Runs no command.
//
// Reading a process's command line or mappings blocks while that process is stuck in the kernel
// (a hung network or FUSE mount), so each capture runs on a thread of its own and is given up,
// as the commands it stands in for would be, after the commands' time-outs: the capture then
// fails with the time-out text and the stuck thread is left to end by itself.
class ProcProcessSource final : public ProcessSource {
 public:
  using Limits = ProcCaptureLimits;

  // `procRoot` is where the process file system is mounted; `user` the real user id whose
  // open files count (this program's by default).
  explicit ProcProcessSource(std::string procRoot = "/proc",
                             std::optional<uid_t> user = std::nullopt,
                             ProcCaptureLimits limits = ProcCaptureLimits());

  ProcessSnapshot processes(const ProcessRunner::Runner& runner,
                            std::stop_token stop) const override;
  OpenFiles openFiles(const std::set<std::string>& roots, const ProcessRunner::Runner& runner,
                      std::stop_token stop) const override;

 private:
  std::string procRoot_;
  uid_t user_;
  Limits limits_;
};

}  // namespace hl
