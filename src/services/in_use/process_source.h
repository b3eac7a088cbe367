#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include "services/system/process_runner.h"
#include "services/in_use/process_snapshot.h"

namespace hl {

// One file a process holds open (a descriptor, its working directory, its root, its executable
// or a mapped file), as an absolute path exactly as reported.
struct OpenFileRecord {
  std::int32_t pid = 0;  // 0 when the holder could not be told
  std::string path;
  bool operator==(const OpenFileRecord&) const = default;
};

// The files the user's own processes hold open, in the order they were read.
struct OpenFiles {
  std::vector<OpenFileRecord> files;
  // "lsof failed", "lsof timed out" or "lsof returned no processes"; the files are then not to
  // be trusted.
  std::optional<std::string> failure;
  // The parent of each process listed, where the source can tell: the program's own children
  // are told apart by it.
  std::map<std::int32_t, std::int32_t> parents;
  bool operator==(const OpenFiles&) const = default;
};

// Where the picture of running processes comes from. Both methods block, may be called from any
// thread and from several at once, and never throw for a problem of the system they read: they
// answer with a failure text.
class ProcessSource {
 public:
  virtual ~ProcessSource() = default;

  // Every process with its executable, and every working directory that can be read. The
  // program's own process may be among them. `runner` runs the external commands of a source
  // that uses any; a requested stop ends the capture early with a failure.
  virtual ProcessSnapshot processes(const ProcessRunner::Runner& runner,
                                    std::stop_token stop) const = 0;

  // The files held open by the processes of the user running this program (its real user id).
  // Files outside every one of `roots` (canonical paths) may be left out.
  virtual OpenFiles openFiles(const std::set<std::string>& roots,
                              const ProcessRunner::Runner& runner, std::stop_token stop) const = 0;
};

// The source this platform uses: the Linux process file system.
std::shared_ptr<const ProcessSource> defaultProcessSource();

}  // namespace hl
