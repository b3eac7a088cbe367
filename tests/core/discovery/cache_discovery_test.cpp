#include "services/discovery/cache_discovery.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "platform/temporary_folder.h"
#include "platform/trash_folders.h"
#include "platform/user_folders.h"
#include "services/discovery/exclusion_list.h"
#include "support/fake_home.h"
#include "support/manual_clock.h"
#include "support/test_environment.h"
#include "utilities/path_canonical.h"

using namespace hl;
using namespace std::chrono_literals;
using hl::test::FakeHome;

namespace {

const Date now = hl::test::referenceDate();

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

CacheDiscovery discovery(const std::string& home) {
  CacheDiscovery d;
  d.home = home;
  d.worktrees.home = home;
  d.projects.home = home;
  d.clock = [] { return now; };
  return d;
}

// The ids of one group's items, abbreviated against the home, in claim order.
std::vector<std::string> ids(const FakeHome& home, const DiscoveryResult& result,
                             CacheGroup group) {
  std::vector<std::string> out;
  for (const CacheItem& item : result.items) {
    if (item.group == group) out.push_back(abbreviatedPath(item.id, home.path()));
  }
  return out;
}

const CacheItem* find(const DiscoveryResult& result, const std::string& id) {
  for (const CacheItem& item : result.items) {
    if (item.id == id) return &item;
  }
  return nullptr;
}

using Paths = std::vector<std::string>;

}  // namespace

TEST(CacheDiscovery, EarlierGroupsClaimFirstBothWays) {
  FakeHome home;
  home.dir("Library/Caches/tool/data");
  home.dir(".npm/_cacache/index");
  CacheDiscovery d = discovery(home.path());
  d.extraPaths = {home / "Library/Caches/tool", home / ".npm/_cacache/index"};
  const auto result = d.discover();
  // Custom paths come before the system caches, after the package caches.
  EXPECT_EQ(ids(home, result, CacheGroup::custom), Paths{"~/Library/Caches/tool"});
  EXPECT_EQ(ids(home, result, CacheGroup::packageCaches), Paths{"~/.npm/_cacache"});
  EXPECT_EQ(ids(home, result, CacheGroup::systemCaches), Paths{});

  const CacheItem* custom = find(result, home / "Library/Caches/tool");
  ASSERT_NE(custom, nullptr);
  EXPECT_EQ(custom->risk, RiskLevel::moderate);
  EXPECT_EQ(custom->subtitle, "~/Library/Caches/tool");
  EXPECT_EQ(custom->discoveryRoot, home / "Library/Caches/tool");
  EXPECT_TRUE(custom->modified.has_value());
}

TEST(CacheDiscovery, ProjectsClaimBeforeCustomPaths) {
  FakeHome home;
  home.text("Projects/app/package.json", "{}");
  home.dir("Projects/app/node_modules");
  CacheDiscovery d = discovery(home.path());
  d.extraPaths = {home / "Projects/app/node_modules", home / "Projects/app"};
  const auto result = d.discover();
  EXPECT_EQ(ids(home, result, CacheGroup::projects), Paths{"~/Projects/app/node_modules"});
  // The project folder holds a claimed item, so it is refused as a whole.
  EXPECT_EQ(ids(home, result, CacheGroup::custom), Paths{});
}

TEST(CacheDiscovery, CustomPathsAreExpandedAndMustExist) {
  FakeHome home;
  home.dir("big");
  home.symlink("dangling", home / "nowhere");
  const ScopedEnv env("HOME", home.path());
  CacheDiscovery d = discovery(home.path());
  d.extraPaths = {"~/big", "~", "~/missing", "relative/big", "", home / "dangling"};
  const auto result = d.discover();
  // "~" holds forbidden trees; a relative path names no definite folder; a dangling link
  // exists (only the link itself would go).
  EXPECT_EQ(ids(home, result, CacheGroup::custom), (Paths{"~/big", "~/dangling"}));
}

