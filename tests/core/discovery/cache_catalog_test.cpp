#include "services/discovery/cache_catalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <unordered_set>

using namespace hl;

namespace {

const CacheSource& rowAt(CacheGroup group, std::string_view path) {
  const auto& rows = CacheCatalog::sources(group);
  const auto it = std::find_if(rows.begin(), rows.end(), [&](const CacheSource& source) {
    return source.paths.front() == path;
  });
  EXPECT_NE(it, rows.end()) << path;
  return *it;
}

// Items of `group` as a scan of `home` finds them, read at each of the home-relative folders.
std::vector<CacheItem> foundAt(const std::string& home, CacheGroup group,
                               const std::vector<std::string>& folders) {
  std::vector<CacheItem> items;
  for (const std::string& folder : folders) {
    CacheItemInit init;
    init.url = home + "/" + folder + "/entry";
    init.discoveryRoot = home + "/" + folder;
    init.group = group;
    init.home = home;
    items.emplace_back(std::move(init));
  }
  return items;
}

}  // namespace

TEST(CacheCatalog, TablesKeepTheirRowsAndGroupsWithoutRowsAreEmpty) {
  EXPECT_EQ(CacheCatalog::sources(CacheGroup::packageCaches).size(), 28u);
  EXPECT_EQ(CacheCatalog::sources(CacheGroup::buildTools).size(), 13u);
  EXPECT_EQ(CacheCatalog::sources(CacheGroup::xcode).size(), 7u);
  EXPECT_EQ(CacheCatalog::sources(CacheGroup::largeBackups).size(), 6u);
  EXPECT_EQ(CacheCatalog::sources(CacheGroup::systemCaches).size(), 4u);
  EXPECT_EQ(CacheCatalog::sources(CacheGroup::trash).size(), 1u);
  EXPECT_TRUE(CacheCatalog::sources(CacheGroup::aiWorktrees).empty());
  EXPECT_TRUE(CacheCatalog::sources(CacheGroup::projects).empty());
  EXPECT_TRUE(CacheCatalog::sources(CacheGroup::custom).empty());
  // Built once: the same table every time.
  EXPECT_EQ(&CacheCatalog::sources(CacheGroup::xcode), &CacheCatalog::xcode());
}

TEST(CacheCatalog, OnlyAGroupWhoseEveryRowLiesInTheMacLibraryCoversOnlyMacLocations) {
  std::vector<CacheGroup> macOnly;
  for (CacheGroup group : allCacheGroups) {
    if (CacheCatalog::coversOnlyMacLocations(group)) macOnly.push_back(group);
  }
  EXPECT_EQ(macOnly, std::vector<CacheGroup>{CacheGroup::xcode});
  // A row with a Linux place beside its macOS one is not macOS-only.
  EXPECT_FALSE(CacheCatalog::isMacOnly(CacheCatalog::packageCaches()[2]));
  EXPECT_TRUE(CacheCatalog::isMacOnly(CacheSource::children("Library/Caches")));
  EXPECT_FALSE(CacheCatalog::isMacOnly(CacheSource::children("$TMPDIR")));
  EXPECT_FALSE(CacheCatalog::isMacOnly(CacheSource::itself(".cache/Library/x")));
}

