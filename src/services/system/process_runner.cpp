#include "services/system/process_runner.h"
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <set>
#include <thread>

extern char** environ;

namespace hl::ProcessRunner {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto killDelay = std::chrono::milliseconds(1000);
constexpr auto forceFinishDelay = std::chrono::milliseconds(500);
// Far enough to mean "never" without overflowing the clock's arithmetic.
constexpr double longestTimeoutSeconds = 10.0 * 365 * 24 * 3600;

using Fd = UniqueFd;

// Moves a descriptor above the three standard ones, so that the child's dup2 steps can never
// overwrite one of our descriptors before it was duplicated (possible when this program runs
// with a standard descriptor closed).
bool liftAboveStandard(Fd& fd) {
  if (fd.get() > STDERR_FILENO) return true;
  const int lifted = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  if (lifted < 0) return false;
  fd.reset(lifted);
  return true;
}

bool makePipe(Fd& readEnd, Fd& writeEnd) {
  int ends[2];
  // Close-on-exec from birth: a child that another thread launches at this very moment must
  // never inherit our pipe, or our run would wait for that child to close it.
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  readEnd.reset(ends[0]);
  writeEnd.reset(ends[1]);
  return liftAboveStandard(readEnd) && liftAboveStandard(writeEnd);
}

// Called through syscall(): the C library's own declarations are not usable from C++ everywhere.
int pidfdOpen(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }
void pidfdSendSignal(int pidfd, int signal) {
  ::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0);
}

bool hasNul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

std::vector<std::string> mergedEnvironment(const Environment& extra) {
  std::vector<std::string> entries;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const std::string key(text.substr(0, text.find('=')));
    if (extra.count(key) != 0) continue;
    entries.emplace_back(text);
  }
  for (const auto& [key, value] : extra) entries.push_back(key + "=" + value);
  return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  result.reserve(texts.size() + 1);
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

int terminationStatus(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return WTERMSIG(waitStatus);
  return -1;
}

// The children `run` started and has not reaped yet. A pid is added before the child can do
// anything worth seeing and removed only once it is reaped, so it is never another process's.
struct Children {
  std::mutex mutex;
  std::set<int> pids;
};

Children& children() {
  static Children* const all = new Children;  // never destroyed: reapers may outlive main
  return *all;
}

void startedChild(pid_t pid) {
  std::lock_guard lock(children().mutex);
  children().pids.insert(pid);
}

void reapedChild(pid_t pid) {
  std::lock_guard lock(children().mutex);
  children().pids.erase(pid);
}

// Reaps our one child in the background once we no longer wait for it, so it never stays a
// zombie. Only ever our own pid: other parts of the program own their children.
void reapLater(pid_t pid) {
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    reapedChild(pid);
  }).detach();
}

