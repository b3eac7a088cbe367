#include "services/in_use/process_snapshot.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "services/in_use/command_process_source.h"
#include "services/in_use/process_guard.h"
#include "services/in_use/process_source.h"
#include "support/fake_process_runner.h"
#include "utilities/text_lines.h"

using namespace hl;
using namespace std::chrono_literals;
using hl::test::FakeProcessRunner;

namespace {

const std::string kPs = "/bin/ps";
const std::string kLsof = "/usr/sbin/lsof";

ProcessSnapshot commandSnapshot(const FakeProcessRunner& fake) {
  return ProcessSnapshot::capture(CommandProcessSource{}, fake.runner());
}

// A source that hands out a fixed picture and counts how often it was asked.
class FixedSource final : public ProcessSource {
 public:
  explicit FixedSource(ProcessSnapshot picture) : picture_(std::move(picture)) {}
  ProcessSnapshot processes(const ProcessRunner::Runner&, std::stop_token) const override {
    ++asked_;
    return picture_;
  }
  OpenFiles openFiles(const std::set<std::string>&, const ProcessRunner::Runner&,
                      std::stop_token) const override {
    return {};
  }
  int asked() const { return asked_; }

 private:
  ProcessSnapshot picture_;
  mutable int asked_ = 0;
};

}  // namespace

TEST(TextLines, SplitsAtEveryUnicodeLineBreakAndDropsEmptyLines) {
  const std::string text = "a\nb\r\nc\rd\ve\ff\xC2\x85g\xE2\x80\xA8h\xE2\x80\xA9i\n\n\r\n";
  const std::vector<std::string_view> expected = {"a", "b", "c", "d", "e", "f", "g", "h", "i"};
  EXPECT_EQ(splitLines(text), expected);
  EXPECT_TRUE(splitLines("").empty());
  // A lone lead byte or another character of the same block is no line break.
  EXPECT_EQ(splitLines("x\xE2\x80\xA7y\xC2"), std::vector<std::string_view>{"x\xE2\x80\xA7y\xC2"});
}

TEST(ProcessSnapshotParsing, ProcessListLines) {
  const std::string ps =
      "    1 /sbin/launchd\n"
      "  812 /usr/local/bin/node\n"
      "99999 /Applications/Visual Studio Code.app/Contents/MacOS/Electron\n"
      "  abc /bin/not-a-pid\n"
      "  777\n"
      "\t42 /tab/is/not/skipped\n"
      "13  /two/spaces\n"
      "14 \n"
      "+15 /plus\n"
      "99999999999 /overflow\n"
      "   \n"
      "812 /usr/bin/replaced\n";
  const auto list = ProcessSnapshot::parseProcessList(ps);
  const std::map<std::int32_t, std::string> expected = {
      {1, "/sbin/launchd"},
      {812, "/usr/bin/replaced"},
      {99999, "/Applications/Visual Studio Code.app/Contents/MacOS/Electron"},
      {13, " /two/spaces"},
      {14, ""},
      {15, "/plus"},
  };
  EXPECT_EQ(list, expected);
  EXPECT_TRUE(ProcessSnapshot::parseProcessList("").empty());
}