TEST(CacheCatalog, RowsCarryTheirRulesAndActions) {
  const CacheSource& pnpm = CacheCatalog::packageCaches()[2];
  EXPECT_EQ(pnpm.paths, (std::vector<std::string>{"Library/pnpm/store", ".local/share/pnpm/store"}));
  EXPECT_EQ(pnpm.toolKey, ToolLocationKey::pnpmStore);
  EXPECT_EQ(pnpm.action, NativeAction::Tool::pnpm);

  const CacheSource& cache = CacheCatalog::packageCaches().back();
  EXPECT_EQ(cache.paths.front(), ".cache");
  EXPECT_TRUE(cache.isChildren());
  EXPECT_FALSE(cache.directoriesOnly());
  EXPECT_EQ(cache.excludedChildren, (std::set<std::string>{"codex-runtimes"}));
  EXPECT_EQ(cache.reviewChildren, CacheCatalog::modelCacheNames());

  const CacheSource& runtimes = rowAt(CacheGroup::packageCaches, ".cache/codex-runtimes");
  EXPECT_TRUE(runtimes.directoriesOnly());
  EXPECT_EQ(runtimes.allowedPrefixes,
            (std::vector<std::string>{"codex-runtime-install-", "install-"}));
  EXPECT_EQ(runtimes.guardRule, GuardRule::codexNotRunning);
  EXPECT_EQ(runtimes.owners, CacheCatalog::codexOwners());

  const CacheSource& snapshots = rowAt(CacheGroup::buildTools, ".claude/shell-snapshots");
  EXPECT_EQ(snapshots.guardRule, GuardRule::claudeShellSnapshots);
  EXPECT_EQ(snapshots.risk, RiskLevel::moderate);

  const CacheSource& support =
      rowAt(CacheGroup::xcode, "Library/Developer/Xcode/iOS DeviceSupport");
  EXPECT_EQ(support.keepNewestVersions, 2);

  const CacheSource& docker = CacheCatalog::largeBackups().back();
  EXPECT_TRUE(docker.isReportOnly);
  EXPECT_EQ(docker.risk, RiskLevel::moderate);
  EXPECT_EQ(docker.action, NativeAction::Tool::docker);
  EXPECT_EQ(CacheCatalog::largeBackups()[1].note, "Cowork VM — managed by the Claude app");

  const CacheSource& temporary = CacheCatalog::systemCaches().back();
  EXPECT_EQ(temporary.paths.front(), "$TMPDIR");
  EXPECT_EQ(temporary.guardRule, GuardRule::temporaryFiles);

  const CacheSource& trash = CacheCatalog::trash().front();
  EXPECT_EQ(trash.paths.front(), CacheCatalog::homeTrashPath);
  EXPECT_TRUE(trash.isReportOnly);
  EXPECT_EQ(trash.risk, RiskLevel::review);
}

TEST(CacheCatalog, NamedSetsKeepTheirOrder) {
  EXPECT_EQ(CacheCatalog::repositorySearchRoots(),
            (std::vector<std::string>{"Documents", "Developer", "Projects", "code", "src", "repos",
                                      "work"}));
  EXPECT_EQ(CacheCatalog::toolWorktreeFolders(),
            (std::vector<std::string>{".grok/worktrees", ".codex/worktrees", ".cursor/worktrees"}));
  EXPECT_EQ(CacheCatalog::worktreeSkippedNames(),
            (std::set<std::string>{"node_modules", ".git", "Library"}));
}

TEST(CacheCatalog, CoveredPathsNameOnlyWhatThisHomeCanHold) {
  const std::string home = "/home/u";
  struct Case {
    std::string name;
    CacheGroup group;
    std::vector<CacheItem> found;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"build tools: the agents' folders, none of the Library rows, no clone folder",
       CacheGroup::buildTools, {},
       {"~/.codex/{.tmp, cache, log, packages, tmp}", "~/.claude/cache", "~/.claude/paste-cache",
        "~/.claude/shell-snapshots", "~/.claude/debug", "~/.claude/downloads"}},
      {"system caches: the private temporary folder alone", CacheGroup::systemCaches, {},
       {"$TMPDIR/*"}},
      {"large items: no device backups, disk image or local snapshots",
       CacheGroup::largeBackups, {}, {"~/miniconda3/pkgs", "~/.asdf/installs"}},
      {"Xcode: nothing until something is found", CacheGroup::xcode, {}, {}},
      {"Xcode: the row whose folder this home has, and no simulators",
       CacheGroup::xcode,
       foundAt(home, CacheGroup::xcode, {"Library/Developer/Xcode/DerivedData"}),
       {"~/Library/Developer/Xcode/DerivedData/*"}},
      {"an item of another group brings no line", CacheGroup::xcode,
       foundAt(home, CacheGroup::systemCaches, {"Library/Developer/Xcode/DerivedData"}), {}},
      {"a tool's own place in .cache brings no Library line", CacheGroup::packageCaches,
       foundAt(home, CacheGroup::packageCaches, {".cache/go-build", ".cache/Homebrew"}), {}},
      {"the Trash is the freedesktop one", CacheGroup::trash, {}, {"~/.local/share/Trash"}},
  };
  for (const Case& c : cases) {
    const auto lines = CacheCatalog::coveredPaths(c.group, {}, home, c.found);
    if (c.group == CacheGroup::packageCaches) {
      // Every line of a row outside the Library, and none with it.
      EXPECT_EQ(lines.size(), 21u) << c.name;
      for (const std::string& line : lines) EXPECT_EQ(line.find("Library"), std::string::npos);
      continue;
    }
    EXPECT_EQ(lines, c.lines) << c.name;
  }
}

