#include "services/removal/trash_guard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/trash_folders.h"
#include "platform/user_folders.h"
#include "services/removal/trash_guard_linux_supplement.h"
#include "services/removal/trash_guard_tables.h"
#include "support/fake_home.h"
#include "support/scratch_mount.h"
#include "support/test_environment.h"
#include "utilities/file_identity.h"
#include "utilities/path_canonical.h"

using namespace hl;
using hl::test::FakeHome;

namespace {

// Every case is judged twice: with what the guard reads for itself, and against surroundings
// read beforehand, as a caller that judges many rows does. The two must never differ.
std::optional<TrashError> refusal(const TrashGuard& guard, const std::string& url,
                                  const std::string& root, bool allowRootItself = false,
                                  bool verified = false) {
  auto alone = guard.check(url, root, allowRootItself, std::nullopt, verified);
  auto readBefore =
      guard.check(url, root, allowRootItself, guard.surroundings(std::nullopt), verified);
  EXPECT_EQ(alone, readBefore) << url;
  return alone;
}

bool contains(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// Sets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace

TEST(TrashGuardTables, KeepTheirSizes) {
  EXPECT_EQ(TrashGuardTables::protectedAbsolutePaths().size(), 17u);
  EXPECT_EQ(TrashGuardTables::protectedHomePaths().size(), 60u);
  EXPECT_EQ(TrashGuardTables::forbiddenHomeTrees().size(), 46u);
  EXPECT_EQ(TrashGuardTables::forbiddenHomeGlobs().size(), 5u);
  EXPECT_EQ(TrashGuard::forbiddenAbsoluteTrees(),
            (std::vector<std::string>{"/private/tmp/claude-" + std::to_string(::getuid()),
                                      "/private/tmp/cc-socks"}));
}

TEST(TrashGuardTables, EveryApplicationSupportEntryHasItsLinuxCounterpart) {
  const std::string prefix = "Library/Application Support/";
  for (const std::string& entry : TrashGuardTables::protectedHomePaths()) {
    if (entry.rfind(prefix, 0) != 0) continue;
    EXPECT_TRUE(contains(TrashGuardLinuxSupplement::protectedHomePaths(),
                         ".config/" + entry.substr(prefix.size())))
        << entry;
  }
  for (const std::string& entry : TrashGuardTables::forbiddenHomeTrees()) {
    if (entry.rfind(prefix, 0) != 0) continue;
    EXPECT_TRUE(contains(TrashGuardLinuxSupplement::forbiddenHomeTrees(),
                         ".config/" + entry.substr(prefix.size())))
        << entry;
  }
}

TEST(TrashGuard, ForbiddenTreesListTheProductEntriesThenTheLinuxOnes) {
  FakeHome home;
  const TrashGuard guard{home.path()};
  const auto trees = guard.forbiddenTrees(false);
  ASSERT_GE(trees.size(), 48u);
  for (std::size_t i = 0; i < 46; ++i) {
    EXPECT_EQ(trees[i], home / TrashGuardTables::forbiddenHomeTrees()[i]);
  }
  EXPECT_EQ(trees[46], "/tmp/claude-" + std::to_string(::getuid()));
  EXPECT_EQ(trees[47], "/tmp/cc-socks");
  EXPECT_FALSE(contains(trees, home / ".claude/shell-snapshots"));
  EXPECT_EQ(guard.forbiddenTrees(true)[46], home / ".claude/shell-snapshots");

  // Discovery reaches the Linux forbidden trees, never the protected locations.
  EXPECT_TRUE(contains(trees, home / ".local/share/keyrings"));
  EXPECT_TRUE(contains(trees, home / ".config/Code/User"));
  EXPECT_TRUE(contains(trees, home / ".config/Claude/Local Storage"));
  for (const char* onlyProtected : {"/home", "/usr/bin", "/tmp", "/media"}) {
    EXPECT_FALSE(contains(trees, onlyProtected)) << onlyProtected;
  }
  EXPECT_FALSE(contains(trees, home.path()));
}

TEST(TrashGuard, XdgFoldersElsewhereGetTheSameEntries) {
  FakeHome home;
  FakeHome config("config");
  FakeHome data("data");
  ScopedEnv configHome("XDG_CONFIG_HOME", config.path());
  ScopedEnv dataHome("XDG_DATA_HOME", data.path());
  const TrashGuard guard{home.path()};
  const auto trees = guard.forbiddenTrees(false);
  EXPECT_TRUE(contains(trees, config / "Code/User"));
  EXPECT_TRUE(contains(trees, data / "keyrings"));

  config.dir("Claude/claude-code/x");
  EXPECT_EQ(refusal(guard, config / "Claude/claude-code/x", config.path()),
            TrashError::protectedPath(config / "Claude/claude-code/x"));
  // The relocated ".config" and ".local/share" are protected themselves.
  EXPECT_EQ(refusal(guard, config.path(), parentPath(config.path())),
            TrashError::protectedPath(config.path()));
  EXPECT_EQ(refusal(guard, data.path(), parentPath(data.path())),
            TrashError::protectedPath(data.path()));
}

TEST(TrashGuard, MissingComesBeforeEveryOtherRule) {
  FakeHome home;
  const TrashGuard guard{home.path()};
  EXPECT_EQ(refusal(guard, home / ".claude/projects/gone", home.path()),
            TrashError::missing(home / ".claude/projects/gone"));
  EXPECT_EQ(refusal(guard, home / "never", home.path()), TrashError::missing(home / "never"));
  // The system would cut a path at a NUL byte and reach a forbidden tree.
  home.dir(".claude/sessions");
  const std::string cut = home / ".claude/sessions" + std::string(1, '\0');
  EXPECT_EQ(refusal(guard, cut, home / ".claude"), TrashError::missing(cut));
  // A dangling link exists, and is judged like anything else.
  home.dir("cache");
  home.symlink("cache/dangling", home / "nowhere");
  EXPECT_EQ(refusal(guard, home / "cache/dangling", home / "cache"), std::nullopt);
}

TEST(TrashGuard, HomeAndItsAncestorsAreProtected) {
  FakeHome home;
  const TrashGuard guard{home.path()};
  for (const std::string& path : {home.path(), parentPath(home.path()), std::string("/")}) {
    EXPECT_EQ(refusal(guard, path, "/", true), TrashError::protectedPath(path)) << path;
  }
}

TEST(TrashGuard, ProtectedLocationsBlockOnlyThemselves) {
  FakeHome home;
  home.dir("Library/Caches/com.example/blob");
  home.dir(".config/app");
  home.dir("Videos");
  home.dir(".local/state");
  const TrashGuard guard{home.path()};
  EXPECT_EQ(refusal(guard, home / "Library/Caches", home.path()),
            TrashError::protectedPath(home / "Library/Caches"));
  EXPECT_EQ(refusal(guard, home / "Library/Caches/com.example", home / "Library/Caches"),
            std::nullopt);
  EXPECT_EQ(refusal(guard, home / ".config", home.path()),
            TrashError::protectedPath(home / ".config"));
  EXPECT_EQ(refusal(guard, home / ".config/app", home / ".config"), std::nullopt);
  EXPECT_EQ(refusal(guard, home / "Videos", home.path()),
            TrashError::protectedPath(home / "Videos"));
  EXPECT_EQ(refusal(guard, home / ".local/state", home / ".local"),
            TrashError::protectedPath(home / ".local/state"));

  // The private temporary folder is protected; what is in it is not.
  const char* tmp = std::getenv("TMPDIR");
  ASSERT_NE(tmp, nullptr);
  EXPECT_EQ(refusal(guard, tmp, parentPath(tmp)), TrashError::protectedPath(tmp));
}

// The protected home entries name folders as a file system that ignores case finds them: a folder
// whose name differs only in case is as safe, while what lies inside stays removable.
TEST(TrashGuard, ProtectedHomeEntriesIgnoreCase) {
  FakeHome home;
  for (const char* path : {"projects/site/node_modules", "DOCUMENTS", "Videos", "videos",
                           "library/application support/Claude", ".SSH"}) {
    home.dir(path);
  }
  home.text(".Claude.JSON", "{}");
  const TrashGuard guard{home.path()};
  for (const char* path : {"projects", "DOCUMENTS", "Videos", "videos", "library",
                           "library/application support", "library/application support/Claude",
                           ".SSH", ".Claude.JSON"}) {
    EXPECT_EQ(refusal(guard, home / path, home.path()), TrashError::protectedPath(home / path))
        << path;
  }
  EXPECT_EQ(refusal(guard, home / "projects/site/node_modules", home / "projects"), std::nullopt);
}

// The folders searched for projects hold source code, as ~/Projects does, under any case.
TEST(TrashGuard, ProjectSearchRootsAreProtectedLocations) {
  FakeHome home;
  for (const char* path : {"code/app/target", "src", "repos", "work", "Work", "WORK/notes"}) {
    home.dir(path);
  }
  const TrashGuard guard{home.path()};
  for (const char* path : {"code", "src", "repos", "work", "Work", "WORK"}) {
    EXPECT_EQ(refusal(guard, home / path, home.path()), TrashError::protectedPath(home / path))
        << path;
  }
  EXPECT_EQ(refusal(guard, home / "code/app/target", home / "code"), std::nullopt);
  EXPECT_EQ(refusal(guard, home / "WORK/notes", home / "WORK"), std::nullopt);
}

TEST(TrashGuard, AProtectedFileReachedUnderAnotherNameStillMatches) {
  FakeHome home;
  home.text(".claude.json", "{}");
  home.hardlink("cache/copy.json", ".claude.json");
  const TrashGuard guard{home.path()};
  EXPECT_EQ(refusal(guard, home / "cache/copy.json", home / "cache"),
            TrashError::protectedPath(home / "cache/copy.json"));
}

TEST(TrashGuard, LocalisedUserFoldersAreProtected) {
  FakeHome home;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  ASSERT_NE(config, nullptr);
  const std::string dirs = std::string(config) + "/user-dirs.dirs";
  ASSERT_FALSE(test::existsNoFollow(dirs));
  FILE* file = std::fopen(dirs.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs("XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", file);
  std::fclose(file);

  home.dir("Dokumente/x");
  const TrashGuard guard{home.path()};
  EXPECT_EQ(refusal(guard, home / "Dokumente", home.path()),
            TrashError::protectedPath(home / "Dokumente"));
  EXPECT_EQ(refusal(guard, home / "Dokumente/x", home / "Dokumente"), std::nullopt);
  ::unlink(dirs.c_str());
}

TEST(TrashGuard, ForbiddenTreesRefuseInsideEqualAndAbove) {
  FakeHome home;
  home.dir(".claude/projects/p/session");
  home.dir("Library/Application Support/Claude/IndexedDB");
  home.dir(".claude/shell-snapshots/snap");
  const TrashGuard guard{home.path()};
  for (const std::string& path : {home / ".claude/projects/p/session", home / ".claude/projects",
                                  home / "Library/Application Support"}) {
    EXPECT_EQ(refusal(guard, path, home.path()), TrashError::protectedPath(path)) << path;
  }
  const std::string snapshot = home / ".claude/shell-snapshots/snap";
  EXPECT_EQ(refusal(guard, snapshot, home / ".claude"), TrashError::protectedPath(snapshot));
  EXPECT_EQ(refusal(guard, snapshot, home / ".claude", false, true), std::nullopt);
}

TEST(TrashGuard, GlobsMatchSuffixedCopiesAndWhatIsInsideThem) {
  FakeHome home;
  home.text(".claude/settings.json.bak", "{}");
  home.text(".codex/state.sqlite-wal", "");
  home.text(".claude.json.backup/inner", "");
  const TrashGuard guard{home.path()};
  for (const std::string& path :
       {home / ".claude/settings.json.bak", home / ".codex/state.sqlite-wal",
        home / ".claude.json.backup/inner"}) {
    EXPECT_TRUE(guard.matchesForbiddenGlob(path)) << path;
    EXPECT_EQ(refusal(guard, path, home.path()), TrashError::protectedPath(path)) << path;
  }
  EXPECT_FALSE(guard.matchesForbiddenGlob(home / ".claude/other.json"));
  EXPECT_FALSE(guard.matchesForbiddenGlob("/"));
}

TEST(TrashGuard, GlobsTakeEveryWildcardOfTheHomePathLiterally) {
  // "\" was once left unescaped, which broke every pattern for such a home.
  FakeHome home("we[i]rd*ho?me\\x");
  const TrashGuard guard{home.path()};
  EXPECT_TRUE(guard.matchesForbiddenGlob(home / ".claude.json.bak"));
  EXPECT_TRUE(guard.matchesForbiddenGlob(home / ".codex/a.sqlite"));

  // The same text read as wildcards would also match these homes: it must not.
  const std::string parent = parentPath(home.path());
  std::string lookalike = lastPathComponent(home.path());
  for (auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"[i]", "i"}, {"*", "-any-"}, {"?", "Q"}, {"\\x", "x"}}) {
    std::string name = lookalike;
    name.replace(name.find(from), from.size(), to);
    EXPECT_FALSE(guard.matchesForbiddenGlob(parent + "/" + name + "/.claude.json")) << name;
  }
}

TEST(TrashGuard, GlobsMatchForAHomeAtTheRoot) {
  const TrashGuard guard{"/"};
  EXPECT_TRUE(guard.matchesForbiddenGlob("/.claude.json.bak"));
  EXPECT_TRUE(guard.matchesForbiddenGlob("/.codex/state.sqlite-wal"));
  EXPECT_FALSE(guard.matchesForbiddenGlob("/.claude/other.json"));
}

TEST(TrashGuard, TheTrashIsRefusedAndProtected) {
  FakeHome home;
  FakeHome volume("volume");
  const std::string uid = std::to_string(::getuid());
  home.text(".Trash/old", "");
  home.text(".local/share/Trash/files/old", "");
  volume.text("disk/.Trashes/501/old", "");
  volume.text(".Trash-" + uid + "/files/old", "");
  volume.text(".Trash/" + uid + "/files/old", "");
  const std::string ownTrash = TrashFolders::homeTrash();
  volume.text("own", "");
  const TrashGuard guard{home.path()};

  for (const std::string& path :
       {home / ".Trash/old", home / ".local/share/Trash/files/old",
        volume / "disk/.Trashes/501/old", volume / (".Trash-" + uid + "/files/old"),
        volume / (".Trash/" + uid + "/files/old")}) {
    EXPECT_EQ(refusal(guard, path, "/"), TrashError::alreadyInTrash(path)) << path;
  }
  for (const std::string& path :
       {home / ".local/share/Trash", volume / (".Trash-" + uid), volume / (".Trash/" + uid)}) {
    EXPECT_EQ(refusal(guard, path, "/"), TrashError::protectedPath(path)) << path;
  }

  // The user's own Trash counts even for a guard over another home.
  ::mkdir(ownTrash.c_str(), 0700);
  ::mkdir((ownTrash + "/files").c_str(), 0700);
  ASSERT_EQ(::rename((volume / "own").c_str(), (ownTrash + "/files/own").c_str()), 0);
  EXPECT_EQ(refusal(guard, ownTrash + "/files/own", "/"),
            TrashError::alreadyInTrash(ownTrash + "/files/own"));
}

TEST(TrashGuard, AllowedRootIsJudgedByWholeComponents) {
  FakeHome home;
  home.dir("cache/item");
  home.dir("cache2/item");
  const TrashGuard guard{home.path()};
  EXPECT_EQ(refusal(guard, home / "cache/item", home / "cache"), std::nullopt);
  EXPECT_EQ(refusal(guard, home / "cache2/item", home / "cache"),
            TrashError::outsideAllowedRoot(home / "cache2/item"));
  EXPECT_EQ(refusal(guard, home / "cache", home / "cache"),
            TrashError::outsideAllowedRoot(home / "cache"));
  EXPECT_EQ(refusal(guard, home / "cache", home / "cache", true), std::nullopt);
}

TEST(TrashGuard, RulesApplyInOrder) {
  FakeHome home;
  home.dir("Library/Caches");
  home.text(".claude.json.old", "");
  home.text(".Trash/x", "");
  home.dir("found");
  const TrashGuard guard{home.path()};
  // Protected before outside the root.
  EXPECT_EQ(refusal(guard, home / "Library/Caches", home / "found"),
            TrashError::protectedPath(home / "Library/Caches"));
  // A forbidden pattern before outside the root.
  EXPECT_EQ(refusal(guard, home / ".claude.json.old", home / "found"),
            TrashError::protectedPath(home / ".claude.json.old"));
  // The protected Trash folder itself before the Trash rule.
  EXPECT_EQ(refusal(guard, home / ".Trash", home / "found"),
            TrashError::protectedPath(home / ".Trash"));
  // The Trash before outside the root.
  EXPECT_EQ(refusal(guard, home / ".Trash/x", home / "found"),
            TrashError::alreadyInTrash(home / ".Trash/x"));
}

TEST(TrashGuard, ErrorsNameTheGivenPathWhileTheRealOneIsJudged) {
  FakeHome home;
  home.dir(".ssh");
  home.text(".ssh/id_ed25519", "key");
  home.dir("cache");
  home.symlink("cache/keys", home / ".ssh");
  const TrashGuard guard{home.path()};
  // The link itself is only a link, and may go.
  EXPECT_EQ(refusal(guard, home / "cache/keys", home / "cache"), std::nullopt);
  // What is reached through it is the key itself.
  EXPECT_EQ(refusal(guard, home.path() + "/cache//./keys/id_ed25519", home / "cache"),
            TrashError::protectedPath(home / "cache/keys/id_ed25519"));
}

TEST(TrashGuard, DotDotAfterALinkIsJudgedWhereTheKernelGoes) {
  FakeHome home;
  home.dir("cache");
  home.dir("elsewhere/deep");
  home.text("cache/victim", "cache copy");
  home.text("elsewhere/victim", "elsewhere copy");
  home.symlink("cache/link", home / "elsewhere/deep");
  const TrashGuard guard{home.path()};
  // Read as text, the path is cache/victim; the kernel reaches elsewhere/victim.
  const std::string url = home / "cache/link/../victim";
  EXPECT_EQ(refusal(guard, url, home / "cache"),
            TrashError::outsideAllowedRoot(home / "cache/victim"));

  const auto verdict = guard.judge(url, home.path(), false, std::nullopt, false);
  ASSERT_TRUE(std::holds_alternative<TrashGuard::Approval>(verdict));
  EXPECT_EQ(std::get<TrashGuard::Approval>(verdict).path, home / "elsewhere/victim");
  EXPECT_EQ(std::get<TrashGuard::Approval>(verdict).identifier,
            FileIdentity::identifier(home / "elsewhere/victim"));
}

// The folder on the way is swapped for a link to a copy outside at the exact moment the guard's
// walk has opened it: the verdict carries the identity of the object the walk found at the path,
// never that of the copy the path leads to afterwards.
TEST(TrashGuard, AFolderSwappedForALinkDuringTheWalkNeverLendsItsIdentity) {
  FakeHome home;
  home.text("cache/a/item", "inside");
  home.text("outside/item", "outside");
  const auto inside = *FileIdentity::identifier(home / "cache/a/item");
  const TrashGuard guard{home.path()};
  int swaps = 0;
  const auto swap = [&](const std::string& folder) {
    if (folder != home / "cache/a") return;
    ++swaps;
    ASSERT_EQ(::rename((home / "cache/a").c_str(), (home / "cache/moved").c_str()), 0);
    home.symlink("cache/a", home / "outside");
  };

  const auto verdict =
      guard.judge(home / "cache/a/item", home / "cache", false, std::nullopt, false, swap);
  EXPECT_EQ(swaps, 1);
  ASSERT_TRUE(std::holds_alternative<TrashGuard::Approval>(verdict));
  const auto& approval = std::get<TrashGuard::Approval>(verdict);
  EXPECT_EQ(approval.path, home / "cache/a/item");
  EXPECT_EQ(approval.identifier, inside);
  EXPECT_NE(approval.identifier, *FileIdentity::identifier(home / "outside/item"));
}

TEST(TrashGuard, ARelativePathIsRefusedWhateverTheWorkingFolder) {
  FakeHome home;
  home.text("cache/x", "x");
  const TrashGuard guard{home.path()};
  char saved[4096];
  ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(::chdir(home.path().c_str()), 0);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"cache/x", home / "cache"}, {"./cache/x", home / "cache"}, {home / "cache/x", "cache"}};
  for (const auto& [url, root] : cases) {
    EXPECT_EQ(refusal(guard, url, root), TrashError::outsideAllowedRoot(url)) << url << " " << root;
  }
  // A relative home is the folder of that name here, and its entries stay protected.
  home.dir("Documents");
  ASSERT_EQ(::chdir(parentPath(home.path()).c_str()), 0);
  const TrashGuard relativeHome{lastPathComponent(home.path())};
  EXPECT_EQ(refusal(relativeHome, home / "Documents", home.path()),
            TrashError::protectedPath(home / "Documents"));
  ASSERT_EQ(::chdir(saved), 0);
}

