#include "services/discovery/project_discovery.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/fake_home.h"
#include "support/manual_clock.h"
#include "support/scratch_mount.h"
#include "utilities/path_canonical.h"

using namespace hl;
using namespace std::chrono_literals;
using hl::test::FakeHome;

namespace {

const Date now = hl::test::referenceDate();

std::vector<std::string> ids(const FakeHome& home, const std::vector<CacheItem>& items) {
  std::vector<std::string> out;
  for (const CacheItem& item : items) out.push_back(abbreviatedPath(item.id, home.path()));
  return out;
}

ProjectDiscovery discovery(const std::string& home) {
  ProjectDiscovery d;
  d.home = home;
  return d;
}

}  // namespace

TEST(ProjectDiscovery, RecognisesADependencyFolderByItsMarker) {
  FakeHome home;
  home.text("Projects/app/package.json", "{}", now - 90 * 24h);
  home.text("Projects/app/node_modules/inner/package.json", "{}");
  home.dir("Projects/app/node_modules/inner/node_modules");  // never visited
  home.setModified("Projects/app/node_modules", now - 24h);

  const auto items = discovery(home.path()).discover(now);
  ASSERT_EQ(ids(home, items), (std::vector<std::string>{"~/Projects/app/node_modules"}));
  const CacheItem& item = items[0];
  EXPECT_EQ(item.name, "node_modules");
  EXPECT_EQ(item.group, CacheGroup::projects);
  EXPECT_EQ(item.risk, RiskLevel::moderate);
  EXPECT_EQ(item.owners, (std::vector<std::string>{"node"}));
  EXPECT_EQ(item.discoveryRoot, home / "Projects/app");
  // The project's own files date the project; the build output dates itself.
  EXPECT_EQ(item.projectModified, now - 90 * 24h);
  EXPECT_EQ(item.modified, now - 24h);
  EXPECT_EQ(item.subtitle, "app · project last modified 2 mo. ago");
}

TEST(ProjectDiscovery, AFolderThatFailsItsRuleIsWalkedOnlyWhenAllowed) {
  FakeHome home;
  home.dir("code/a/node_modules/sub/__pycache__");  // no marker: neither item nor walked
  home.dir("code/b/target/nested/target");          // no marker: walked like any folder
  home.text("code/b/target/nested/Cargo.toml", "");
  home.dir("code/c/.venv/lib/__pycache__");         // no pyvenv.cfg: hidden, not walked
  home.text("code/d/.venv/pyvenv.cfg", "");
  home.dir("code/e/venv");
  home.dir("code/e/venv/pyvenv.cfg");               // a folder counts as a marker too
  auto found = ids(home, discovery(home.path()).discover(now));
  std::sort(found.begin(), found.end());  // one listing's order is the file system's
  EXPECT_EQ(found, (std::vector<std::string>{"~/code/b/target/nested/target", "~/code/d/.venv",
                                             "~/code/e/venv"}));
}

TEST(ProjectDiscovery, FolderWithOnlyBytecodeHasNoProjectDate) {
  FakeHome home;
  home.dir("src/tool/__pycache__");
  const auto items = discovery(home.path()).discover(now);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].subtitle, "tool");
  EXPECT_EQ(items[0].projectModified, std::nullopt);
  EXPECT_EQ(items[0].owners, (std::vector<std::string>{"python3", "python"}));
}

TEST(ProjectDiscovery, FoldersOfOneProjectShareSubtitleAndDate) {
  FakeHome home;
  home.text("work/web/package.json", "{}", now - 3 * 24h);
  home.text("work/web/README", "", now - 10 * 24h);
  home.dir("work/web/dist");
  home.dir("work/web/node_modules");
  const auto items = discovery(home.path()).discover(now);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].subtitle, "web · project last modified 3 days ago");
  EXPECT_EQ(items[0].subtitle, items[1].subtitle);
  EXPECT_EQ(items[0].projectModified, now - 3 * 24h);
  EXPECT_EQ(items[1].projectModified, now - 3 * 24h);
}

TEST(ProjectDiscovery, RecognisedFoldersAreFoundOneLevelBelowTheDeepestListing) {
  FakeHome home;
  home.dir("repos/1/2/3/4/5/__pycache__");    // depth 6: found, its folder 5 was listed
  home.dir("repos/1/2/3/4/5/6/__pycache__");  // folder 6 is never listed
  EXPECT_EQ(ids(home, discovery(home.path()).discover(now)),
            (std::vector<std::string>{"~/repos/1/2/3/4/5/__pycache__"}));
}

TEST(ProjectDiscovery, WalksRootsInOrderAndFoldersBreadthFirst) {
  FakeHome home;
  home.dir("Documents/a/b/__pycache__");
  home.dir("Documents/z/__pycache__");
  home.dir("Developer/x/__pycache__");
  const auto found = ids(home, discovery(home.path()).discover(now));
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0], "~/Documents/z/__pycache__");  // depth 2 before depth 3
  EXPECT_EQ(found[1], "~/Documents/a/b/__pycache__");
  EXPECT_EQ(found[2], "~/Developer/x/__pycache__");
}

TEST(ProjectDiscovery, NeverEntersHiddenLinkedOrAgentFolders) {
  FakeHome home;
  home.dir("code/.cache/p/__pycache__");
  home.dir("code/app/.claude/worktrees/w/__pycache__");
  home.dir("code/app/.git/__pycache__");
  home.dir("code/Library/__pycache__");
  home.dir("elsewhere/p/__pycache__");
  home.symlink("code/link", home / "elsewhere");
  home.symlink("code/q/__pycache__", home / "elsewhere/p/__pycache__");
  EXPECT_TRUE(discovery(home.path()).discover(now).empty());
}

