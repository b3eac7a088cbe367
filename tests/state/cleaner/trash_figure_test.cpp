// The figures a removal changed: the Trash row's after the program moved something to the Trash,
// and an item's that held a folder removed elsewhere, measured again alone, away from the GUI
// thread, once the removal is recorded; the totals follow them.

#include <gtest/gtest.h>

#include "guarded_fakes.h"

using namespace hl;
using namespace hl::test;

namespace {

const std::string kTrash = "/h/.local/share/Trash";

CacheItem trashRow(std::int64_t size) {
  return makeItem(kTrash, CacheGroup::trash, RiskLevel::review, size);
}

// Two caches and the Trash, as a scan left them.
void scanWithTrash(Guarded& h) {
  h.scan({makeItem("/c/a", CacheGroup::packageCaches, RiskLevel::safe, 1000),
          makeItem("/c/b", CacheGroup::buildTools, RiskLevel::review, 200), trashRow(500)});
  ASSERT_EQ(h->totalFound(), 1700);
}

// Removes "/c/a" from the sheet, confirmed a second after it was planned.
void removeFromTheSheet(Guarded& h) {
  h->setChecked("/c/a", true);
  h->requestTrash();
  h.executor->settle();
  ASSERT_TRUE(h->pendingPlan()) << h->resultMessage().value_or("");
  const TrashPlan plan = *h->pendingPlan();
  h->confirmTrash(plan, plan.createdAt + std::chrono::seconds(1));
  h.executor->settle();
}

void removeByQuickClean(Guarded& h) {
  h->armQuickClean();
  h.executor->settle();
  ASSERT_TRUE(h->quickClean().confirming());
  h->confirmQuickClean(referenceDate() + std::chrono::seconds(1));
  h.executor->settle();
  ASSERT_TRUE(h->quickClean().done());
}

}  // namespace

TEST(CleanerTrashFigure, WhatWentToTheTrashIsCountedInTheTrashRowWithoutARescan) {
  struct Case {
    const char* name;
    bool permanently;
    bool fails;
    std::function<void(Guarded&)> remove;
    // The Trash row's size afterwards; measured again when it changed.
    std::int64_t trash;
  };
  const std::vector<Case> cases = {
      {"moved to the Trash from the sheet", false, false, removeFromTheSheet, 1500},
      {"moved to the Trash by Quick Clean", false, false, removeByQuickClean, 1500},
      {"deleted permanently: the Trash is as it was", true, false, removeFromTheSheet, 500},
      {"nothing moved: the Trash is as it was", false, true, removeFromTheSheet, 500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Guarded h;
    scanWithTrash(h);
    h.settings.setDeleteImmediately(c.permanently);
    if (c.fails) h.removal->failing["/c/a"] = FileSystemError{13, "Permission denied"};
    h.engine->measurements[kTrash] = measured(1500, 7);
    // Asked once the removal is recorded, on a worker thread.
    h.engine->onMeasure = [&] {
      EXPECT_TRUE(h.executor->isRunningJob());
      EXPECT_FALSE(h.history.entries().empty());
    };
    c.remove(h);

    const bool measuredAgain = c.trash != 500;
    EXPECT_EQ(h.engine->measured,
              measuredAgain ? std::vector<std::string>{kTrash} : std::vector<std::string>{});
    ASSERT_TRUE(h->item(kTrash));
    EXPECT_EQ(h->item(kTrash)->size, c.trash);
    if (measuredAgain) {
      EXPECT_EQ(h->item(kTrash)->fileCount, 7);
    }
    // The group's figure and the total follow; the removed cache is gone from both.
    const std::int64_t cache = c.fails ? 1000 : 0;
    EXPECT_EQ(h->totalSize(CacheGroup::trash), c.trash);
    EXPECT_EQ(h->totalFound(), cache + 200 + c.trash);
    // No scan was started for it.
    EXPECT_EQ(h.engine->runs.size(), 1u);
  }
}

// A scan started while the Trash is measured again measures it itself: the older figure is
// dropped when it arrives, and the walk is asked to stop.
TEST(CleanerTrashFigure, AScanStartedMeanwhileTakesOverTheTrashFigure) {
  Guarded h;
  scanWithTrash(h);
  h.engine->measurements[kTrash] = measured(1500);
  h.engine->onMeasure = [&] { h->rescan(false); };
  removeFromTheSheet(h);
  EXPECT_EQ(h.engine->measured, std::vector<std::string>{kTrash});
  EXPECT_TRUE(h.engine->lastStop.stop_requested());
  EXPECT_EQ(h->item(kTrash)->size, 500);
  h.deliver(CacheScanEvent::ItemSized{kTrash, measured(1600)});
  h.endRun();
  EXPECT_EQ(h->item(kTrash)->size, 1600);
}

namespace {

TrashResult deletedElsewhere(const std::string& url) {
  TrashResult result;
  result.mode = RemovalMode::deletePermanently;
  result.succeeded = {url};
  return result;
}

}  // namespace

// After a removal elsewhere the item that held a removed folder is measured again; a newer
// measurement of that same item overtakes the one still walking, another item's does not.
TEST(CleanerTrashFigure, OnlyANewerMeasurementOfTheSameItemOvertakesOne) {
  struct Case {
    const char* name;
    const char* removedNext;
    bool overtaken;
  };
  for (const Case& c :
       {Case{"another item", "/c/b/x", false}, Case{"the same item", "/c/a/y", true}}) {
    SCOPED_TRACE(c.name);
    Guarded h;
    scanWithTrash(h);
    h.engine->measurements["/c/a"] = measured(600);
    h.engine->measurements["/c/b"] = measured(150);
    std::optional<std::stop_token> first;
    h.engine->onMeasure = [&] {
      if (first) return;
      first = h.engine->lastStop;
      h->removedElsewhere(deletedElsewhere(c.removedNext));
    };
    h->removedElsewhere(deletedElsewhere("/c/a/x"));
    h.executor->settle();

    ASSERT_TRUE(first);
    EXPECT_EQ(first->stop_requested(), c.overtaken);
    EXPECT_EQ(h.engine->measured,
              (std::vector<std::string>{"/c/a", c.overtaken ? "/c/a" : "/c/b"}));
    EXPECT_EQ(h->item("/c/a")->size, 600);
    EXPECT_EQ(h->item("/c/b")->size, c.overtaken ? 200 : 150);
    // Deleted, so the Trash is as it was.
    EXPECT_EQ(h->totalFound(), 600 + (c.overtaken ? 200 : 150) + 500);
  }
}
