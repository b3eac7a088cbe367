#include "services/removal/scan_trash_policy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

#include "support/fake_home.h"
#include "support/fake_process_source.h"
#include "utilities/path_canonical.h"

using namespace hl;
using namespace std::chrono_literals;
using hl::test::FakeHome;
using Verdict = ScanTrashPolicy::Verdict;

namespace {

// What git answers for one folder, as the test scripts it.
struct Answer {
  enum class Kind { clean, dirty, error, unknown, ownClone };
  Kind kind = Kind::clean;
  bool uncommitted = false;
  int unpushed = 0;
  std::string message;
};

Answer dirty(bool uncommitted, int unpushed) {
  return {Answer::Kind::dirty, uncommitted, unpushed, {}};
}
Answer failed(std::string message) { return {Answer::Kind::error, false, 0, std::move(message)}; }
Answer unknown() { return {Answer::Kind::unknown, false, 0, {}}; }
Answer ownClone() { return {Answer::Kind::ownClone, false, 0, {}}; }

// Made out of line: GCC 12 with the sanitizers takes a status variant built and copied in one
// inlined expression for uninitialised.
[[gnu::noinline]] WorktreeStatus statusOf(const Answer& answer) {
  switch (answer.kind) {
    case Answer::Kind::dirty:
      return WorktreeStatus::dirty(answer.uncommitted, answer.unpushed);
    case Answer::Kind::error:
      return WorktreeStatus::error(answer.message);
    case Answer::Kind::unknown:
      return WorktreeStatus::unknown();
    case Answer::Kind::ownClone:
      return WorktreeStatus::ownClone();
    case Answer::Kind::clean:
      break;
  }
  return WorktreeStatus::clean();
}

// Git as the test scripts it: an answer per folder (clean unless told otherwise), counting the
// questions.
struct ScriptedGit {
  std::map<std::string, Answer> answers;
  std::vector<std::string> asked;

  void answer(const std::string& path, Answer given) {
    answers.insert_or_assign(cleanPath(path), std::move(given));
  }

  ScanTrashPolicy::GitQueries queries() {
    auto reply = [this](const std::string& path, const char* kind) {
      asked.push_back(std::string(kind) + " " + cleanPath(path));
      const auto found = answers.find(cleanPath(path));
      return statusOf(found == answers.end() ? Answer{} : found->second);
    };
    return {[reply](const std::string& root, std::stop_token) { return reply(root, "worktree"); },
            [reply](const std::string& repo, std::stop_token) {
              return reply(repo, "repository");
            }};
  }
};

struct PolicyFixture {
  FakeHome home{"policy"};
  std::shared_ptr<test::FakeProcessSource> source = std::make_shared<test::FakeProcessSource>();
  ScriptedGit git;
  std::function<void(ScanTrashPolicy&)> adjust;

  ScanTrashPolicy policy() {
    InUseDetector detector;
    detector.home = home.path();
    // Past the agents' two-hour window for folders made by the test itself.
    detector.now = std::chrono::system_clock::now() + 3h;
    detector.source = source;
    ScanTrashPolicy made(home.path(), detector);
    made.git = git.queries();
    if (adjust) adjust(made);
    return made;
  }

  Verdict judge(const std::vector<std::string>& relative, const std::string& root = "") {
    std::vector<std::string> urls;
    for (const std::string& path : relative) urls.push_back(home / path);
    return policy().evaluate(urls, root.empty() ? home.path() : home / root, {});
  }

  // The refusal of one location, "" when it is accepted.
  std::string refusalOf(const std::string& relative, const std::string& root = "") {
    const Verdict verdict = judge({relative}, root);
    const auto found = verdict.refusals.find(cleanPath(home / relative));
    return found == verdict.refusals.end() ? "" : found->second;
  }

  void running(std::int32_t pid, const std::string& executable) {
    source->picture.executables[pid] = executable;
  }

  // A linked worktree whose repository registers it, made by hand.
  void linkedWorktree(const std::string& repository, const std::string& worktree) {
    const std::string record = repository + "/.git/worktrees/" + lastPathComponent(worktree);
    home.dir(repository + "/.git");
    home.text(worktree + "/.git", "gitdir: " + (home / record) + "\n");
    home.text(record + "/gitdir", (home / worktree) + "/.git\n");
  }