TEST(TrashGuard, ALinkedProtectedEntryProtectsItsTarget) {
  FakeHome home;
  home.text("dotfiles/ssh/id_rsa", "key");
  home.dir("dotfiles/docs");
  home.symlink(".ssh", home / "dotfiles/ssh");
  home.symlink("Documents", home / "dotfiles/docs");
  const TrashGuard guard{home.path()};
  for (const std::string& path : {home / "dotfiles/ssh/id_rsa", home / "dotfiles/ssh",
                                  home / "dotfiles/docs", home / ".ssh"}) {
    EXPECT_EQ(refusal(guard, path, home / "dotfiles"), TrashError::protectedPath(path)) << path;
  }
  EXPECT_TRUE(contains(guard.forbiddenTrees(false), home / "dotfiles/ssh"));
}

TEST(TrashGuard, ALinkedHomeIsJudgedByItsRealFolderToo) {
  FakeHome real("real");
  FakeHome links("links");
  real.text(".claude.json.bak", "{}");
  real.dir("project/build");
  const std::string linkedHome = links.symlink("me", real.path());
  const TrashGuard guard{linkedHome};
  EXPECT_EQ(refusal(guard, real.path(), "/", true), TrashError::protectedPath(real.path()));
  EXPECT_EQ(refusal(guard, linkedHome, "/", true), TrashError::protectedPath(linkedHome));
  EXPECT_EQ(refusal(guard, real / ".claude.json.bak", real.path()),
            TrashError::protectedPath(real / ".claude.json.bak"));
  EXPECT_EQ(refusal(guard, linkedHome + "/project/build", linkedHome + "/project"), std::nullopt);
}