class SpawnSetup {
 public:
  SpawnSetup() {
    ::posix_spawn_file_actions_init(&actions_);
    ::posix_spawnattr_init(&attributes_);
  }
  ~SpawnSetup() {
    ::posix_spawn_file_actions_destroy(&actions_);
    ::posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  bool prepare(int input, int output, int error) {
    if (::posix_spawn_file_actions_adddup2(&actions_, input, STDIN_FILENO) != 0 ||
        ::posix_spawn_file_actions_adddup2(&actions_, output, STDOUT_FILENO) != 0 ||
        ::posix_spawn_file_actions_adddup2(&actions_, error, STDERR_FILENO) != 0) {
      return false;
    }
    return prepareSignals();
  }

  bool prepareSignals() {
    // A thread of ours may block signals and the program may ignore some (SIGPIPE); the child
    // must start with neither, or it could not be ended by SIGTERM.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal = 1; signal < 32; ++signal) {
      if (signal != SIGKILL && signal != SIGSTOP) sigaddset(&defaults, signal);
    }
    return ::posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
           ::posix_spawnattr_setsigdefault(&attributes_, &defaults) == 0 &&
           ::posix_spawnattr_setflags(&attributes_,
                                      POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
  }

  const posix_spawn_file_actions_t* actions() const { return &actions_; }
  const posix_spawnattr_t* attributes() const { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

// The one child of a run: signalled only through its pidfd, so a signal can never reach a
// process that reused its pid, and reaped by its own pid only.
class Child {
 public:
  Child(pid_t pid, Fd pidfd) : pid_(pid), pidfd_(std::move(pidfd)) {}
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (reaped_) return;
    signal(SIGKILL);
    reapLater(pid_);
  }

  int pidfd() const { return pidfd_.get(); }
  void signal(int number) const { pidfdSendSignal(pidfd_.get(), number); }

  // The termination status once the child has ended; none while it runs.
  std::optional<int> collect() {
    int status = 0;
    const pid_t result = ::waitpid(pid_, &status, WNOHANG);
    if (result == pid_) {
      reaped_ = true;
      reapedChild(pid_);
      return terminationStatus(status);
    }
    if (result < 0 && errno == ECHILD) {
      // Someone else reaped it; its end is certain, its status is not.
      reaped_ = true;
      reapedChild(pid_);
      return -1;
    }
    return std::nullopt;
  }

 private:
  pid_t pid_;
  Fd pidfd_;
  bool reaped_ = false;
};

Clock::duration clampedTimeout(Duration timeout) {
  double seconds = timeout.count();
  if (std::isnan(seconds) || seconds < 0) seconds = 0;
  seconds = std::min(seconds, longestTimeoutSeconds);
  return std::chrono::duration_cast<Clock::duration>(Duration(seconds));
}

int pollMilliseconds(Clock::time_point now, Clock::time_point next) {
  if (next <= now) return 0;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
  return static_cast<int>(std::min<std::int64_t>(wait, INT_MAX));
}

}  // namespace

std::set<int> runningChildren() {
  std::lock_guard lock(children().mutex);
  return children().pids;
}

std::string repairedUtf8(std::string_view bytes) {
  static constexpr std::string_view replacement = "\xEF\xBF\xBD";
  std::string text;
  text.reserve(bytes.size());
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      text += static_cast<char>(lead);
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead == 0xE0) {
      length = 3;
      low = 0xA0;
    } else if ((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF) {
      length = 3;
    } else if (lead == 0xED) {
      length = 3;
      high = 0x9F;
    } else if (lead == 0xF0) {
      length = 4;
      low = 0x90;
    } else if (lead >= 0xF1 && lead <= 0xF3) {
      length = 4;
    } else if (lead == 0xF4) {
      length = 4;
      high = 0x8F;
    } else {
      text += replacement;
      ++i;
      continue;
    }
    // The longest valid beginning of a sequence becomes one replacement character.
    std::size_t j = i + 1;
    for (std::size_t k = 1; k < length && j < n; ++k, ++j) {
      const auto next = static_cast<unsigned char>(bytes[j]);
      const unsigned char lo = k == 1 ? low : 0x80;
      const unsigned char hi = k == 1 ? high : 0xBF;
      if (next < lo || next > hi) break;
    }
    if (j - i == length) {
      text.append(bytes.substr(i, length));
    } else {
      text += replacement;
    }
    i = j;
  }
  return text;
}