  void deskRegistry(const std::string& worktree, const char* state) {
    home.text("Library/Application Support/Claude/git-worktrees.json",
              std::string(R"({"worktrees": {"w": {"path": ")") + (home / worktree) + R"(", ")" +
                  state + R"(": "x"}}})");
  }
};

}  // namespace

// Each rule in the order of precedence: what refuses a location, and what lets it pass.
TEST(ScanTrashPolicyRules, TheFirstRuleThatAppliesDecides) {
  struct Case {
    const char* name;
    std::function<void(PolicyFixture&)> setUp;
    std::string selected;
    std::string expected;  // "" when accepted
    std::string root = "";
  };
  const std::vector<Case> cases = {
      {"an unverifiable snapshot beats everything",
       [](PolicyFixture& f) {
         f.home.dir(".claude");
         f.source->picture.failure = "ps failed";
       },
       ".claude", "cannot verify in-use state (ps failed)"},
      {"an AI tool's own folder", [](PolicyFixture& f) { f.home.dir(".codex"); }, ".codex",
       "AI tool state"},
      {"a catalog location inside it", [](PolicyFixture& f) { f.home.file(".claude/cache/a", 9); },
       ".claude/cache", ""},
      {"an unclaimed file in that location",
       [](PolicyFixture& f) { f.home.file(".claude/cache/a", 9); }, ".claude/cache/a",
       "AI tool state"},
      {"an agent's worktree root of its own",
       [](PolicyFixture& f) { f.home.text(".codex/worktrees/a1b2/.git", "gitdir: /nowhere\n"); },
       ".codex/worktrees/a1b2", ""},
      {"a file inside that worktree",
       [](PolicyFixture& f) {
         f.home.text(".codex/worktrees/a1b2/.git", "gitdir: /nowhere\n");
         f.home.file(".codex/worktrees/a1b2/notes.txt", 5);
       },
       ".codex/worktrees/a1b2/notes.txt", "AI tool state"},
      {"a folder holding an AI tool's launcher",
       [](PolicyFixture& f) {
         f.home.file(".local/bin/mine", 3);
         f.home.symlink(".local/bin/claude", f.home / ".local/share/claude/versions/2");
       },
       ".local/bin", "AI tool state"},
      {"the same folder without it", [](PolicyFixture& f) { f.home.file(".local/bin/mine", 3); },
       ".local/bin", ""},
      {"a desktop tool's Linux folder",
       [](PolicyFixture& f) { f.home.file(".config/Code/Crashpad/x", 3); }, ".config/Code/Crashpad",
       "AI tool state"},
      {"something holds a file open",
       [](PolicyFixture& f) {
         f.home.file("build/out/f.o", 9);
         f.running(42, "/usr/bin/node");
         f.source->files.files = {{42, f.home / "build/out/f.o"}};
       },
       "build/out", "in use: open by node (pid 42)"},
      {"the scanned folder itself", [](PolicyFixture& f) { f.home.dir("proj/src"); }, "proj", "",
       "proj"},
      {"a review-only location",
       [](PolicyFixture& f) { f.home.dir("Library/Developer/Xcode/Archives/2024"); },
       "Library/Developer/Xcode/Archives/2024",
       "review-only location: check it in your file manager"},
      {"a folder holding a review-only location",
       [](PolicyFixture& f) { f.home.dir("Library/Containers/com.docker.docker/Data"); },
       "Library/Containers/com.docker.docker",
       "review-only location: check it in your file manager"},
      {"a generic runtime never blocks by itself",
       [](PolicyFixture& f) {
         f.home.file(".npm/_cacache/index", 9);
         f.running(7, "/usr/bin/node");
       },
       ".npm/_cacache", ""},
      {"an owner application runs",
       [](PolicyFixture& f) {
         f.home.file(".claude/cache/a", 9);
         f.running(8, "/usr/local/bin/claude");
       },
       ".claude/cache", "Claude Code running"},
      {"a walk that cannot finish",
       [](PolicyFixture& f) {
         f.home.file("big/a", 1);
         f.home.file("big/b", 1);
         f.adjust = [](ScanTrashPolicy& p) { p.maxEntriesToVerify = 1; };
       },
       "big", "too large to verify contained worktrees; select a smaller folder"},
      {"a dirty worktree is named before a dirty repository",
       [](PolicyFixture& f) {
         f.home.dir("mix/app/.git");
         f.linkedWorktree("repo", "mix/feature");
         f.git.answer(f.home / "mix/app", dirty(true, 0));
         f.git.answer(f.home / "mix/feature", dirty(true, 0));
       },
       "mix", "contains worktree feature (dirty)"},
      {"a bare repository",
       [](PolicyFixture& f) {
         f.home.text("mix/store/HEAD", "ref: refs/heads/main\n");
         f.home.dir("mix/store/objects");
         f.home.dir("mix/store/refs");
       },
       "mix", "contains bare repository store"},
      {"unpushed commits",
       [](PolicyFixture& f) {
         f.home.dir("mix/app/.git");
         f.git.answer(f.home / "mix/app", dirty(true, 2));
       },
       "mix", "contains repository app (2 unpushed)"},
      {"neither changes nor commits",
       [](PolicyFixture& f) {
         f.home.dir("mix/app/.git");
         f.git.answer(f.home / "mix/app", dirty(false, 0));
       },
       "mix", "contains repository app (not clean)"},
      {"git failed",
       [](PolicyFixture& f) {
         f.home.dir("mix/app/.git");
         f.git.answer(f.home / "mix/app", failed("git status timed out"));
       },
       "mix", "contains repository app (status unknown: git status timed out)"},
      {"git was not asked",
       [](PolicyFixture& f) {
         f.home.text("mix/wt/.git", "gitdir: /nowhere\n");
         f.git.answer(f.home / "mix/wt", unknown());
       },
       "mix", "contains worktree wt (status unknown)"},
      {"a clone of its own",
       [](PolicyFixture& f) {
         f.home.text("mix/wt/.git", "gitdir: /nowhere\n");
         f.git.answer(f.home / "mix/wt", ownClone());
       },
       "mix", "contains worktree wt (own clone)"},
      {"the desktop agent keeps a worktree",
       [](PolicyFixture& f) {
         f.linkedWorktree("repo", "mix/feature");
         f.deskRegistry("mix/feature", "leasedBy");
       },
       "mix", "contains worktree feature (kept by Claude)"},
      {"the desktop agent pools a worktree",
       [](PolicyFixture& f) {
         f.linkedWorktree("repo", "mix/feature");
         f.deskRegistry("mix/feature", "pooledAt");
       },
       "mix", "contains worktree feature (Claude pool)"},
      {"a clean worktree", [](PolicyFixture& f) { f.linkedWorktree("repo", "mix/feature"); }, "mix",
       ""},
  };
  for (const Case& c : cases) {
    PolicyFixture f;
    c.setUp(f);
    std::string expected = c.expected;
    if (!c.root.empty()) {
      // The guard's own words for the folder the selection was found in.
      expected = "Refusing to remove " + cleanPath(f.home / c.selected) +
                 ": it is not inside the folder it was found in.";
    }
    EXPECT_EQ(f.refusalOf(c.selected, c.root), expected) << c.name;
  }
}

