#include <gtest/gtest.h>
#include <sys/stat.h>

#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>

#include "cleaner_harness.h"
#include "utilities/path_canonical.h"

using namespace hl;
using namespace hl::test;
using Event = CacheScanEvent;
namespace fs = std::filesystem;

namespace {

// The items of a whole scan without any view model: discovery's list with every size applied.
std::vector<CacheItem> headlessScan(const std::string& home) {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  std::vector<Event> events;
  CacheScanService service;
  CacheScanConfiguration configuration;
  configuration.home = home;
  {
    CacheScanService::Handle handle = service.scan(
        configuration,
        [&](Event event) {
          std::lock_guard lock(mutex);
          events.push_back(std::move(event));
        },
        [&] {
          std::lock_guard lock(mutex);
          done = true;
          ended.notify_all();
        });
    std::unique_lock lock(mutex);
    ended.wait(lock, [&] { return done; });
  }
  std::vector<CacheItem> items;
  for (const Event& event : events) {
    if (const auto* discovered = event.get<Event::Discovered>()) items = discovered->items;
    if (const auto* sized = event.get<Event::ItemSized>()) {
      for (CacheItem& item : items) {
        if (item.id == sized->id) item.size = sized->measurement.size;
      }
    }
  }
  EXPECT_TRUE(!events.empty() && events.back().get<Event::Finished>());
  return items;
}

// What a folder occupies, counted without the scanner.
std::int64_t allocated(const std::string& folder) {
  std::int64_t total = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    struct stat info {};
    if (::lstat(entry.path().c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
      total += static_cast<std::int64_t>(info.st_blocks) * 512;
    }
  }
  return total;
}

}  // namespace

TEST(CleanerWithTheEngine, EndsWithTheHeadlessScansItemsAndARescanLeavesNoTrace) {
  RealCleaner real;
  CleanerViewModel& cleaner = *real;
  const std::string home = real.home;
  // The home is this test process's: what the test plants goes again, whatever runs next.
  struct Planted {
    std::string home;
    ~Planted() {
      for (const char* folder : {"/Projects/app", "/.npm", "/.cache/pip"}) {
        std::filesystem::remove_all(home + folder);
      }
    }
  } planted{home};
  const std::string modules = home + "/Projects/app/node_modules";
  writeFile(home + "/Projects/app/package.json", 2);
  writeFile(modules + "/left-pad/index.js", 5000);
  writeFile(home + "/.npm/_cacache/index-v5/aa/entry", 20000);
  writeFile(home + "/.cache/pip/http/blob", 12000);

  const auto scanned = [&] { return cleaner.hasScanned() && !cleaner.isScanning(); };
  real.scan();
  ASSERT_EQ(cleaner.item(cleanPath(modules))->size, allocated(modules));

  // The folder grows; a forced rescan is overtaken by another the moment it has listed the
  // items. The sizes the first scan cached and whatever the overtaken run sends must not show.
  writeFile(modules + "/grown/data.bin", 300000);
  bool rescanned = false;
  QObject::connect(&cleaner, &CleanerViewModel::itemsRevisionChanged, &cleaner, [&] {
    if (rescanned) return;
    rescanned = true;
    cleaner.rescan(true);
  });
  int scanningChanges = 0;
  QObject::connect(&cleaner, &CleanerViewModel::isScanningChanged, &cleaner,
                   [&] { ++scanningChanges; });
  cleaner.rescan(true);
  waitFor(cleaner, &CleanerViewModel::isScanningChanged, scanned);
  ASSERT_TRUE(rescanned);
  EXPECT_EQ(scanningChanges, 2);  // on at the first rescan, off at the end, never in between

  const std::vector<CacheItem> expected = headlessScan(home);
  ASSERT_FALSE(expected.empty());
  std::vector<std::pair<std::string, std::optional<std::int64_t>>> want;
  std::vector<std::pair<std::string, std::optional<std::int64_t>>> got;
  for (const CacheItem& item : expected) want.emplace_back(item.id, item.size);
  for (const CacheItem& item : cleaner.items()) got.emplace_back(item.id, item.size);
  EXPECT_EQ(got, want);
  EXPECT_EQ(cleaner.item(cleanPath(modules))->size, allocated(modules));
  EXPECT_GT(allocated(modules), 300000);

  std::map<std::string, int> lines;
  for (const ActivityEvent& event : real.activity.events()) {
    if (event.kind == ActivityEvent::Kind::error) ADD_FAILURE() << event.message;
    if (event.message.starts_with("Scan finished")) ++lines["finished"];
    if (event.message == "Scan started") ++lines["started"];
  }
  EXPECT_EQ(lines["started"], 3);
  EXPECT_EQ(lines["finished"], 2);
}
