#include "platform/proc_process_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <unordered_set>
#include <utility>

#include "platform/folder_reader.h"
#include "platform/unique_fd.h"
#include "utilities/file_identity.h"
#include "utilities/path_overlap_set.h"
#include "utilities/within_limit.h"

namespace hl {
namespace {

constexpr std::string_view kDeletedMark = " (deleted)";

std::optional<std::string> readLinkAt(int directory, const char* name) {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t length = ::readlinkat(directory, name, buffer.data(), buffer.size());
    if (length < 0) return std::nullopt;
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(length));
      return buffer;
    }
    if (buffer.size() >= 65536) return std::nullopt;
    buffer.resize(buffer.size() * 2);
  }
}

// A whole file of the process file system (which reports no sizes), read with plain reads.
std::optional<std::string> readFileAt(int directory, const char* name) {
  const UniqueFd fd(::openat(directory, name, O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (!fd.valid()) return std::nullopt;
  std::string content;
  char chunk[8192];
  for (;;) {
    const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) return content;
    content.append(chunk, static_cast<std::size_t>(got));
  }
}

std::string withoutDeletedMark(std::string path) {
  if (path.size() > kDeletedMark.size() &&
      path.compare(path.size() - kDeletedMark.size(), kDeletedMark.size(), kDeletedMark) == 0) {
    path.resize(path.size() - kDeletedMark.size());
  }
  return path;
}

enum class Walk { complete, unreadable, stopped };

// Calls `visit(pid, folder descriptor)` for each process folder of the process file system, in
// listing order. A process that ended since the listing is passed over.
template <typename Visit>
Walk eachProcess(const std::string& procRoot, const std::stop_token& stop, Visit visit) {
  const UniqueFd root(::open(procRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!root.valid()) return Walk::unreadable;
  FolderListing listing(root.get());
  while (const char* name = listing.next()) {
    if (stop.stop_requested()) return Walk::stopped;
    if (name[0] < '1' || name[0] > '9') continue;
    const std::optional<std::int32_t> pid = ProcessSnapshot::parsePid(name);
    if (!pid) continue;
    const UniqueFd process(FolderAccess::openFolder(root.get(), name));
    if (!process.valid()) continue;
    visit(*pid, process.get());
  }
  return listing.failed() ? Walk::unreadable : Walk::complete;
}

// The first number of the line `field` (such as "Uid:") of a process's "status" file.
std::optional<std::uint32_t> statusNumber(const std::string& status, std::string_view field) {
  const std::size_t line = status.find("\n" + std::string(field));
  if (line == std::string::npos) return std::nullopt;
  std::size_t pos = line + 1 + field.size();
  while (pos < status.size() && (status[pos] == '\t' || status[pos] == ' ')) ++pos;
  std::size_t end = pos;
  while (end < status.size() && status[end] >= '0' && status[end] <= '9') ++end;
  if (end == pos || end - pos > 10) return std::nullopt;
  const unsigned long long value = std::stoull(status.substr(pos, end - pos));
  if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

// The parent's pid from a process's "status" file; none when it cannot be read.
std::optional<std::int32_t> parentOf(const std::string& status) {
  const auto parent = statusNumber(status, "PPid:");
  if (!parent || *parent > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(*parent);
}


// The path names of the file-backed lines of a "maps" file, each once.
std::vector<std::string> mappedFiles(const std::string& maps) {
  std::vector<std::string> files;
  std::unordered_set<std::string_view> seen;
  std::size_t start = 0;
  while (start < maps.size()) {
    std::size_t end = maps.find('\n', start);
    if (end == std::string::npos) end = maps.size();
    const std::string_view line(maps.data() + start, end - start);
    start = end + 1;
    // address perms offset device inode, then the path name after a run of blanks.
    std::size_t pos = 0;
    for (int field = 0; field < 5 && pos != std::string_view::npos; ++field) {
      pos = line.find_first_not_of(' ', pos);
      if (pos != std::string_view::npos) pos = line.find(' ', pos);
    }
    if (pos == std::string_view::npos) continue;
    pos = line.find_first_not_of(' ', pos);
    if (pos == std::string_view::npos || line[pos] != '/') continue;
    const std::string_view name = line.substr(pos);
    if (seen.insert(name).second) files.emplace_back(name);
  }
  return files;
}

ProcessSnapshot readProcesses(const std::string& procRoot, std::stop_token stop);
OpenFiles readOpenFiles(const std::string& procRoot, uid_t user,
                        const std::set<std::string>& roots, std::stop_token stop);

}  // namespace

ProcProcessSource::ProcProcessSource(std::string procRoot, std::optional<uid_t> user,
                                     Limits limits)
    : procRoot_(std::move(procRoot)), user_(user.value_or(::getuid())), limits_(limits) {}

ProcessSnapshot ProcProcessSource::processes(const ProcessRunner::Runner& /*runner*/,
                                             std::stop_token stop) const {
  ProcessSnapshot givenUp;
  givenUp.failure = "ps timed out";
  return withinLimit(
      limits_.processList, stop,
      [procRoot = procRoot_](std::stop_token inner) { return readProcesses(procRoot, inner); },
      std::move(givenUp));
}

OpenFiles ProcProcessSource::openFiles(const std::set<std::string>& roots,
                                       const ProcessRunner::Runner& /*runner*/,
                                       std::stop_token stop) const {
  OpenFiles givenUp;
  givenUp.failure = "lsof timed out";
  return withinLimit(
      limits_.openFiles, stop,
      [procRoot = procRoot_, user = user_, roots](std::stop_token inner) {
        return readOpenFiles(procRoot, user, roots, inner);
      },
      std::move(givenUp));
}

namespace {

ProcessSnapshot readProcesses(const std::string& procRoot_, std::stop_token stop) {
  ProcessSnapshot snapshot;
  int readableDirectories = 0;
  const Walk walk = eachProcess(procRoot_, stop, [&](std::int32_t pid, int process) {
    std::optional<std::string> executable = readLinkAt(process, "exe");
    if (executable) executable = withoutDeletedMark(std::move(*executable));
    std::string argument0;
    if (const auto commandLine = readFileAt(process, "cmdline")) {
      argument0 = commandLine->substr(0, commandLine->find('\0'));
    }
    std::string comm = readFileAt(process, "comm").value_or("");
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();

    // Without a readable executable (another user's process, a kernel thread) the process is
    // named as ps would name it.
    if (!executable || executable->empty()) {
      executable = !argument0.empty() ? argument0 : comm;
    }
    if (executable->empty()) return;  // ended while it was read
    std::vector<std::string> others;
    for (const std::string* name : {&argument0, &comm}) {
      if (name->empty() || *name == *executable) continue;
      if (!others.empty() && others.front() == *name) continue;
      others.push_back(*name);
    }
    snapshot.executables[pid] = std::move(*executable);
    if (!others.empty()) snapshot.otherNames[pid] = std::move(others);
    if (const auto status = readFileAt(process, "status")) {
      if (const auto parent = parentOf(*status)) snapshot.parents[pid] = *parent;
    }

    if (const auto cwd = readLinkAt(process, "cwd")) {
      ++readableDirectories;
      if (!cwd->empty() && cwd->front() == '/') {
        snapshot.workingDirectories[pid] = FileIdentity::normalizedPath(*cwd);
      }
    }
  });

  // The texts are those of the commands this stands in for: the process list first, then the
  // working directories.
  if (walk == Walk::unreadable) {
    snapshot.failure = "ps failed";
  } else if (walk == Walk::stopped) {
    snapshot.failure = "ps timed out";
  } else if (snapshot.executables.empty()) {
    snapshot.failure = "ps returned no processes";
  } else if (readableDirectories == 0) {
    snapshot.failure = "lsof returned no processes";
  }
  return snapshot;
}

OpenFiles readOpenFiles(const std::string& procRoot_, uid_t user_,
                        const std::set<std::string>& roots, std::stop_token stop) {
  OpenFiles result;
  int listed = 0;
  // Thousands of roots and many thousands of open files: one look-up per path component.
  PathOverlapSet rootSet;
  for (const std::string& root : roots) rootSet.insert(root);
  const Walk walk = eachProcess(procRoot_, stop, [&](std::int32_t pid, int process) {
    const std::optional<std::string> status = readFileAt(process, "status");
    if (!status) return;
    const std::optional<std::uint32_t> user = statusNumber(*status, "Uid:");
    if (!user || *user != user_) return;
    ++listed;
    if (const auto parent = parentOf(*status)) result.parents[pid] = *parent;
    const auto add = [&](const std::string& path) {
      if (!path.empty() && path.front() == '/' &&
          rootSet.holds(FileIdentity::normalizedPath(path))) {
        result.files.push_back({pid, path});
      }
    };
    // In the order lsof lists them: working directory, root, executable, mapped files, then
    // the descriptors.
    for (const char* link : {"cwd", "root", "exe"}) {
      if (const auto target = readLinkAt(process, link)) add(*target);
    }
    if (const auto maps = readFileAt(process, "maps")) {
      for (const std::string& file : mappedFiles(*maps)) add(file);
    }
    const UniqueFd descriptors(FolderAccess::openFolder(process, "fd"));
    if (!descriptors.valid()) return;
    FolderListing listing(descriptors.get());
    while (const char* name = listing.next()) {
      if (const auto target = readLinkAt(descriptors.get(), name)) add(*target);
    }
  });

  if (walk == Walk::unreadable) {
    result.failure = "lsof failed";
  } else if (walk == Walk::stopped) {
    result.failure = "lsof timed out";
  } else if (listed == 0) {
    result.failure = "lsof returned no processes";
  }
  if (result.failure) result.files.clear();
  return result;
}

}  // namespace

std::shared_ptr<const ProcessSource> defaultProcessSource() {
  static const std::shared_ptr<const ProcessSource> source = std::make_shared<ProcProcessSource>();
  return source;
}

}  // namespace hl