TEST(ScanTrashPolicyRules, ALinkedAgentFolderIsProtectedWhereItLeads) {
  PolicyFixture f;
  f.home.file("dotfiles/claude/projects/p/log.jsonl", 9);
  f.home.symlink(".claude", f.home / "dotfiles/claude");
  EXPECT_EQ(f.refusalOf("dotfiles/claude/projects"), "AI tool state");
  EXPECT_EQ(f.refusalOf("dotfiles/claude"), "AI tool state");
  EXPECT_EQ(f.refusalOf(".claude/projects"), "AI tool state");
  // A folder holding the agent's state is refused as that state.
  EXPECT_EQ(f.refusalOf("dotfiles"), "AI tool state");
}

TEST(ScanTrashPolicyRules, ShellSnapshotsPassOnlyWhileTheirRuleHolds) {
  PolicyFixture f;
  f.home.file(".claude/shell-snapshots/snapshot-1.sh", 9,
              std::chrono::system_clock::now() - 30 * 24h);
  f.home.setModified(".claude/shell-snapshots", std::chrono::system_clock::now() - 30 * 24h);
  const std::string id = cleanPath(f.home / ".claude/shell-snapshots");
  Verdict verdict = f.judge({".claude/shell-snapshots"});
  EXPECT_TRUE(verdict.refusals.empty());
  EXPECT_EQ(verdict.shellSnapshotsVerified, std::set<std::string>{id});

  f.running(9, "/usr/local/bin/claude");
  verdict = f.judge({".claude/shell-snapshots"});
  EXPECT_EQ(verdict.refusals.at(id), "in use: sourced by live Claude Code sessions");
  EXPECT_TRUE(verdict.shellSnapshotsVerified.empty());
}

