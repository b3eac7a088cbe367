#include "services/in_use/in_use_detector.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include "models/in_use_reasons.h"
#include "platform/proc_process_source.h"
#include "platform/unique_fd.h"
#include "services/in_use/command_process_source.h"
#include "services/in_use/in_use_rules.h"
#include "support/child_process.h"
#include "support/fake_home.h"
#include "support/fake_process_runner.h"
#include "support/fake_process_source.h"
#include "support/manual_clock.h"
#include "support/test_environment.h"
#include "utilities/path_canonical.h"

using namespace hl;
using namespace std::chrono_literals;
using hl::test::ChildProcess;
using hl::test::FakeHome;
using hl::test::FakeProcessRunner;

namespace {

const Date kNow = hl::test::referenceDate();

using FakeSource = hl::test::FakeProcessSource;

InUseDetector detectorWith(std::shared_ptr<const ProcessSource> source,
                           std::string home = "/home/ann") {
  InUseDetector detector{std::move(home), kNow};
  detector.source = std::move(source);
  return detector;
}

CacheItem item(const std::string& url, ItemKind kind = ItemKind::path) {
  CacheItemInit init;
  init.url = url;
  init.kind = kind;
  init.home = "/home/ann";
  return CacheItem(init);
}

CacheItem worktreeItem(const std::string& url, std::optional<std::string> repository = {}) {
  CacheItem result = item(url);
  WorktreeInfo info;
  info.repositoryURL = std::move(repository);
  result.worktree = info;
  return result;
}

CacheItem guarded(GuardRule rule, const std::string& url = "/home/ann/.cache/tmp") {
  CacheItem result = item(url);
  result.guardRule = rule;
  return result;
}

InUseSnapshot verifiedSnapshot() { return InUseSnapshot{}; }

std::string realPath(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

}  // namespace

TEST(InUseCapture, VerificationTakesTheProcessFailureFirst) {
  auto source = std::make_shared<FakeSource>();
  source->picture.executables = {{5, "/usr/bin/node"}};
  source->picture.failure = "ps timed out";
  source->files.failure = "lsof failed";
  const InUseSnapshot both = detectorWith(source).capture({"/home/ann/x"}, true);
  EXPECT_EQ(both.verification, VerificationState::unavailable("ps timed out"));
  // What the failed picture holds still comes along.
  EXPECT_EQ(both.processes.executables.size(), 1u);

  source->picture.failure.reset();
  source->files.failure = "lsof timed out";
  source->files.files = {{5, "/home/ann/x/f"}};
  const InUseSnapshot open = detectorWith(source).capture({"/home/ann/x"}, true);
  EXPECT_EQ(open.verification, VerificationState::unavailable("lsof timed out"));
  EXPECT_TRUE(open.openPathOwners.empty());
  EXPECT_TRUE(open.openPathPrefixes.empty());

  source->files.failure.reset();
  const InUseSnapshot fine = detectorWith(source).capture({"/home/ann/x"}, true);
  EXPECT_TRUE(fine.verification.isVerified());
  EXPECT_EQ(fine.openPathPrefixes,
            (std::set<std::string>{"/home", "/home/ann", "/home/ann/x", "/home/ann/x/f"}));
}

TEST(InUseCapture, OpenFilesAreReadOnlyWhenAskedForAndUnderARealRoot) {
  auto source = std::make_shared<FakeSource>();
  source->files.failure = "lsof failed";
  const InUseSnapshot without = detectorWith(source).capture({"/home/ann/x"}, false);
  EXPECT_TRUE(without.verification.isVerified());
  EXPECT_TRUE(source->askedRoots.empty());
  EXPECT_EQ(source->processCalls, 1);

  const InUseSnapshot rootless = detectorWith(source).capture({"/", "", "/."}, true);
  EXPECT_TRUE(rootless.verification.isVerified());
  EXPECT_TRUE(source->askedRoots.empty());

  (void)detectorWith(source).capture({"/private/tmp/a/", "/", "/tmp/a"}, true);
  ASSERT_EQ(source->askedRoots.size(), 1u);
  EXPECT_EQ(source->askedRoots.front(), std::set<std::string>{"/tmp/a"});
}

TEST(InUseCapture, OpenFilesFoldIntoFoldersWithTheFirstHolder) {
  FakeSource source;
  source.files.files = {
      {10, "/r/a/b/c/file"},  // three folders below the root
      {11, "/r/a/b/other"},   // a second holder in the same folders
      {12, "/elsewhere/f"},   // outside every root
      {13, "/r2"},            // the root itself
      {14, "relative/name"},
  };
  const auto open = InUseDetector::openPathPrefixes({"/r", "/r2"}, source, {});
  const auto* owners = std::get_if<std::map<std::string, std::int32_t>>(&open);
  ASSERT_NE(owners, nullptr);
  const std::map<std::string, std::int32_t> expected = {
      {"/r", 10},           {"/r/a", 10}, {"/r/a/b", 10}, {"/r/a/b/c", 10}, {"/r/a/b/c/file", 10},
      {"/r/a/b/other", 11}, {"/r2", 13},
  };
  EXPECT_EQ(*owners, expected);

  source.files.failure = "lsof returned no processes";
  const auto failed = InUseDetector::openPathPrefixes({"/r"}, source, {});
  ASSERT_TRUE(std::holds_alternative<InUseDetector::CaptureFailure>(failed));
  EXPECT_EQ(std::get<InUseDetector::CaptureFailure>(failed).reason, "lsof returned no processes");
}

// Mended: this program's own open files and folder walks used to lock the very items it was
// measuring, as "open by process (pid N)".
TEST(InUseCapture, ThisProgramsOwnOpenFilesNeverCount) {
  const auto own = static_cast<std::int32_t>(::getpid());
  FakeSource source;
  source.files.files = {{own, "/r/cache/walked"}, {77, "/r/cache/held"}};
  const auto open = InUseDetector::openPathPrefixes({"/r"}, source, {});
  const auto& owners = std::get<std::map<std::string, std::int32_t>>(open);
  EXPECT_EQ(owners.count("/r/cache/walked"), 0u);
  // The folder goes to the other process, not to us.
  EXPECT_EQ(owners.at("/r/cache"), 77);

  // The same through the real process file system, with a file this test holds open.
  FakeHome home;
  const std::string held = home.text("cache/pkg/index.db", "x");
  const UniqueFd fd(::open(held.c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_TRUE(fd.valid());
  CacheItemInit init;
  init.url = home / "cache/pkg";
  const InUseDetector detector{home.path(), kNow};
  const InUseEvaluation evaluation = detector.evaluate({CacheItem(init)}, true);
  EXPECT_TRUE(evaluation.verification.isVerified());
  EXPECT_TRUE(evaluation.reasons.empty());
}

TEST(InUseCapture, ParsesLsofFieldOutputWithOddLines) {
  const std::string lsof =
      "n/r/before-any-process\n"
      "p300\n"
      "fcwd\n"
      "n/r/one\n"
      "ftxt\n"
      "n/usr/bin/zsh\n"
      "f3\n"
      "nlocalhost:8080->localhost:51234\n"
      "f4\n"
      "npipe\n"
      "pgarbage\n"
      "f5\n"
      "n/r/two/file\n"
      "p301\r\n"
      "n/private/tmp/t/x\r\n"
      "\n";
  const auto owners = InUseDetector::parseOpenFiles(lsof, {"/r", "/tmp/t"});
  const std::map<std::string, std::int32_t> expected = {
      {"/r", 0},          {"/r/before-any-process", 0},
      {"/r/one", 300},    {"/r/two", 0},
      {"/r/two/file", 0}, {"/tmp", 301},
      {"/tmp/t", 301},    {"/tmp/t/x", 301},
  };
  EXPECT_EQ(owners, expected);
}

TEST(InUseCapture, LiveSessionsAreTheAgentsRunningProcesses) {
  FakeHome home;
  const auto own = static_cast<std::int32_t>(::getpid());
  const auto parent = static_cast<std::int32_t>(::getppid());
  const std::string ownPid = std::to_string(own);
  home.text(".claude/sessions/live.json",
            R"({"pid": )" + ownPid +
                R"(, "sessionId": "s1", "cwd": "/private/tmp/w/", "hostSessionId": 7})");
  home.text(".claude/sessions/by-name.json",
            R"({"pid": )" + std::to_string(parent) + R"(, "sessionId": "s2"})");
  home.text(".claude/sessions/zero.json", R"({"pid": 0})");
  home.text(".claude/sessions/negative.json", R"({"pid": -4})");
  home.text(".claude/sessions/text.json", R"({"pid": ")" + ownPid + R"("})");
  home.text(".claude/sessions/fraction.json", R"({"pid": )" + ownPid + R"(.5})");
  home.text(".claude/sessions/gone.json", R"({"pid": 2000000000})");
  home.text(".claude/sessions/upper.JSON", R"({"pid": )" + ownPid + "}");
  home.text(".claude/sessions/noextension", R"({"pid": )" + ownPid + "}");
  home.text(".claude/sessions/broken.json", R"({"pid": )");
  home.text(".claude/sessions/list.json", "[1, 2]");
  home.dir(".claude/sessions/folder.json");

  ProcessSnapshot processes;
  processes.executables = {{own, "/opt/Agent/CLAUDE"}, {parent, "/usr/bin/node"}};
  processes.otherNames = {{parent, {"claude"}}};
  const InUseDetector detector{home.path(), kNow};
  std::vector<LiveSession> sessions = detector.liveSessions(processes);
  std::sort(sessions.begin(), sessions.end(),
            [](const LiveSession& a, const LiveSession& b) { return a.sessionId < b.sessionId; });
  ASSERT_EQ(sessions.size(), 2u);
  EXPECT_EQ(sessions[0], (LiveSession{own, "s1", "/tmp/w", std::nullopt}));
  EXPECT_EQ(sessions[1], (LiveSession{parent, "s2", std::nullopt, std::nullopt}));

  // A process that is not the agent, or that the picture does not know, makes no session.
  processes.executables = {{own, "/usr/bin/python3"}};
  processes.otherNames.clear();
  EXPECT_TRUE(detector.liveSessions(processes).empty());
  EXPECT_TRUE((InUseDetector{home / "nowhere", kNow}.liveSessions(processes).empty()));
}

TEST(InUseCapture, DesktopRegistryStates) {
  FakeHome home;
  const InUseDetector detector{home.path(), kNow};
  EXPECT_EQ(detector.claudeDesktopSupport(), home / "Library/Application Support/Claude");
  EXPECT_TRUE(detector.deskRegistry().empty());

  const std::string registry = "Library/Application Support/Claude/git-worktrees.json";
  home.text(registry, R"({"worktrees": [{"path": "/w/a", "leasedBy": "x"}]})");
  EXPECT_TRUE(detector.deskRegistry().empty());

  home.text(registry, R"({"worktrees": {
      "a": {"path": "/w/a", "leasedBy": "task-1"},
      "b": {"path": "/w/b", "leasedBy": null, "pooledAt": 12},
      "c": {"path": "/w/c", "leasedBy": "task-2", "pooledAt": 12},
      "d": {"path": "/private/tmp/d/", "parkedStateKey": {}},
      "e": {"path": "/w/e"},
      "f": {"path": "/w/f", "pooledAt": null, "parkedStateKey": null},
      "g": {"leasedBy": "task-3"},
      "h": {"path": 5, "leasedBy": "task-4"},
      "i": "not an entry"}})");
  const std::map<std::string, DeskState> expected = {{"/w/a", DeskState::leased},
                                                     {"/w/b", DeskState::pooled},
                                                     {"/w/c", DeskState::leased},
                                                     {"/tmp/d", DeskState::pooled}};
  EXPECT_EQ(detector.deskRegistry(), expected);

  home.text(registry, "{not json");
  EXPECT_TRUE(detector.deskRegistry().empty());
}

TEST(InUseRules, AnUnverifiableSnapshotLocksEveryFileSystemItem) {
  auto source = std::make_shared<FakeSource>();
  source->picture.executables = {{9, "/usr/bin/node"}};
  source->picture.failure = "ps failed";
  CacheItem report = item("/home/ann/Library/Backup");
  report.isReportOnly = true;
  CacheItem review = item("/home/ann/.cache/huggingface");
  review.risk = RiskLevel::review;
  review.owners = {"node"};
  CacheItem simulators = item("virtual:simulators", ItemKind::virtual_);
  simulators.owners = {"Simulator"};
  const CacheItem twin = item("/home/ann/.cache/huggingface/");

  const InUseEvaluation evaluation =
      detectorWith(source).evaluate({report, review, simulators, twin}, true);
  EXPECT_EQ(evaluation.verification, VerificationState::unavailable("ps failed"));
  const std::map<std::string, std::string> expected = {{report.id, "cannot verify in-use state"},
                                                       {review.id, "cannot verify in-use state"}};
  EXPECT_EQ(evaluation.reasons, expected);
  EXPECT_EQ(evaluation.runningOwners, std::set<std::string>{"node"});
}

TEST(InUseRules, OpenFilesAndWorkingDirectories) {
  InUseSnapshot snapshot = verifiedSnapshot();
  snapshot.processes.executables = {{812, "/usr/local/bin/node"}, {900, "/bin/zsh"}};
  snapshot.processes.workingDirectories = {{900, "/w/project/src"}};
  snapshot.openPathOwners = {{"/c/npm", 812}, {"/c/yarn", 0}, {"/c/pip", 813}, {"/c/member", 812}};
  for (const auto& [path, pid] : snapshot.openPathOwners) snapshot.openPathPrefixes.insert(path);
  snapshot.openPathPrefixes.insert("/c/unowned");

  CacheItem aggregate = item("/c/aggregate");
  aggregate.members = {"/c/member"};
  CacheItem membersOnly = item("/c/npm");
  membersOnly.members = {"/c/quiet"};

  const InUseDetector detector{"/home/ann", kNow};
  const auto reasons = detector.reasons(
      {item("/c/npm"), item("/c/yarn"), item("/c/pip"), item("/c/unowned"), aggregate,
       item("/w/project"), item("/w/project/src/deep"), item("/w/proj"), item("/w/project/s")},
      snapshot);
  EXPECT_EQ(reasons.at("/c/npm"), "open by node (pid 812)");
  EXPECT_EQ(reasons.at("/c/yarn"), "open by a running process");
  EXPECT_EQ(reasons.at("/c/pip"), "open by process (pid 813)");
  EXPECT_EQ(reasons.at("/c/unowned"), "open by a running process");
  EXPECT_EQ(reasons.at("/c/aggregate"), "open by node (pid 812)");
  EXPECT_EQ(reasons.at("/w/project"), "working directory of zsh (pid 900)");
  EXPECT_EQ(reasons.count("/w/project/src/deep"), 0u);
  EXPECT_EQ(reasons.count("/w/proj"), 0u);
  EXPECT_EQ(reasons.count("/w/project/s"), 0u);

  // An aggregate is judged by its members only, never by its own location.
  EXPECT_TRUE(detector.reasons({membersOnly}, snapshot).empty());
}

TEST(InUseRules, ALiveSessionAloneNamesNoProcess) {
  InUseSnapshot snapshot = verifiedSnapshot();
  snapshot.liveSessions = {LiveSession{55, "s", "/repo/.claude/worktrees/fix-1/src", std::nullopt}};
  snapshot.desk = {{"/repo/.claude/worktrees/fix-1", DeskState::leased}};
  const InUseDetector detector{"/home/ann", kNow};
  const auto reasons = detector.reasons({worktreeItem("/repo/.claude/worktrees/fix-1")}, snapshot);
  EXPECT_EQ(reasons.at("/repo/.claude/worktrees/fix-1"), "working directory of a running process");
}

TEST(InUseRules, OwnerDescriptions) {
  ProcessSnapshot processes;
  processes.executables = {{7, "/usr/bin/python3.11"}, {8, "bare"}};
  EXPECT_EQ(InUseRules::describe(7, processes), "python3.11 (pid 7)");
  EXPECT_EQ(InUseRules::describe(8, processes), "bare (pid 8)");
  EXPECT_EQ(InUseRules::describe(9, processes), "process (pid 9)");
  EXPECT_EQ(InUseRules::describe(0, processes), "a running process");
  EXPECT_EQ(InUseRules::describe(-3, processes), "a running process");
  EXPECT_EQ(InUseRules::describe(std::nullopt, processes), "a running process");
}

TEST(InUseRules, ShellSnapshotRule) {
  FakeHome home;
  const std::string folder = home.dir("shell-snapshots");
  const CacheItem snapshots = guarded(GuardRule::claudeShellSnapshots, folder);
  const InUseDetector detector{home.path(), kNow};
  InUseSnapshot snapshot = verifiedSnapshot();

  EXPECT_TRUE(detector.reasons({snapshots}, snapshot).empty());  // an empty folder
  home.file("shell-snapshots/old.sh", 10, kNow - 24h * 8);
  EXPECT_TRUE(detector.reasons({snapshots}, snapshot).empty());
  home.file("shell-snapshots/recent.sh", 10, kNow - 24h * 6);
  EXPECT_EQ(detector.reasons({snapshots}, snapshot).at(snapshots.id), "used in the last 7 days");

  snapshot.processes.executables = {{3, "/home/ann/.local/bin/claude"}};
  FakeHome quiet;
  const CacheItem elsewhere = guarded(GuardRule::claudeShellSnapshots, quiet.dir("s"));
  EXPECT_EQ(detector.reasons({elsewhere}, snapshot).at(elsewhere.id),
            "sourced by live Claude Code sessions");
  snapshot.processes.executables.clear();
  snapshot.liveSessions = {LiveSession{3, std::nullopt, std::nullopt, std::nullopt}};
  EXPECT_EQ(detector.reasons({elsewhere}, snapshot).at(elsewhere.id),
            "sourced by live Claude Code sessions");
}

TEST(InUseRules, CodexRule) {
  const CacheItem codex = guarded(GuardRule::codexNotRunning, "/home/ann/.codex/log");
  const InUseDetector detector{"/home/ann", kNow};
  InUseSnapshot snapshot = verifiedSnapshot();
  EXPECT_TRUE(detector.reasons({codex}, snapshot).empty());
  snapshot.processes.executables = {{4, "/Applications/Codex.app/Contents/MacOS/Codex"}};
  EXPECT_EQ(detector.reasons({codex}, snapshot).at(codex.id), "Codex is running");
  snapshot.processes.executables = {{4, "/usr/local/bin/codex"}};
  EXPECT_EQ(detector.reasons({codex}, snapshot).at(codex.id), "Codex is running");
}

TEST(InUseRules, TimeRules) {
  const auto at = [](GuardRule rule, std::optional<Date> newest, std::optional<Date> modified) {
    CacheItem result = guarded(rule);
    result.size = 4096;
    result.newestModification = newest;
    result.modified = modified;
    return InUseDetector::timeRuleReason(result, kNow);
  };
  const GuardRule temporary = GuardRule::temporaryFiles;
  const GuardRule updater = GuardRule::updaterDownload;

  CacheItem unmeasured = guarded(temporary);
  unmeasured.modified = kNow - 1000h;
  EXPECT_EQ(InUseDetector::timeRuleReason(unmeasured, kNow), "not measured yet");
  unmeasured.guardRule = updater;
  EXPECT_EQ(InUseDetector::timeRuleReason(unmeasured, kNow), "not measured yet");
  unmeasured.guardRule = GuardRule::codexNotRunning;
  EXPECT_EQ(InUseDetector::timeRuleReason(unmeasured, kNow), std::nullopt);

  EXPECT_EQ(at(temporary, kNow - 80h, kNow - 10h), "modified in the last 72 h");
  EXPECT_EQ(at(temporary, kNow - 80h, kNow - 100h), std::nullopt);
  EXPECT_EQ(at(temporary, kNow - 259200s, std::nullopt), std::nullopt);
  EXPECT_EQ(at(temporary, kNow - 259199s, std::nullopt), "modified in the last 72 h");
  EXPECT_EQ(at(updater, kNow - 59min, std::nullopt), "update in progress");
  EXPECT_EQ(at(updater, kNow - 3600s, std::nullopt), std::nullopt);
  EXPECT_EQ(at(updater, kNow + 5h, std::nullopt), "update in progress");
}

// Mended: a measured folder without any counted entry (empty, only folders, unreadable) used to
// stay "not measured yet" for good.
TEST(InUseRules, AMeasuredItemWithoutANewestEntryIsJudgedByItsOwnDate) {
  CacheItem empty = guarded(GuardRule::temporaryFiles);
  empty.size = 0;
  empty.modified = kNow - 100h;
  EXPECT_EQ(InUseDetector::timeRuleReason(empty, kNow), std::nullopt);
  empty.modified = kNow - 10h;
  EXPECT_EQ(InUseDetector::timeRuleReason(empty, kNow), "modified in the last 72 h");
  empty.modified.reset();
  EXPECT_EQ(InUseDetector::timeRuleReason(empty, kNow), "modification date unknown");
  empty.isUnreadable = true;
  empty.modified = kNow - 100h;
  EXPECT_EQ(InUseDetector::timeRuleReason(empty, kNow), "contents could not be read");

  CacheItem download = guarded(GuardRule::updaterDownload);
  download.size = 0;
  download.modified = kNow - 30min;
  EXPECT_EQ(InUseDetector::timeRuleReason(download, kNow), "update in progress");
}

TEST(InUseRules, EarlierStepsDecideAndLaterItemsWithTheSameIdReplace) {
  InUseSnapshot snapshot = verifiedSnapshot();
  const std::string path = "/repo/.claude/worktrees/fix-1";
  snapshot.openPathOwners = {{path, 0}};
  snapshot.openPathPrefixes = {path};
  snapshot.desk = {{path, DeskState::pooled}, {"/repo/.claude/worktrees/fix-2", DeskState::pooled}};
  const InUseDetector detector{"/home/ann", kNow};
  EXPECT_EQ(detector.reasons({worktreeItem(path)}, snapshot).at(path), "open by a running process");

  CacheItem first = guarded(GuardRule::codexNotRunning, "/x/y");
  CacheItem second = guarded(GuardRule::temporaryFiles, "/x/y/");
  EXPECT_EQ(detector.reasons({first, second}, snapshot).at("/x/y"), "not measured yet");
  EXPECT_EQ(detector.reasons({second, first}, snapshot).at("/x/y"), "not measured yet");
}

TEST(InUseRules, ScanRoots) {
  CacheItem a = item("/home/ann/.npm/_cacache");
  a.discoveryRoot = "/home/ann/.npm/";
  CacheItem b = item("/home/ann/.npm/_npx");
  b.discoveryRoot = "/home/ann/.npm";
  CacheItem worktree = worktreeItem("/repo/.claude/worktrees/x/");
  worktree.discoveryRoot = "/repo";
  CacheItem row = item("virtual:snapshots", ItemKind::virtual_);
  row.discoveryRoot = "/somewhere";
  std::vector<std::string> roots = InUseRules::scanRoots({a, b, worktree, row});
  std::sort(roots.begin(), roots.end());
  EXPECT_EQ(roots, (std::vector<std::string>{"/home/ann/.npm", "/repo/.claude/worktrees/x"}));
}

TEST(InUseRules, LiveSummaryCounts) {
  InUseSnapshot snapshot = verifiedSnapshot();
  snapshot.processes.executables = {
      {1, "/usr/bin/claude"}, {2, "/opt/claude-code/node"}, {3, "/usr/bin/codex"}};
  const CacheItem pooled = worktreeItem("/r/.claude/worktrees/a");
  const CacheItem kept = worktreeItem("/r/.claude/worktrees/b");
  const CacheItem busy = worktreeItem("/r/.claude/worktrees/c");
  const CacheItem free = worktreeItem("/r/.claude/worktrees/d");
  const CacheItem plain = item("/c/x");
  const std::map<std::string, std::string> reasons = {{pooled.id, "Claude app pool"},
                                                      {kept.id, "kept by Claude app"},
                                                      {busy.id, "git operation in progress"},
                                                      {plain.id, "open by a running process"}};
  const LiveSummary summary = liveSummary(snapshot, reasons, {pooled, kept, busy, free, plain});
  EXPECT_EQ(summary.claudeProcesses, 2);
  EXPECT_EQ(summary.codexProcesses, 1);
  EXPECT_EQ(summary.worktreesInUse, 3);
  EXPECT_EQ(summary.keptByClaudeApp, 2);
}

TEST(InUseAcceptance, RealProcessesHoldingAFileAndSittingInAFolderLockTheirItems) {
  FakeHome home;
  const std::string held = home.text("cache/pkg/blob.bin", "data");
  const std::string project = home.dir("projects/app/node_modules");
  ChildProcess holder(hl::test::shellScript("exec 3<\"$0\"; echo ready; read line", held));
  ChildProcess sitter(hl::test::shellScript("cd \"$0\" && echo ready && read line", project));
  ASSERT_EQ(holder.readLine(), "ready");
  ASSERT_EQ(sitter.readLine(), "ready");

  CacheItemInit cacheInit;
  cacheInit.url = home / "cache/pkg";
  cacheInit.discoveryRoot = home / "cache";
  CacheItemInit projectInit;
  projectInit.url = project;
  projectInit.discoveryRoot = home / "projects";
  CacheItemInit idleInit;
  idleInit.url = home.dir("cache/idle");
  idleInit.discoveryRoot = home / "cache";
  const std::vector<CacheItem> items = {CacheItem(cacheInit), CacheItem(projectInit),
                                        CacheItem(idleInit)};

  const InUseDetector detector{home.path(), kNow};
  const InUseEvaluation evaluation = detector.evaluate(items, true);
  ASSERT_TRUE(evaluation.verification.isVerified());
  const std::string shell = lastPathComponent(realPath("/bin/sh"));
  EXPECT_EQ(evaluation.reasons.at(items[0].id),
            "open by " + shell + " (pid " + std::to_string(holder.pid()) + ")");
  EXPECT_EQ(evaluation.reasons.at(items[1].id),
            "open by " + shell + " (pid " + std::to_string(sitter.pid()) + ")");
  EXPECT_EQ(evaluation.reasons.count(items[2].id), 0u);

  // Without the open files, the sitter is still seen by its working directory.
  const InUseEvaluation cwdOnly = detector.evaluate(items, false);
  EXPECT_EQ(cwdOnly.reasons.at(items[1].id),
            "working directory of " + shell + " (pid " + std::to_string(sitter.pid()) + ")");
  EXPECT_EQ(cwdOnly.reasons.count(items[0].id), 0u);

  // With the process file system unreadable, everything is locked; nothing is let through.
  InUseDetector blind = detector;
  blind.source = std::make_shared<ProcProcessSource>(home / "no-proc-here");
  const InUseEvaluation locked = blind.evaluate(items, true);
  EXPECT_EQ(locked.verification, VerificationState::unavailable("ps failed"));
  for (const CacheItem& each : items) {
    EXPECT_EQ(locked.reasons.at(each.id), "cannot verify in-use state");
  }
}

// The kernel names open files and working folders by where they really are: an item reached
// through a linked folder (a dotfile-managed ~/.cache) is in use all the same, whether it was
// found from the link itself or from a folder below it.
TEST(InUseAcceptance, AnItemReachedThroughALinkedFolderIsInUseAllTheSame) {
  FakeHome home;
  FakeHome elsewhere{"elsewhere"};
  elsewhere.text("cache/pkg/blob.bin", "data");
  elsewhere.text("tools/sub/bin/tool.bin", "data");
  elsewhere.dir("cache/side");
  home.symlink("cache", elsewhere / "cache");
  home.symlink("tools", elsewhere / "tools");
  const auto holding = [](const std::string& file) {
    return hl::test::shellScript("exec 3<\"$0\"; echo ready; read line", file);
  };
  ChildProcess fromLink(holding(home / "cache/pkg/blob.bin"));
  ChildProcess belowLink(holding(home / "tools/sub/bin/tool.bin"));
  ChildProcess sitter(
      hl::test::shellScript("cd \"$0\" && echo ready && read line", home / "cache/side"));
  for (ChildProcess* child : {&fromLink, &belowLink, &sitter}) ASSERT_EQ(child->readLine(), "ready");

  std::vector<CacheItem> items;
  for (const auto& [name, root] : {std::pair{"cache/pkg", "cache"},
                                   {"tools/sub/bin", "tools/sub"}, {"cache/side", "cache"}}) {
    CacheItemInit init;
    init.url = home / name;
    init.discoveryRoot = home / root;
    items.emplace_back(init);
  }
  const InUseDetector detector{home.path(), kNow};
  for (const bool openFiles : {true, false}) {
    SCOPED_TRACE(openFiles ? "open files" : "working folders only");
    const InUseEvaluation evaluation = detector.evaluate(items, openFiles);
    ASSERT_TRUE(evaluation.verification.isVerified());
    EXPECT_EQ(evaluation.reasons.count(items[0].id), openFiles ? 1u : 0u);
    EXPECT_EQ(evaluation.reasons.count(items[1].id), openFiles ? 1u : 0u);
    EXPECT_EQ(evaluation.reasons.count(items[2].id), 1u);
  }
}

TEST(InUseCapture, TheCommandSourceRunsThePerUserLsofBesidePsAndTheWorkingDirectories) {
  hl::test::FakeProcessRunner fake;
  const std::string user = std::to_string(::getuid());
  fake.on("/bin/ps", {}, hl::test::FakeProcessRunner::output(0, " 40 /usr/local/bin/node\n"));
  fake.on("/usr/sbin/lsof", {"-d", "cwd"},
          hl::test::FakeProcessRunner::output(0, "p40\nfcwd\nn/w/app\n"));
  fake.on("/usr/sbin/lsof", {"-w", "-u", user, "-Fpn"},
          hl::test::FakeProcessRunner::output(1, "p40\nf12\nn/c/npm/_cacache/index\n"));
  InUseDetector detector{"/home/ann", kNow, fake.runner()};
  detector.source = std::make_shared<CommandProcessSource>();

  CacheItem npm = item("/c/npm/_cacache");
  npm.discoveryRoot = "/c/npm";
  const InUseEvaluation evaluation = detector.evaluate({npm, item("/w/app")}, true);
  EXPECT_TRUE(evaluation.verification.isVerified());
  EXPECT_EQ(evaluation.reasons.at("/c/npm/_cacache"), "open by node (pid 40)");
  EXPECT_EQ(evaluation.reasons.at("/w/app"), "working directory of node (pid 40)");
  ASSERT_EQ(fake.callCount("/usr/sbin/lsof", {"-u"}), 1u);
  for (const auto& call : fake.calls()) {
    if (FakeProcessRunner::holds(call.arguments, {"-u"})) {
      EXPECT_EQ(call.timeout, ProcessRunner::Duration(20s));
    }
  }

  // No open files asked for: no per-user lsof.
  (void)detector.evaluate({npm}, false);
  EXPECT_EQ(fake.callCount("/usr/sbin/lsof", {"-u"}), 1u);

  hl::test::FakeProcessRunner silent;
  silent.on("/bin/ps", {}, hl::test::FakeProcessRunner::output(0, " 40 /usr/local/bin/node\n"));
  silent.on("/usr/sbin/lsof", {"-d", "cwd"},
            hl::test::FakeProcessRunner::output(0, "p40\nn/w/app\n"));
  detector.runner = silent.runner();
  const InUseEvaluation unverified = detector.evaluate({npm}, true);
  EXPECT_EQ(unverified.verification, VerificationState::unavailable("lsof failed"));
  EXPECT_EQ(unverified.reasons.at("/c/npm/_cacache"), "cannot verify in-use state");
}
