#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "services/discovery/cache_discovery.h"
#include "support/fake_home.h"
#include "support/manual_clock.h"

using namespace hl;
using hl::test::FakeHome;

namespace {

const Date now = hl::test::referenceDate();

// A fixed sequence of numbers, so that every run builds the same homes.
class Sequence {
 public:
  explicit Sequence(std::uint64_t seed) : state_(seed) {}
  std::size_t below(std::size_t bound) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::size_t>((state_ >> 33) % bound);
  }

 private:
  std::uint64_t state_;
};

// A home of projects of every kind at depths up to past both walks' limits, under every search
// root in several spellings, with agent worktrees in repositories and in the tools' folders,
// caches and custom paths.
void fill(FakeHome& home, std::uint64_t seed, int projects) {
  Sequence next(seed);
  // "repos" and "work" are left for the links each test adds.
  const std::vector<std::string> roots = {"Documents", "Developer", "Projects", "projects",
                                          "code",      "Code",      "SRC"};
  const std::vector<std::pair<std::string, std::string>> kinds = {
      {"package.json", "node_modules"}, {"Cargo.toml", "target"},  {"CMakeLists.txt", "build"},
      {"package.json", "dist"},         {"build.gradle", ".gradle"}, {"Package.swift", ".build"}};
  for (int i = 0; i < projects; ++i) {
    std::string folder = roots[next.below(roots.size())];
    const std::size_t depth = 1 + next.below(7);  // 6 and 7 lie past the walks' limits
    for (std::size_t d = 1; d < depth; ++d) folder += "/g" + std::to_string(next.below(4));
    folder += "/p" + std::to_string(i);
    const auto& [marker, output] = kinds[next.below(kinds.size())];
    home.text(folder + "/" + marker, "x");
    home.file(folder + "/" + output + "/out", 100);
    if (next.below(3) == 0) home.text(folder + "/.venv/pyvenv.cfg", "");
    if (next.below(4) == 0) home.dir(folder + "/pkg/__pycache__");
    if (next.below(5) == 0) {
      home.dir(folder + "/.git");
      home.dir(folder + "/.claude/worktrees/w" + std::to_string(i) + "/.git");
    }
  }
  for (const char* tool : {".codex/worktrees/run/repo/.git", ".cursor/worktrees/loose",
                           ".grok/worktrees/a/.git"}) {
    home.dir(tool);
  }
  for (const char* cache : {".npm/_cacache/x", ".cache/pip/y", ".cargo/registry/z",
                            "Library/Caches/tool", ".local/share/Trash/files"}) {
    home.file(std::string(cache) + "/blob", 10);
  }
}

// Every element, last first: results that depended on the order of work would show it.
Spread backwards() {
  return [](std::size_t count, const std::function<void(std::size_t)>& work) {
    for (std::size_t i = count; i > 0; --i) work(i - 1);
  };
}

CacheDiscovery discovery(const std::string& home, const Spread& spread) {
  CacheDiscovery d;
  d.home = d.worktrees.home = d.projects.home = home;
  d.extraPaths = {home + "/Projects", home + "/custom"};
  d.clock = [] { return now; };
  d.spread = d.worktrees.spread = d.projects.spread = spread;
  return d;
}

}  // namespace

// Spread over the walk pool, discovery finds exactly what one thread finds, in the same order:
// on homes of varied shapes, with linked roots, a root reached twice, and both walks' depth
// limits reached.
TEST(ParallelDiscovery, GivesTheSequentialItemsInTheSameOrder) {
  for (const std::uint64_t seed : {1u, 2u, 3u}) {
    FakeHome home;
    fill(home, seed, 20 + 20 * static_cast<int>(seed));
    FakeHome outside("outside");
    outside.text("linked/app/package.json", "x");
    outside.dir("linked/app/node_modules");
    outside.dir("linked/repo/.claude/worktrees/t/.git");
    if (seed % 2 == 0) {
      home.symlink("repos", outside / "linked");
    } else {
      home.symlink("work", home / "Projects");  // a root under a second name
    }
    home.dir("custom/inner");

    const DiscoveryResult sequential = discovery(home.path(), sequentially()).discover();
    ASSERT_GT(sequential.items.size(), 20u) << seed;
    for (const Spread& spread : {WalkPool::spread(), backwards(), WalkPool::spread()}) {
      const DiscoveryResult parallel = discovery(home.path(), spread).discover();
      ASSERT_EQ(parallel.items.size(), sequential.items.size()) << seed;
      for (std::size_t k = 0; k < parallel.items.size(); ++k) {
        ASSERT_EQ(parallel.items[k].id, sequential.items[k].id) << seed << " #" << k;
      }
      EXPECT_EQ(parallel, sequential) << seed;
    }
  }
}

// Walked together, sharing their listings, the project and repository walks find exactly what
// each finds alone, in the same order: with repositories inside build folders (which only the
// repository walk enters), on the repository walk's last level (where only the project walk
// lists) and inside other repositories (where it stops).
TEST(ParallelDiscovery, TheWalksTogetherFindWhatEachFindsAlone) {
  for (const std::uint64_t seed : {4u, 5u, 6u}) {
    FakeHome home;
    fill(home, seed, 60);
    home.text("Projects/p/CMakeLists.txt", "x");
    home.dir("Projects/p/build/inner/.claude/worktrees/a/.git");
    home.dir("code/a/b/c/d/.claude/worktrees/x/.git");
    home.dir("code/a/b/c/d/e/.claude/worktrees/beyond/.git");
    home.dir("code/r/.git");
    home.dir("code/r/sub/.claude/worktrees/y/.git");
    home.dir("code/r/sub/deeper/.claude/worktrees/z/.git");
    for (const Spread& spread : {sequentially(), WalkPool::spread()}) {
      const CacheDiscovery d = discovery(home.path(), spread);
      const CacheDiscovery::Walks together = d.walk();
      const std::vector<CacheItem> worktrees = d.worktrees.discover();
      EXPECT_EQ(together.worktrees, worktrees) << seed;
      EXPECT_EQ(together.projects, d.projects.discover(now)) << seed;
      std::vector<std::string> found;
      for (const CacheItem& item : together.worktrees) found.push_back(item.id);
      for (const char* expected : {"/Projects/p/build/inner/.claude/worktrees/a",
                                   "/code/a/b/c/d/.claude/worktrees/x",
                                   "/code/r/sub/.claude/worktrees/y"}) {
        EXPECT_NE(std::find(found.begin(), found.end(), home.path() + expected), found.end())
            << seed << " " << expected;
      }
      for (const char* beyond : {"/code/a/b/c/d/e/.claude/worktrees/beyond",
                                 "/code/r/sub/deeper/.claude/worktrees/z"}) {
        EXPECT_EQ(std::find(found.begin(), found.end(), home.path() + beyond), found.end())
            << seed << " " << beyond;
      }
    }
  }
}