TEST(CacheDiscovery, ForbiddenTreesRefuseBothWays) {
  FakeHome home;
  home.text(".ssh/id_ed25519", "key");
  home.dir(".claude/projects/p");
  home.dir(".claude/shell-snapshots");
  home.dir("Library/Application Support/Claude/vm_bundles");
  home.dir(".config/Code/User");
  CacheDiscovery d = discovery(home.path());
  d.extraPaths = {home / ".ssh/id_ed25519", home / ".claude", home / ".claude/projects/p",
                  home / ".config/Code", home / ".config/Code/User"};
  const auto result = d.discover();
  EXPECT_EQ(ids(home, result, CacheGroup::custom), Paths{});
  // Shell snapshots are not forbidden while discovering; a report-only row is listed even
  // when it is a forbidden tree.
  EXPECT_EQ(ids(home, result, CacheGroup::buildTools), Paths{"~/.claude/shell-snapshots"});
  EXPECT_EQ(ids(home, result, CacheGroup::largeBackups),
            Paths{"~/Library/Application Support/Claude/vm_bundles"});
  const CacheItem* vm = find(result, home / "Library/Application Support/Claude/vm_bundles");
  ASSERT_NE(vm, nullptr);
  EXPECT_TRUE(vm->isReportOnly);
  EXPECT_EQ(vm->subtitle,
            "~/Library/Application Support/Claude/vm_bundles · Cowork VM — managed by the Claude "
            "app");
}

TEST(CacheDiscovery, ForbiddenPatternsRefuseFilesAndWhatIsInside) {
  FakeHome home;
  home.text(".claude.json.backup", "{}");
  home.text(".claude/settings.local.json", "{}");
  home.text(".codex/state_5.sqlite-wal", "");
  home.dir(".claude/settings.json.d/inner");
  home.text(".claude-notes.txt", "");
  CacheDiscovery d = discovery(home.path());
  d.extraPaths = {home / ".claude.json.backup", home / ".claude/settings.local.json",
                  home / ".codex/state_5.sqlite-wal", home / ".claude/settings.json.d/inner",
                  home / ".claude-notes.txt"};
  EXPECT_EQ(ids(home, d.discover(), CacheGroup::custom), Paths{"~/.claude-notes.txt"});
}

TEST(CacheDiscovery, LinkedRootBelowHomeLeavesANoteInstead) {
  FakeHome home;
  FakeHome elsewhere("elsewhere");
  elsewhere.dir("npm/index");
  elsewhere.dir("cargo/registry/cache");
  elsewhere.dir("cargo/registry/src");
  home.dir(".npm");
  home.symlink(".npm/_cacache", elsewhere / "npm");
  home.symlink(".cargo", elsewhere / "cargo");
  const auto result = discovery(home.path()).discover();
  EXPECT_EQ(ids(home, result, CacheGroup::packageCaches), Paths{});
  EXPECT_EQ(result.notes, (Paths{"skipped: symlink root ~/.npm/_cacache",
                                 "skipped: symlink root ~/.cargo",
                                 "skipped: symlink root ~/.cargo"}));
}

TEST(CacheDiscovery, LinkAboveHomeDoesNotCount) {
  FakeHome real;
  real.dir(".npm/_cacache/index");
  FakeHome base("base");
  const std::string linkedHome = base.symlink("home", real.path());
  const auto result = discovery(linkedHome).discover();
  EXPECT_TRUE(result.notes.empty());
  ASSERT_NE(find(result, linkedHome + "/.npm/_cacache"), nullptr);
  EXPECT_EQ(find(result, linkedHome + "/.npm/_cacache")->subtitle, "~/.npm/_cacache");
}