TEST(ProcessSnapshotParsing, PidTexts) {
  EXPECT_EQ(ProcessSnapshot::parsePid("812"), 812);
  EXPECT_EQ(ProcessSnapshot::parsePid("-3"), -3);
  EXPECT_EQ(ProcessSnapshot::parsePid("+3"), 3);
  EXPECT_EQ(ProcessSnapshot::parsePid("2147483647"), 2147483647);
  EXPECT_EQ(ProcessSnapshot::parsePid("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ProcessSnapshot::parsePid("2147483648"), std::nullopt);
  EXPECT_EQ(ProcessSnapshot::parsePid(""), std::nullopt);
  EXPECT_EQ(ProcessSnapshot::parsePid("+"), std::nullopt);
  EXPECT_EQ(ProcessSnapshot::parsePid("1 "), std::nullopt);
  EXPECT_EQ(ProcessSnapshot::parsePid("0x10"), std::nullopt);
}

TEST(ProcessSnapshotParsing, ProcessRecords) {
  EXPECT_FALSE(ProcessSnapshot::hasProcessRecord(""));
  EXPECT_FALSE(ProcessSnapshot::hasProcessRecord("p\nfcwd\nn/Users/ann\n"));
  EXPECT_FALSE(ProcessSnapshot::hasProcessRecord("px12\n"));
  EXPECT_TRUE(ProcessSnapshot::hasProcessRecord("fcwd\nn/x\np\np77\n"));
}

TEST(ProcessSnapshotParsing, WorkingDirectoriesFromLsofFields) {
  const std::string lsof =
      "n/before/any/process\n"
      "p101\n"
      "fcwd\n"
      "n/private/tmp/build/\n"
      "p102\n"
      "fcwd\n"
      "n/System/Volumes/Data/Users/ann/project\n"
      "p103\n"
      "nsocket\n"
      "pnot-a-number\n"
      "n/after/a/bad/pid\n"
      "p104\n"
      "n/first\n"
      "n/second\n"
      "p105\r\n"
      "fcwd\r\n"
      "n/Users/ann/with crlf\r\n";
  const std::map<std::int32_t, std::string> expected = {
      {101, "/tmp/build"},
      {102, "/Users/ann/project"},
      {104, "/second"},
      {105, "/Users/ann/with crlf"},
  };
  EXPECT_EQ(ProcessSnapshot::parseWorkingDirectories(lsof), expected);
}

TEST(ProcessSnapshotOwners, OwnerRules) {
  EXPECT_TRUE(ProcessSnapshot::matches("Xcode", "/Applications/Xcode.app/Contents/MacOS/Xcode"));
  EXPECT_FALSE(ProcessSnapshot::matches(
      "Xcode", "/Applications/Xcode.app/Contents/Developer/usr/bin/xcodebuild"));
  EXPECT_TRUE(ProcessSnapshot::matches(
      "Docker", "/Applications/Docker.app/Contents/MacOS/com.docker.backend"));
  EXPECT_TRUE(
      ProcessSnapshot::matches("Claude.app", "/Applications/Claude.app/Contents/MacOS/Claude"));
  EXPECT_FALSE(ProcessSnapshot::matches(
      "Claude.app", "/Users/ann/Applications/Claude.app/Contents/MacOS/Claude"));
  EXPECT_FALSE(ProcessSnapshot::matches("claude", "/usr/local/bin/claude-code"));
  EXPECT_TRUE(ProcessSnapshot::matches("claude", "/opt/claude-code/bin/node"));
  EXPECT_TRUE(ProcessSnapshot::matches("claude", "/home/ann/.local/bin/claude"));
  EXPECT_TRUE(ProcessSnapshot::matches("claude", "claude"));
  EXPECT_TRUE(ProcessSnapshot::matches("codex", "/Applications/Codex.app/Contents/Resources/x"));
  EXPECT_TRUE(
      ProcessSnapshot::matches("Codex.app", "/Applications/Codex.app/Contents/MacOS/Codex"));
  EXPECT_FALSE(ProcessSnapshot::matches("Codex.app", "/usr/bin/codex"));
  EXPECT_TRUE(ProcessSnapshot::matches("node", "/usr/local/bin/node"));
  EXPECT_TRUE(ProcessSnapshot::matches("node", "/usr/local/bin/node/"));
  EXPECT_FALSE(ProcessSnapshot::matches("node", "/usr/local/bin/nodejs"));
  EXPECT_FALSE(ProcessSnapshot::matches("Node", "/usr/local/bin/node"));
  EXPECT_TRUE(ProcessSnapshot::matches(
      "com.docker.backend", "/Applications/Docker.app/Contents/MacOS/com.docker.backend"));
}

TEST(ProcessSnapshotOwners, AppKeysMatchTheirLinuxInstallations) {
  EXPECT_TRUE(ProcessSnapshot::matches("Google Chrome", "/opt/google/chrome/chrome"));
  EXPECT_TRUE(
      ProcessSnapshot::matches("Google Chrome", "/opt/google/chrome/chrome_crashpad_handler"));
  EXPECT_FALSE(ProcessSnapshot::matches("Google Chrome", "/usr/lib/chromium/chromium"));
  EXPECT_TRUE(ProcessSnapshot::matches("Code", "/usr/share/code/code"));
  EXPECT_TRUE(ProcessSnapshot::matches("Code", "/snap/code/172/usr/share/code/code"));
  EXPECT_TRUE(ProcessSnapshot::matches("Code", "/home/ann/VSCode-linux-x64/code"));
  EXPECT_TRUE(ProcessSnapshot::matches("Cursor", "/tmp/.mount_CursorAb12/cursor"));
  EXPECT_TRUE(ProcessSnapshot::matches("Cursor", "/usr/share/cursor/chrome_crashpad_handler"));
  EXPECT_TRUE(ProcessSnapshot::matches("Docker", "/opt/docker-desktop/bin/com.docker.backend"));
  EXPECT_FALSE(ProcessSnapshot::matches("Docker", "/usr/bin/dockerd"));
  // Programs without a build here match nothing new.
  EXPECT_FALSE(ProcessSnapshot::matches("Xcode", "/usr/bin/xcode"));
  EXPECT_FALSE(ProcessSnapshot::matches("Claude.app", "/usr/bin/claude"));
}

TEST(ProcessSnapshotOwners, QueriesCountPidsAndReadEveryNameOfAProcess) {
  ProcessSnapshot snapshot;
  snapshot.executables = {{10, "/usr/bin/node"},
                          {11, "/usr/bin/node"},
                          {12, "/usr/bin/python3.11"},
                          {13, "/home/ann/.local/share/claude/versions/2.0.1"},
                          {14, "/usr/bin/sleep"}};
  snapshot.otherNames = {{12, {"python3"}}, {13, {"claude"}}, {14, {"/x/codex", "codex"}}};
  EXPECT_TRUE(snapshot.isRunning("node"));
  EXPECT_EQ(snapshot.count("node"), 2);
  EXPECT_TRUE(snapshot.isRunning("python3"));
  EXPECT_TRUE(snapshot.isRunning("python3.11"));
  EXPECT_EQ(snapshot.count("claude"), 1);
  // A process known by two matching names still counts once.
  EXPECT_EQ(snapshot.count("codex"), 1);
  EXPECT_EQ(snapshot.runningOwners({"node", "claude", "Xcode", "go"}),
            (std::set<std::string>{"claude", "node"}));
  EXPECT_TRUE(snapshot.runningOwners({}).empty());
  EXPECT_EQ(snapshot.names(12), (std::vector<std::string>{"/usr/bin/python3.11", "python3"}));

  const ProcessSnapshot empty;
  EXPECT_FALSE(empty.isRunning("node"));
  EXPECT_EQ(empty.count("node"), 0);
  EXPECT_TRUE(empty.runningOwners({"node"}).empty());
}

TEST(ProcessSnapshotCapture, BothCommandsDeliver) {
  FakeProcessRunner fake;
  fake.on(kPs, {"-axo", "pid=,comm="},
          FakeProcessRunner::output(0, "  1 /sbin/init\n 50 /bin/zsh\n"));
  fake.on(kLsof, {"-w", "-d", "cwd", "-Fpn"},
          FakeProcessRunner::output(1, "p50\nfcwd\nn/Users/ann/\n"));
  const ProcessSnapshot snapshot = commandSnapshot(fake);
  EXPECT_EQ(snapshot.failure, std::nullopt);
  EXPECT_EQ(snapshot.executables.size(), 2u);
  EXPECT_EQ(snapshot.workingDirectories, (std::map<std::int32_t, std::string>{{50, "/Users/ann"}}));
  ASSERT_EQ(fake.callCount(), 2u);
  for (const auto& call : fake.calls()) {
    EXPECT_EQ(call.timeout,
              call.executable == kPs ? ProcessRunner::Duration(5s) : ProcessRunner::Duration(10s));
  }
}

TEST(ProcessSnapshotCapture, FailureTextsAndTheirPrecedence) {
  struct Case {
    std::optional<ProcessOutput> ps;
    std::optional<ProcessOutput> lsof;
    std::optional<std::string> failure;
    bool workingDirectories;
  };
  const auto ok = [](std::string out) { return FakeProcessRunner::output(0, std::move(out)); };
  const auto cwd = FakeProcessRunner::output(0, "p7\nn/work\n");
  const auto timedOut = FakeProcessRunner::output(-1, "", "", true);
  const std::vector<Case> cases = {
      {std::nullopt, cwd, "ps failed", true},
      {FakeProcessRunner::output(1, "1 /x\n"), cwd, "ps failed", true},
      {timedOut, cwd, "ps timed out", true},
      {ok(""), cwd, "ps returned no processes", true},
      {ok("1 /x\n"), std::nullopt, "lsof failed", false},
      {ok("1 /x\n"), FakeProcessRunner::output(-1, "p7\nn/work\n", "", true), "lsof timed out",
       false},
      {ok("1 /x\n"), ok("fcwd\nn/work\n"), "lsof returned no processes", false},
      {timedOut, std::nullopt, "ps timed out", false},
  };
  for (const Case& c : cases) {
    FakeProcessRunner fake;
    fake.on(kPs, {}, c.ps);
    fake.on(kLsof, {}, c.lsof);
    const ProcessSnapshot snapshot = commandSnapshot(fake);
    EXPECT_EQ(snapshot.failure, c.failure);
    EXPECT_EQ(!snapshot.workingDirectories.empty(), c.workingDirectories) << *c.failure;
    // Both commands always run and are both awaited.
    EXPECT_EQ(fake.callCount(), 2u);
  }
}

TEST(ProcessSnapshotCapture, LeavesOutThisProgramsOwnProcess) {
  const auto own = static_cast<std::int32_t>(::getpid());
  FakeProcessRunner fake;
  fake.on(kPs, {},
          FakeProcessRunner::output(0, std::to_string(own) + " /usr/bin/us\n1 /sbin/init\n"));
  fake.on(kLsof, {},
          FakeProcessRunner::output(0, "p" + std::to_string(own) + "\nn/here\np1\nn/\n"));
  const ProcessSnapshot snapshot = commandSnapshot(fake);
  EXPECT_EQ(snapshot.executables.count(own), 0u);
  EXPECT_EQ(snapshot.workingDirectories.count(own), 0u);
  EXPECT_EQ(snapshot.executables.count(1), 1u);

  ProcessSnapshot picture;
  picture.executables = {{own, "/usr/bin/us"}, {2, "/bin/sh"}};
  picture.otherNames = {{own, {"us"}}};
  picture.workingDirectories = {{own, "/x"}};
  const ProcessSnapshot fixed = ProcessSnapshot::capture(FixedSource(picture), {});
  EXPECT_EQ(fixed.executables, (std::map<std::int32_t, std::string>{{2, "/bin/sh"}}));
  EXPECT_TRUE(fixed.otherNames.empty());
  EXPECT_TRUE(fixed.workingDirectories.empty());
}

TEST(ProcessSnapshotCapture, AFamilyIsAProcessAndEveryoneDescendedFromIt) {
  // 6 names itself its parent; 7 and 8 each other: a table read while pids were reused.
  const std::map<std::int32_t, std::int32_t> parents = {
      {2, 1}, {3, 2}, {4, 1}, {5, 9}, {6, 6}, {7, 8}, {8, 7}};
  EXPECT_EQ(ProcessSnapshot::family(1, parents), (std::set<std::int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(ProcessSnapshot::family(6, parents), std::set<std::int32_t>{6});
  EXPECT_EQ(ProcessSnapshot::family(7, parents), (std::set<std::int32_t>{7, 8}));
  EXPECT_EQ(ProcessSnapshot::family(42, {}), std::set<std::int32_t>{42});
}

TEST(ProcessGuard, SnapshotSourceAnswersFromAFreshSnapshotAndNothingWhenItFailed) {
  ProcessSnapshot running;
  running.executables = {{20, "/opt/docker-desktop/bin/com.docker.backend"}};
  const auto source = std::make_shared<FixedSource>(running);
  const auto owners = ProcessGuard::snapshotOwners(source);
  EXPECT_EQ(ProcessGuard::running({"Docker", "com.docker.backend", "Simulator"}, owners),
            (std::set<std::string>{"Docker", "com.docker.backend"}));
  EXPECT_EQ(ProcessGuard::running({"go"}, owners), std::set<std::string>{});
  EXPECT_EQ(source->asked(), 2);
  // No process list is taken for nothing.
  EXPECT_EQ(ProcessGuard::running({}, owners), std::set<std::string>{});
  EXPECT_EQ(source->asked(), 2);

  ProcessSnapshot failed = running;
  failed.failure = "lsof timed out";
  EXPECT_EQ(ProcessGuard::running(
                {"Docker"}, ProcessGuard::snapshotOwners(std::make_shared<FixedSource>(failed))),
            std::nullopt);
}

TEST(ProcessGuard, DefaultSnapshotSourceSeesThisMachine) {
  // This test process's parent runs, so the real process list is never empty.
  const auto answer =
      ProcessGuard::running({"no-such-program-here"}, ProcessGuard::snapshotOwners());
  ASSERT_TRUE(answer.has_value());
  EXPECT_TRUE(answer->empty());
}
