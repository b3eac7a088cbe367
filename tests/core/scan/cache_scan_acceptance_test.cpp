#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/user_folders.h"
#include "services/scan/cache_scan_service.h"
#include "support/child_process.h"
#include "support/git_repository.h"
#include "support/service_printers.h"
#include "utilities/path_canonical.h"

using namespace hl;
using Event = CacheScanEvent;
namespace fs = std::filesystem;

namespace {

void writeFile(const std::string& path, std::size_t bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
}

// What a folder occupies, counted here without the scanner: allocated blocks of every entry
// that is not a folder, links not followed.
struct Usage {
  std::int64_t size = 0;
  std::int64_t files = 0;
};

Usage usage(const std::string& path) {
  Usage total;
  const auto add = [&total](const fs::path& entry) {
    struct stat info {};
    if (::lstat(entry.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return;
    total.size += static_cast<std::int64_t>(info.st_blocks) * 512;
    ++total.files;
  };
  if (!fs::is_directory(fs::symlink_status(path))) {
    add(path);
    return total;
  }
  for (const auto& entry : fs::recursive_directory_iterator(path)) add(entry.path());
  return total;
}

std::string realPath(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// The events of one run and its end.
class Listener {
 public:
  CacheScanService::EventSink sink() {
    return [this](Event event) {
      std::lock_guard lock(mutex_);
      events_.push_back(std::move(event));
      changed_.notify_all();
    };
  }
  std::function<void()> ended() {
    return [this] {
      std::lock_guard lock(mutex_);
      ended_ = true;
      changed_.notify_all();
    };
  }
  void waitForEnd() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ended_; });
  }
  void waitForDiscovery() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock,
                  [&] { return !events_.empty() && events_.back().get<Event::Discovered>(); });
  }
  std::vector<Event> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;
  bool ended_ = false;
};

template <typename T>
std::vector<const T*> all(const std::vector<Event>& events) {
  std::vector<const T*> found;
  for (const Event& event : events) {
    if (const T* payload = event.get<T>()) found.push_back(payload);
  }
  return found;
}

std::map<std::string, DirectoryMeasurement> sizesOf(const std::vector<Event>& events) {
  std::map<std::string, DirectoryMeasurement> sizes;
  for (const auto* sized : all<Event::ItemSized>(events)) {
    EXPECT_TRUE(sizes.emplace(sized->id, sized->measurement).second)
        << "sized twice: " << sized->id;
  }
  return sizes;
}

}  // namespace

