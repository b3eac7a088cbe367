// What the folder scanner removed leaves the Home list: the items at or inside a removed folder
// go with their check marks and highlights, the items around one are measured again, and the
// totals follow, without a rescan.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>

#include "app_model_fixture.h"

using namespace hl;
using namespace hl::test;
using namespace std::chrono_literals;

namespace {

const std::string kRow = "aggregate:m";
const std::string kTrash = ".local/share/Trash";

// The Home list as a scan left it, every selectable item ticked and every item highlighted, and
// the same folders on disk for the folder scanner, which measures the whole of them.
struct Scene {
  AppHarness app;
  // Listed sizes by item id.
  std::map<std::string, std::int64_t> sizes;

  std::string id(const std::string& relative) const {
    return relative == kRow ? kRow : cleanPath(app.folders / relative);
  }

  Scene() {
    std::vector<CacheItem> items = {
        app.item("w/build", 300, CacheGroup::buildTools),
        // Its name begins with the name of the folder above, and it is another folder.
        app.item("w/build2", 200, CacheGroup::buildTools),
        app.item("w/deps/x", 50),
        app.item("c", 1000),
        app.item(kTrash, 500, CacheGroup::trash, RiskLevel::review),
    };
    // A row of two folders.
    CacheItem row = app.item("m", 70, CacheGroup::systemCaches);
    row.id = kRow;
    row.members = {app.folders / "m/one", app.folders / "m/two"};
    items.push_back(row);
    for (const char* file : {"w/build/o", "w/build2/o", "w/deps/x/o", "c/inner/o", "m/one/o",
                             "m/two/o"}) {
      app.folders.file(file, 100);
    }
    for (const CacheItem& item : items) sizes[item.id] = item.knownSize();
    app.scanCleaner(std::move(items));
    CleanerViewModel& cleaner = app.cleaner();
    std::set<std::string> all;
    for (const CacheItem& item : cleaner.items()) {
      all.insert(item.id);
      if (item.isSelectable()) cleaner.setChecked(item.id, true);
    }
    cleaner.setTableSelection(all);
    app.scanner().scan(app.folders.path());
    app.settle();
  }

  // The folder scanner removes these folders with a confirmation a second after its plan.
  void scannerRemoves(const std::vector<std::string>& relatives) {
    std::set<std::string> ids;
    for (const std::string& relative : relatives) ids.insert(id(relative));
    app.scanner().requestTrash(ids);
    app.settle();
    ASSERT_TRUE(app.scanner().pendingPlan()) << app.scanner().resultMessage().value_or("");
    app.wall.advance(1s);
    app.scanner().confirmTrash(*app.scanner().pendingPlan());
    waitUntil([&] {
      app.settle();
      return !app.scanner().isTrashing();
    });
    app.settle();
  }
};

std::set<std::string> idsOf(const std::vector<CacheItem>& items) {
  std::set<std::string> ids;
  for (const CacheItem& item : items) ids.insert(item.id);
  return ids;
}

}  // namespace

