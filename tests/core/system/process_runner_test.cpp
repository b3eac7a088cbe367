#include "services/system/process_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "support/service_printers.h"
#include "support/test_environment.h"

using namespace hl;
using namespace std::chrono_literals;

namespace {

std::optional<ProcessOutput> sh(const std::string& script, ProcessRunner::Duration timeout = 10s,
                                const ProcessRunner::OutputHandler& onOutput = {},
                                std::stop_token stop = {}) {
  return ProcessRunner::run("/bin/sh", {"-c", script}, timeout, {}, onOutput, std::move(stop));
}

// Waits, without polling on a timer, until the process with `pid` has ended.
void awaitExit(pid_t pid) {
  const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (fd < 0 && errno == ESRCH) return;  // already ended and reaped
  ASSERT_GE(fd, 0);
  pollfd watched{fd, POLLIN, 0};
  while (::poll(&watched, 1, -1) < 0 && errno == EINTR) {
  }
  ::close(fd);
}

// The descriptors this process would hand to any child: open and not close-on-exec, with what
// each names.
std::map<int, std::string> inheritableDescriptors() {
  std::map<int, std::string> result;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    const int fd = std::atoi(entry.path().filename().c_str());
    const int flags = ::fcntl(fd, F_GETFD);
    if (flags < 0 || (flags & FD_CLOEXEC) != 0) continue;
    std::error_code ec;
    result[fd] = std::filesystem::read_symlink(entry.path(), ec).string();
  }
  return result;
}

// "N -> target" lines of `ls -l /proc/PID/fd`.
std::map<int, std::string> listedDescriptors(const std::string& listing) {
  std::map<int, std::string> result;
  std::istringstream lines(listing);
  std::string line;
  while (std::getline(lines, line)) {
    const auto arrow = line.find(" -> ");
    if (arrow == std::string::npos) continue;
    const auto space = line.rfind(' ', arrow - 1);
    result[std::atoi(line.substr(space + 1, arrow - space - 1).c_str())] = line.substr(arrow + 4);
  }
  return result;
}

}  // namespace

TEST(ProcessRunner, ReportsExitStatusAndBothStreams) {
  const auto quiet = ProcessRunner::run("/bin/true", {}, 10s);
  ASSERT_TRUE(quiet);
  EXPECT_EQ(*quiet, (ProcessOutput{0, "", "", false}));
  EXPECT_TRUE(quiet->succeeded());

  const auto failing = sh("printf 'to out'; printf 'to err' >&2; exit 3");
  ASSERT_TRUE(failing);
  EXPECT_EQ(failing->status, 3);
  EXPECT_EQ(failing->out, "to out");
  EXPECT_EQ(failing->err, "to err");
  EXPECT_FALSE(failing->timedOut);
  EXPECT_FALSE(failing->succeeded());

  // A child ended by a signal reports the signal's number.
  const auto signalled = sh("kill -USR1 $$");
  ASSERT_TRUE(signalled);
  EXPECT_EQ(signalled->status, SIGUSR1);

  // Arguments reach the child as they are, without a shell in between.
  const auto echoed = ProcessRunner::run("/bin/echo", {"a b", "$HOME", "*"}, 10s);
  ASSERT_TRUE(echoed);
  EXPECT_EQ(echoed->out, "a b $HOME *\n");
}

TEST(ProcessRunner, ACommandThatCannotBeLaunchedYieldsNoResult) {
  bool called = false;
  const auto watch = [&called](std::string_view) { called = true; };
  EXPECT_FALSE(ProcessRunner::run("/nonexistent/tool", {}, 10s, {}, watch));
  EXPECT_FALSE(ProcessRunner::run("/etc/hostname", {}, 10s, {}, watch));  // not executable
  EXPECT_FALSE(ProcessRunner::run("/", {}, 10s, {}, watch));
  // Never looked up in PATH or the working folder.
  EXPECT_FALSE(ProcessRunner::run("sh", {"-c", "true"}, 10s, {}, watch));
  EXPECT_FALSE(ProcessRunner::run("", {}, 10s, {}, watch));
  EXPECT_FALSE(ProcessRunner::run("/bin/echo", {std::string("a\0b", 3)}, 10s, {}, watch));
  EXPECT_FALSE(called);
}