TEST(CacheScanAcceptance, AScanOfAHomeFindsMeasuresAndLocksWhatIsOnDisk) {
  if (!hl::test::gitAvailable()) GTEST_SKIP() << "git is not installed";
  // The test process's home is a fake of its own; the scan runs as it would for its user.
  const std::string home = homeDirectory();
  const std::string project = home + "/Projects/app";
  writeFile(project + "/package.json", 2);
  writeFile(project + "/node_modules/left-pad/index.js", 5000);
  writeFile(project + "/node_modules/left-pad/package.json", 300);
  writeFile(project + "/node_modules/.package-lock.json", 100);
  const std::string cache = home + "/.npm/_cacache";
  const std::string held = cache + "/content-v2/sha512/ab/blob";
  writeFile(held, 20000);
  writeFile(cache + "/index-v5/aa/entry", 200);
  const std::string repository = home + "/Projects/repo";
  hl::test::initRepository(repository);
  hl::test::commitFile(repository, "README", "read me\n");
  const std::string worktree = repository + "/.claude/worktrees/feature";
  hl::test::git(repository, {"worktree", "add", "-q", "-b", "feature", worktree});
  writeFile(worktree + "/notes.txt", 10);  // uncommitted work

  hl::test::ChildProcess holder(
      hl::test::shellScript("exec 3<\"$0\"; echo ready; read line", held));
  ASSERT_EQ(holder.readLine(), "ready");

  CacheScanService service;
  CacheScanConfiguration configuration;
  ASSERT_EQ(configuration.home, home);
  Listener first;
  {
    CacheScanService::Handle handle = service.scan(configuration, first.sink(), first.ended());
    first.waitForEnd();
  }
  const std::vector<Event> events = first.events();
  ASSERT_FALSE(events.empty());
  ASSERT_TRUE(events.back().get<Event::Finished>()) << rawValue(events.back().kind());

  const auto discovered = all<Event::Discovered>(events);
  ASSERT_EQ(discovered.size(), 1u);
  const std::vector<CacheItem>& items = discovered[0]->items;
  std::map<std::string, const CacheItem*> byId;
  for (const CacheItem& each : items) byId[each.id] = &each;
  const std::string modulesId = cleanPath(project + "/node_modules");
  const std::string cacheId = cleanPath(cache);
  const std::string worktreeId = cleanPath(worktree);
  ASSERT_EQ(byId.count(modulesId), 1u);
  ASSERT_EQ(byId.count(cacheId), 1u);
  ASSERT_EQ(byId.count(worktreeId), 1u);
  EXPECT_EQ(byId[modulesId]->group, CacheGroup::projects);
  EXPECT_EQ(byId[cacheId]->group, CacheGroup::packageCaches);
  EXPECT_EQ(byId[worktreeId]->group, CacheGroup::aiWorktrees);

  // Every item got one size, and it is what the disk holds.
  const std::map<std::string, DirectoryMeasurement> sizes = sizesOf(events);
  EXPECT_EQ(sizes.size(), items.size());
  for (const CacheItem& each : items) {
    SCOPED_TRACE(each.id);
    Usage expected;
    for (const std::string& target : each.targetURLs()) {
      const Usage part = usage(target);
      expected.size += part.size;
      expected.files += part.files;
    }
    ASSERT_EQ(sizes.count(each.id), 1u);
    EXPECT_EQ(sizes.at(each.id).size, expected.size);
    EXPECT_EQ(sizes.at(each.id).fileCount, expected.files);
  }
  EXPECT_EQ(sizes.at(modulesId).fileCount, 3);
  EXPECT_GE(sizes.at(cacheId).size, 20200);

  // Each group with items finished once.
  std::multiset<CacheGroup> finished;
  for (const auto* group : all<Event::GroupFinished>(events)) finished.insert(group->group);
  std::set<CacheGroup> groups;
  for (const CacheItem& each : items) groups.insert(each.group);
  EXPECT_EQ(finished, std::multiset<CacheGroup>(groups.begin(), groups.end()));

  // The open file locks the cache by its holder; the fresh worktree is locked by its age.
  const auto inUse = all<Event::InUse>(events);
  ASSERT_EQ(inUse.size(), 1u);
  const InUseEvaluation& evaluation = inUse[0]->evaluation;
  ASSERT_TRUE(evaluation.verification.isVerified());
  EXPECT_EQ(evaluation.reasons.at(cacheId), "open by " + lastPathComponent(realPath("/bin/sh")) +
                                                " (pid " + std::to_string(holder.pid()) + ")");
  EXPECT_EQ(evaluation.reasons.at(worktreeId), "created in the last 2 h");
  EXPECT_EQ(evaluation.reasons.count(modulesId), 0u);

  // Git tells the worktree holds uncommitted work, and a commit no remote has.
  const auto statuses = all<Event::WorktreeStatus>(events);
  ASSERT_EQ(statuses.size(), 1u);
  EXPECT_EQ(statuses[0]->id, worktreeId);
  EXPECT_EQ(describe(statuses[0]->status), "dirty(true, 1)");

  // No simulators or snapshots on this system: the rows are announced empty.
  const auto added = all<Event::Added>(events);
  ASSERT_EQ(added.size(), 1u);
  EXPECT_TRUE(added[0]->items.empty());

  // A scan cancelled once discovery is done ends without finishing…
  Listener cancelled;
  {
    CacheScanService::Handle handle =
        service.scan(configuration, cancelled.sink(), cancelled.ended());
    cancelled.waitForDiscovery();
  }
  cancelled.waitForEnd();
  EXPECT_TRUE(all<Event::Finished>(cancelled.events()).empty());

  // …and the next one reports every size from the cache, unchanged.
  Listener again;
  {
    CacheScanService::Handle handle = service.scan(configuration, again.sink(), again.ended());
    again.waitForEnd();
  }
  const std::vector<Event> repeated = again.events();
  ASSERT_TRUE(repeated.back().get<Event::Finished>());
  EXPECT_EQ(sizesOf(repeated), sizes);

  // A forced scan walks everything again and finds the same.
  service.invalidateCache();
  Listener forced;
  {
    CacheScanService::Handle handle = service.scan(configuration, forced.sink(), forced.ended());
    forced.waitForEnd();
  }
  ASSERT_TRUE(forced.events().back().get<Event::Finished>());
  EXPECT_EQ(sizesOf(forced.events()), sizes);
}
