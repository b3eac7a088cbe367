#include "services/discovery/level_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "services/measurement/walk_pool.h"

using namespace hl;

namespace {

// A walk over levels given in advance. It wants a listing of the folders in `listed`, and
// records which folders it listed and, for each folder it visited, who listed what it was shown.
class ScriptedWalk final : public LevelWalk {
 public:
  ScriptedWalk(std::string name, std::vector<std::vector<std::string>> levels,
               std::vector<std::string> listed)
      : name_(std::move(name)), levels_(std::move(levels)), listed_(std::move(listed)) {}

  bool finished() const override { return level_ >= levels_.size(); }
  std::size_t size() const override { return levels_[level_].size(); }
  const std::string& path(std::size_t folder) const override { return levels_[level_][folder]; }
  bool wantsListing(std::size_t folder) const override {
    return std::find(listed_.begin(), listed_.end(), path(folder)) != listed_.end();
  }
  std::optional<std::vector<ListedEntry>> list(std::size_t folder) override {
    std::lock_guard lock(mutex_);
    lists[path(folder)] += 1;
    ListedEntry entry;
    entry.name = name_;
    return std::vector<ListedEntry>{entry};
  }
  void visit(std::size_t folder, const std::optional<std::vector<ListedEntry>>& listing) override {
    std::lock_guard lock(mutex_);
    shown[path(folder)] = listing ? listing->front().name : "none";
  }
  void advance() override { ++level_; }

  std::map<std::string, int> lists;
  std::map<std::string, std::string> shown;

 private:
  std::string name_;
  std::vector<std::vector<std::string>> levels_;
  std::vector<std::string> listed_;
  std::size_t level_ = 0;
  std::mutex mutex_;
};

}  // namespace

// A folder two walks reach is listed once, by the first walk that wants it listed, and both are
// shown that listing; a walk that does not list a folder itself is still shown another's
// listing of it; a folder nobody lists is shown none. Walks of unequal depth end apart.
TEST(LevelWalk, EachFolderIsListedOnceByTheFirstWalkThatWantsIt) {
  for (const Spread& spread : {sequentially(), WalkPool::spread()}) {
    ScriptedWalk first("first", {{"/r"}, {"/r/a", "/r/b"}, {"/r/a/x"}}, {"/r", "/r/a", "/r/a/x"});
    ScriptedWalk second("second", {{"/r"}, {"/r/b", "/r/a", "/r/c"}},
                        {"/r", "/r/a", "/r/b", "/r/c"});
    walkTogether({&first, &second}, spread);
    EXPECT_TRUE(first.finished());
    EXPECT_TRUE(second.finished());
    EXPECT_EQ(first.lists, (std::map<std::string, int>{{"/r", 1}, {"/r/a", 1}, {"/r/a/x", 1}}));
    EXPECT_EQ(second.lists, (std::map<std::string, int>{{"/r/b", 1}, {"/r/c", 1}}));
    EXPECT_EQ(first.shown, (std::map<std::string, std::string>{
                               {"/r", "first"}, {"/r/a", "first"}, {"/r/b", "second"},
                               {"/r/a/x", "first"}}));
    EXPECT_EQ(second.shown, (std::map<std::string, std::string>{
                                {"/r", "first"}, {"/r/a", "first"}, {"/r/b", "second"},
                                {"/r/c", "second"}}));

    ScriptedWalk alone("alone", {{"/q", "/q2"}}, {"/q"});
    walkTogether({&alone}, spread);
    EXPECT_EQ(alone.shown, (std::map<std::string, std::string>{{"/q", "alone"}, {"/q2", "none"}}));
  }
}