TEST(AppModelScannerRemoval, TheHomeListDropsWhatWentAndItsFiguresFollow) {
  struct Case {
    const char* name;
    std::vector<std::string> removed;
    // Of those, what the trash service fails.
    std::vector<std::string> failing;
    // Items no longer listed afterwards.
    std::set<std::string> gone;
    // Items measured again, besides the Trash row after a move to the Trash.
    std::set<std::string> measuredAgain;
    // Items also measured again after a deletion: one that failed may have removed part of the
    // folder first, where a move to the Trash that failed is a rename that did not happen.
    std::set<std::string> measuredAgainWhenDeleted = {};
  };
  const std::vector<Case> cases = {
      {"a removed folder that is an item", {"w/build"}, {}, {"w/build"}, {}},
      {"a removed folder that holds items", {"w"}, {}, {"w/build", "w/build2", "w/deps/x"}, {}},
      {"a folder inside an item, which stays and is measured again", {"c/inner"}, {}, {}, {"c"}},
      {"every folder of a row", {"m/one", "m/two"}, {}, {kRow}, {}},
      {"one folder of a row: what is left of it is measured", {"m/one"}, {}, {}, {kRow}},
      {"a removal that partly failed", {"w/build", "w/deps"}, {"w/build"}, {"w/deps/x"}, {},
       {"w/build"}},
      {"a removal that failed around an item", {"c/inner"}, {"c/inner"}, {}, {}, {"c"}},
      {"a removal that failed above items", {"w"}, {"w"}, {}, {},
       {"w/build", "w/build2", "w/deps/x"}},
      {"one folder of a row went, the other failed", {"m/one", "m/two"}, {"m/two"}, {}, {kRow}},
      {"a removal that failed in a row", {"m/two"}, {"m/two"}, {}, {}, {kRow}},
  };
  for (const Case& c : cases) {
    for (const bool permanently : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (permanently ? ", deleted" : ", to the Trash"));
      Scene scene;
      AppHarness& app = scene.app;
      CleanerViewModel& cleaner = app.cleaner();
      app->settings().setDeleteImmediately(permanently);
      for (const std::string& relative : c.failing) {
        app.scannerTrash.failures[scene.id(relative)] = FileSystemError{13, "Permission denied"};
      }
      // What each item holds when measured again.
      const std::map<std::string, std::int64_t> remeasured = {
          {scene.id("w/build"), 150}, {scene.id("w/build2"), 120}, {scene.id("w/deps/x"), 20},
          {scene.id("c"), 600},       {scene.id(kTrash), 900},     {kRow, 35}};
      for (const auto& [id, size] : remeasured) app.engine->measurements[id] = measured(size);
      const std::set<std::string> ticked = cleaner.checked();
      const std::set<std::string> highlighted = cleaner.tableSelection();
      ASSERT_EQ(ticked.size(), 5u);
      app.engine->measured.clear();

      scene.scannerRemoves(c.removed);

      std::set<std::string> gone;
      for (const std::string& relative : c.gone) gone.insert(scene.id(relative));
      std::set<std::string> measuredAgain;
      for (const std::string& relative : c.measuredAgain) measuredAgain.insert(scene.id(relative));
      if (permanently) {
        for (const std::string& relative : c.measuredAgainWhenDeleted) {
          measuredAgain.insert(scene.id(relative));
        }
      }
      const bool anyMoved = !permanently && c.failing.size() < c.removed.size();
      if (anyMoved) measuredAgain.insert(scene.id(kTrash));

      // What went is no longer listed, ticked nor highlighted; everything else is.
      std::set<std::string> listed;
      std::int64_t total = 0;
      std::int64_t buildTools = 0;
      std::set<std::string> selectable;
      for (const auto& [id, size] : scene.sizes) {
        if (gone.contains(id)) {
          EXPECT_FALSE(cleaner.item(id)) << id;
          continue;
        }
        listed.insert(id);
        ASSERT_TRUE(cleaner.item(id)) << id;
        const CacheItem item = *cleaner.item(id);
        const std::int64_t shown = measuredAgain.contains(id) ? remeasured.at(id) : size;
        EXPECT_EQ(item.size, shown) << id;
        total += shown;
        if (item.group == CacheGroup::buildTools) buildTools += shown;
        if (item.isSelectable()) selectable.insert(id);
      }
      EXPECT_EQ(idsOf(cleaner.items()), listed);
      std::set<std::string> stillTicked;
      std::set_difference(ticked.begin(), ticked.end(), gone.begin(), gone.end(),
                          std::inserter(stillTicked, stillTicked.end()));
      EXPECT_EQ(cleaner.checked(), stillTicked);
      std::set<std::string> stillHighlighted;
      std::set_difference(highlighted.begin(), highlighted.end(), gone.begin(), gone.end(),
                          std::inserter(stillHighlighted, stillHighlighted.end()));
      EXPECT_EQ(cleaner.tableSelection(), stillHighlighted);
      EXPECT_EQ(std::set<std::string>(app.engine->measured.begin(), app.engine->measured.end()),
                measuredAgain);

      // The figures are derived from what is listed: nothing that went is counted, and a folder
      // moved to the Trash is counted once, in the Trash row.
      EXPECT_EQ(cleaner.totalFound(), total);
      EXPECT_EQ(cleaner.totalSize(CacheGroup::buildTools), buildTools);
      EXPECT_EQ(idsOf(cleaner.largestItems()), selectable);
      EXPECT_EQ(idsOf(cleaner.checkedItems()), stillTicked);
      // No scan was started for it.
      EXPECT_EQ(app.scans(), 1);
    }
  }
}