TEST(TrashGuard, MountedVolumesAndTheirParentsAreProtected) {
  if (auto reason = test::ScratchMount::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << reason;
  }
  FakeHome home;
  home.dir("cache/volume");
  home.dir("cache/source");
  home.dir("cache/bound");
  auto volume = test::ScratchMount::tmpfs(home / "cache/volume");
  auto bound = test::ScratchMount::bind(home / "cache/source", home / "cache/bound");
  home.symlink("cache/link", home / "cache/volume");
  const TrashGuard guard{home.path()};
  EXPECT_EQ(refusal(guard, home / "cache/volume", home / "cache"),
            TrashError::mountPoint(home / "cache/volume"));
  EXPECT_EQ(TrashError::mountPoint(home / "cache/volume").description(),
            "Refusing to remove " + home / "cache/volume" + ": another volume is mounted there.");
  // A bind mount keeps the device number; the kernel's mount mark still tells.
  EXPECT_EQ(refusal(guard, home / "cache/bound", home / "cache"),
            TrashError::mountPoint(home / "cache/bound"));
  EXPECT_EQ(refusal(guard, home / "cache/link", home / "cache"), std::nullopt);

  // "/media" is mounted over inside this process only; its children are volume mount points.
  auto media = test::ScratchMount::tmpfs("/media");
  ASSERT_EQ(::mkdir("/media/disk", 0755), 0);
  EXPECT_EQ(refusal(guard, "/media/disk", "/media"), TrashError::protectedPath("/media/disk"));
}