TEST(CacheDiscovery, ToolLocationsComeFirst) {
  FakeHome home;
  FakeHome elsewhere("elsewhere");
  home.dir(".npm/_cacache");
  elsewhere.dir("npm/index-v5");
  home.symlink("npm-cache", elsewhere / "npm");
  home.text("tools/uv-cache/CACHEDIR.TAG", "Signature: 8a477f597d28d172789f06886806bc55\n");
  home.dir("tools/uv-cache/wheels-v5");
  home.dir(".cache/uv");
  home.dir("go/pkg/mod/cache");
  CacheDiscovery d = discovery(home.path());
  d.tools.locations[ToolLocationKey::npmCacache] = home / "npm-cache";
  d.tools.locations[ToolLocationKey::uvCache] = home / "tools/uv-cache";
  d.tools.locations[ToolLocationKey::goModCache] = "relative/go";  // names no definite folder
  d.tools.available = {NativeAction::Tool::uv};
  const auto result = d.discover();
  // An answer that names no definite folder is set aside first; a linked tool location is
  // noted even though a later path of its row exists.
  EXPECT_EQ(result.notes, (Paths{"Set aside the module cache location go gave, relative/go: it "
                                 "is not an absolute path; the usual location is used instead.",
                                 "skipped: symlink root ~/npm-cache"}));
  EXPECT_EQ(find(result, home / ".npm/_cacache"), nullptr);

  const CacheItem* uv = find(result, home / "tools/uv-cache");
  ASSERT_NE(uv, nullptr);
  EXPECT_EQ(uv->action, NativeAction{NativeAction::Tool::uv});
  EXPECT_EQ(uv->owners, Paths{"uv"});
  // The folder the tool did not report is still a child of the .cache row.
  ASSERT_NE(find(result, home / ".cache/uv"), nullptr);
  EXPECT_EQ(find(result, home / ".cache/uv")->group, CacheGroup::packageCaches);

  const CacheItem* go = find(result, home / "go/pkg/mod/cache");
  ASSERT_NE(go, nullptr);
  EXPECT_EQ(go->action, std::nullopt);  // go is not available
}

TEST(CacheDiscovery, ChildrenRowFiltersAndOrdersItsEntries) {
  FakeHome home;
  for (const char* name : {"codex-runtimes", "lm-studio", "torch", "ollama", "uv", "pre-commit",
                           "huggingface", "whisper", "app"}) {
    home.dir(std::string(".cache/") + name);
  }
  home.text(".cache/.DS_Store", "");
  home.text(".cache/file10", "");
  home.text(".cache/file9", "", now - 5 * 24h);
  home.symlink(".cache/link", home / "elsewhere");
  const auto result = discovery(home.path()).discover();

  std::vector<std::string> children;
  for (const CacheItem& item : result.items) {
    if (item.discoveryRoot == home / ".cache") children.push_back(item.name);
  }
  EXPECT_EQ(children, (Paths{"app", "file9", "file10", "link", "lm-studio", "ollama", "torch"}));
  EXPECT_EQ(find(result, home / ".cache/torch")->risk, RiskLevel::review);
  EXPECT_EQ(find(result, home / ".cache/app")->risk, RiskLevel::safe);
  EXPECT_EQ(find(result, home / ".cache/file9")->modified, now - 5 * 24h);
  // Claimed by their own rows, once each.
  EXPECT_EQ(find(result, home / ".cache/huggingface")->discoveryRoot, home / ".cache/huggingface");
  EXPECT_EQ(find(result, home / ".cache/huggingface")->risk, RiskLevel::review);
  EXPECT_EQ(find(result, home / ".cache/uv")->discoveryRoot, home / ".cache/uv");
  EXPECT_EQ(std::count_if(result.items.begin(), result.items.end(),
                          [&](const CacheItem& item) { return item.name == "huggingface"; }),
            1);
}

