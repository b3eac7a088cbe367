#include <gtest/gtest.h>

#include "cleaner_harness.h"
#include "platform/trash_folders.h"
#include "support/fake_home.h"
#include "utilities/path_canonical.h"

using namespace hl;
using namespace hl::test;


TEST(CleanerGuardedEndToEnd, AScanAPlanAConfirmationAndTheItemsAreInTheTrashAndTheHistory) {
  // The test host closes the default gate; this test means to remove.
  RealCleaner real(makeRemovalService(
      std::make_shared<TrashService>(homeDirectory(), DestructiveGate::open())));
  CleanerViewModel& cleaner = *real;
  const std::string npm = real.home + "/.npm/_cacache";
  const std::string pip = real.home + "/.cache/pip";
  writeFile(npm + "/index-v5/aa/entry", 20000);
  writeFile(pip + "/http/blob", 12000);
  int diskChanges = 0;
  cleaner.setOnDiskChanged([&] { ++diskChanges; });

  real.scan();
  const std::set<std::string> wanted = {cleanPath(npm), cleanPath(pip)};
  for (const std::string& id : wanted) {
    ASSERT_TRUE(cleaner.item(id)) << id;
    ASSERT_TRUE(cleaner.item(id)->isSelectable()) << id;
    cleaner.setChecked(id, true);
  }
  ASSERT_EQ(cleaner.checked(), wanted);

  cleaner.requestTrash();
  waitFor(cleaner, &CleanerViewModel::isPreparingTrashChanged,
          [&] { return !cleaner.isPreparingTrash(); });
  ASSERT_TRUE(cleaner.pendingPlan()) << cleaner.resultMessage().value_or("");
  const TrashPlan plan = *cleaner.pendingPlan();
  EXPECT_EQ(plan.items.size(), 2u);
  cleaner.confirmTrash(plan, plan.createdAt + std::chrono::seconds(1));
  ASSERT_TRUE(cleaner.isTrashing());
  waitFor(cleaner, &CleanerViewModel::isTrashingChanged, [&] { return !cleaner.isTrashing(); });

  // On disk: gone from home, present in the home Trash.
  const std::string trash = TrashFolders::homeTrash();
  EXPECT_FALSE(existsNoFollow(npm));
  EXPECT_FALSE(existsNoFollow(pip));
  EXPECT_TRUE(existsNoFollow(trash + "/files/_cacache"));
  EXPECT_TRUE(existsNoFollow(trash + "/files/pip"));
  EXPECT_TRUE(existsNoFollow(trash + "/info/_cacache.trashinfo"));

  // The list, the marks, the message.
  EXPECT_FALSE(cleaner.item(cleanPath(npm)));
  EXPECT_FALSE(cleaner.item(cleanPath(pip)));
  EXPECT_TRUE(cleaner.checked().empty());
  ASSERT_TRUE(cleaner.resultMessage());
  EXPECT_TRUE(cleaner.resultMessage()->starts_with("Cleaned 2 items ("));
  EXPECT_EQ(diskChanges, 1);

  // One record per category, in the file too.
  const auto stored = HistoryStore(real.historyFile).load();
  const auto* entries = std::get_if<std::vector<HistoryEntry>>(&stored);
  ASSERT_TRUE(entries);
  EXPECT_EQ(*entries, real.history.entries());
  std::set<std::string> recorded;
  for (const HistoryEntry& entry : *entries) {
    EXPECT_EQ(entry.trigger, "Move to Trash (sheet)");
    EXPECT_TRUE(entry.failures.empty());
    EXPECT_EQ(entry.operationID, entries->front().operationID);
    recorded.insert(entry.itemPaths.begin(), entry.itemPaths.end());
  }
  EXPECT_EQ(recorded, wanted);

  std::vector<std::string> cleanup;
  for (const ActivityEvent& event : real.activity.events()) {
    if (event.kind == ActivityEvent::Kind::cleanup) cleanup.push_back(event.message);
    if (event.kind == ActivityEvent::Kind::error) ADD_FAILURE() << event.message;
  }
  ASSERT_EQ(cleanup.size(), 2u);
  EXPECT_TRUE(cleanup[0].starts_with("Move to Trash (sheet): 2 items, ")) << cleanup[0];
  EXPECT_TRUE(cleanup[0].ends_with(" moved to the Trash")) << cleanup[0];
  EXPECT_TRUE(cleanup[1].starts_with("Cleaned 2 items (")) << cleanup[1];
}
