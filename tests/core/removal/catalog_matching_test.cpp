#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

#include "platform/temporary_folder.h"
#include "platform/trash_folders.h"
#include "platform/user_folders.h"
#include "services/removal/scan_trash_policy.h"
#include "support/fake_home.h"
#include "support/test_environment.h"
#include "utilities/file_identity.h"
#include "utilities/path_canonical.h"

using namespace hl;
using namespace std::chrono_literals;
using hl::test::FakeHome;

namespace {

void setModified(const std::string& path, Date date) {
  const auto since = date.time_since_epoch();
  const auto seconds = std::chrono::floor<std::chrono::seconds>(since);
  const timespec time{seconds.count(),
                      static_cast<long>(std::chrono::nanoseconds(since - seconds).count())};
  const timespec both[2] = {time, time};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), both, AT_SYMLINK_NOFOLLOW), 0);
}

std::string riskName(RiskLevel risk) {
  switch (risk) {
    case RiskLevel::safe:
      return "safe";
    case RiskLevel::moderate:
      return "moderate";
    case RiskLevel::review:
      return "review";
  }
  return "?";
}

// "group risk [report-only] [guarded] [owners a,b]", or "none".
std::string described(const std::optional<CacheItem>& item) {
  if (!item) return "none";
  std::string text = std::string(rawValue(item->group)) + " " + riskName(item->risk);
  if (item->isReportOnly) text += " report-only";
  if (item->guardRule) text += " guarded";
  if (!item->owners.empty()) {
    text += " owners ";
    for (std::size_t i = 0; i < item->owners.size(); ++i) {
      text += (i ? "," : "") + item->owners[i];
    }
  }
  return text;
}

}  // namespace

TEST(CatalogMatching, ALocationGetsTheItemOfTheRowThatClaimsIt) {
  FakeHome home;
  const struct {
    const char* relative;
    const char* expected;
  } cases[] = {
      {"Library/Developer/Xcode/DerivedData/App-abc",
       "xcode safe owners Xcode,Simulator,com.apple.CoreSimulator.CoreSimulatorService,Xcode"},
      {".cache/torch", "packageCaches review"},      // a review child
      {".cache/some-tool", "packageCaches safe"},    // any other child of ~/.cache
      {".cache/whisper", "packageCaches moderate"},  // its own row, not the children row
      {".cache/codex-runtimes", "none"},             // excluded from the ~/.cache row
      {".cache/codex-runtimes/install-7", "packageCaches moderate guarded owners codex,Codex.app"},
      {".cache/codex-runtimes/other", "none"},  // no allowed prefix
      {".codex/log", "buildTools moderate guarded owners codex,Codex.app"},
      {".codex/sessions", "none"},  // not an allowed child
      {".cache/.DS_Store", "none"},
      {".claude/shell-snapshots", "buildTools moderate guarded owners claude,Claude.app"},
      {"Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw",
       "largeBackups moderate report-only owners Docker,com.docker.backend"},
      {".local/share/Trash", "trash review report-only"},  // another user's home: its own Trash
      {"Documents/notes", "none"},
      {".cache", "none"},
  };
  const ScanTrashPolicy policy(home.path());
  for (const auto& c : cases) {
    EXPECT_EQ(described(policy.catalogItem(home / c.relative)), c.expected) << c.relative;
  }
}

TEST(CatalogMatching, LocationsAreComparedWhereTheyReallyAre) {
  FakeHome home;
  home.dir(".cache/torch");
  home.symlink("models", home / ".cache");
  const ScanTrashPolicy policy(home.path());
  const auto item = policy.catalogItem(home / "models/torch");
  EXPECT_EQ(described(item), "packageCaches review");
  // The item is still the location as selected.
  ASSERT_TRUE(item);
  EXPECT_EQ(item->id, home / "models/torch");
}