TEST(CacheDiscovery, DirectoriesOnlyRowsWithAllowedNamesAndPrefixes) {
  FakeHome home;
  home.dir(".codex/log");
  home.dir(".codex/packages");
  home.dir(".codex/other");
  home.text(".codex/tmp", "a file");
  home.symlink(".codex/cache", home.dir("real-cache"));
  home.dir(".cache/codex-runtimes/install-a");
  home.dir(".cache/codex-runtimes/codex-runtime-install-b");
  home.dir(".cache/codex-runtimes/codex-primary-runtime");
  home.text(".cache/codex-runtimes/install-file", "");
  const auto result = discovery(home.path()).discover();
  EXPECT_EQ(ids(home, result, CacheGroup::buildTools), (Paths{"~/.codex/log", "~/.codex/packages"}));
  const CacheItem* log = find(result, home / ".codex/log");
  EXPECT_EQ(log->guardRule, GuardRule::codexNotRunning);
  EXPECT_EQ(log->owners, CacheCatalog::codexOwners());
  EXPECT_EQ(log->risk, RiskLevel::moderate);
  EXPECT_EQ(ids(home, result, CacheGroup::packageCaches),
            (Paths{"~/.cache/codex-runtimes/codex-runtime-install-b",
                   "~/.cache/codex-runtimes/install-a"}));
}

TEST(CacheDiscovery, AnEntryHoldingAnEarlierItemIsRefused) {
  FakeHome home;
  home.dir("Library/Caches/Google/Chrome/Default");
  home.dir("Library/Caches/pip");
  home.dir("Library/Caches/other");
  const auto result = discovery(home.path()).discover();
  EXPECT_EQ(ids(home, result, CacheGroup::buildTools), Paths{"~/Library/Caches/Google/Chrome"});
  EXPECT_EQ(ids(home, result, CacheGroup::packageCaches), Paths{"~/Library/Caches/pip"});
  EXPECT_EQ(ids(home, result, CacheGroup::systemCaches), Paths{"~/Library/Caches/other"});
}

TEST(CacheDiscovery, KeepsTheNewestVersionsAndPrefixesXcodeOwners) {
  FakeHome home;
  const std::string support = "Library/Developer/Xcode/iOS DeviceSupport/";
  for (const char* name : {"16.4 (20E247)", "17.0 (21A329)", "17.2 (21C62)", "Extra"}) {
    home.dir(support + name);
  }
  home.dir("Library/Developer/Xcode/DerivedData/App-abc");
  const auto result = discovery(home.path()).discover();
  std::vector<std::string> kept;
  for (const CacheItem& item : result.items) {
    if (item.keepNewest) kept.push_back(item.name);
  }
  EXPECT_EQ(kept, (Paths{"17.0 (21A329)", "17.2 (21C62)"}));
  EXPECT_EQ(find(result, home / (support + "Extra"))->owners,
            (Paths{"Xcode", "Simulator", "com.apple.CoreSimulator.CoreSimulatorService", "Xcode"}));
  EXPECT_EQ(find(result, home / "Library/Developer/Xcode/DerivedData/App-abc")->group,
            CacheGroup::xcode);

  FakeHome single;
  single.dir(support + "15.0");
  const auto one = discovery(single.path()).discover();
  ASSERT_EQ(one.items.size(), 1u);
  EXPECT_TRUE(one.items[0].keepNewest);
}

TEST(CacheDiscovery, VersionKeys) {
  using Key = std::vector<std::int64_t>;
  EXPECT_EQ(CacheDiscovery::versionKey("16.4 (20E247)"), (Key{16, 4, 0}));
  EXPECT_EQ(CacheDiscovery::versionKey("iPhone 17.2.1 (21C66)"), (Key{17, 2, 1}));
  EXPECT_EQ(CacheDiscovery::versionKey("Extra"), Key{});
  EXPECT_EQ(CacheDiscovery::versionKey("v1x2.3"), (Key{2, 3, 0}));
  EXPECT_EQ(CacheDiscovery::versionKey("1.2."), (Key{1, 2, 0}));
  EXPECT_EQ(CacheDiscovery::versionKey("12 3.4"), (Key{3, 4, 0}));
  // A part too large for a number is left out.
  EXPECT_EQ(CacheDiscovery::versionKey("99999999999999999999.5"), (Key{5, 0}));
  EXPECT_LT(CacheDiscovery::versionKey("Extra"), CacheDiscovery::versionKey("1.0"));
  EXPECT_LT(CacheDiscovery::versionKey("9.9"), CacheDiscovery::versionKey("10.0"));
}

