#include "platform/proc_process_source.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <stop_token>
#include <thread>

#include "services/in_use/in_use_detector.h"
#include "services/system/process_runner.h"
#include "support/child_process.h"
#include "support/fake_home.h"
#include "support/test_environment.h"
#include "utilities/path_canonical.h"

using namespace hl;
using hl::test::ChildProcess;
using hl::test::FakeHome;

namespace {

std::string realPath(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string status(uid_t user) {
  return "Name:\tx\nUmask:\t0022\nState:\tS (sleeping)\nUid:\t" + std::to_string(user) + "\t" +
         std::to_string(user) + "\t" + std::to_string(user) + "\t" + std::to_string(user) +
         "\nGid:\t0\t0\t0\t0\n";
}

// A process file system as the kernel lays it out, for the processes the tests need.
struct FakeProc {
  FakeHome tree{"proc"};
  uid_t user = ::getuid();

  FakeProc() {
    // A process of the user, run through a link to an interpreter that was since replaced.
    tree.symlink("100/exe", "/usr/bin/python3.11 (deleted)");
    tree.text("100/cmdline", std::string("python3\0/home/ann/tool.py\0--flag\0", 34));
    tree.text("100/comm", "python3\n");
    tree.symlink("100/cwd", "/private/tmp/work/");
    tree.symlink("100/root", "/");
    tree.text("100/status", status(user));
    tree.text("100/maps",
              "5599a000-5599b000 r--p 00000000 08:01 1234       /usr/bin/python3.11\n"
              "7f000000-7f001000 r-xp 00000000 08:01 99         /cache/lib/mod.so\n"
              "7f001000-7f002000 r--p 00001000 08:01 99         /cache/lib/mod.so\n"
              "7f002000-7f003000 rw-p 00000000 00:00 0 \n"
              "7f003000-7f004000 rw-p 00000000 00:00 0          [heap]\n"
              "7f004000-7f005000 r--s 00000000 08:01 77         /cache/with space/f (deleted)\n");
    tree.symlink("100/fd/0", "/dev/null");
    tree.symlink("100/fd/3", "/cache/data/db.sqlite");
    tree.symlink("100/fd/4", "socket:[1234]");
    tree.symlink("100/fd/5", "pipe:[99]");
    tree.symlink("100/fd/6", "anon_inode:[eventfd]");
    // A kernel thread: a name and nothing else.
    tree.text("200/comm", "kworker/0:1\n");
    tree.text("200/cmdline", "");
    tree.text("200/status", status(0));
    // Another user's daemon: its executable link cannot be read.
    tree.text("300/cmdline", std::string("/usr/sbin/sshd\0-D\0", 18));
    tree.text("300/comm", "sshd\n");
    tree.symlink("300/cwd", "/");
    tree.text("300/status", status(user + 1));
    tree.symlink("300/fd/3", "/cache/data/other-user");
    // Entries that are no process.
    tree.symlink("self", "100");
    tree.dir("sys");
    tree.text("uptime", "1 1\n");
  }

  ProcProcessSource source() const { return ProcProcessSource(tree.path(), user); }
};

std::vector<OpenFileRecord> sorted(std::vector<OpenFileRecord> files) {
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
    return std::tie(a.pid, a.path) < std::tie(b.pid, b.path);
  });
  return files;
}

}  // namespace

TEST(ProcProcessSource, ReadsExecutablesNamesAndWorkingDirectories) {
  const FakeProc proc;
  const ProcessSnapshot snapshot = proc.source().processes({}, {});
  EXPECT_EQ(snapshot.failure, std::nullopt);
  const std::map<std::int32_t, std::string> executables = {
      {100, "/usr/bin/python3.11"}, {200, "kworker/0:1"}, {300, "/usr/sbin/sshd"}};
  EXPECT_EQ(snapshot.executables, executables);
  const std::map<std::int32_t, std::vector<std::string>> others = {{100, {"python3"}},
                                                                   {300, {"sshd"}}};
  EXPECT_EQ(snapshot.otherNames, others);
  const std::map<std::int32_t, std::string> directories = {{100, "/tmp/work"}, {300, "/"}};
  EXPECT_EQ(snapshot.workingDirectories, directories);
  // The interpreter reached through its versioned name still answers to the key.
  EXPECT_TRUE(snapshot.isRunning("python3"));
  EXPECT_TRUE(snapshot.isRunning("sshd"));
}