TEST(CatalogMatching, ATemporaryFolderIsMeasuredForItsTimeRule) {
  const auto temporary = privateTemporaryFolder();
  ASSERT_TRUE(temporary) << "the test environment gives every process a private TMPDIR";
  const std::string child = hl::test::makeScratchFolder("in-tmpdir");
  const std::string inside = appendingPath(*temporary, lastPathComponent(child));
  ASSERT_EQ(::rename(child.c_str(), inside.c_str()), 0);
  std::ofstream(appendingPath(inside, "data.bin")) << "some bytes";
  const Date old = std::chrono::system_clock::now() - 240h;
  setModified(appendingPath(inside, "data.bin"), old);

  const auto item = ScanTrashPolicy(homeDirectory()).catalogItem(inside);
  EXPECT_EQ(described(item), "systemCaches moderate guarded");
  ASSERT_TRUE(item);
  EXPECT_EQ(item->guardRule, GuardRule::temporaryFiles);
  // Recorded as a measurement, so the time rule sees a measured item.
  ASSERT_TRUE(item->size);
  EXPECT_GT(*item->size, 0);
  ASSERT_TRUE(item->newestModification);
  EXPECT_EQ(std::chrono::floor<std::chrono::seconds>(*item->newestModification),
            std::chrono::floor<std::chrono::seconds>(old));
}

TEST(CatalogMatching, ReviewLocationsFollowTheCatalog) {
  FakeHome home;
  const ScanTrashPolicy policy(home.path());
  std::set<std::string> found;
  for (const std::string& location : policy.reviewLocations()) {
    found.insert(abbreviatedPath(location, home.path()));
  }
  EXPECT_EQ(found, (std::set<std::string>{
                       "~/.cache/huggingface",
                       "~/.cache/lm-studio",
                       "~/.cache/torch",
                       "~/.cache/ollama",
                       "~/Library/Developer/Xcode/Archives",
                       "~/Library/Developer/CoreSimulator/Devices",
                       "~/Library/Application Support/MobileSync/Backup",
                       "~/Library/Application Support/Claude/vm_bundles",
                       "~/miniconda3/pkgs",
                       "~/.asdf/installs",
                       "~/Library/Android/sdk",
                       "~/Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw",
                       "~/.local/share/Trash",
                   }));
}

TEST(CatalogMatching, TheUsersTrashIsWhereTheDataFolderIs) {
  // The data folder moved out of the home folder, as a user may have it.
  const std::string data = hl::test::makeScratchFolder("data");
  ASSERT_EQ(::setenv("XDG_DATA_HOME", data.c_str(), 1), 0);
  const std::string home = homeDirectory();
  const std::string trash = TrashFolders::homeTrash(home);
  ASSERT_EQ(trash, appendingPath(data, "Trash"));
  ASSERT_NE(trash, appendingPath(home, ".local/share/Trash"));

  const ScanTrashPolicy policy(home);
  const std::vector<std::string> review = policy.reviewLocations();
  EXPECT_NE(std::find(review.begin(), review.end(), FileIdentity::identityPath(trash)),
            review.end());
  EXPECT_EQ(std::find(review.begin(), review.end(),
                      FileIdentity::identityPath(appendingPath(home, ".local/share/Trash"))),
            review.end());
  EXPECT_EQ(described(policy.catalogItem(trash)), "trash review report-only");
}

TEST(CatalogMatching, WorktreeRootsOfEveryAgent) {
  FakeHome home;
  home.dir(".codex/worktrees/whole/.git");
  home.dir(".codex/worktrees/whole/app/src");
  home.text(".codex/worktrees/inner/app/.git", "gitdir: /nowhere\n");
  home.dir(".codex/worktrees/inner/app/src");
  home.dir(".codex/worktrees/plain/app/src");
  const std::string h = home.path();
  const struct {
    std::string path;
    std::optional<std::string> root;
  } cases[] = {
      {"/x/repo/.claude/worktrees/feat/src", "/x/repo/.claude/worktrees/feat"},
      {"/x/repo/.claude/worktrees/feat", "/x/repo/.claude/worktrees/feat"},
      {"/x/repo/.claude/worktrees", std::nullopt},
      {"/x/.claude/worktrees/a/.claude/worktrees/b", "/x/.claude/worktrees/a"},
      {h + "/.codex/worktrees/whole/app/src", h + "/.codex/worktrees/whole"},
      {h + "/.codex/worktrees/inner/app/src", h + "/.codex/worktrees/inner/app"},
      {h + "/.codex/worktrees/plain/app/src", h + "/.codex/worktrees/plain"},
      {h + "/.codex/worktrees", std::nullopt},
      {h + "/.grok/worktrees/z", h + "/.grok/worktrees/z"},
      {h + "/.cursor/worktrees/c/d", h + "/.cursor/worktrees/c"},
      {h + "/.codex/worktreesx/a", std::nullopt},
      {"/elsewhere/.codex/worktrees/q", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScanTrashPolicy::worktreeRoot(c.path, h), c.root) << c.path;
  }
}