TEST(CacheCatalog, ARowShowsItsLinuxPlaceAndItsLibraryPlaceOnlyWhereFound) {
  const std::string home = "/home/u";
  const auto packages = CacheCatalog::coveredPaths(CacheGroup::packageCaches, {}, home, {});
  EXPECT_EQ(packages[0], "~/.npm/_cacache");
  EXPECT_EQ(packages[2], "~/.local/share/pnpm/store");
  EXPECT_EQ(packages[16], "~/.cache/codex-runtimes/*");  // prefixes are not shown
  EXPECT_EQ(packages.back(), "~/.cache/*");
  // A home that has the Library folder too: both places, as the row tries them.
  const auto withLibrary = CacheCatalog::coveredPaths(
      CacheGroup::packageCaches, {}, home,
      foundAt(home, CacheGroup::packageCaches, {"Library/pnpm/store", "Library/Caches/pip"}));
  EXPECT_EQ(withLibrary.size(), 22u);
  EXPECT_EQ(withLibrary[2], "~/Library/pnpm/store or ~/.local/share/pnpm/store");
  EXPECT_EQ(withLibrary[5], "~/Library/Caches/pip");
}

TEST(CacheCatalog, CoveredPathsOfDiscoveredGroups) {
  EXPECT_TRUE(CacheCatalog::coveredPaths(CacheGroup::custom, {}, "/home/u", {}).empty());
  const std::vector<std::string> extras = {"~/big", "/data/x"};
  EXPECT_EQ(CacheCatalog::coveredPaths(CacheGroup::custom, extras, "/home/u", {}), extras);

  const auto projects = CacheCatalog::coveredPaths(CacheGroup::projects, extras, "/home/u", {});
  ASSERT_EQ(projects.size(), 7u);
  EXPECT_EQ(projects[0],
            "~/Documents/**/{node_modules, target, .next, dist, build, .build, .gradle, .venv, "
            "venv, __pycache__} (depth ≤ 5)");

  const auto worktrees = CacheCatalog::coveredPaths(CacheGroup::aiWorktrees, {}, "/home/u", {});
  ASSERT_EQ(worktrees.size(), 10u);
  EXPECT_EQ(worktrees[3], "~/code/**/.claude/worktrees/* (depth ≤ 4)");
  EXPECT_EQ(worktrees[7], "~/.grok/worktrees/*");
  EXPECT_EQ(worktrees[9], "~/.cursor/worktrees/*");
}

TEST(CacheSource, EqualityAndHashCoverEveryField) {
  const CacheSource a = CacheSource::children("x", true, RiskLevel::moderate);
  CacheSource b = a;
  EXPECT_EQ(a, b);
  EXPECT_EQ(std::hash<CacheSource>{}(a), std::hash<CacheSource>{}(b));
  b.keepNewestVersions = 1;
  EXPECT_NE(a, b);
  EXPECT_NE(a, CacheSource::children("x", false, RiskLevel::moderate));
  EXPECT_NE(a, CacheSource::itself("x", RiskLevel::moderate));

  std::unordered_set<CacheSource> all;
  for (CacheGroup group : allCacheGroups) {
    for (const CacheSource& source : CacheCatalog::sources(group)) all.insert(source);
  }
  EXPECT_EQ(all.size(), 28u + 13u + 7u + 6u + 4u + 1u);  // no two rows alike
}
