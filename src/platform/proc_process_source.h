#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "services/process_source.h"

namespace hl {

// The process picture read straight from the Linux process file system, filling what ps and
// lsof would and failing with their texts. A process is known by its executable (the target of
// `exe`, without the kernel's " (deleted)" mark), and also by the first word of its command line
// and its kernel name, so a program started through a link still answers to its own name. A
// process's open files are what lsof lists for it: its descriptors, working directory, root,
// executable and mapped files. Runs no command.
class ProcProcessSource final : public ProcessSource {
 public:
  // `procRoot` is where the process file system is mounted; `user` the real user id whose
  // open files count (this program's by default).
  explicit ProcProcessSource(std::string procRoot = "/proc",
                             std::optional<uid_t> user = std::nullopt);

  ProcessSnapshot processes(const ProcessRunner::Runner& runner,
                            std::stop_token stop) const override;
  OpenFiles openFiles(const std::set<std::string>& roots, const ProcessRunner::Runner& runner,
                      std::stop_token stop) const override;

 private:
  std::string procRoot_;
  uid_t user_;
};

}  // namespace hl