TEST(ProcessRunner, StartDetachedReportsWhetherItStartedAndDoesNotWaitForTheEnd) {
  for (const std::string executable : {"/nonexistent/tool", "/etc/hostname", "/", "sh", ""}) {
    EXPECT_FALSE(ProcessRunner::startDetached(executable, {})) << executable;
  }
  EXPECT_FALSE(ProcessRunner::startDetached("/bin/echo", {std::string("a\0b", 3)}));

  // The child cannot finish before this test opens the other end of the pipe, so the call must
  // come back while it still runs; the arguments arrive untouched by any shell.
  const std::string fifo = hl::test::makeScratchFolder("detached") + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string argument = "a \"b\" $HOME `c`";
  ASSERT_TRUE(ProcessRunner::startDetached(
      "/bin/sh", {"-c", "printf '%s' \"$1\" > \"$2\"", "sh", argument, fifo}));
  const int fd = ::open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::string received;
  char buffer[256];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) received.append(buffer, n);
  ::close(fd);
  EXPECT_EQ(received, argument);
}

TEST(ProcessRunner, StandardInputIsTheNullDevice) {
  // cat would wait for ever on any other input.
  const auto output = ProcessRunner::run("/bin/cat", {}, 10s);
  ASSERT_TRUE(output);
  EXPECT_TRUE(output->succeeded());
  EXPECT_EQ(output->out, "");
}