TEST(ProcProcessSource, OpenFilesAreTheUsersDescriptorsMapsAndFolders) {
  const FakeProc proc;
  const OpenFiles cache = proc.source().openFiles({"/cache"}, {}, {});
  EXPECT_EQ(cache.failure, std::nullopt);
  const std::vector<OpenFileRecord> expected = {{100, "/cache/data/db.sqlite"},
                                                {100, "/cache/lib/mod.so"},
                                                {100, "/cache/with space/f (deleted)"}};
  EXPECT_EQ(sorted(cache.files), expected);

  // The working directory counts as an open file, as lsof lists it.
  const OpenFiles temporary = proc.source().openFiles({"/tmp"}, {}, {});
  EXPECT_EQ(temporary.files, (std::vector<OpenFileRecord>{{100, "/private/tmp/work/"}}));
  const OpenFiles executable = proc.source().openFiles({"/usr/bin"}, {}, {});
  EXPECT_EQ(executable.files, (std::vector<OpenFileRecord>{{100, "/usr/bin/python3.11 (deleted)"},
                                                           {100, "/usr/bin/python3.11"}}));
}

TEST(ProcProcessSource, FailsWithTheTextsOfTheToolsItStandsFor) {
  const std::string missing = hl::test::makeScratchFolder("noproc") + "/absent";
  const ProcProcessSource unreadable(missing);
  EXPECT_EQ(unreadable.processes({}, {}).failure, "ps failed");
  EXPECT_EQ(unreadable.openFiles({"/x"}, {}, {}).failure, "lsof failed");

  const ProcProcessSource empty(hl::test::makeScratchFolder("emptyproc"));
  EXPECT_EQ(empty.processes({}, {}).failure, "ps returned no processes");
  EXPECT_EQ(empty.openFiles({"/x"}, {}, {}).failure, "lsof returned no processes");

  // Processes whose folders cannot be read, and none of them the user's.
  FakeHome strangers("strangers");
  strangers.text("42/comm", "init\n");
  strangers.text("42/status", status(::getuid() + 1));
  const ProcProcessSource others(strangers.path());
  const ProcessSnapshot snapshot = others.processes({}, {});
  EXPECT_EQ(snapshot.failure, "lsof returned no processes");
  EXPECT_EQ(snapshot.executables, (std::map<std::int32_t, std::string>{{42, "init"}}));
  EXPECT_EQ(others.openFiles({"/x"}, {}, {}).failure, "lsof returned no processes");
}

TEST(ProcProcessSource, AStoppedCaptureIsNeverComplete) {
  const FakeProc proc;
  std::stop_source stop;
  stop.request_stop();
  EXPECT_EQ(proc.source().processes({}, stop.get_token()).failure, "ps timed out");
  const OpenFiles files = proc.source().openFiles({"/cache"}, {}, stop.get_token());
  EXPECT_EQ(files.failure, "lsof timed out");
  EXPECT_TRUE(files.files.empty());
}

// A process stuck in the kernel blocks every read of its command line and mappings; a named pipe
// nobody writes to blocks the same way.
TEST(ProcProcessSource, ACaptureThatCannotEndIsGivenUpWithTheTimeOutText) {
  FakeHome stuck("stuckproc");
  stuck.text("7/status", status(::getuid()));
  stuck.symlink("7/exe", "/usr/bin/stuck");
  stuck.dir("7/fd");
  for (const char* name : {"7/cmdline", "7/maps"}) {
    ASSERT_EQ(::mkfifo((stuck / name).c_str(), 0600), 0);
  }
  ProcCaptureLimits limits;
  limits.processList = ProcessRunner::Duration(0.05);
  limits.openFiles = ProcessRunner::Duration(0.05);
  const ProcProcessSource source(stuck.path(), ::getuid(), limits);

  const ProcessSnapshot snapshot = source.processes({}, {});
  EXPECT_EQ(snapshot.failure, "ps timed out");
  EXPECT_TRUE(snapshot.executables.empty());
  const OpenFiles files = source.openFiles({"/"}, {}, {});
  EXPECT_EQ(files.failure, "lsof timed out");
  EXPECT_TRUE(files.files.empty());

  // Lets the abandoned readers finish.
  for (const char* name : {"7/cmdline", "7/maps"}) {
    const int writer = ::open((stuck / name).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer >= 0) ::close(writer);
  }
}