TEST(CacheDiscovery, TemporaryFolderRowOnlyForAPrivateFolder) {
  FakeHome home;
  const std::string root = hl::test::makeScratchFolder("tmp");
  const std::string own = root + "/own";
  const std::string shared = root + "/shared";
  ASSERT_EQ(::mkdir(own.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 0755), 0);
  for (const std::string& folder : {own, shared}) {
    ASSERT_EQ(::mkdir((folder + "/work").c_str(), 0700), 0);
  }

  auto temporaryItems = [&](const std::optional<std::string>& tmpdir) {
    const ScopedEnv env("TMPDIR", tmpdir);
    CacheDiscovery d = discovery(home.path());
    d.temporaryDirectory = privateTemporaryFolder();
    std::vector<CacheItem> found;
    for (const CacheItem& item : d.discover().items) {
      if (item.guardRule == GuardRule::temporaryFiles) found.push_back(item);
    }
    return found;
  };
  const auto privateItems = temporaryItems(own);
  ASSERT_EQ(privateItems.size(), 1u);
  EXPECT_EQ(privateItems[0].id, own + "/work");
  EXPECT_EQ(privateItems[0].group, CacheGroup::systemCaches);
  EXPECT_EQ(privateItems[0].risk, RiskLevel::moderate);
  EXPECT_TRUE(temporaryItems(shared).empty());
  EXPECT_TRUE(temporaryItems("/tmp").empty());
  EXPECT_TRUE(temporaryItems(std::nullopt).empty());
}

TEST(CacheDiscovery, TrashRowNamesTheHomeTrash) {
  FakeHome home;
  home.dir(".local/share/Trash/files");
  const auto result = discovery(home.path()).discover();
  EXPECT_EQ(ids(home, result, CacheGroup::trash), Paths{"~/.local/share/Trash"});
  const CacheItem* trash = find(result, home / ".local/share/Trash");
  EXPECT_TRUE(trash->isReportOnly);
  EXPECT_EQ(trash->risk, RiskLevel::review);

  // The user's own home follows XDG_DATA_HOME: a data folder of its own, outside the home, so
  // the row can only have come from the variable.
  FakeHome ownHome("own");
  FakeHome data("data");
  const ScopedEnv homeEnv("HOME", ownHome.path());
  const ScopedEnv dataEnv("XDG_DATA_HOME", data.path());
  const std::string ownTrash = TrashFolders::homeTrash();
  ASSERT_EQ(ownTrash, data / "Trash");
  ASSERT_EQ(::mkdir(ownTrash.c_str(), 0700), 0);
  const auto own = discovery(homeDirectory()).discover();
  std::vector<std::string> trashIds;
  for (const CacheItem& item : own.items) {
    if (item.group == CacheGroup::trash) trashIds.push_back(item.id);
  }
  EXPECT_EQ(trashIds, Paths{cleanPath(ownTrash)});
}