TEST(ProcessRunner, GivenVariablesAreMergedOverTheProgramsEnvironment) {
  const std::string home = std::getenv("HOME");
  const auto merged =
      ProcessRunner::run("/usr/bin/env", {}, 10s, {{"PATH", "/nowhere"}, {"HL_EXTRA", "a=b c"}});
  ASSERT_TRUE(merged);
  const std::string out = "\n" + merged->out;
  EXPECT_NE(out.find("\nPATH=/nowhere\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("PATH=", out.find("PATH=/nowhere") + 1), std::string::npos) << out;
  EXPECT_NE(out.find("HL_EXTRA=a=b c\n"), std::string::npos);
  EXPECT_NE(out.find("HOME=" + home + "\n"), std::string::npos);

  const auto inherited = ProcessRunner::run("/usr/bin/env", {}, 10s);
  ASSERT_TRUE(inherited);
  EXPECT_NE(inherited->out.find(std::string("PATH=") + std::getenv("PATH") + "\n"),
            std::string::npos);
  EXPECT_EQ(inherited->out.find("HL_EXTRA"), std::string::npos);

  // A variable name that cannot exist is refused, not half passed on.
  EXPECT_FALSE(ProcessRunner::run("/usr/bin/env", {}, 10s, {{"A=B", "c"}}));
}

TEST(ProcessRunner, LiveOutputArrivesInOrderAndTheTextsAreRepaired) {
  std::mutex mutex;
  std::string seen;
  const auto output =
      sh("printf 'one '; printf 'two ' >&2; printf '\\377three'", 10s, [&](std::string_view chunk) {
        std::lock_guard lock(mutex);
        seen += chunk;
      });
  ASSERT_TRUE(output);
  EXPECT_EQ(output->out, "one \xEF\xBF\xBDthree");
  EXPECT_EQ(output->err, "two ");
  // Each stream's chunks arrive in order; the streams may interleave.
  EXPECT_EQ(seen.size(), output->out.size() + output->err.size());
  EXPECT_NE(seen.find("two "), std::string::npos);
  EXPECT_LT(seen.find("one "), seen.find("\xEF\xBF\xBDthree"));
}

TEST(ProcessRunner, ATimeOutEndsTheChildWithSigterm) {
  const auto output = ProcessRunner::run("/bin/sleep", {"30"}, 100ms);
  ASSERT_TRUE(output);
  EXPECT_TRUE(output->timedOut);
  EXPECT_EQ(output->status, SIGTERM);
  EXPECT_FALSE(output->succeeded());
}

TEST(ProcessRunner, AChildThatIgnoresSigtermIsKilled) {
  std::stop_source stop;
  // The stop starts the same chain as a time-out, but only once the trap is certainly set.
  const auto output = sh(
      "trap '' TERM; echo ready; exec sleep 30", 30s,
      [&stop](std::string_view chunk) {
        if (chunk.find("ready") != std::string_view::npos) stop.request_stop();
      },
      stop.get_token());
  ASSERT_TRUE(output);
  EXPECT_TRUE(output->timedOut);
  EXPECT_EQ(output->status, SIGKILL);
  EXPECT_EQ(output->out, "ready\n");
}

TEST(ProcessRunner, AChildWhoseDescendantKeepsThePipeOpenFinishesWithItsOwnStatus) {
  std::promise<std::string> printed;
  std::stop_source stop;
  std::optional<ProcessOutput> output;
  std::thread runner([&] {
    bool told = false;
    output = sh(
        "sleep 30 & echo $$ $!; exit 3", 30s,
        [&](std::string_view chunk) {
          if (!told) printed.set_value(std::string(chunk));
          told = true;
        },
        stop.get_token());
  });
  std::istringstream pids(printed.get_future().get());
  pid_t shell = 0;
  pid_t descendant = 0;
  pids >> shell >> descendant;
  ASSERT_GT(shell, 0);
  ASSERT_GT(descendant, 0);
  // The descendant holds both pipes, so no end of file comes; the run ends only by its chain,
  // which sends no signal to a child already known to have exited.
  awaitExit(shell);
  stop.request_stop();
  runner.join();
  ::kill(descendant, SIGKILL);
  ASSERT_TRUE(output);
  EXPECT_TRUE(output->timedOut);
  EXPECT_EQ(output->status, 3);
}

TEST(ProcessRunner, AStopEndsTheRunAndAStopBeforeLaunchStartsNothing) {
  std::stop_source stop;
  const auto output = sh(
      "echo ready; exec sleep 30", 30s, [&stop](std::string_view) { stop.request_stop(); },
      stop.get_token());
  ASSERT_TRUE(output);
  EXPECT_TRUE(output->timedOut);
  EXPECT_EQ(output->status, SIGTERM);

  std::stop_source early;
  early.request_stop();
  const std::string marker = std::string(std::getenv("TMPDIR")) + "/launched";
  EXPECT_FALSE(sh("touch '" + marker + "'", 10s, {}, early.get_token()));
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST(ProcessRunner, ConcurrentRunsKeepTheirOwnPipes) {
  // A long run is in flight while a short one starts and ends: the short one's end of file must
  // not wait for the long child.
  std::stop_source stopLong;
  std::promise<void> longStarted;
  std::optional<ProcessOutput> longOutput;
  std::thread longRun([&] {
    bool told = false;
    longOutput = sh(
        "echo started; exec sleep 30", 30s,
        [&](std::string_view) {
          if (!told) longStarted.set_value();
          told = true;
        },
        stopLong.get_token());
  });
  longStarted.get_future().wait();
  const auto shortOutput = ProcessRunner::run("/bin/echo", {"short"}, 20s);
  stopLong.request_stop();
  longRun.join();
  ASSERT_TRUE(shortOutput);
  EXPECT_EQ(*shortOutput, (ProcessOutput{0, "short\n", "", false}));
  ASSERT_TRUE(longOutput);
  EXPECT_EQ(longOutput->out, "started\n");

  // Many runs at once: no child ever holds a descriptor that this process did not mean to hand
  // down (such as another run's pipe).
  const std::map<int, std::string> inheritable = inheritableDescriptors();
  std::atomic<int> strays{0};
  std::atomic<int> completed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 8; ++i) {
        const auto listing = sh("/bin/ls -l /proc/$$/fd; :");
        if (!listing || !listing->succeeded()) continue;
        ++completed;
        for (const auto& [fd, target] : listedDescriptors(listing->out)) {
          if (fd <= 2) continue;
          const auto known = inheritable.find(fd);
          if (known == inheritable.end() || known->second != target) ++strays;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(completed.load(), 32);
  EXPECT_EQ(strays.load(), 0);
}

TEST(ProcessRunner, DefaultRunnerRunsWithoutExtraEnvironment) {
  const ProcessRunner::Runner runner = ProcessRunner::defaultRunner();
  const auto output = runner("/bin/sh", {"-c", "echo \"$HL_EXTRA\"; exit 4"}, 10s, {});
  ASSERT_TRUE(output);
  EXPECT_EQ(output->status, 4);
  EXPECT_EQ(output->out, "\n");
  EXPECT_FALSE(runner("/nonexistent", {}, 10s, {}));
}

TEST(ProcessRunner, RepairsInvalidUtf8WithReplacementCharacters) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(ProcessRunner::repairedUtf8("plain \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
            "plain \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
  EXPECT_EQ(ProcessRunner::repairedUtf8("a\xFFz"), "a" + fffd + "z");
  // A cut sequence is one replacement; the byte that broke it is read again.
  EXPECT_EQ(ProcessRunner::repairedUtf8("\xE2\x82z"), fffd + "z");
  EXPECT_EQ(ProcessRunner::repairedUtf8("\xE2\x82"), fffd);
  // Overlong forms and surrogates are not characters.
  EXPECT_EQ(ProcessRunner::repairedUtf8("\xC0\xAF"), fffd + fffd);
  EXPECT_EQ(ProcessRunner::repairedUtf8("\xED\xA0\x80"), fffd + fffd + fffd);
  EXPECT_EQ(ProcessRunner::repairedUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}
