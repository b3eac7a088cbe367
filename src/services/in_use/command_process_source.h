#pragma once

#include <string_view>
#include <vector>

#include "services/in_use/process_source.h"

namespace hl {

// The process picture read from the classic tools: `ps -axo pid=,comm=` for the process list,
// `lsof -w -d cwd -Fpn` for the working directories and `lsof -w -u UID -Fpn` for the user's
// open files. Not the default here, where /proc answers faster and fuller.
class CommandProcessSource final : public ProcessSource {
 public:
  ProcessSnapshot processes(const ProcessRunner::Runner& runner,
                            std::stop_token stop) const override;
  OpenFiles openFiles(const std::set<std::string>& roots, const ProcessRunner::Runner& runner,
                      std::stop_token stop) const override;

  // The open files of lsof field output: each absolute "n" name with the pid of the "p" line
  // before it (0 before any "p" line or after one that does not parse).
  static std::vector<OpenFileRecord> parseOpenFileRecords(std::string_view text);
};

}  // namespace hl