TEST(ProjectDiscovery, NothingWhenHomeLiesInsideAnAgentWorktree) {
  FakeHome base;
  const std::string home = base.dir("repo/.claude/worktrees/w");
  base.dir("repo/.claude/worktrees/w/code/app/__pycache__");
  EXPECT_TRUE(discovery(home).discover(now).empty());
}

TEST(ProjectDiscovery, DatalessFolderIsNeitherAnItemNorADate) {
  FakeHome home;
  home.text("code/cpp/CMakeLists.txt", "", now - 40 * 24h);
  home.dir("code/cpp/build", now - 1h);
  ProjectDiscovery d = discovery(home.path());
  const std::string build = home / "code/cpp/build";
  d.boundary = WalkBoundary([build](std::string_view path) { return path == build; });
  EXPECT_TRUE(d.discover(now).empty());
  home.dir("code/cpp/__pycache__", now - 50 * 24h);
  const auto items = d.discover(now);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].projectModified, now - 40 * 24h);
}

TEST(ProjectDiscovery, FolderOnAnotherVolumeIsNeitherAnItemNorADate) {
  if (const std::string reason = hl::test::ScratchMount::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << reason;
  }
  FakeHome home;
  home.text("code/cpp/CMakeLists.txt", "", now - 40 * 24h);
  home.dir("code/cpp/build");
  home.dir("code/cpp/__pycache__");
  const auto mount = hl::test::ScratchMount::tmpfs(home / "code/cpp/build");
  const auto items = discovery(home.path()).discover(now);
  ASSERT_EQ(ids(home, items), (std::vector<std::string>{"~/code/cpp/__pycache__"}));
  EXPECT_EQ(items[0].projectModified, now - 40 * 24h);
}

TEST(ProjectDiscovery, VolumeRuleFollowsTheBoundarysVolumeSource) {
  FakeHome home;
  home.text("code/cpp/CMakeLists.txt", "", now - 40 * 24h);
  home.dir("code/cpp/build", now - 1h);
  home.dir("code/cpp/mounted/app/__pycache__");
  ProjectDiscovery d = discovery(home.path());
  const std::string build = home / "code/cpp/build";
  const std::string mounted = home / "code/cpp/mounted";
  d.boundary = WalkBoundary(nullptr, [=](std::string_view path) -> std::optional<VolumeIdentifier> {
    if (path == build || path.substr(0, mounted.size()) == mounted) return VolumeIdentifier{2, 9};
    return VolumeIdentifier{1, 1};
  });
  EXPECT_TRUE(d.discover(now).empty());
}

TEST(ProjectDiscovery, KeepsWalkingALinkedSearchRoot) {
  FakeHome home;
  FakeHome outside("outside");
  outside.text("app/Cargo.toml", "");
  outside.dir("app/target");
  home.symlink("src", outside.path());
  const auto items = discovery(home.path()).discover(now);
  ASSERT_EQ(ids(home, items), (std::vector<std::string>{"~/src/app/target"}));
  EXPECT_EQ(items[0].discoveryRoot, home / "src/app");
}

TEST(ProjectRule, MarkersBesideOrInside) {
  FakeHome home;
  const auto& rules = ProjectDiscovery::rules();
  ASSERT_EQ(rules.size(), 10u);
  const auto& gradle = rules[6];
  EXPECT_EQ(gradle.name, ".gradle");
  EXPECT_TRUE(gradle.matches(home / "p/.gradle", {"settings.gradle.kts", "x"}));
  EXPECT_FALSE(gradle.matches(home / "p/.gradle", {"pom.xml"}));

  const auto& venv = rules[7];
  EXPECT_EQ(venv.name, ".venv");
  home.dir("p/.venv");
  EXPECT_FALSE(venv.matches(home / "p/.venv", {}));
  home.text("p/.venv/pyvenv.cfg", "");
  EXPECT_TRUE(venv.matches(home / "p/./.venv/", {}));

  EXPECT_TRUE(rules[9].matches(home / "anything", {}));  // __pycache__ needs no marker
}

// The search roots name folders as a file system that ignores case finds them: every spelling in
// the home is a root, the roots in their order and the spellings of one in name order, and a
// folder reached under a second name is walked once.
TEST(ProjectDiscovery, SearchRootsIgnoreCaseAndEachFolderIsWalkedOnce) {
  FakeHome home;
  for (const char* root : {"projects/web", "Projects/api", "Code/x", "SRC/y"}) {
    home.text(std::string(root) + "/package.json", "{}");
    home.dir(std::string(root) + "/node_modules");
  }
  home.text("Code/x/.venv/pyvenv.cfg", "");
  home.text("codes/z/package.json", "{}");  // not a root's name
  home.dir("codes/z/node_modules");
  home.symlink("work", home / "Code");  // the same folder under another root's name
  home.text("repos", "a file of a root's name");

  const auto items = discovery(home.path()).discover(now);
  EXPECT_EQ(ids(home, items),
            (std::vector<std::string>{"~/Projects/api/node_modules", "~/projects/web/node_modules",
                                      "~/Code/x/node_modules", "~/Code/x/.venv",
                                      "~/SRC/y/node_modules"}));
}