std::optional<ProcessOutput> run(const std::string& executable,
                                 const std::vector<std::string>& arguments, Duration timeout,
                                 const Environment& environment, const OutputHandler& onOutput,
                                 std::stop_token stop) {
  // Only an absolute path: nothing is ever looked up in PATH or the working folder.
  if (executable.empty() || executable.front() != '/' || hasNul(executable)) return std::nullopt;
  if (std::any_of(arguments.begin(), arguments.end(), hasNul)) return std::nullopt;
  for (const auto& [key, value] : environment) {
    if (key.empty() || key.find('=') != std::string::npos || hasNul(key) || hasNul(value)) {
      return std::nullopt;
    }
  }
  if (stop.stop_requested()) return std::nullopt;

  Fd nullInput(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (!nullInput.valid() || !liftAboveStandard(nullInput)) return std::nullopt;
  Fd outRead, outWrite, errRead, errWrite;
  if (!makePipe(outRead, outWrite) || !makePipe(errRead, errWrite)) return std::nullopt;
  Fd stopSignal(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!stopSignal.valid()) return std::nullopt;

  SpawnSetup setup;
  if (!setup.prepare(nullInput.get(), outWrite.get(), errWrite.get())) return std::nullopt;

  std::vector<std::string> argumentTexts;
  argumentTexts.reserve(arguments.size() + 1);
  argumentTexts.push_back(executable);
  argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
  std::vector<std::string> environmentTexts = mergedEnvironment(environment);
  std::vector<char*> argv = pointers(argumentTexts);
  std::vector<char*> envp = pointers(environmentTexts);

  pid_t pid = 0;
  // posix_spawn reports a failed exec (missing or not executable) as its result.
  if (::posix_spawn(&pid, executable.c_str(), setup.actions(), setup.attributes(), argv.data(),
                    envp.data()) != 0) {
    return std::nullopt;
  }
  startedChild(pid);
  nullInput.reset();
  outWrite.reset();
  errWrite.reset();

  Fd pidfd(pidfdOpen(pid));
  if (!pidfd.valid()) {
    // Still our unreaped child, so its pid cannot have been reused yet.
    ::kill(pid, SIGKILL);
    reapLater(pid);
    return std::nullopt;
  }
  Child child(pid, std::move(pidfd));

  const int stopFd = stopSignal.get();
  std::stop_callback onStop(stop, [stopFd] {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopFd, &one, sizeof one);
  });

  std::string out;
  std::string err;
  bool outEnded = false;
  bool errEnded = false;
  std::optional<int> exitStatus;
  bool timedOut = false;
  // 0: before the deadline; 1: SIGTERM step done; 2: SIGKILL step done.
  int stage = 0;
  Clock::time_point next = Clock::now() + clampedTimeout(timeout);
  std::array<char, 65536> buffer{};

  auto readChunk = [&](int fd, std::string& into, bool& ended) {
    const ssize_t count = ::read(fd, buffer.data(), buffer.size());
    if (count > 0) {
      const std::string_view chunk(buffer.data(), static_cast<std::size_t>(count));
      into.append(chunk);
      if (onOutput) onOutput(repairedUtf8(chunk));
    } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
      ended = true;
    }
  };

  auto advanceStage = [&](Clock::time_point now) {
    if (stage == 0) {
      timedOut = true;
      if (!exitStatus) child.signal(SIGTERM);
      next = now + killDelay;
      stage = 1;
    } else if (stage == 1) {
      if (!exitStatus) child.signal(SIGKILL);
      next = now + forceFinishDelay;
      stage = 2;
    } else {
      stage = 3;
    }
  };

  while (!(outEnded && errEnded && exitStatus)) {
    Clock::time_point now = Clock::now();
    if (now >= next) {
      advanceStage(now);
      if (stage == 3) break;
      continue;
    }
    std::array<pollfd, 4> watched{};
    std::size_t count = 0;
    enum Source { outSource, errSource, childSource, stopSource };
    std::array<Source, 4> sources{};
    auto watch = [&](int fd, Source source) {
      watched[count] = pollfd{fd, POLLIN, 0};
      sources[count] = source;
      ++count;
    };
    if (!outEnded) watch(outRead.get(), outSource);
    if (!errEnded) watch(errRead.get(), errSource);
    if (!exitStatus) watch(child.pidfd(), childSource);
    if (stage == 0) watch(stopFd, stopSource);

    const int ready = ::poll(watched.data(), count, pollMilliseconds(now, next));
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (watched[i].revents == 0) continue;
      switch (sources[i]) {
        case outSource: readChunk(outRead.get(), out, outEnded); break;
        case errSource: readChunk(errRead.get(), err, errEnded); break;
        case childSource: exitStatus = child.collect(); break;
        case stopSource:
          if (stage == 0) advanceStage(Clock::now());
          break;
      }
    }
  }

  ProcessOutput output;
  output.status = exitStatus.value_or(-1);
  output.out = repairedUtf8(out);
  output.err = repairedUtf8(err);
  output.timedOut = timedOut;
  return output;
}

bool startDetached(const std::string& executable, const std::vector<std::string>& arguments) {
  if (executable.empty() || executable.front() != '/' || hasNul(executable)) return false;
  if (std::any_of(arguments.begin(), arguments.end(), hasNul)) return false;
  SpawnSetup setup;
  if (!setup.prepareSignals()) return false;
  std::vector<std::string> argumentTexts;
  argumentTexts.reserve(arguments.size() + 1);
  argumentTexts.push_back(executable);
  argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
  std::vector<std::string> environmentTexts = mergedEnvironment({});
  std::vector<char*> argv = pointers(argumentTexts);
  std::vector<char*> envp = pointers(environmentTexts);
  pid_t pid = 0;
  if (::posix_spawn(&pid, executable.c_str(), setup.actions(), setup.attributes(), argv.data(),
                    envp.data()) != 0) {
    return false;
  }
  reapLater(pid);
  return true;
}

Launcher launcher() {
  return
      [](const std::string& executable, const std::vector<std::string>& arguments, Duration timeout,
         const Environment& environment, const OutputHandler& onOutput, std::stop_token stop) {
        return run(executable, arguments, timeout, environment, onOutput, std::move(stop));
      };
}

Runner defaultRunner() {
  return [](const std::string& executable, const std::vector<std::string>& arguments,
            Duration timeout, std::stop_token stop) {
    return run(executable, arguments, timeout, {}, {}, std::move(stop));
  };
}

}  // namespace hl::ProcessRunner