TEST(ScanTrashPolicyRules, EachCheckoutIsAskedAboutOnce) {
  PolicyFixture f;
  f.home.dir("mine/app/.git");
  f.linkedWorktree("mine/app", "mine/app/.claude/worktrees/feat");  // by record and by walk
  f.linkedWorktree("mine/app", "mine/sibling");
  const Verdict verdict = f.judge({"mine", "mine/app", "mine/sibling"});
  EXPECT_TRUE(verdict.refusals.empty());
  std::vector<std::string> asked = f.git.asked;
  std::sort(asked.begin(), asked.end());
  EXPECT_EQ(asked, (std::vector<std::string>{
                       "repository " + (f.home / "mine/app"),
                       "worktree " + (f.home / "mine/app/.claude/worktrees/feat"),
                       "worktree " + (f.home / "mine/sibling"),
                   }));
  // Clean registered worktrees are pruned from their repository afterwards, once each.
  const std::set<std::string> app = {f.home / "mine/app"};
  EXPECT_EQ(verdict.pruneRepositories.at(cleanPath(f.home / "mine")), app);
  EXPECT_EQ(verdict.pruneRepositories.at(cleanPath(f.home / "mine/sibling")), app);
}

TEST(ScanTrashPolicyRules, WorktreeRootsOfTheTreeCountAsCheckouts) {
  PolicyFixture f;
  f.home.dir("proj/.claude/worktrees/feat/src");  // its ".git" file is already gone
  const std::string root = cleanPath(f.home / "proj/.claude/worktrees/feat");
  f.git.answer(root, failed("no .git"));
  const Verdict verdict =
      f.policy().evaluate({f.home / "proj/.claude/worktrees/feat/src"}, f.home.path(), {root});
  EXPECT_EQ(verdict.refusals.at(cleanPath(f.home / "proj/.claude/worktrees/feat/src")),
            "contains worktree feat (status unknown: no .git)");
  EXPECT_EQ(f.git.asked, std::vector<std::string>{"worktree " + root});
}

TEST(ScanTrashPolicyRules, AnEmptyRequestStillTakesTheSnapshot) {
  PolicyFixture f;
  EXPECT_EQ(f.judge({}), Verdict{});
  EXPECT_EQ(f.source->processCalls.load(), 1);
}

TEST(ScanTrashPolicyRules, TemporaryFilesAreJudgedByTheirNewestFile) {
  PolicyFixture f;
  const char* tmpdir = std::getenv("TMPDIR");
  ASSERT_NE(tmpdir, nullptr);
  const std::string temporary = cleanPath(tmpdir);
  FakeHome scratch("judged-temporary");
  const std::string old = appendingPath(temporary, lastPathComponent(scratch.path()) + "-old");
  const std::string fresh = appendingPath(temporary, lastPathComponent(scratch.path()) + "-new");
  for (const std::string& folder : {old, fresh}) {
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    FILE* file = std::fopen(appendingPath(folder, "f").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("bytes", file);
    std::fclose(file);
  }
  const auto month = std::chrono::system_clock::now() - 30 * 24h;
  for (const std::string& path : {appendingPath(old, "f"), old}) {
    const auto s = std::chrono::duration_cast<std::chrono::seconds>(month.time_since_epoch());
    const timespec times[2] = {{s.count(), 0}, {s.count(), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
  }
  const Verdict verdict = f.policy().evaluate({old, fresh}, temporary, {});
  EXPECT_EQ(verdict.refusals.count(old), 0u);
  EXPECT_EQ(verdict.refusals.at(fresh), "in use: modified in the last 72 h");
}