TEST(ProcProcessSource, SeesTheTestsOwnChildren) {
  FakeHome home;
  const std::string held = home.text("cache/pkg/held.bin", "data");
  const std::string project = home.dir("projects/app/build");
  const std::string link = home.symlink("bin/claude", realPath("/bin/sleep"));

  ChildProcess holder(hl::test::shellScript("exec 3<\"$0\"; echo ready; read line", held));
  ChildProcess sitter(hl::test::shellScript("cd \"$0\" && echo ready && read line", project));
  ChildProcess linked({link, "300"});
  ASSERT_EQ(holder.readLine(), "ready");
  ASSERT_EQ(sitter.readLine(), "ready");

  const ProcProcessSource source;
  const ProcessSnapshot snapshot = ProcessSnapshot::capture(source, {});
  EXPECT_EQ(snapshot.failure, std::nullopt);
  EXPECT_EQ(snapshot.executables.count(static_cast<std::int32_t>(::getpid())), 0u);
  const std::string shell = realPath("/bin/sh");
  EXPECT_EQ(snapshot.executables.at(holder.pid()), shell);
  EXPECT_EQ(snapshot.workingDirectories.at(sitter.pid()), PathCanonical::canonical(project));

  // Started through a link named after an agent: the executable is the link's target, and the
  // process still answers to the agent's key by its other names.
  EXPECT_EQ(snapshot.executables.at(linked.pid()), realPath("/bin/sleep"));
  EXPECT_FALSE(ProcessSnapshot::matches("claude", snapshot.executables.at(linked.pid())));
  EXPECT_TRUE(snapshot.processMatches(linked.pid(), "claude"));
  EXPECT_TRUE(snapshot.isRunning("claude"));
  EXPECT_GE(snapshot.count("claude"), 1);

  const OpenFiles files = source.openFiles({home / "cache", home / "projects"}, {}, {});
  EXPECT_EQ(files.failure, std::nullopt);
  const auto has = [&](std::int32_t pid, const std::string& path) {
    return std::find(files.files.begin(), files.files.end(), OpenFileRecord{pid, path}) !=
           files.files.end();
  };
  EXPECT_TRUE(has(holder.pid(), held));
  EXPECT_TRUE(has(sitter.pid(), project));
  for (const OpenFileRecord& file : files.files) {
    EXPECT_TRUE(file.path.rfind(home / "cache", 0) == 0 ||
                file.path.rfind(home / "projects", 0) == 0)
        << file.path;
  }
}

// Git pruning a worktree, run by the program itself, must not make the repository look busy;
// a process of the user's sitting in the same folder still does.
TEST(ProcProcessSource, TheCommandsTheProgramRunsAreLeftOut) {
  FakeHome home;
  const std::string folder = home.dir("repo");
  const std::string gate = home / "gate";
  ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);

  // The command sits in the folder, and so does a child of its own, until the gate opens.
  std::promise<void> ready;
  std::atomic<bool> told{false};
  std::thread command;
  // Opens the gate and waits for the command, however the test ends.
  struct Release {
    const std::string& gate;
    std::thread& command;
    ~Release() {
      const int writer = ::open(gate.c_str(), O_WRONLY | O_CLOEXEC);
      if (writer >= 0) ::close(writer);
      if (command.joinable()) command.join();
    }
  } release{gate, command};
  command = std::thread([&] {
    ProcessRunner::run(
        "/bin/sh",
        {"-c", "cd \"$0\" && sh -c 'echo ready; read line < \"$0\"' \"$1\"", folder, gate},
        ProcessRunner::Duration(60), {}, [&](std::string_view chunk) {
          if (chunk.find("ready") != std::string_view::npos && !told.exchange(true)) {
            ready.set_value();
          }
        });
    // A command that never got ready must not leave the test waiting.
    if (!told.exchange(true)) ready.set_value();
  });
  ready.get_future().wait();
  ChildProcess sitter(hl::test::shellScript("cd \"$0\" && echo ready && read line", folder));
  ASSERT_EQ(sitter.readLine(), "ready");

  const ProcProcessSource source;
  const ProcessSnapshot snapshot = ProcessSnapshot::capture(source, {});
  std::set<std::int32_t> inFolder;
  for (const auto& [pid, directory] : snapshot.workingDirectories) {
    if (directory == PathCanonical::canonical(folder)) inFolder.insert(pid);
  }
  const auto open = InUseDetector::openPathPrefixes({folder}, source, {});
  std::set<std::int32_t> holders;
  for (const auto& [path, pid] : std::get<std::map<std::string, std::int32_t>>(open)) {
    holders.insert(pid);
  }

  EXPECT_EQ(inFolder, std::set<std::int32_t>{sitter.pid()});
  EXPECT_EQ(holders, std::set<std::int32_t>{sitter.pid()});
}