TEST(CacheDiscovery, BrowserClonesBecomeOneAggregatedItem) {
  FakeHome home;
  FakeHome folder("X");
  folder.dir("com.google.Chrome.code_sign_clone/b-clone");
  folder.dir("com.google.Chrome.code_sign_clone/a-clone");
  folder.text("com.google.Chrome.code_sign_clone/.DS_Store", "");
  folder.symlink("com.google.Chrome.code_sign_clone/link", folder.path());
  folder.dir("com.google.Chrome.code_sign_clone.1234");
  folder.symlink("com.google.Chrome.code_sign_clone.link", folder.path());
  folder.dir("other");

  CacheDiscovery d = discovery(home.path());
  EXPECT_EQ(d.chromeClonesItem(), std::nullopt);  // no folder on this platform by default
  d.chromeCloneFolder = folder.path();
  const auto result = d.discover();
  const CacheItem* clones = find(result, "aggregate:chrome-code-sign-clones");
  ASSERT_NE(clones, nullptr);
  EXPECT_EQ(clones->members,
            (Paths{folder / "com.google.Chrome.code_sign_clone.1234",
                   folder / "com.google.Chrome.code_sign_clone/a-clone",
                   folder / "com.google.Chrome.code_sign_clone/b-clone"}));
  EXPECT_EQ(clones->subtitle, "3 copy-on-write clones of Chrome.app · size over-estimated");
  EXPECT_EQ(clones->name, "Chrome code-sign clones");
  EXPECT_EQ(clones->group, CacheGroup::buildTools);
  EXPECT_EQ(clones->risk, RiskLevel::safe);
  EXPECT_EQ(clones->owners, Paths{"Google Chrome"});
  EXPECT_EQ(clones->url, folder.path());

  d.chromeRunning = true;
  EXPECT_EQ(d.chromeClonesItem(), std::nullopt);

  FakeHome lone("Y");
  lone.dir("com.google.Chrome.code_sign_clone.1");
  d.chromeRunning = false;
  d.chromeCloneFolder = lone.path();
  ASSERT_TRUE(d.chromeClonesItem().has_value());
  EXPECT_EQ(d.chromeClonesItem()->subtitle,
            "1 copy-on-write clone of Chrome.app · size over-estimated");
  FakeHome bare("Z");
  bare.dir("unrelated");
  d.chromeCloneFolder = bare.path();
  EXPECT_EQ(d.chromeClonesItem(), std::nullopt);
}

TEST(CacheDiscovery, OneFolderReachedThroughALinkIsClaimedOnce) {
  FakeHome home;
  home.text("Projects/app/package.json", "{}");
  home.dir("Projects/app/node_modules");
  home.dir("Projects/app/.git");
  home.dir("Projects/app/.claude/worktrees/w/.git");
  home.symlink("code", home / "Projects");
  home.dir(".codex");
  home.symlink(".codex/worktrees", home / "Projects/app/.claude/worktrees");
  CacheDiscovery d = discovery(home.path());
  d.extraPaths = {home / "code/app/node_modules/x"};

  // A search root reached under a second name is walked once; the agents' linked folder is
  // still listed, so nothing a user has is hidden...
  EXPECT_EQ(d.projects.discover(now).size(), 1u);
  EXPECT_EQ(d.worktrees.discover().size(), 2u);
  // ...but the claim lets one physical folder become one item only.
  const auto result = d.discover();
  EXPECT_EQ(ids(home, result, CacheGroup::aiWorktrees), Paths{"~/Projects/app/.claude/worktrees/w"});
  EXPECT_EQ(ids(home, result, CacheGroup::projects), Paths{"~/Projects/app/node_modules"});
  EXPECT_EQ(ids(home, result, CacheGroup::custom), Paths{});
}

TEST(CacheDiscovery, ExclusionsHideDiscoveredItemsByComponent) {
  FakeHome home;
  home.dir("Library/Caches/tool");
  home.dir("Library/CachesOld");
  CacheDiscovery d = discovery(home.path());
  d.extraPaths = {home / "Library/CachesOld"};
  const auto result = d.discover();
  ASSERT_NE(find(result, home / "Library/Caches/tool"), nullptr);
  const ExclusionList exclusions{{home / "Library/Caches/"}};
  std::vector<std::string> shown;
  for (const CacheItem& item : exclusions.filter(result.items)) shown.push_back(item.id);
  EXPECT_EQ(shown, Paths{home / "Library/CachesOld"});
}
